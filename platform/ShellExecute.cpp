// Splits Windows-style parameter texts into arguments, and starts programs detached or waits for them to end.

#include "platform/ShellExecute.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace quillbank {

namespace {

bool IsArgumentBlank(char c)
{
    return c == ' ' || c == '\t';
}

/// The files that exec tries for `executable`, in order: the name itself when
/// it holds a slash, otherwise the name in every folder of PATH (an empty
/// entry meaning the current folder), as execvp does.
std::vector<std::string> ExecCandidates(const std::string& executable)
{
    if (executable.find('/') != std::string::npos)
        return {executable};
    const char* pathVariable = std::getenv("PATH");
    const std::string_view path = pathVariable != nullptr ? pathVariable : "/bin:/usr/bin";
    std::vector<std::string> candidates;
    std::size_t start = 0;
    while (start <= path.size()) {
        auto end = path.find(':', start);
        if (end == std::string_view::npos)
            end = path.size();
        std::string folder(path.substr(start, end - start));
        if (folder.empty())
            candidates.push_back(executable);
        else
            candidates.push_back(folder + (folder.ends_with('/') ? "" : "/") + executable);
        start = end + 1;
    }
    return candidates;
}

[[noreturn]] void WriteErrorAndExit(int reportFd, int error)
{
    while (write(reportFd, &error, sizeof error) < 0 && errno == EINTR) {
    }
    _exit(127);
}

/// Runs in the grandchild, which must only make async-signal-safe calls: the
/// caller may have other threads.
[[noreturn]] void ExecGrandchild(const std::vector<const char*>& candidates, char* const* argv, int reportFd)
{
    const int devNull = open("/dev/null", O_RDONLY);
    if (devNull < 0 || dup2(devNull, STDIN_FILENO) < 0)
        WriteErrorAndExit(reportFd, errno);
    if (devNull != STDIN_FILENO)
        close(devNull);

    // The program starts with no signal blocked and SIGPIPE at its default,
    // whatever this process set up for itself.
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction defaultAction = {};
    defaultAction.sa_handler = SIG_DFL;
    sigaction(SIGPIPE, &defaultAction, nullptr);
    // Files this process has open are not handed on to the program.
    close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);

    // As execvp: a folder where the name exists but cannot be run does not
    // stop the search; that failure is reported when nothing else works.
    int error = ENOENT;
    bool sawAccessError = false;
    for (const char* candidate : candidates) {
        execv(candidate, argv);
        if (errno == EACCES)
            sawAccessError = true;
        else if (errno != ENOENT && errno != ENOTDIR)
            error = errno;
    }
    WriteErrorAndExit(reportFd, sawAccessError ? EACCES : error);
}

} // namespace

std::vector<std::string> SplitWindowsCommandLine(std::string_view parameters)
{
    std::vector<std::string> arguments;
    std::size_t pos = 0;
    const std::size_t size = parameters.size();
    for (;;) {
        while (pos < size && IsArgumentBlank(parameters[pos]))
            ++pos;
        if (pos >= size)
            break;

        std::string argument;
        bool inQuotes = false;
        while (pos < size && (inQuotes || !IsArgumentBlank(parameters[pos]))) {
            std::size_t backslashes = 0;
            while (pos < size && parameters[pos] == '\\') {
                ++backslashes;
                ++pos;
            }
            if (pos < size && parameters[pos] == '"') {
                argument.append(backslashes / 2, '\\');
                if (backslashes % 2 == 1) {
                    argument += '"';
                } else if (inQuotes && pos + 1 < size && parameters[pos + 1] == '"') {
                    // "" inside quotes: a literal quote, and the quotes go on.
                    argument += '"';
                    ++pos;
                } else {
                    inQuotes = !inQuotes;
                }
                ++pos;
                continue;
            }
            argument.append(backslashes, '\\');
            if (pos < size && (inQuotes || !IsArgumentBlank(parameters[pos])))
                argument += parameters[pos++];
        }
        arguments.push_back(std::move(argument));
    }
    return arguments;
}

bool StartDetached(const std::string& executable, std::string_view parameters)
{
    if (executable.empty())
        return false;

    // Everything the children need is prepared here, before fork.
    std::vector<std::string> arguments = SplitWindowsCommandLine(parameters);
    arguments.insert(arguments.begin(), executable);
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    const std::vector<std::string> candidates = ExecCandidates(executable);
    std::vector<const char*> candidatePointers;
    for (const std::string& candidate : candidates)
        candidatePointers.push_back(candidate.c_str());

    // The grandchild reports a failed exec through this pipe; a successful
    // exec closes it, so the parent then reads end of file.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0)
        return false;

    // The intermediate child starts a new session and exits at once, so the
    // program belongs to no session or process group of ours and init reaps it.
    const pid_t child = fork();
    if (child < 0) {
        close(report[0]);
        close(report[1]);
        return false;
    }
    if (child == 0) {
        close(report[0]);
        if (setsid() < 0)
            WriteErrorAndExit(report[1], errno);
        const pid_t grandchild = fork();
        if (grandchild < 0)
            WriteErrorAndExit(report[1], errno);
        if (grandchild == 0)
            ExecGrandchild(candidatePointers, argv.data(), report[1]);
        _exit(0);
    }

    close(report[1]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }

    int error = 0;
    ssize_t count = 0;
    do {
        count = read(report[0], &error, sizeof error);
    } while (count < 0 && errno == EINTR);
    close(report[0]);
    // End of file alone is not enough: the intermediate child might have died
    // before it could start anything.
    return count == 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool RunAndWait(const std::vector<std::string>& command, const std::function<void()>& whileWaiting)
{
    if (command.empty())
        return false;
    std::vector<std::string> arguments = command;
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return false;
    // Polled rather than waited for, so that a window stays responsive while
    // the application works.
    int status = 0;
    for (;;) {
        const pid_t ended = waitpid(child, &status, WNOHANG);
        if (ended == child)
            return true;
        if (ended < 0 && errno != EINTR)
            return false;
        whileWaiting();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

} // namespace quillbank
