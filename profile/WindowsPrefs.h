// How the lines of a prefs.js written on Windows read on this machine after a restore.

#pragma once

#include "vocabulary/MailFolder.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillbank {

/// Where the places that a prefs.js written on Windows names are on this machine.
struct TWindowsPlaces
{
    /// The profile's folder on Windows; empty when prefs.js does not tell it.
    std::string OldProfile;
    /// The profile restored into, ending with "/".
    std::string Profile;
    /// The mail folders recorded as Windows paths, with the places they were restored to.
    std::vector<TMailFolder> Folders;
};

/**
 * The profile folder on Windows that a prefs.js text names: the absolute
 * value of a preference whose "-rel" twin ("[ProfD]Mail/Local Folders") it
 * ends with, less that relative part; else the part of a Windows path up to
 * the folder inside a "Profiles" folder. Empty when neither is there.
 */
std::string WindowsProfileFolder(std::string_view prefsText);

/// A prefs.js line as it reads on this machine; nothing when it is dropped.
struct TPrefLineHere
{
    std::optional<std::string> Line;
    /// The Windows path that made the line go.
    std::string DroppedPath;
};

/**
 * How the prefs.js line `line` of a backup made on Windows reads here. A
 * string value that is a Windows path ("C:\\Users\\...") or a "file:///C:/"
 * address leads to the same place here when it lies in the old profile or
 * in a folder of `places` (letter case and separators do not matter, an
 * address keeps its form); any other such value drops the line, so the
 * application falls back to its default. Other lines stay as they are.
 */
TPrefLineHere WindowsPrefLineHere(const std::string& line, const TWindowsPlaces& places);

} // namespace quillbank
