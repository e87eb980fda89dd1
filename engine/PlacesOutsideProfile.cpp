// Gathers the places outside the profile from the backup's mail folders and from the prefs.js it holds.

#include "engine/PlacesOutsideProfile.h"

#include "apps/WizardState.h"
#include "engine/Catalogue.h"
#include "engine/MailRestore.h"
#include "engine/PrivateTempDir.h"
#include "platform/FileSystem.h"
#include "profile/WindowsPaths.h"

#include <algorithm>

namespace quillbank {

namespace {

constexpr std::string_view PrefsName = "prefs.js";

bool Restores(const TRestoreRequest& request, const TWizardState& state, TComponentBox box)
{
    return request.Boxes[box].Checked && !IsSkippedOnRestore(box, state.SelectedAppType);
}

/// Whether the restore writes the backup's prefs.js by any route.
bool WritesPrefs(const TRestoreRequest& request, const TWizardState& state)
{
    if (Restores(request, state, GeneralSettingsBox) || Restores(request, state, EmailsBox))
        return true;
    for (std::size_t row = 0; row < state.UnknownEntries.size() && row < request.UnknownTicks.size(); ++row)
        if (request.UnknownTicks[row] && !state.UnknownEntries[row].IsDirectory &&
            state.UnknownEntries[row].Name == PrefsName)
            return true;
    return false;
}

/// The backup's prefs.js, when it holds one.
std::optional<std::string> ArchivePrefs(const TWizardState& state, const TArchiveEnvironment& environment)
{
    const TPrivateTempDir folder;
    TArchive archive(state.ArchivePath, "", environment);
    if (archive.ExtractFileTo(std::string(PrefsName), folder.Path()) != 1)
        return std::nullopt;
    return ReadWholeFile(folder.Path() + std::string(PrefsName));
}

} // namespace

TPlacesOutsideProfile PlacesOutsideProfile(const TRestoreRequest& request, const TWizardState& state,
                                           TArchiveEnvironment environment)
{
    TPlacesOutsideProfile places;
    // A folder recorded on Windows goes inside the profile unless the user
    // chose a place for it.
    if (Restores(request, state, EmailsBox)) {
        for (const TMailFolder& folder : state.MailFolders) {
            if (!IsWindowsAbsolutePath(folder.Path))
                places.MailFolders.push_back(folder.Path);
            else if (!folder.Place.empty() && !IsInsideFolder(folder.Place, RestoreTargetProfile(state)))
                places.MailFolders.push_back(folder.Place);
        }
    }
    // A legacy container's prefs.js is not looked into: its places are dropped.
    if (state.ArchiveFormat != TArchiveFormat::Zip || !WritesPrefs(request, state))
        return places;
    const auto prefs = ArchivePrefs(state, environment);
    if (!prefs)
        return places;
    for (TPathOutsideProfile& preference : PathsOutsideProfile(*prefs, RestoreTargetProfile(state))) {
        // The clean-up's other rules look at the preference's name alone.
        const std::string line = "user_pref(\"" + preference.Name + "\", \"\");";
        const bool restoredMailFolder =
            std::ranges::find(places.MailFolders, preference.Path) != places.MailFolders.end();
        if (!restoredMailFolder && !IsDroppedFromRestoredPrefs(line, state.SelectedAppType, request.Boxes))
            places.Preferences.push_back(std::move(preference));
    }
    return places;
}

} // namespace quillbank
