// Whether an application or a profile is in use, and the wait with Retry / Cancel until the user closes it.

#pragma once

#include "vocabulary/AppType.h"

#include <string>
#include <vector>

namespace quillbank {

class TInterfaceTexts;
class TUserInterface;

/// Whether one of `processNames` is an executable name of `type` (an exact,
/// case-sensitive comparison). Never true for type 0.
bool IsAppRunning(AppType type, const std::vector<std::string>& processNames);
/// The same against the processes of this user running now.
bool IsAppRunning(AppType type);

/// Whether the applications of `type` lay down lock files in every profile
/// they open, so that a profile without them is not open.
bool KeepsProfileLockFiles(AppType type);

/**
 * Whether the profile at `profileDir` is in use: its lock says so. A
 * profile without lock files is in use only when its application keeps no
 * lock files and one of this user's processes runs it.
 */
bool IsProfileInUse(AppType type, const std::string& profileDir);

/// Who is said to use the profile: the application's name, or for a
/// profile of no known application its folder.
std::string ProfileUserName(AppType type, const std::string& profileDir);

/**
 * Returns true at once when the profile is not in use. Otherwise asks the
 * user to exit the application (Retry / Cancel) and checks again on every
 * Retry; false when the user gives up. A running instance of the application
 * that uses another profile does not count, and one that uses this profile
 * counts wherever it runs (a snap or flatpak sandbox included).
 */
bool WaitForProfileFree(AppType type, const std::string& profileDir, const TInterfaceTexts& texts,
                        TUserInterface& ui);

} // namespace quillbank
