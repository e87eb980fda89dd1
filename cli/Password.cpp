#include "cli/Password.h"

#include "cli/ExitCodes.h"
#include "cli/Options.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <termios.h>
#include <unistd.h>

namespace quillbank::cli {

namespace {

/// The first line of `in` without its LF or CR LF end; nothing when there is none.
std::optional<std::string> FirstLine(std::istream& in)
{
    std::string line;
    if (!std::getline(in, line) && line.empty())
        return std::nullopt;
    if (line.ends_with('\r'))
        line.pop_back();
    return line;
}

std::string NonEmpty(std::optional<std::string> password, const std::string& where)
{
    if (!password || password->empty())
        throw ECommandError(ExitPassword, "no password in " + where + ": its first line is empty");
    return std::move(*password);
}

} // namespace

std::optional<std::string> ReadGivenPassword(const TOptions& options)
{
    const auto file = options.Value("password-file");
    const bool fromStdin = options.Has("password-stdin");
    if (file && fromStdin)
        throw EUsageError("give either --password-file or --password-stdin, not both");
    if (fromStdin)
        return NonEmpty(FirstLine(std::cin), "standard input");
    if (!file)
        return std::nullopt;
    std::ifstream in(*file, std::ios::binary);
    if (!in)
        throw EUsageError(*file + ": cannot read the password file: " + std::strerror(errno));
    return NonEmpty(FirstLine(in), *file);
}

bool CanPromptForPassword()
{
    return isatty(STDIN_FILENO) == 1;
}

std::optional<std::string> PromptForPassword(std::string_view prompt)
{
    std::cerr << prompt << std::flush;
    termios saved{};
    const bool terminal = tcgetattr(STDIN_FILENO, &saved) == 0;
    if (terminal) {
        termios silent = saved;
        silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        silent.c_lflag |= ECHONL;
        tcsetattr(STDIN_FILENO, TCSANOW, &silent);
    }
    auto line = FirstLine(std::cin);
    if (terminal)
        tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    if (!line)
        std::cerr << "\n";
    return line;
}

} // namespace quillbank::cli
