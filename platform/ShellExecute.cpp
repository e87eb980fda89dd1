// Splits Windows-style parameter texts into arguments, and runs programs and waits for them to end.

#include "platform/ShellExecute.h"

#include <cerrno>
#include <chrono>
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
