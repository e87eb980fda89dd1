#include "engine/PendingArchive.h"

#include "platform/FileSystem.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace quillbank {

namespace {

bool SyncPath(const std::string& path, int flags)
{
    const int fd = open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = fsync(fd) == 0;
    return close(fd) == 0 && synced;
}

} // namespace

std::string PendingArchivePath(const std::string& archivePath)
{
    return ExtractFileDir(archivePath) + "." + ExtractFileName(archivePath) + ".qbpart";
}

void RemoveStalePendingArchive(const std::string& archivePath)
{
    std::remove(PendingArchivePath(archivePath).c_str());
}

bool CommitPendingArchive(const std::string& archivePath)
{
    const std::string pending = PendingArchivePath(archivePath);
    if (!SyncPath(pending, O_RDONLY) || std::rename(pending.c_str(), archivePath.c_str()) != 0) {
        std::remove(pending.c_str());
        return false;
    }
    // The rename itself lives in the folder: make it durable too.
    const std::string folder = ExtractFileDir(archivePath);
    SyncPath(folder.empty() ? std::string(".") : folder, O_RDONLY | O_DIRECTORY);
    return true;
}

} // namespace quillbank
