// Runs a command line in process with string streams as its console, and catches the core's early exits.

#include "tests/cli/InProcessRun.h"

#include "cli/CommandLine.h"

#include <sstream>

namespace quillbank::testing {

namespace {

/// Carries the exit code of a run the core ended early out of the command.
struct TEndOfRun
{
    int ExitCode;
};

[[noreturn]] void ThrowEndOfRun(int exitCode)
{
    throw TEndOfRun{exitCode};
}

} // namespace

TCliResult RunCliInProcess(const std::vector<std::string>& arguments, const std::string& input)
{
    std::istringstream in(input);
    std::ostringstream out;
    std::ostringstream err;
    const cli::TConsole console{in, out, err, false, false, 80, ThrowEndOfRun};
    TCliResult result;
    try {
        result.ExitCode = cli::RunCommandLine(arguments, console);
    } catch (const TEndOfRun& end) {
        result.ExitCode = end.ExitCode;
    }
    result.Out = out.str();
    result.Err = err.str();
    return result;
}

} // namespace quillbank::testing
