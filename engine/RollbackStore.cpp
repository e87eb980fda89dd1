// Keeps the rollback archives below $XDG_STATE_HOME: named by local time, listed newest first, pruned.

#include "engine/RollbackStore.h"

#include "platform/FileSystem.h"
#include "platform/SpecialFolders.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace quillbank {

namespace {

constexpr std::string_view ArchiveSuffix = ".qkz";
constexpr std::string_view UndoneSuffix = ".undone.qkz";

std::string LocalTimeText(std::time_t seconds, const char* format)
{
    std::tm local = {};
    localtime_r(&seconds, &local);
    char text[32];
    std::strftime(text, sizeof text, format, &local);
    return text;
}

std::int64_t Seconds(std::chrono::system_clock::time_point time)
{
    return std::chrono::duration_cast<std::chrono::seconds>(time.time_since_epoch()).count();
}

} // namespace

std::string RollbackTimeText(std::int64_t seconds)
{
    return LocalTimeText(static_cast<std::time_t>(seconds), "%Y-%m-%d %H:%M:%S");
}

std::string RollbackFolder()
{
    return StateDir() + "/quillbank/rollback";
}

std::string CreateRollbackFolder()
{
    const std::string folder = RollbackFolder();
    std::error_code error;
    fs::create_directories(ExtractFileDir(folder), error);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        throw ERollbackError("cannot create the rollback folder " + folder + ": " + std::strerror(errno));
    if (!DirectoryExists(folder) || ::chmod(folder.c_str(), 0700) != 0)
        throw ERollbackError("cannot use the rollback folder " + folder + ": " + std::strerror(errno));
    return folder;
}

std::string NewRollbackArchivePath(const std::string& folder, const std::string& profileDir,
                                   std::chrono::system_clock::time_point now)
{
    std::string name = ExtractFileName(WithoutTrailingSeparators(profileDir));
    // A hidden name would read as a file still being written.
    while (name.starts_with('.'))
        name.erase(0, 1);
    const std::string base = IncludeTrailingSeparator(folder) + (name.empty() ? "profile" : name) + "-" +
                             LocalTimeText(std::chrono::system_clock::to_time_t(now), "%Y%m%d-%H%M%S");
    auto taken = [](const std::string& stem) {
        std::error_code error;
        return fs::exists(fs::symlink_status(stem + std::string(ArchiveSuffix), error)) ||
               fs::exists(fs::symlink_status(stem + std::string(UndoneSuffix), error));
    };
    std::string stem = base;
    for (int count = 2; taken(stem); ++count)
        stem = base + "-" + std::to_string(count);
    const std::string path = stem + std::string(ArchiveSuffix);
    return path;
}

std::vector<TStoredRollback> StoredRollbacks(const std::string& folder)
{
    std::vector<TStoredRollback> found;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with('.') || !name.ends_with(ArchiveSuffix) || !entry.is_regular_file(error))
            continue;
        if (auto manifest = ReadRollbackManifest(entry.path().string()))
            found.push_back({entry.path().string(), std::move(*manifest), name.ends_with(UndoneSuffix)});
    }
    std::sort(found.begin(), found.end(), [](const TStoredRollback& a, const TStoredRollback& b) {
        return a.Manifest.Time != b.Manifest.Time ? a.Manifest.Time > b.Manifest.Time : a.Path > b.Path;
    });
    return found;
}

std::optional<TStoredRollback> UndoableRollback(const std::vector<TStoredRollback>& stored,
                                                const std::string& profileDir)
{
    const std::string wanted = IncludeTrailingSeparator(profileDir);
    const auto newest =
        std::find_if(stored.begin(), stored.end(), [&wanted](const TStoredRollback& rollback) {
            return rollback.Manifest.ProfileDir == wanted;
        });
    if (newest == stored.end() || newest->Undone)
        return std::nullopt;
    return *newest;
}

std::optional<TStoredRollback> UndoableRollback(const std::string& folder, const std::string& profileDir)
{
    return UndoableRollback(StoredRollbacks(folder), profileDir);
}

void MarkUndone(const TStoredRollback& rollback)
{
    const std::string marked =
        rollback.Path.substr(0, rollback.Path.size() - ArchiveSuffix.size()) + std::string(UndoneSuffix);
    if (std::rename(rollback.Path.c_str(), marked.c_str()) != 0)
        throw ERollbackError("cannot mark " + rollback.Path + " as undone: " + std::strerror(errno));
}

void PruneRollbacks(const std::string& folder, const std::string& profileDir,
                    std::chrono::system_clock::time_point now)
{
    const std::string wanted = IncludeTrailingSeparator(profileDir);
    std::size_t kept = 0;
    for (const TStoredRollback& rollback : StoredRollbacks(folder)) {
        const bool ours = rollback.Manifest.ProfileDir == wanted;
        const bool orphaned =
            !ours && !DirectoryExists(rollback.Manifest.ProfileDir) &&
            Seconds(now) - rollback.Manifest.Time >=
                std::chrono::duration_cast<std::chrono::seconds>(OrphanedRollbackAge).count();
        if ((ours && ++kept > RollbackArchivesKept) || orphaned)
            std::remove(rollback.Path.c_str());
    }
}

} // namespace quillbank
