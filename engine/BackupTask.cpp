// Lists files into a backup task: folders walked by mask, names found in any case, links without loops.

#include "engine/BackupTask.h"

#include "engine/ParallelRun.h"
#include "platform/FileDescriptor.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <exception>
#include <fcntl.h>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

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
/// Runs of EntriesBetweenEvents files from which a folder's sizes are taken
/// on every core: starting the threads costs more for fewer.
constexpr std::size_t MinRunsOnEveryCore = 8;

struct TFolderEntry
{
    std::string Name;
    TEntryKind Kind;
    /// The name in lower case, the sort key.
    std::string Key;
    /// The key's first eight bytes as one number, which orders most names
    /// without reaching for the two strings.
    std::uint64_t KeyStart = 0;
    /// For a file that is listed: its size and time, nothing when it is no
    /// longer a regular file.
    std::optional<TListedFileInfo> Status;
};

/// The first eight bytes of `key` as a number that orders as they do.
std::uint64_t StartOf(const std::string& key)
{
    std::uint64_t start = 0;
    for (std::size_t i = 0; i < 8; ++i)
        start = (start << 8) | (i < key.size() ? static_cast<unsigned char>(key[i]) : 0u);
    return start;
}

/// What a status describes; nothing for a special file.
std::optional<TEntryKind> KindOf(const struct stat& info)
{
    if (S_ISDIR(info.st_mode))
        return TEntryKind::Folder;
    if (S_ISREG(info.st_mode))
        return TEntryKind::File;
    return std::nullopt;
}

/// What a path leads to after following links; nothing for a dangling link,
/// a special file or a path that cannot be examined.
std::optional<TEntryKind> KindOf(const std::string& path)
{
    struct stat info = {};
    if (::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return KindOf(info);
}

/// The files and folders of an open folder, in name order without regard to
/// case, so listings come out the same on every run. Dangling links and
/// special files are left out as if they were absent. The window keeps its
/// turn while a large folder is read.
std::vector<TFolderEntry> ReadFolder(const TFileDescriptor& folder, TUserInterface& ui)
{
    std::vector<TFolderEntry> entries;
    const int listing = ::dup(folder.Get());
    DIR* stream = listing >= 0 ? ::fdopendir(listing) : nullptr;
    if (stream == nullptr) {
        if (listing >= 0)
            ::close(listing);
        return entries;
    }
    while (const dirent* entry = ::readdir(stream)) {
        if (entries.size() % EntriesBetweenEvents == EntriesBetweenEvents - 1)
            ui.ProcessEvents();
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        // The folder tells the type of most entries; only links, and entries
        // of file systems that do not say, need a look at what they are.
        std::optional<TEntryKind> kind;
        if (entry->d_type == DT_REG)
            kind = TEntryKind::File;
        else if (entry->d_type == DT_DIR)
            kind = TEntryKind::Folder;
        else if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat info = {};
            if (::fstatat(folder.Get(), entry->d_name, &info, 0) == 0)
                kind = KindOf(info);
        }
        if (kind) {
            std::string key = ToLowerAscii(name);
            const std::uint64_t keyStart = StartOf(key);
            entries.push_back({std::string(name), *kind, std::move(key), keyStart, std::nullopt});
        }
    }
    ::closedir(stream);
    std::sort(entries.begin(), entries.end(), [](const TFolderEntry& a, const TFolderEntry& b) {
        if (a.KeyStart != b.KeyStart)
            return a.KeyStart < b.KeyStart;
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

/// The size and time of the file `name` in `folder`, which a listing or a
/// look-up found to be a regular file; nothing when it is not one any more.
/// A file that exists but that the backup could not open for reading raises
/// ETaskFileError naming `path`.
std::optional<TListedFileInfo> ListedFileStatus(int folder, const char* name, const std::string& path)
{
    struct stat info = {};
    if (::fstatat(folder, name, &info, 0) != 0)
        ThrowFileError(path, errno);
    if (!S_ISREG(info.st_mode))
        return std::nullopt;
    if (::faccessat(folder, name, R_OK, AT_EACCESS) != 0)
        ThrowFileError(path, errno);
    return TListedFileInfo{std::nullopt, static_cast<std::int64_t>(info.st_size), info.st_mtime};
}

/// Takes the size of every file of `entries` (read from the open `folder`)
/// that matches `mask`. A folder of many files (a cache) has them taken on
/// every core, in runs of names; a file that cannot be read fails the
/// listing as it would one file after another, the first by name.
void TakeSizes(int folder, const std::string& fullFolder, const std::string& mask,
               std::vector<TFolderEntry>& entries, TUserInterface& ui)
{
    const std::size_t runs = (entries.size() + EntriesBetweenEvents - 1) / EntriesBetweenEvents;
    std::vector<std::exception_ptr> failures(runs);
    auto takeRun = [&](std::size_t first, std::size_t end) {
        try {
            for (std::size_t i = first; i < end; ++i)
                if (entries[i].Kind == TEntryKind::File && MatchesMask(entries[i].Name, mask))
                    entries[i].Status =
                        ListedFileStatus(folder, entries[i].Name.c_str(), fullFolder + entries[i].Name);
        } catch (const ETaskFileError&) {
            failures[first / EntriesBetweenEvents] = std::current_exception();
        }
    };
    if (runs < MinRunsOnEveryCore) {
        for (std::size_t first = 0; first < entries.size(); first += EntriesBetweenEvents) {
            takeRun(first, std::min(entries.size(), first + EntriesBetweenEvents));
            if (first + EntriesBetweenEvents <= entries.size())
                ui.ProcessEvents();
        }
    } else {
        RunInChunks(entries.size(), EntriesBetweenEvents, takeRun, [&ui] { ui.ProcessEvents(); });
    }
    for (const std::exception_ptr& failure : failures)
        if (failure)
            std::rethrow_exception(failure);
}

/// The size and time of the regular file at `path`, or nothing when no
/// regular file is there; looked at before opening, so that a fifo, socket
/// or device is never opened.
std::optional<TListedFileInfo> RegularFileStatus(const std::string& path)
{
    if (KindOf(path) != TEntryKind::File)
        return std::nullopt;
    return ListedFileStatus(AT_FDCWD, path.c_str(), path);
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
    const auto status = RegularFileStatus(found->first);
    if (!status)
        return;
    KeepFile(found->second, *status);
}

void TBackupTask::AddExternal(const std::string& relativeName, const std::string& sourceFolder)
{
    const auto found = ResolveBelow(sourceFolder, relativeName);
    if (!found)
        return;
    const auto status = RegularFileStatus(found->first);
    if (!status)
        return;
    KeepExternal({IncludeTrailingSeparator(sourceFolder), found->second, {}}, *status);
}

void TBackupTask::AddListedFile(const std::string& root, const std::string& relativeName,
                                const std::optional<TListedFileInfo>& status, bool inProfile)
{
    if (inProfile && root != IncludeTrailingSeparator(baseDir_)) {
        AddFile(relativeName);
        return;
    }
    if (!status)
        return;
    if (inProfile)
        KeepFile(relativeName, *status);
    else
        KeepExternal({root, relativeName, {}}, *status);
}

void TBackupTask::KeepFile(std::string relativeName, TListedFileInfo info)
{
    files_.push_back(std::move(relativeName));
    info.Component = component_;
    totalBytes_ += info.Size;
    fileInfos_.push_back(info);
}

void TBackupTask::KeepExternal(TBackupTaskExternal external, TListedFileInfo info)
{
    externalFiles_.push_back(std::move(external));
    info.Component = component_;
    totalBytes_ += info.Size;
    externalInfos_.push_back(info);
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
    std::vector<TFolderEntry> entries;
    {
        const TFileDescriptor opened(::open(fullFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        struct stat info = {};
        if (opened.Get() < 0 || ::fstat(opened.Get(), &info) != 0)
            return;
        if (!visited.Ids.insert({info.st_dev, info.st_ino}).second)
            return;
        entries = ReadFolder(opened, ui_);
        // Sizes are taken while the folder is open; it is closed before its
        // sub-folders are listed, so that a deep tree holds no descriptors.
        TakeSizes(opened.Get(), fullFolder, mask, entries, ui_);
    }
    const bool inProfile = IsInsideFolder(fullFolder, profileDir_);

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
            AddListedFile(root, relativeName, entry.Status, inProfile);
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
