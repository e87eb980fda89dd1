// Reads passwords from files, standard input or commands, and prompts without echo, restoring it on signals.

#include "cli/Password.h"

#include "cli/ExitCodes.h"
#include "cli/Messages.h"
#include "cli/Options.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
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

/// A password file that others than its owner may read is no secret.
void WarnWhenOthersCanRead(std::ostream& err, const std::string& file)
{
    struct stat status
    {};
    if (::stat(file.c_str(), &status) != 0 || (status.st_mode & (S_IRGRP | S_IROTH)) == 0)
        return;
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(status.st_mode & 07777));
    Warn(err, file + " can be read by " + ((status.st_mode & S_IROTH) != 0 ? "everyone" : "its group") +
                  " (mode " + mode + "); make it readable by its owner only (chmod 600)");
}

/// The first line the shell command `command` prints on its standard output,
/// which is read to its end; its standard error stays ours. Throws
/// ECommandError with ExitPassword when it cannot run or ends with a failure.
std::optional<std::string> PasswordCommandOutput(const std::string& command)
{
    std::fflush(nullptr);
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        throw ECommandError(ExitPassword,
                            "cannot run the password command: " + std::string(std::strerror(errno)));
    std::string output;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, got);
    const int status = ::pclose(pipe);
    if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw ECommandError(ExitPassword, "the password command failed (" +
                                              (status != -1 && WIFEXITED(status)
                                                   ? "exit status " + std::to_string(WEXITSTATUS(status))
                                                   : std::string("it did not end by itself")) +
                                              "): " + command);
    std::istringstream lines(output);
    return FirstLine(lines);
}

/// The terminal's settings before echo was turned off, for the signal handler.
termios echoingTerminal{};

/// Ends the program for `signal` as it would have ended, with the terminal
/// echoing again. Only async-signal-safe calls.
extern "C" void RestoreTerminalAndEnd(int signal)
{
    tcsetattr(STDIN_FILENO, TCSANOW, &echoingTerminal);
    const char lineEnd = '\n';
    [[maybe_unused]] const auto written = write(STDERR_FILENO, &lineEnd, 1);
    // The handler was reset to the default on entry.
    raise(signal);
}

/// While it lives, a signal that ends the program (Ctrl-C, Ctrl-\, a hang-up,
/// a kill) first gives the terminal its echo back; then it puts the
/// terminal's settings and the handlers back as they were.
class TEchoRestorer
{
public:
    explicit TEchoRestorer(const termios& echoing)
    {
        echoingTerminal = echoing;
        struct sigaction action
        {};
        action.sa_handler = RestoreTerminalAndEnd;
        action.sa_flags = SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < Signals.size(); ++i)
            sigaction(Signals[i], &action, &previous_[i]);
    }
    ~TEchoRestorer()
    {
        tcsetattr(STDIN_FILENO, TCSANOW, &echoingTerminal);
        for (std::size_t i = 0; i < Signals.size(); ++i)
            sigaction(Signals[i], &previous_[i], nullptr);
    }
    TEchoRestorer(const TEchoRestorer&) = delete;
    TEchoRestorer& operator=(const TEchoRestorer&) = delete;

private:
    static constexpr std::array<int, 4> Signals = {SIGINT, SIGQUIT, SIGHUP, SIGTERM};
    std::array<struct sigaction, 4> previous_{};
};

} // namespace

std::optional<std::string> ReadGivenPassword(const TOptions& options, const TConsole& console)
{
    const auto file = options.Value("password-file");
    const auto command = options.Value("password-command");
    const bool fromStdin = options.Has("password-stdin");
    if (int(file.has_value()) + int(command.has_value()) + int(fromStdin) > 1)
        throw EUsageError("give one of --password-file, --password-stdin and --password-command");
    if (fromStdin)
        return NonEmpty(FirstLine(console.In), "standard input");
    if (command)
        return NonEmpty(PasswordCommandOutput(*command), "the output of the password command");
    if (!file)
        return std::nullopt;
    std::ifstream in(*file, std::ios::binary);
    if (!in)
        throw EUsageError(*file + ": cannot read the password file: " + std::strerror(errno));
    WarnWhenOthersCanRead(console.Err, *file);
    return NonEmpty(FirstLine(in), *file);
}

std::optional<std::string> PromptForPassword(const TConsole& console, std::string_view prompt)
{
    console.Err << prompt << std::flush;
    termios saved{};
    const bool terminal = console.InputIsTerminal && tcgetattr(STDIN_FILENO, &saved) == 0;
    std::optional<TEchoRestorer> restorer;
    if (terminal) {
        restorer.emplace(saved);
        termios silent = saved;
        silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        silent.c_lflag |= ECHONL;
        tcsetattr(STDIN_FILENO, TCSANOW, &silent);
    }
    auto line = FirstLine(console.In);
    restorer.reset();
    if (!line)
        console.Err << "\n";
    return line;
}

} // namespace quillbank::cli
