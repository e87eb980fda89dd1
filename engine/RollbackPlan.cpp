// Works out the plan from a restore's extracts and later rewrites, sorting paths by what lies there now.

#include "engine/RollbackPlan.h"

#include "apps/WizardState.h"
#include "engine/Catalogue.h"
#include "engine/KeyStore.h"
#include "engine/PlacesOutsideProfile.h"
#include "platform/FileSystem.h"
#include "profile/MovedProfilePaths.h"
#include "profile/SqliteFiles.h"
#include "profile/WindowsMailFolders.h"
#include "profile/WindowsPaths.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <unordered_map>

namespace quillbank {

namespace {

/// Files a restore rewrites or deletes after its extracts, or that an
/// interrupted rewrite left and the next restore settles.
constexpr std::array<std::string_view, 6> RewrittenFiles = {"prefs.js",
                                                            "prefs.zal",
                                                            "chrome/chrome.rdf",
                                                            "chrome/chrome.bak",
                                                            "chrome/userContent.css",
                                                            "chrome/userChrome.css"};

/// Sorts the candidate paths into the plan by what lies there now.
class TPlanBuilder
{
public:
    explicit TPlanBuilder(std::string profileDir) { plan_.ProfileDir = std::move(profileDir); }

    /// `path` below `root` (both absolute, `root` ending with a separator).
    void Add(const std::string& root, const std::string& relative)
    {
        // Folder entries name no file.
        if (relative.empty() || relative.back() == '/' || !IsConfinedPath(relative))
            return;
        std::string path = root + relative;
        // Nothing lies in a folder that is not there in any letter case: a
        // restore into a new profile creates every file without a look at each.
        const std::size_t slash = relative.rfind('/');
        if (slash != std::string::npos && !FolderFound(root, relative.substr(0, slash))) {
            if (seen_.insert(path).second) {
                plan_.Created.push_back(path);
                AddMissingFolders(root, relative);
            }
            return;
        }
        // A file whose name differs in letter case only is the one replaced.
        if (!Exists(path))
            if (auto found = ResolvePathIgnoreCase(root, relative))
                path = std::move(*found);
        if (!seen_.insert(path).second)
            return;
        struct stat info = {};
        if (::stat(path.c_str(), &info) == 0) {
            if (S_ISREG(info.st_mode))
                plan_.Replaced.push_back(path);
            return;
        }
        plan_.Created.push_back(path);
        AddMissingFolders(root, relative);
    }

    TRollbackPlan Take() { return std::move(plan_); }

private:
    static bool Exists(const std::string& path)
    {
        struct stat info = {};
        return ::lstat(path.c_str(), &info) == 0;
    }

    /// Whether the folder `relative` below `root` exists, in any letter case.
    bool FolderFound(const std::string& root, const std::string& relative)
    {
        const auto [known, added] = foldersFound_.try_emplace(root + relative, false);
        if (added)
            known->second = Exists(known->first) || ResolvePathIgnoreCase(root, relative).has_value();
        return known->second;
    }

    void AddMissingFolders(const std::string& root, const std::string& relative)
    {
        for (std::size_t slash = relative.find('/'); slash != std::string::npos;
             slash = relative.find('/', slash + 1)) {
            // Each folder is looked at once: the disk does not change while planning.
            std::string folder = root + relative.substr(0, slash);
            if (foldersSeen_.insert(folder).second && !Exists(folder))
                plan_.CreatedFolders.push_back(std::move(folder));
        }
    }

    TRollbackPlan plan_;
    std::set<std::string> seen_;
    std::set<std::string> foldersSeen_;
    std::unordered_map<std::string, bool> foldersFound_;
};

/// The entry names an extract of `request` writes into the profile, each
/// database followed by its companions; `entries` are the archive's names.
std::vector<std::string> ProfileNames(const TRestoreRequest& request, const TWizardState& state,
                                      TArchive& archive, const std::vector<std::string>& entries)
{
    std::vector<std::string> names = archive.EntryNamesMatching(RestoreProfileSpecs(request, state));
    for (const TRestoreComponent& component : RestoreComponents())
        if (request.Boxes[component.Box].Checked && !IsSkippedOnRestore(component.Box, state.SelectedAppType))
            for (std::string_view file : FilesGoingWithKeys(component.Files, entries))
                names.emplace_back(file);
    for (std::size_t i = 0, count = names.size(); i < count; ++i)
        if (IsSqliteDatabase(names[i])) {
            names.push_back(WriteAheadLogName(names[i]));
            names.push_back(names[i] + "-shm");
        }
    for (std::string_view file : RewrittenFiles)
        names.emplace_back(file);
    for (std::string_view file : FilesFixedForMovedProfile())
        names.emplace_back(file);
    return names;
}

/// Whether nothing but folders lies at `path`, or nothing at all. A link or
/// a folder that cannot be read counts as a file.
bool HoldsFoldersOnly(const std::string& path)
{
    std::error_code error;
    const auto status = std::filesystem::symlink_status(path, error);
    if (status.type() == std::filesystem::file_type::not_found)
        return true;
    if (error || status.type() != std::filesystem::file_type::directory)
        return false;
    for (std::filesystem::recursive_directory_iterator it(path, error), end; !error && it != end;
         it.increment(error))
        if (it->symlink_status(error).type() != std::filesystem::file_type::directory)
            return false;
    return !error;
}

/// The nearest folder above `path` that exists, ending with "/".
std::string NearestExistingFolderAbove(const std::string& path)
{
    std::filesystem::path folder = std::filesystem::path(WithoutTrailingSeparators(path)).parent_path();
    while (folder.has_relative_path() && !DirectoryExists(folder.string()))
        folder = folder.parent_path();
    return IncludeTrailingSeparator(folder.string());
}

} // namespace

TRollbackPlan PlanRollback(const TRestoreRequest& request, const TWizardState& state,
                           TArchiveEnvironment environment)
{
    const std::string profileDir = RestoreTargetProfile(state);
    TPlanBuilder plan(profileDir);
    // Looked up before this archive object opens the archive: its handles,
    // kept between readers, serve one reader at a time, and opening an
    // archive of many entries anew takes a while.
    const std::vector<std::string> outside = PlacesOutsideProfile(request, state, environment).MailFolders;
    // A new profile, with its mail folders new too, has no file to replace.
    const auto chosenPlaceEmpty = [](const TMailFolder& folder) {
        return folder.Place.empty() || HoldsFoldersOnly(folder.Place);
    };
    if (HoldsFoldersOnly(profileDir) && std::ranges::all_of(outside, HoldsFoldersOnly) &&
        std::ranges::all_of(state.MailFolders, chosenPlaceEmpty))
        return plan.Take();
    TArchive archive(state.ArchivePath, "", profileDir, environment);
    const std::vector<std::string> entries = archive.EntryNames();
    for (const std::string& name : ProfileNames(request, state, archive, entries))
        plan.Add(profileDir, name);
    std::set<std::string> taken;
    const bool restoresEmails =
        request.Boxes[EmailsBox].Checked && !IsSkippedOnRestore(EmailsBox, state.SelectedAppType);
    for (const TMailFolder& folder : state.MailFolders) {
        // A folder recorded on Windows gets a new place, inside the profile
        // or where the user chose, and its files there are all new.
        const bool recordedOnWindows = restoresEmails && IsWindowsAbsolutePath(folder.Path);
        const std::string place =
            recordedOnWindows ? WindowsFolderPlace(folder, profileDir, taken) : folder.Path;
        if (!recordedOnWindows && std::find(outside.begin(), outside.end(), folder.Path) == outside.end())
            continue;
        const std::string prefix = folder.ArchiveFolder + "/";
        // The folder itself, and folders above it, may be created too: its
        // files are named from the nearest folder that exists.
        const std::string parent = NearestExistingFolderAbove(place);
        const std::string own = WithoutTrailingSeparators(place).substr(parent.size());
        for (const std::string& entry : entries)
            if (entry.starts_with(prefix) && entry.size() > prefix.size() && entry.back() != '/')
                plan.Add(parent, own + "/" + entry.substr(prefix.size()));
    }
    return plan.Take();
}

} // namespace quillbank
