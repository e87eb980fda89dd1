// The profile's own absolute paths in its add-on files and "pkcs11.txt", pointed at the folder restored into.

#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillbank {

/**
 * Today's profiles hold absolute paths of their own folder in a few files:
 * the add-on database "extensions.json", its startup cache
 * "addonStartup.json.lz4" and the security module list "pkcs11.txt". After a
 * restore into another folder these paths point at the old place; this is
 * the counterpart of the chrome registry fix-up for those files.
 */

/**
 * Points the paths of the restored profile at `profileDir` (ending with a
 * separator): rewrites "extensions.json", "addonStartup.json.lz4" and
 * "pkcs11.txt" where they name another folder, and deletes the caches
 * "compatibility.ini" and "folderCache.json", which the applications
 * rebuild. A file that cannot be read as expected is one line in the error
 * log: a damaged "addonStartup.json.lz4" is deleted (the application
 * rebuilds it from "extensions.json"), any other file is left as it is.
 * Files are replaced whole, never rewritten in place.
 */
void FixMovedProfilePaths(const std::string& profileDir);

/// The files (relative to the profile) that FixMovedProfilePaths may
/// rewrite or delete.
std::vector<std::string_view> FilesFixedForMovedProfile();

/// The profile folder the add-on database or its startup cache was made
/// in: the folder before "/extensions" in the first absolute "path" value
/// that lies in a profile's "extensions" folder; nothing when there is none.
/// A profile made on Windows gives a Windows path ("C:\Users\...").
std::optional<std::string> FormerProfileDir(std::string_view json);

/**
 * `json` with every mention of the folder `from` turned into `to` (both
 * without trailing separator): as a JSON string's path and as the path of a
 * file URL ("file:///..."). A mention counts only as a whole folder: it is
 * followed by "/" or by the end of the string. A Windows folder `from` is
 * found in any letter case and spelling of its separators; every string
 * that is a path inside it becomes the path inside `to` with "/" between
 * folders, and its "file:///C:/..." addresses become those of `to`.
 */
std::string ReplaceProfileDir(std::string_view json, std::string_view from, std::string_view to);

/// "pkcs11.txt" with the "configdir" of its modules set to `profileDir`;
/// quotes and backslashes in the folders are escaped by a backslash, as the
/// security library writes and reads them.
std::string FixPkcs11ConfigDir(std::string_view text, std::string_view profileDir);

} // namespace quillbank
