// Names, recognises, removes and commits (flushed to disk, then renamed) the pending file of a new backup.

#include "engine/PendingArchive.h"

#include "engine/ParallelRun.h"
#include "platform/FileSystem.h"
#include "platform/NameBeside.h"
#include "platform/StagedFile.h"

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <string_view>
#include <unistd.h>

namespace quillbank {

namespace {

/// The archive library writes the pending file under a temporary name of its
/// own first: the pending name, a dot and six random characters.
constexpr std::string_view ArchiveLibrarySuffix = ".XXXXXX";
/// What the name of a pending backup ends with.
constexpr std::string_view PendingSuffix = ".qbpart";

bool SyncFile(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = fsync(fd) == 0;
    return close(fd) == 0 && synced;
}

} // namespace

std::string PendingArchivePath(const std::string& archivePath)
{
    return NameBeside(archivePath, ".", PendingSuffix, ArchiveLibrarySuffix.size());
}

bool IsPendingArchiveName(std::string_view name)
{
    if (!name.starts_with('.'))
        return false;
    if (name.ends_with(PendingSuffix))
        return name.size() > PendingSuffix.size() + 1;
    const std::size_t libraryAt = name.size() - std::min(name.size(), ArchiveLibrarySuffix.size());
    return name.size() > PendingSuffix.size() + ArchiveLibrarySuffix.size() + 1 && name[libraryAt] == '.' &&
           name.substr(0, libraryAt).ends_with(PendingSuffix);
}

void RemoveStalePendingArchive(const std::string& archivePath)
{
    const std::string pending = PendingArchivePath(archivePath);
    std::remove(pending.c_str());
    // A backup killed while writing leaves the archive library's temporary
    // behind.
    const std::string pendingName = ExtractFileName(pending);
    const std::string prefix = pendingName + ".";
    const std::size_t length = pendingName.size() + ArchiveLibrarySuffix.size();
    std::error_code error;
    const std::string folder = ExtractFileDir(archivePath);
    for (const auto& entry : std::filesystem::directory_iterator(folder.empty() ? "." : folder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.size() == length && name.starts_with(prefix) && entry.is_regular_file(error))
            std::remove(entry.path().c_str());
    }
}

bool CommitPendingArchive(const std::string& archivePath, const std::function<void()>& whileWaiting)
{
    const std::string pending = PendingArchivePath(archivePath);
    // Flushing gigabytes takes a while: on a thread of its own, so that the
    // window keeps its turn.
    bool synced = false;
    RunInParallel(
        1, 1,
        [&](unsigned, std::size_t) {
            synced = SyncFile(pending);
            return true;
        },
        whileWaiting ? whileWaiting : [] {});
    if (!synced || std::rename(pending.c_str(), archivePath.c_str()) != 0) {
        std::remove(pending.c_str());
        return false;
    }
    // The rename itself lives in the folder: make it durable too.
    SyncFolder(ExtractFileDir(archivePath));
    return true;
}

} // namespace quillbank
