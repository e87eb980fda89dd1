// Which profile a backup was made from, and when: the header lines retention finds a profile's backups by.

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillbank {

/**
 * Which profile a backup was made from, and when: the last part of the
 * headers quillbank-cli writes, by which retention finds the earlier
 * backups of a profile among the files of a folder.
 */
struct TBackupIdentity
{
    /// The profile's name as the command line found it; may be empty.
    std::string ProfileName;
    /// The profile's folder, absolute and without a trailing separator.
    std::string ProfileFolder;
    /// When the backup was made, in seconds since 1970-01-01 UTC.
    std::optional<std::int64_t> MadeAt;
};

/// The identity's header lines ("Profile: ", "Folder: ", "Made: " with an
/// ISO 8601 UTC time), without their line ends.
std::vector<std::string> IdentityLines(const TBackupIdentity& identity);

/// The identity these header lines hold; nothing when they hold no folder.
/// A time that does not parse is left out.
std::optional<TBackupIdentity> ParseIdentityLines(const std::vector<std::string>& lines);

/// `seconds` since 1970 as "YYYY-MM-DDTHH:MM:SSZ".
std::string FormatUtcTime(std::int64_t seconds);
/// The seconds since 1970 that "YYYY-MM-DDTHH:MM:SSZ" names; nothing for any
/// other text or an impossible date.
std::optional<std::int64_t> ParseUtcTime(std::string_view text);

/// The form of a profile folder identities record and compare: absolute
/// path steps resolved, no trailing separator.
std::string IdentityFolder(std::string_view folder);

} // namespace quillbank
