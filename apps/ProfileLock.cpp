#include "apps/ProfileLock.h"

#include "platform/FileSystem.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillbank {

namespace {

constexpr std::string_view FcntlLockName = ".parentlock";
constexpr std::string_view LinkLockName = "lock";

/// Whether another process holds an fcntl lock on the file at `path`.
bool HoldsFcntlLock(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct flock query = {};
    query.l_type = F_WRLCK;
    query.l_whence = SEEK_SET;
    query.l_start = 0;
    query.l_len = 0;
    const bool locked = ::fcntl(fd, F_GETLK, &query) == 0 && query.l_type != F_UNLCK;
    ::close(fd);
    return locked;
}

/// The process id a lock link's target "<address>:+<pid>" names; 0 when the
/// target does not have that form.
pid_t LinkedProcess(const std::string& target)
{
    const auto marker = target.rfind(":+");
    if (marker == std::string::npos)
        return 0;
    const char* first = target.data() + marker + 2;
    const char* last = target.data() + target.size();
    long pid = 0;
    const auto [end, error] = std::from_chars(first, last, pid);
    if (error != std::errc() || end != last || pid <= 0 || pid > INT_MAX)
        return 0;
    return static_cast<pid_t>(pid);
}

bool ProcessRuns(pid_t pid)
{
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

} // namespace

TProfileLock ReadProfileLock(const std::string& profileDir)
{
    const std::string folder = IncludeTrailingSeparator(profileDir);
    const std::string fcntlLock = folder + std::string(FcntlLockName);
    const std::string linkLock = folder + std::string(LinkLockName);
    struct stat info = {};
    const bool hasFcntlLock = ::stat(fcntlLock.c_str(), &info) == 0;
    const bool hasLink = ::lstat(linkLock.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
    if (!hasFcntlLock && !hasLink)
        return TProfileLock::Unknown;
    if (hasFcntlLock && HoldsFcntlLock(fcntlLock))
        return TProfileLock::InUse;
    if (hasLink) {
        char target[256];
        const ssize_t length = ::readlink(linkLock.c_str(), target, sizeof target);
        if (length > 0 && static_cast<std::size_t>(length) < sizeof target) {
            const pid_t pid = LinkedProcess(std::string(target, static_cast<std::size_t>(length)));
            if (pid != 0 && ProcessRuns(pid))
                return TProfileLock::InUse;
        }
    }
    return TProfileLock::Free;
}

} // namespace quillbank
