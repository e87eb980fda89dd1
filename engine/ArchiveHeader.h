// The header entry "indexfile.txt": writing it, reading it, and telling backup files from other files.

#pragma once

#include "engine/Archive.h"
#include "engine/BackupIdentity.h"
#include "vocabulary/AppType.h"
#include "vocabulary/ComponentBoxes.h"
#include "vocabulary/MailFolder.h"
#include "vocabulary/UnknownEntry.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillbank {

struct TWizardState;

/// The line that ends each part of a header.
inline constexpr std::string_view HeaderSeparator = "****////\\\\\\\\****";

/// The most a header entry may hold, in bytes and in lines. A real header
/// takes a few lines per mail folder and two per unknown entry, far below
/// both; an archive whose header is larger is no backup, and only this much
/// of it is ever extracted or held in memory. A legacy container is read no
/// further than this for its header lines either.
inline constexpr std::uint64_t HeaderSizeLimit = std::uint64_t{4} << 20;
inline constexpr std::size_t HeaderLineLimit = 100000;

/**
 * The header text of a new archive: the magic line, the application type,
 * an empty version line, the component flags, the external mail folders and
 * the unknown entries, each part closed by the separator line; CR LF line
 * ends. When a mail folder is stored under another archive folder than its
 * own name, a part lists the archive folder of every mail folder. With an
 * `identity`, that part is written (empty when no folder is renamed) and a
 * last part names the profile and the time the backup was made. It goes
 * into the archive from memory: a backup never writes into the profile it
 * reads.
 */
std::string WriteArchiveHeader(AppType type, const TComponentBoxes& boxes,
                               const std::vector<TMailFolder>& mailFolders,
                               const std::vector<TUnknownEntry>& unknownEntries,
                               const std::optional<TBackupIdentity>& identity = std::nullopt);

/// What retention needs of a backup's header.
struct THeaderSummary
{
    /// The application type it names; 0 when it names none known.
    AppType Type = NoAppType;
    /// Its last part, when it has one.
    std::optional<TBackupIdentity> Identity;
};

/**
 * The summary of the header of the ZIP archive at `path`, opened with the
 * state's BackupPassword; nothing when it is no archive with a readable
 * header. Never asks for a password and never ends the program.
 */
std::optional<THeaderSummary> ReadHeaderSummary(const std::string& path, TArchiveEnvironment environment);

/**
 * Whether the file at `path` is a backup this program can restore for the
 * selected application type: a legacy text container of that type (format
 * 1), or a ZIP archive whose header can be extracted (format 2, any type).
 * Sets ArchiveFormat. A file that exists but cannot be read ends the program
 * after a warning.
 */
bool DetectBackupFile(const std::string& path, TWizardState& state, TArchiveEnvironment environment);

/**
 * Whether the file at `path` holds a backup, judged by its content alone
 * (whatever its name): a legacy text container of any application, or a ZIP
 * archive with a header entry. Nothing is extracted and nothing is asked.
 */
bool IsBackupFile(const std::string& path);

/**
 * Reads the header of the archive at ArchivePath: ticks and enables the
 * components it holds and clears and disables the others, and fills
 * MailFolders and UnknownEntries (left empty for a legacy container, whose
 * body follows at once). Returns the application type the header names (0
 * when it names none it knows). A header that cannot be read ends the
 * program after a warning.
 */
AppType ReadArchiveHeader(TWizardState& state, TComponentBoxes& boxes, TArchiveEnvironment environment);

/// Removes an unfinished archive at ArchivePath.
void DiscardArchive(const TWizardState& state);

} // namespace quillbank
