// The restore run: what a restore is asked to do, and the restore of a backup into a profile.

#pragma once

#include "engine/Archive.h"
#include "engine/RunOutcome.h"
#include "platform/FileSystem.h"
#include "vocabulary/ComponentBoxes.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quillbank {

struct TWizardState;

/// What a restore is asked to do besides what the wizard state holds: the
/// component boxes when the run starts, and which of the archive's unknown
/// entries are ticked.
struct TRestoreRequest
{
    TComponentBoxes Boxes;
    std::vector<bool> UnknownTicks;
    /// The user agreed to the places outside the profile that the restore
    /// writes into or leaves preferences naming (PlacesOutsideProfile);
    /// without that, such preferences are dropped.
    bool KeepPathsOutsideProfile = false;
    /// Go on while the profile is in use (the legacy container's copy asks
    /// otherwise, as the run goes on, for the application to be closed).
    bool Force = false;
    /// The free space of the profile's file system, asked once before anything is written.
    std::function<std::optional<std::uint64_t>(const std::string& folder)> FreeSpace = FreeBytesIn;
    /// Whether the files of the profile that the restore may replace or
    /// remove are kept first in a rollback archive, so it can be undone.
    bool Rollback = true;
    /// The time the rollback archive is named and dated by, and that the
    /// age of the archives of vanished profiles is measured against.
    std::function<std::chrono::system_clock::time_point()> Now = std::chrono::system_clock::now;
};

/**
 * Restores the chosen components of the backup at ArchivePath (a ZIP
 * archive or a legacy text container, as ArchiveFormat says) into the
 * profile selected in the wizard, which becomes ProfileDir. Reports a task
 * line and a result line per component and moves the bar; a component of
 * which an entry was refused or not written gets the line saying it failed,
 * followed by a line per such entry with the reason. I/O failures of the
 * legacy container and of the preferences end the program at once after a
 * warning; any other failure stops the run with a message box. A ZIP
 * archive whose entries to be written into the profile declare more bytes
 * than its file system has free is refused so before anything is written.
 *
 * Before the first file of a profile that holds files is replaced or
 * removed, a ZIP archive's restore keeps every file it may change in a
 * rollback archive (RollbackPlan, RollbackStore), unless the request says
 * not to; when that archive cannot be written completely the restore does
 * not start, and its outcome says why. A restore that fails afterwards is
 * taken back from it at once; one that ends otherwise leaves the newest
 * archives of the profile and removes the older ones.
 *
 * Returns how the run ended: done; done with the entries left out; or
 * failed, when it stopped or no part of it came through whole.
 */
TRunOutcome RunRestore(const TRestoreRequest& request, TWizardState& state, TArchiveEnvironment environment);

/// The profile folder a restore writes into, ending with a separator: the
/// first profile entry named as the selected line, else the portable
/// profile's folder, else ProfileDir as it stands.
std::string RestoreTargetProfile(const TWizardState& state);

/// The specs of every extract into the profile that the chosen components
/// and ticked unknown entries of `request` make, databases with their logs;
/// the mail folders kept outside the profile lie elsewhere.
std::vector<std::string> RestoreProfileSpecs(const TRestoreRequest& request, const TWizardState& state);

/// Creates, below `profileDir`, every folder named in `relativePath` before
/// its last separator.
void CreateParentDirs(const std::string& profileDir, const std::string& relativePath);

} // namespace quillbank
