// Windows paths and "file://" addresses as backups made on Windows record them: recognised and taken apart.

#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillbank {

/// Whether `path` is an absolute path as a backup made on Windows records
/// one: a drive letter and a separator ("C:\Mail", "d:/x") or a network
/// share ("\\server\share\Mail").
bool IsWindowsAbsolutePath(std::string_view path);

/// The components of a Windows path, split at backslashes and slashes alike,
/// empty ones left out: "C:\Mail\\Archive\" gives "C:", "Mail", "Archive".
std::vector<std::string> WindowsPathParts(std::string_view path);

/// The last component of a path recorded on Windows or here.
std::string RecordedFolderName(std::string_view path);

/// The part of the Windows path `path` below the Windows folder `folder`,
/// its components joined by "/" ("" for the folder itself), when `path`
/// lies in it; letter case and the kind of separator do not matter. Nothing
/// when it does not, or when either holds a "." or ".." component.
std::optional<std::string> WindowsPathBelow(std::string_view path, std::string_view folder);

/// The Windows path a "file:///C:/..." or "file://server/share/..." address
/// names, %-escapes decoded; nothing for any other text.
std::optional<std::string> WindowsPathOfFileUrl(std::string_view url);

/// The "file://" address of the absolute path `path` of this machine, with
/// the bytes that an address cannot hold %-escaped.
std::string FileUrlOf(std::string_view path);

} // namespace quillbank
