// A new backup's pending file: written beside its target and renamed over it only once complete.

#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace quillbank {

// A new backup is written under a name of its own beside its target, checked
// there, and only then renamed over the target: a failed or interrupted
// backup never destroys the previous one.

/// The name a new backup of `archivePath` is written under until it is done:
/// a hidden file beside it.
std::string PendingArchivePath(const std::string& archivePath);

/// Whether `name` (a file name without its folder) is one a pending backup
/// is written under: PendingArchivePath's name, or the archive library's
/// temporary of it.
bool IsPendingArchiveName(std::string_view name);

/// Removes what an interrupted backup to `archivePath` left behind.
void RemoveStalePendingArchive(const std::string& archivePath);

/// Flushes the finished backup to disk and renames it over `archivePath`,
/// calling `whileWaiting` every `EventTurnInterval` meanwhile. False when that
/// failed; the pending file is then removed.
bool CommitPendingArchive(const std::string& archivePath, const std::function<void()>& whileWaiting = {});

} // namespace quillbank
