// Key databases and the files they encrypt: extracted together, and what a restore would leave unreadable.

#pragma once

#include "engine/Archive.h"
#include "vocabulary/AppType.h"
#include "vocabulary/ComponentBoxes.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillbank {

class TInterfaceTexts;
struct TWizardState;

/**
 * A profile's key database encrypts its saved logins, the passphrase of its
 * OpenPGP keys and the private keys of its client certificates. A file
 * encrypted with one key database opens with no other: a restore that
 * replaces the key database restores, from the same backup, every file the
 * key protects that the backup holds, and whatever protected file the
 * profile holds that the backup lacks could no longer be opened afterwards.
 */

/// What a protected file keeps, as the user knows it.
enum class TSecret
{
    Logins,
    OpenPgpPassphrase,
    ClientCertificates,
};

/**
 * The files extracted together with a component's `files`: for every key
 * database among them that the archive holds, the files it protects that
 * the archive holds too, each once and not already among `files`.
 */
std::vector<std::string_view> FilesGoingWithKeys(std::span<const std::string_view> files,
                                                 const std::vector<std::string>& entryNames);

/// A protected file of the target that a restore would leave behind.
struct TOrphanedFile
{
    std::string Name;
    TSecret Secret;
    /// The key database it can no longer be opened without.
    std::string_view KeyDatabase;

    bool operator==(const TOrphanedFile&) const = default;
};

/// How an orphaned file is listed to the user: its name and, in the
/// language of `texts`, the secret it keeps ("logins.json (saved passwords)").
std::string OrphanedFileLine(const TOrphanedFile& file, const TInterfaceTexts& texts);

/**
 * The protected files of the profile folder `targetDir` that a restore of
 * the ticked `boxes` into a profile of `type` would leave encrypted with a
 * key database it replaces: a key database is replaced when a ticked
 * component restored into that type lists it and the archive holds it; the
 * files it protects that the target holds and the archive lacks are
 * orphaned. In the order of the key databases and their files.
 */
std::vector<TOrphanedFile> OrphanedProtectedFiles(const std::vector<std::string>& entryNames,
                                                  const TComponentBoxes& boxes, AppType type,
                                                  const std::string& targetDir);

/// The same for the restore the wizard state describes: the ZIP backup at
/// ArchivePath into the profile it restores into, with the application type
/// selected. A legacy container, whose records are only read as they are
/// restored, is not looked into.
std::vector<TOrphanedFile> OrphanedByRestore(const TWizardState& state, const TComponentBoxes& boxes,
                                             TArchiveEnvironment environment);

} // namespace quillbank
