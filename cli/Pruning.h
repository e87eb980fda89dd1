// Retention for quillbank-cli: the --keep-* options, and removing a profile's backups no rule keeps.

#pragma once

#include "engine/Retention.h"
#include "vocabulary/AppType.h"

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace quillbank {
class TInterfaceTexts;
}

namespace quillbank::cli {

class TOptions;

/// The largest count a --keep-* option takes.
inline constexpr int MaxKeepCount = 1000000;

/// The policy the options "--keep-last", "--keep-daily", "--keep-weekly"
/// and "--keep-monthly" give; throws EUsageError for a count that is not a
/// whole number from 0 to MaxKeepCount.
TRetentionPolicy ParseRetentionOptions(const TOptions& options);

/// Whose backups retention looks at, and where.
struct TPruneRequest
{
    /// The folder whose files are looked at (not its subfolders).
    std::string Folder;
    AppType Application = NoAppType;
    /// The profile's folder, as backups record it.
    std::string ProfileFolder;
    TRetentionPolicy Policy;
    /// A backup that is never removed whatever the policy says: the one just
    /// made. Empty for none.
    std::string Spared;
    /// Opens the headers of protected backups; empty for none.
    std::string Password;
    /// Only say what would be removed.
    bool DryRun = false;
};

/// One backup of the profile that retention looked at.
struct TPrunedBackup
{
    std::string Path;
    std::int64_t MadeAt = 0;
    bool Kept = true;
    /// Why a backup the policy gives up is still there; empty when it was
    /// removed (or, in a dry run, would be).
    std::string RemovalFailure;
};

/**
 * Applies the policy to the backups of the profile in the folder: the
 * regular files (symbolic links and files still being written are left
 * alone) whose header names the
 * application and the profile's folder. A backup's time is the one its
 * header records, else its file's modification time; its day, week and
 * month are those of the local time zone. A file whose header cannot be
 * read (another program's file, a backup protected by another password, an
 * older backup that names no profile) is not one of them. Gives every
 * backup of the profile, newest first.
 */
std::vector<TPrunedBackup> PruneBackups(const TPruneRequest& request, const TInterfaceTexts& texts,
                                        const std::string& programDir);

/// How ReportPruning tells what retention did.
struct TPruneReport
{
    /// Nothing was removed: say what would have been.
    bool DryRun = false;
    /// Say nothing but what could not be removed.
    bool Quiet = false;
    /// Name the backups kept too.
    bool Verbose = false;
    /// What each line starts with.
    std::string Prefix;
};

/**
 * Prints a line per backup removed (or, in a dry run, that would be) on
 * `out`, and one per backup that could not be removed on `err`, standard
 * error. Returns whether every backup to remove was removed.
 */
bool ReportPruning(const std::vector<TPrunedBackup>& backups, const TPruneReport& report, std::ostream& out,
                   std::ostream& err);

} // namespace quillbank::cli
