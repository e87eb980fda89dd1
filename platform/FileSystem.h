// Paths and files: splitting and normalising paths, confinement checks, folders, reads, case-blind lookups.

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillbank {

/// The directory separator of this platform; folders that names are appended
/// to end with it.
inline constexpr char PathSeparator = '/';

/// `folder` with one separator at its end (an empty folder stays empty).
std::string IncludeTrailingSeparator(std::string_view folder);
/// `path` without separators at its end; the root "/" stays.
std::string WithoutTrailingSeparators(std::string_view path);
/// Everything up to and including the last separator; empty when there is none.
std::string ExtractFileDir(std::string_view path);
/// Everything after the last separator.
std::string ExtractFileName(std::string_view path);

/// `path` with "." and ".." steps resolved and repeated separators merged,
/// without looking at the disk and without a trailing separator; ".." at the
/// root stays at the root. A relative path stays relative.
std::string LexicallyNormal(std::string_view path);
/// Whether `path` is `folder` or lies below it, compared by whole path
/// components after LexicallyNormal: "/p/tbx-archive/Box" is not inside "/p/tbx".
bool IsInsideFolder(std::string_view path, std::string_view folder);

/// Whether a relative path from an untrusted source (an archive entry, a
/// header line) stays inside any folder it is joined to: not absolute, no
/// drive letter, no ".." step.
bool IsConfinedPath(std::string_view path);

/// Existence tests that follow symbolic links; a dangling link exists as neither.
bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);

/**
 * Makes the folder `folder` and every missing level above it, each new level
 * with the permission bits `mode` (less the umask); levels that exist stay
 * as they are. Nothing when the folder exists afterwards, otherwise the level
 * that could not be made and the reason.
 */
std::optional<std::string> MakeFolders(const std::string& folder, unsigned mode);

/// The whole content of a regular file, or nothing when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path);

/// The bytes an unprivileged user may still write on the file system that
/// holds `folder`, or its nearest parent that exists; nothing when that
/// cannot be told.
std::optional<std::uint64_t> FreeBytesIn(const std::string& folder);

/**
 * Looks a name up in a folder the way a case-insensitive file system would:
 * the exact name when it exists, otherwise the first entry whose name differs
 * only in ASCII letter case. Returns the entry's name as it is on disk.
 */
std::optional<std::string> FindEntryIgnoreCase(const std::string& folder, std::string_view name);

/**
 * Resolves a relative path ("chrome/userChrome.css") below `folder` one level
 * at a time with FindEntryIgnoreCase. Returns the full path as it is on disk,
 * or nothing when some level does not exist.
 */
std::optional<std::string> ResolvePathIgnoreCase(const std::string& folder, std::string_view relativePath);

} // namespace quillbank
