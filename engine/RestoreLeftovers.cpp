// Finds the staged files, "chrome/chrome.bak" and "prefs.zal" an interrupted restore left, and removes them.

#include "engine/RestoreLeftovers.h"

#include "config/errorlog.h"
#include "engine/MailRestore.h"
#include "engine/PendingArchive.h"
#include "platform/FileSystem.h"
#include "platform/NameBeside.h"
#include "profile/RemoveFileOrLog.h"

#include <filesystem>
#include <vector>

namespace fs = std::filesystem;

namespace quillbank {

namespace {

constexpr std::string_view PrefsCopyName = "prefs.zal";
constexpr std::string_view ChromeFolderName = "chrome";
constexpr std::string_view ChromeRegistryCopyName = "chrome.bak";

/// Every staged file below `folder`, found before any is removed.
std::vector<std::string> StagedFilesBelow(const std::string& folder)
{
    std::vector<std::string> found;
    std::error_code error;
    fs::recursive_directory_iterator entries(folder, fs::directory_options::skip_permission_denied, error);
    for (; !error && entries != fs::recursive_directory_iterator(); entries.increment(error)) {
        std::error_code typeError;
        if (entries->is_regular_file(typeError) && !entries->is_symlink(typeError) &&
            IsTemporaryBesideName(entries->path().filename().string()))
            found.push_back(entries->path().string());
    }
    if (error)
        WriteErrorLog("cannot look through " + folder +
                      " for files of an interrupted restore: " + error.message());
    return found;
}

} // namespace

bool IsLeftoverOfARun(std::string_view name, bool isDirectory)
{
    return !isDirectory &&
           (IsTemporaryBesideName(name) || name == PrefsCopyName || IsPendingArchiveName(name));
}

void RemoveRestoreLeftovers(const std::string& profileDir)
{
    for (const std::string& path : StagedFilesBelow(profileDir))
        RemoveFileOrLog(path);
    // The extensions' registry is whole on disk before its copy is made, and
    // stays whole: the copy is never needed again.
    if (const auto chrome = ResolvePathIgnoreCase(profileDir, ChromeFolderName)) {
        const std::string folder = IncludeTrailingSeparator(*chrome);
        if (const auto copy = FindEntryIgnoreCase(folder, ChromeRegistryCopyName);
            copy && FileExists(folder + *copy))
            RemoveFileOrLog(folder + *copy);
    }
    try {
        SettlePrefsCopy(profileDir);
    } catch (const EPrefsRewriteError& error) {
        WriteErrorLog(error.what());
    }
}

} // namespace quillbank
