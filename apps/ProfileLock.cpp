// Reads a profile's ".parentlock" fcntl lock and its "lock" link, and checks the process that the link names.

#include "apps/ProfileLock.h"

#include "platform/FileSystem.h"

#include <arpa/inet.h>
#include <cerrno>
#include <charconv>
#include <climits>
#include <fcntl.h>
#include <netdb.h>
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

/// Whether the address part of a lock link names this machine. The
/// applications write the first IPv4 address that the machine's host name
/// resolves to, or the loopback address when it resolves to none; a link
/// naming another machine (a home shared over the network) belongs to an
/// instance running there.
bool NamesThisHost(std::string_view address)
{
    if (address == "127.0.0.1")
        return true;
    char hostName[256] = {};
    if (::gethostname(hostName, sizeof hostName - 1) != 0)
        return false;
    addrinfo hints = {};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (::getaddrinfo(hostName, nullptr, &hints, &found) != 0)
        return false;
    bool same = false;
    for (const addrinfo* entry = found; entry != nullptr && !same; entry = entry->ai_next) {
        char text[INET_ADDRSTRLEN] = {};
        const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(entry->ai_addr);
        same = ::inet_ntop(AF_INET, &ipv4->sin_addr, text, sizeof text) != nullptr && address == text;
    }
    ::freeaddrinfo(found);
    return same;
}

/// The process id a lock link's target "<address>:+<pid>" (or
/// "<address>:<pid>", written by an instance that got no fcntl lock) names
/// when the address is this machine's; 0 otherwise.
pid_t LinkedProcess(const std::string& target)
{
    const auto colon = target.rfind(':');
    if (colon == std::string::npos || !NamesThisHost(std::string_view(target).substr(0, colon)))
        return 0;
    const std::size_t digits = colon + 1 < target.size() && target[colon + 1] == '+' ? colon + 2 : colon + 1;
    const char* first = target.data() + digits;
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
