// The places outside the target profile that a restore would write into or leave preferences pointing at.

#pragma once

#include "engine/Archive.h"
#include "engine/RestoreRun.h"
#include "profile/PathsOutsideProfile.h"

#include <string>
#include <vector>

namespace quillbank {

struct TWizardState;

/// The places outside the target profile that a restore writes into, or
/// leaves the applications' preferences naming.
struct TPlacesOutsideProfile
{
    /// The backup's mail folders outside the profile, when its emails are restored.
    std::vector<std::string> MailFolders;
    /// The preferences of the backup's prefs.js that name such places and
    /// that the restore would keep, when it writes prefs.js.
    std::vector<TPathOutsideProfile> Preferences;

    bool Empty() const { return MailFolders.empty() && Preferences.empty(); }
};

/**
 * What a restore of `request` from the archive of `state` (its header read)
 * into the profile it targets would write or point at outside that profile.
 * The user sees these before anything is written; without the user's
 * agreement (KeepPathsOutsideProfile) the preferences among them are dropped.
 */
TPlacesOutsideProfile PlacesOutsideProfile(const TRestoreRequest& request, const TWizardState& state,
                                           TArchiveEnvironment environment);

} // namespace quillbank
