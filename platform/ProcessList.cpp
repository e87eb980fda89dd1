// Lists this user's running processes from /proc by executable name, leaving out those that have ended.

#include "platform/ProcessList.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace quillbank {

namespace {

std::optional<std::vector<std::string>>& OverriddenNames()
{
    static std::optional<std::vector<std::string>> names;
    return names;
}

bool IsProcessId(std::string_view name)
{
    if (name.empty())
        return false;
    for (const char c : name) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

/// The target of a symbolic link, whatever its length.
std::optional<std::string> ReadLink(const std::string& path)
{
    std::string target(256, '\0');
    for (;;) {
        const ssize_t length = readlink(path.c_str(), target.data(), target.size());
        if (length < 0)
            return std::nullopt;
        if (static_cast<std::size_t>(length) < target.size()) {
            target.resize(static_cast<std::size_t>(length));
            return target;
        }
        // The target may have been cut short; try again with more room.
        if (target.size() >= 1 << 20)
            return std::nullopt;
        target.resize(target.size() * 2);
    }
}

/// The first line of a small file below /proc; nothing when it cannot be read.
std::optional<std::string> ReadFirstLine(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::string content;
    char buffer[256];
    ssize_t count = 0;
    while (content.find('\n') == std::string::npos && content.size() < 4096) {
        count = read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        content.append(buffer, static_cast<std::size_t>(count));
    }
    close(fd);
    if (count < 0)
        return std::nullopt;
    const auto newline = content.find('\n');
    if (newline != std::string::npos)
        content.resize(newline);
    return content;
}

/// Whether the process has ended and only waits to be reaped: it runs no
/// program any more.
bool IsZombie(const std::string& folder)
{
    const auto stat = ReadFirstLine(folder + "stat");
    const auto close = stat ? stat->rfind(')') : std::string::npos;
    return close != std::string::npos && close + 2 < stat->size() &&
           ((*stat)[close + 2] == 'Z' || (*stat)[close + 2] == 'X');
}

/// The name of one process: the file name of its executable, or its "comm"
/// name when the executable cannot be read (kernel threads, processes of
/// other users). Nothing when the process has gone or has ended.
std::optional<std::string> ProcessName(std::string_view pid)
{
    const std::string folder = "/proc/" + std::string(pid) + "/";
    if (IsZombie(folder))
        return std::nullopt;
    if (auto target = ReadLink(folder + "exe")) {
        // A replaced or removed executable is reported with this suffix.
        constexpr std::string_view deleted = " (deleted)";
        if (target->ends_with(deleted))
            target->resize(target->size() - deleted.size());
        const auto slash = target->rfind('/');
        if (slash != std::string::npos)
            target->erase(0, slash + 1);
        return target;
    }
    return ReadFirstLine(folder + "comm");
}

/// Whether the process runs as the user this program runs as; processes of
/// other users never use this user's profiles.
bool IsOwnProcess(std::string_view pid)
{
    struct stat info = {};
    return ::stat(("/proc/" + std::string(pid)).c_str(), &info) == 0 && info.st_uid == ::geteuid();
}

} // namespace

TProcessListOverride::TProcessListOverride(std::vector<std::string> names)
{
    OverriddenNames() = std::move(names);
}

TProcessListOverride::~TProcessListOverride()
{
    OverriddenNames().reset();
}

std::vector<std::string> ListOwnProcessNames()
{
    if (OverriddenNames())
        return *OverriddenNames();
    std::vector<std::string> names;
    const std::unique_ptr<DIR, int (*)(DIR*)> proc(opendir("/proc"), closedir);
    if (!proc)
        return names;
    while (const dirent* entry = readdir(proc.get())) {
        if (!IsProcessId(entry->d_name) || !IsOwnProcess(entry->d_name))
            continue;
        if (auto name = ProcessName(entry->d_name))
            names.push_back(std::move(*name));
    }
    return names;
}

} // namespace quillbank
