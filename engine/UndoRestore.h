// Undoes a restore from its rollback archive, putting the profile back as it was before.

#pragma once

#include "engine/RollbackStore.h"

namespace quillbank {

/**
 * Takes back the restore that `rollback` was written for: every file it
 * kept is written beside its place first, and only once all of them are
 * complete are they renamed over their places, each in one step; then the
 * files and folders the restore created are removed (a folder only when it
 * is empty), and the archive is marked undone. Until the renames start
 * nothing has changed: a failure there throws ERollbackError naming the
 * file and the reason and leaves the profile as it was.
 */
void UndoRestore(const TStoredRollback& rollback);

/// Removes the files the restore of `manifest` created, then the folders it
/// created that are empty, deepest first.
void RemoveCreatedFiles(const TRollbackManifest& manifest);

} // namespace quillbank
