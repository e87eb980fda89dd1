// The rollback plan: every file and folder a restore may change or create, worked out before it writes.

#pragma once

#include "engine/Archive.h"
#include "engine/RestoreRun.h"

#include <string>
#include <vector>

namespace quillbank {

struct TWizardState;

/// What a restore may change, worked out before it writes anything: the
/// files it may replace or remove, and the files and folders it may create.
/// Paths are absolute; the profile's own files and those of the mail folders
/// it writes outside the profile alike.
struct TRollbackPlan
{
    /// The profile folder restored into, ending with a separator.
    std::string ProfileDir;
    /// Files that exist now and that the restore may replace or remove.
    std::vector<std::string> Replaced;
    /// Files that do not exist now and that the restore may create.
    std::vector<std::string> Created;
    /// Folders that do not exist now and that the restore may create, each
    /// after the folder it lies in.
    std::vector<std::string> CreatedFolders;
};

/**
 * The plan for a restore of `request` from the archive of `state` (its
 * header read) into the profile it targets: every file an extract of the
 * chosen components and unknown entries would write (databases with their
 * "-wal" and "-shm" files, key databases with the files they protect), the
 * files the restore rewrites or deletes afterwards (prefs.js, user styles,
 * the chrome registry, the files pointing at the profile's folder), and the
 * files of the mail folders it writes outside the profile. A file that may
 * be written counts even when the restore ends up leaving it alone: keeping
 * too much costs room, keeping too little would lose the user's data.
 *
 * The plan is empty when no file lies in the profile or in those mail
 * folders: a restore that replaces nothing has nothing to roll back.
 */
TRollbackPlan PlanRollback(const TRestoreRequest& request, const TWizardState& state,
                           TArchiveEnvironment environment);

} // namespace quillbank
