// The backup run: what a backup is asked to do, and how it ended, with the account of every file.

#pragma once

#include "engine/Archive.h"
#include "engine/BackupAccount.h"
#include "engine/BackupIdentity.h"
#include "engine/RunOutcome.h"
#include "vocabulary/AppType.h"
#include "vocabulary/ComponentBoxes.h"
#include "vocabulary/MailFolder.h"
#include "vocabulary/UnknownEntry.h"

#include <optional>
#include <string>
#include <vector>

namespace quillbank {

class TBackupTask;
struct TWizardState;

/// What a backup is asked to do: the choices the wizard (or a batch task)
/// made before the run starts.
struct TBackupRequest
{
    AppType Application = NoAppType;
    /// The profile to back up, ending with a separator.
    std::string ProfileDir;
    /// The backup file to make; an older file there is replaced only by a
    /// complete, checked new one.
    std::string ArchivePath;
    /// Empty for an unprotected backup.
    std::string Password;
    /// The component boxes as they stood when the run started.
    TComponentBoxes Boxes;
    /// The unknown entries the user was offered, and which of them are ticked.
    std::vector<TUnknownEntry> UnknownEntries;
    std::vector<bool> UnknownTicks;
    /// Unattended runs skip the read-back check of the new archive.
    bool IsBatch = false;
    /// Only draw up the account of what a backup would take and leave out:
    /// no archive is written and no file is touched.
    bool DryRun = false;
    /// What to use instead of the compression level and the encryption that
    /// "Backup.ini" names; nothing keeps the settings.
    std::optional<int> CompressionLevel;
    std::optional<TZipEncryption> Encryption;
    /// Recorded in the header when given, so that retention can later find
    /// the backups of this profile.
    std::optional<TBackupIdentity> Identity;
};

/// How a backup ended, and what became of every file.
struct TBackupOutcome
{
    /// Done; done without the files that could not be read when their turn
    /// came; or failed, and no backup made.
    TRunOutcome Run;
    /// The account of what became of every file (for a dry run, of what
    /// would become of it); empty when the backup failed.
    TBackupAccount Account;
};

/**
 * Makes a backup: collects the chosen components, the mail folders and the
 * ticked unknown entries, writes the archive with its header beside the
 * target, checks it (unless unattended) and only then puts it in place.
 * Fills MailFolders of `state`. Reports through the environment's user
 * interface; an archive that cannot be put in its place ends the program at
 * once. A failed backup leaves the previous one as it was.
 */
TBackupOutcome RunBackup(const TBackupRequest& request, TWizardState& state, TArchiveEnvironment environment);

/// Lists the mail folders of the Emails component into the task: the
/// profile's own folders, and each account folder outside the profile,
/// which is appended to `mailFolders` under its own name (once each).
void CollectMailFolders(TBackupTask& task, bool accountsOnly, const std::string& profileDir,
                        const TInterfaceTexts& texts, std::vector<TMailFolder>& mailFolders);

} // namespace quillbank
