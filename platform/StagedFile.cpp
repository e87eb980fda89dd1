// Writes staged content to a temporary beside the target, syncs it to disk and renames it into place.

#include "platform/StagedFile.h"

#include "platform/FileSystem.h"
#include "platform/LiveTemporaries.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillbank {

namespace {

constexpr std::size_t WriteChunk = 64 * 1024;

[[noreturn]] void Fail(const std::string& what, const std::string& path, int error)
{
    throw EFileWriteError(what + " " + path + ": " + std::strerror(error));
}

} // namespace

TStagedFile::TStagedFile(std::string target) : target_(std::move(target))
{
    fd_ = OpenTemporaryBeside(target_, temporary_);
    if (fd_ < 0)
        Fail("Cannot create a file beside", target_, errno);
}

TStagedFile::~TStagedFile()
{
    if (fd_ >= 0)
        close(fd_);
    if (!committed_)
        unlink(temporary_.c_str());
    ForgetTemporary(temporary_);
}

void TStagedFile::Write(std::string_view data)
{
    buffer_.append(data);
    if (buffer_.size() >= WriteChunk)
        Flush();
}

void TStagedFile::Flush()
{
    std::size_t done = 0;
    while (done < buffer_.size()) {
        const ssize_t written = write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            Fail("Cannot write", temporary_, written < 0 ? errno : ENOSPC);
        done += static_cast<std::size_t>(written);
    }
    buffer_.clear();
}

void TStagedFile::Commit()
{
    Flush();
    struct stat old
    {};
    if (!modeSet_)
        mode_ = stat(target_.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0600;
    if (fchmod(fd_, mode_) != 0)
        Fail("Cannot set the permissions of", temporary_, errno);
    if (fsync(fd_) != 0)
        Fail("Cannot write", temporary_, errno);
    const int closed = close(fd_);
    fd_ = -1;
    if (closed != 0)
        Fail("Cannot write", temporary_, errno);
    if (std::rename(temporary_.c_str(), target_.c_str()) != 0)
        Fail("Cannot replace", target_, errno);
    committed_ = true;
    ForgetTemporary(temporary_);
    SyncFolder(ExtractFileDir(target_));
}

bool SyncFolder(const std::string& folder)
{
    const int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool synced = fd >= 0 && fsync(fd) == 0;
    if (fd >= 0)
        close(fd);
    return synced;
}

} // namespace quillbank
