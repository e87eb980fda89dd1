// Opens new files with O_TMPFILE and links them to their target's name, falling back to a named temporary.

#include "platform/NamelessFile.h"

#include "platform/FileSystem.h"
#include "platform/LiveTemporaries.h"
#include "platform/NameBeside.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>
#include <utility>

namespace quillbank {

namespace {

/// A file without a name gets one through its entry under /proc.
bool CanNameOpenFiles()
{
    static const bool usable = access("/proc/self/fd", X_OK) == 0;
    return usable;
}

std::string OpenFilePath(int fd)
{
    return "/proc/self/fd/" + std::to_string(fd);
}

/// A fresh name for a temporary beside `target`.
std::string RandomNameBeside(const std::string& target)
{
    static constexpr char Letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string name = TemporaryTemplateBeside(target);
    std::array<unsigned char, 6> random{};
    if (getrandom(random.data(), random.size(), 0) != static_cast<ssize_t>(random.size()))
        return {};
    for (std::size_t i = 0; i < random.size(); ++i)
        name[name.size() - random.size() + i] = Letters[random[i] % (sizeof(Letters) - 1)];
    return name;
}

} // namespace

TNamelessFile::~TNamelessFile()
{
    CloseDirect();
    if (fd_ >= 0)
        close(fd_);
    if (!temporary_.empty()) {
        unlink(temporary_.c_str());
        ForgetTemporary(temporary_);
    }
}

bool TNamelessFile::Open(const std::string& target)
{
    target_ = target;
    if (CanNameOpenFiles()) {
        const std::string folder = ExtractFileDir(target);
        fd_ = open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        if (fd_ >= 0)
            return true;
        // Only a file system without such files falls back.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return false;
    }
    fd_ = OpenTemporaryBeside(target, temporary_);
    if (fd_ < 0)
        temporary_.clear();
    return fd_ >= 0;
}

int TNamelessFile::DirectFd(std::uint64_t size)
{
    if (directFd_ < 0 && fd_ >= 0 && fallocate(fd_, 0, 0, static_cast<off_t>(size)) == 0)
        directFd_ = open(OpenFilePath(fd_).c_str(), O_WRONLY | O_DIRECT | O_CLOEXEC);
    return directFd_;
}

void TNamelessFile::CloseDirect()
{
    if (directFd_ >= 0)
        close(std::exchange(directFd_, -1));
}

bool TNamelessFile::LinkToTemporary()
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = RandomNameBeside(target_);
        if (name.empty())
            return false;
        RegisterTemporary(name);
        if (linkat(AT_FDCWD, OpenFilePath(fd_).c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            temporary_ = std::move(name);
            return true;
        }
        const int error = errno;
        ForgetTemporary(name);
        if (error != EEXIST) {
            errno = error;
            return false;
        }
    }
    errno = EEXIST;
    return false;
}

bool TNamelessFile::Publish()
{
    CloseDirect();
    if (temporary_.empty()) {
        // A new target is named in one step.
        if (linkat(AT_FDCWD, OpenFilePath(fd_).c_str(), AT_FDCWD, target_.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            if (close(std::exchange(fd_, -1)) == 0)
                return true;
            const int error = errno;
            unlink(target_.c_str());
            errno = error;
            return false;
        }
        // One that exists is replaced by a rename, which never leaves it missing.
        if (errno != EEXIST || !LinkToTemporary())
            return false;
    }
    if (close(std::exchange(fd_, -1)) != 0 || std::rename(temporary_.c_str(), target_.c_str()) != 0)
        return false;
    ForgetTemporary(temporary_);
    temporary_.clear();
    return true;
}

bool TNamelessFile::NameTemporarily(std::string& temporary)
{
    CloseDirect();
    if ((temporary_.empty() && !LinkToTemporary()) || close(std::exchange(fd_, -1)) != 0)
        return false;
    temporary = std::exchange(temporary_, {});
    return true;
}

} // namespace quillbank
