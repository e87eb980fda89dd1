// The standard input, output and error a command uses: the process's own, or strings in tests.

#pragma once

#include <istream>
#include <ostream>

namespace quillbank::cli {

/**
 * The standard files a command reads and writes, and what they are: the
 * process's own in quillbank-cli (ProcessConsole), strings when a test runs
 * a command in its own process.
 */
struct TConsole
{
    std::istream& In;
    std::ostream& Out;
    std::ostream& Err;
    /// Standard input is a terminal, at which a password can be typed.
    bool InputIsTerminal = false;
    /// Standard error is a terminal that redraws a line in place, this many
    /// columns wide.
    bool ErrorDrawsInPlace = false;
    int ErrorColumns = 80;
    /// Ends the run with this exit code when the core gives up on it; it
    /// does not return.
    void (*EndRun)(int exitCode);
};

/// The process's standard input, output and error, and std::exit.
TConsole ProcessConsole();

} // namespace quillbank::cli
