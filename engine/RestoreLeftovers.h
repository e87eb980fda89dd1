// What an interrupted run leaves in a profile: recognised, so it is never offered, and removed.

#pragma once

#include <string>
#include <string_view>

namespace quillbank {

/**
 * What an interrupted run of this program leaves in a profile, recognised by
 * names only this program gives: files staged beside their targets
 * ("<name>.qbpart-XXXXXX", in any folder), the copy of prefs.js a rewrite
 * keeps ("prefs.zal"), the copy of the extensions' registry
 * ("chrome/chrome.bak"), and a pending backup written into the profile
 * (".<name>.qbpart").
 */

/// Whether the entry `name` (a folder when `isDirectory`) of a profile root
/// is such a leftover: never offered as an unknown entry.
bool IsLeftoverOfARun(std::string_view name, bool isDirectory);

/// Removes what an interrupted restore left in `profileDir` (ends with "/"):
/// the staged files, "chrome/chrome.bak", and "prefs.zal" settled as the
/// rewrite of prefs.js settles it. Links are not followed; a file that cannot
/// be removed is a line in the error log.
void RemoveRestoreLeftovers(const std::string& profileDir);

} // namespace quillbank
