// Where a mail account keeps its messages, from its "directory-rel" or "directory" preference.

#pragma once

#include "profile/PrefsParserAccount.h"

#include <string>
#include <string_view>

namespace quillbank {

/// What stands for the profile's folder at the start of a "directory-rel"
/// preference.
inline constexpr std::string_view ProfileFolderMarker = "[ProfD]";

/// Where a mail account keeps its messages on this machine.
struct TAccountFolder
{
    /// The folder as a normalised absolute path without a trailing separator;
    /// empty when neither of the account's preferences names an existing folder.
    std::string Path;
    /// The folder lies outside the profile folder (by whole path components).
    bool IsExternal = false;
};

/// The account's folder: its "directory-rel" preference with "[ProfD]"
/// standing for `profileDir`, or its "directory" preference, whichever names
/// an existing folder; the absolute one when both do.
TAccountFolder LocateAccountFolder(const TPrefsParserAccount& account, const std::string& profileDir);

/// The "directory-rel" value that names `folder` from `profileDir`:
/// "[ProfD]" followed by the relative path, with ".." steps for a folder
/// outside the profile.
std::string RelativeAccountFolder(const std::string& folder, const std::string& profileDir);

} // namespace quillbank
