// The rollback folder: naming, listing, marking undone and pruning the rollback archives of each profile.

#pragma once

#include "engine/RollbackArchive.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace quillbank {

/// How many rollback archives of a profile are kept.
inline constexpr std::size_t RollbackArchivesKept = 3;
/// How long a rollback archive whose profile folder is gone is kept.
inline constexpr std::chrono::hours OrphanedRollbackAge{24 * 30};

/// A complete rollback archive in the rollback folder.
struct TStoredRollback
{
    std::string Path;
    TRollbackManifest Manifest;
    /// Whether an undo has taken it back already: it is then kept, but no
    /// longer offered.
    bool Undone = false;
};

/// `seconds` since 1970 as the local time "YYYY-MM-DD HH:MM:SS".
std::string RollbackTimeText(std::int64_t seconds);

/// The folder rollback archives are kept in: "quillbank/rollback" below
/// $XDG_STATE_HOME (~/.local/state by default).
std::string RollbackFolder();

/// The rollback folder, created readable by the user only when missing.
/// Throws ERollbackError when it cannot be made.
std::string CreateRollbackFolder();

/// A new archive's path in `folder`: the profile folder's name and the
/// local time, "-2", "-3"... added while that name is taken.
std::string NewRollbackArchivePath(const std::string& folder, const std::string& profileDir,
                                   std::chrono::system_clock::time_point now);

/// Every complete rollback archive of `folder` with a readable manifest,
/// newest first. Files still being written (hidden, pending names) are none.
std::vector<TStoredRollback> StoredRollbacks(const std::string& folder);

/// The archive an undo of the profile's last restore takes back: its newest
/// rollback archive, unless an undo has taken that back already.
std::optional<TStoredRollback> UndoableRollback(const std::string& folder, const std::string& profileDir);
/// The same among rollback archives already read (StoredRollbacks), for
/// asking about many profiles at once.
std::optional<TStoredRollback> UndoableRollback(const std::vector<TStoredRollback>& stored,
                                                const std::string& profileDir);

/// Marks `rollback` as taken back: renamed to end in ".undone.qkz".
void MarkUndone(const TStoredRollback& rollback);

/// Removes all but the newest RollbackArchivesKept archives of the profile,
/// and the archives of profiles whose folder is gone that are older than
/// OrphanedRollbackAge at `now`.
void PruneRollbacks(const std::string& folder, const std::string& profileDir,
                    std::chrono::system_clock::time_point now);

} // namespace quillbank
