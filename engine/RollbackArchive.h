// The rollback archive: the files a restore may change, kept before it, with a manifest of what it holds.

#pragma once

#include "engine/Archive.h"
#include "vocabulary/AppType.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quillbank {

/// A rollback archive that cannot be written or read; the message names the
/// file and the reason.
class ERollbackError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

/// The entry of a rollback archive that says what it holds.
inline constexpr std::string_view RollbackManifestName = "rollback.txt";
/// The most a manifest may hold: a line per file, far below this.
inline constexpr std::uint64_t RollbackManifestSizeLimit = std::uint64_t{64} << 20;

/**
 * What a rollback archive holds besides the files: the profile restored
 * into, when, for which application, and what the restore may have changed.
 * Paths are absolute. Each replaced file is the archive's entry of the same
 * path without its leading "/".
 */
struct TRollbackManifest
{
    /// The profile folder, ending with a separator.
    std::string ProfileDir;
    /// Seconds since 1970 when the archive was written.
    std::int64_t Time = 0;
    AppType App = NoAppType;
    std::vector<std::string> Replaced;
    std::vector<std::string> Created;
    std::vector<std::string> CreatedFolders;

    bool operator==(const TRollbackManifest&) const = default;
};

/// The manifest as the archive keeps it: a line per item, "%", CR and LF in
/// paths written as "%25", "%0D" and "%0A".
std::string RollbackManifestText(const TRollbackManifest& manifest);

/// The manifest of `text`; nothing unless every line is one the writer
/// makes and every path is absolute and without "." or ".." steps.
std::optional<TRollbackManifest> ParseRollbackManifest(std::string_view text);

/// The archive's entry for the file at the absolute `path`.
std::string RollbackEntryName(std::string_view path);

/**
 * Writes the rollback archive `archivePath`: our backup format with an
 * empty header (every tool that reads our backups reads it), the replaced
 * files stored uncompressed, and the manifest. It is written beside its name
 * and renamed into place only once complete and on disk; anything less
 * throws ERollbackError saying why, and leaves no archive.
 */
void WriteRollbackArchive(const std::string& archivePath, const TRollbackManifest& manifest,
                          TArchiveEnvironment environment);

/// The manifest of the rollback archive at `archivePath`; nothing when it
/// cannot be read or is not one.
std::optional<TRollbackManifest> ReadRollbackManifest(const std::string& archivePath);

} // namespace quillbank
