// The process's console: its standard files, whether they are terminals and how wide, and std::exit.

#include "cli/Console.h"

#include "cli/TerminalProgress.h"

#include <cstdlib>
#include <iostream>
#include <sys/ioctl.h>
#include <unistd.h>

namespace quillbank::cli {

namespace {

[[noreturn]] void ExitProcess(int exitCode)
{
    std::exit(exitCode);
}

} // namespace

TConsole ProcessConsole()
{
    TConsole console{std::cin,
                     std::cout,
                     std::cerr,
                     isatty(STDIN_FILENO) == 1,
                     DrawsInPlace(isatty(STDERR_FILENO) == 1, std::getenv("TERM")),
                     80,
                     ExitProcess};
    winsize size{};
    if (console.ErrorDrawsInPlace && ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        console.ErrorColumns = size.ws_col;
    return console;
}

} // namespace quillbank::cli
