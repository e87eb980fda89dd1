// Runs the built quillbank-cli, a shell script or Python for the command-line tool's tests.

#pragma once

#include <string>
#include <vector>

namespace quillbank::testing {

/// What one run of the built quillbank-cli gave.
struct TCliResult
{
    /// The exit code; -1 when it did not end by itself in time.
    int ExitCode = -1;
    std::string Out;
    std::string Err;
};

/**
 * Runs build/bin/quillbank-cli with `arguments` in this process's
 * environment (so HOME is the test's fake home), `input` on its standard
 * input (not a terminal), and its outputs caught in files below `workDir`.
 */
TCliResult RunCli(const std::vector<std::string>& arguments, const std::string& workDir,
                  const std::string& input = "");

/// Runs `script` with /bin/sh in `workDir`, as a person types it there: the
/// built quillbank-cli comes first on PATH. Its outputs are caught as RunCli's.
TCliResult RunShell(const std::string& script, const std::string& workDir, const std::string& input = "");

/// Runs the Python program `program` with `arguments` and `input` on its
/// standard input, and gives what it prints (without the last line break);
/// "python3 failed: " and its error output when it fails.
std::string RunPython(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& workDir, const std::string& input = "");

/// Evaluates the Python expression `expression`, with `d` the JSON value of
/// `json`, and gives what Python prints for it; "invalid JSON: ..." when
/// `json` does not parse.
std::string JsonQuery(const std::string& json, const std::string& expression, const std::string& workDir);

} // namespace quillbank::testing
