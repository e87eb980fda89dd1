// Lists files into a backup task: folders walked by mask, names found in any case, links without loops.

#include "engine/BackupTask.h"

#include "platform/FileSystem.h"
#include "platform/Text.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace fs = std::filesystem;

namespace quillbank {

static_assert(sizeof(off_t) >= sizeof(std::int64_t), "file sizes must be 64-bit");

/// Folders already listed by one ListFolder call, by device and inode, so that
/// links back up the tree or across it cannot make a listing loop.
struct TBackupTask::TVisitedFolders
{
    std::set<std::pair<dev_t, ino_t>> Ids;
};

namespace {

constexpr std::string_view EveryNameMask = "*.*";
constexpr std::string_view SkippedFolderPart = ".mozmsgs";

enum class TEntryKind
{
    File,
    Folder,
};

/// How many entries are listed between two turns of the window's events.
constexpr std::size_t EntriesBetweenEvents = 256;

struct TFolderEntry
{
    std::string Name;
    TEntryKind Kind;
    /// The name in lower case, the sort key.
    std::string Key;
};

/// What a path leads to after following links; nothing for a dangling link,
/// a special file or a path that cannot be examined.
std::optional<TEntryKind> KindOf(const std::string& path)
{
    struct stat info = {};
    if (::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    if (S_ISDIR(info.st_mode))
        return TEntryKind::Folder;
    if (S_ISREG(info.st_mode))
        return TEntryKind::File;
    return std::nullopt;
}

/// The files and folders of `folder` (which ends with "/"), in name order
/// without regard to case, so listings come out the same on every run.
/// Dangling links and special files are left out as if they were absent.
/// The window keeps its turn while a large folder is read.
std::vector<TFolderEntry> ReadFolder(const std::string& folder, TUserInterface& ui)
{
    std::vector<TFolderEntry> entries;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (entries.size() % EntriesBetweenEvents == EntriesBetweenEvents - 1)
            ui.ProcessEvents();
        std::string name = it->path().filename().string();
        // The folder tells the type of most entries (the entry keeps it, while
        // symlink_status() would ask the file system again); only links need
        // a look at what they lead to.
        std::error_code typeError;
        const bool link = it->is_symlink(typeError) || typeError;
        std::optional<TEntryKind> kind;
        if (!link && it->is_regular_file(typeError))
            kind = TEntryKind::File;
        else if (!link && it->is_directory(typeError))
            kind = TEntryKind::Folder;
        else if (link)
            kind = KindOf(folder + name);
        if (kind) {
            std::string key = ToLowerAscii(name);
            entries.push_back({std::move(name), *kind, std::move(key)});
        }
    }
    std::sort(entries.begin(), entries.end(), [](const TFolderEntry& a, const TFolderEntry& b) {
        return a.Key != b.Key ? a.Key < b.Key : a.Name < b.Name;
    });
    return entries;
}

bool MatchesMask(const std::string& name, const std::string& mask)
{
    // "*.*" stands for every name, whether or not it holds a dot.
    return mask == EveryNameMask || MatchesWildcard(name, mask);
}

[[noreturn]] void ThrowFileError(const std::string& path, int error)
{
    throw ETaskFileError("Cannot read the size of \"" + path + "\": " + std::strerror(error));
}

/// The size of the file at `path`, which a listing or a look-up found to be
/// a regular file; nothing when it is not one any more. The file is opened to
/// take its size, as a backup will have to open it; a file that exists but
/// cannot be opened raises ETaskFileError.
std::optional<std::int64_t> ListedFileSize(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        ThrowFileError(path, errno);
    struct stat info = {};
    const int result = ::fstat(fd, &info);
    const int error = errno;
    ::close(fd);
    if (result != 0)
        ThrowFileError(path, error);
    if (!S_ISREG(info.st_mode))
        return std::nullopt;
    return static_cast<std::int64_t>(info.st_size);
}

/// The size of the regular file at `path`, or nothing when no regular file is
/// there; looked at before opening, so that a fifo, socket or device is never
/// opened.
std::optional<std::int64_t> RegularFileSize(const std::string& path)
{
    if (KindOf(path) != TEntryKind::File)
        return std::nullopt;
    return ListedFileSize(path);
}

/// Finds `relativeName` below `folder` as a case-insensitive file system
/// would; returns the full path and the relative name as spelt on disk.
std::optional<std::pair<std::string, std::string>> ResolveBelow(const std::string& folder,
                                                                const std::string& relativeName)
{
    const std::string prefix = IncludeTrailingSeparator(folder);
    auto resolved = ResolvePathIgnoreCase(prefix, relativeName);
    if (!resolved)
        return std::nullopt;
    std::string onDisk = resolved->substr(prefix.size());
    return std::make_pair(std::move(*resolved), std::move(onDisk));
}

} // namespace

TBackupTask::TBackupTask(std::string baseDir, std::string profileDir, TUserInterface& ui)
    : baseDir_(std::move(baseDir)), profileDir_(std::move(profileDir)), ui_(ui)
{}

void TBackupTask::AddFile(const std::string& relativeName)
{
    const auto found = ResolveBelow(baseDir_, relativeName);
    if (!found)
        return;
    const auto size = RegularFileSize(found->first);
    if (!size)
        return;
    KeepFile(found->second, *size);
}

void TBackupTask::AddExternal(const std::string& relativeName, const std::string& sourceFolder)
{
    const auto found = ResolveBelow(sourceFolder, relativeName);
    if (!found)
        return;
    const auto size = RegularFileSize(found->first);
    if (!size)
        return;
    KeepExternal({IncludeTrailingSeparator(sourceFolder), found->second, {}}, *size);
}

void TBackupTask::AddListedFile(const std::string& root, const std::string& relativeName)
{
    const bool inProfile = IsInsideFolder(root + relativeName, profileDir_);
    if (inProfile && root != IncludeTrailingSeparator(baseDir_)) {
        AddFile(relativeName);
        return;
    }
    const auto size = ListedFileSize(root + relativeName);
    if (!size)
        return;
    if (inProfile)
        KeepFile(relativeName, *size);
    else
        KeepExternal({root, relativeName, {}}, *size);
}

void TBackupTask::KeepFile(std::string relativeName, std::int64_t size)
{
    files_.push_back(std::move(relativeName));
    fileInfos_.push_back({component_, size});
    totalBytes_ += size;
}

void TBackupTask::KeepExternal(TBackupTaskExternal external, std::int64_t size)
{
    externalFiles_.push_back(std::move(external));
    externalInfos_.push_back({component_, size});
    totalBytes_ += size;
}

void TBackupTask::StoreExternalFolderAs(const std::string& sourceDir, const std::string& folderName,
                                        const std::string& archiveFolder)
{
    const std::string source = IncludeTrailingSeparator(sourceDir);
    const std::string prefix = folderName + PathSeparator;
    for (TBackupTaskExternal& external : externalFiles_)
        if (external.SourceDir == source && external.RelativeName.starts_with(prefix))
            external.ArchiveFolder = archiveFolder;
}

void TBackupTask::AddFolder(const std::string& relativeFolder, const std::string& mask)
{
    ListFolder(relativeFolder, mask, baseDir_);
}

void TBackupTask::ListFolder(const std::string& folder, const std::string& mask, const std::string& root)
{
    const auto found = ResolveBelow(root, folder);
    if (!found)
        return;
    // The relative name as spelt on disk, without a trailing separator.
    std::string onDisk = found->second;
    while (!onDisk.empty() && onDisk.back() == PathSeparator)
        onDisk.pop_back();
    TVisitedFolders visited;
    ListFolderOnce(onDisk, mask, IncludeTrailingSeparator(root), visited);
}

void TBackupTask::ListFolderOnce(const std::string& folder, const std::string& mask, const std::string& root,
                                 TVisitedFolders& visited)
{
    const std::string relativePrefix = folder.empty() ? std::string() : folder + PathSeparator;
    const std::string fullFolder = root + relativePrefix;
    struct stat info = {};
    if (::stat(fullFolder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return;
    if (!visited.Ids.insert({info.st_dev, info.st_ino}).second)
        return;

    const std::vector<TFolderEntry> entries = ReadFolder(fullFolder, ui_);
    bool found = false;
    std::size_t listed = 0;
    for (const TFolderEntry& entry : entries) {
        // A cache folder may hold a hundred thousand files: the window
        // keeps its turn while they are listed.
        if (++listed % EntriesBetweenEvents == 0)
            ui_.ProcessEvents();
        if (!MatchesMask(entry.Name, mask))
            continue;
        found = true;
        const std::string relativeName = relativePrefix + entry.Name;
        if (entry.Kind == TEntryKind::Folder) {
            ui_.ProcessEvents();
            // Message search indexes: never part of a backup.
            if (relativeName.find(SkippedFolderPart) == std::string::npos)
                ListFolderOnce(relativeName, mask, root, visited);
        } else {
            // Spelt as on disk already: no need to look the name up again.
            AddListedFile(root, relativeName);
        }
    }
    if (found || mask == EveryNameMask)
        return;

    // Nothing here matches: look for matches in each sub-folder instead.
    for (const TFolderEntry& entry : entries) {
        if (entry.Kind == TEntryKind::Folder)
            ListFolderOnce(relativePrefix + entry.Name, mask, root, visited);
    }
}

} // namespace quillbank
