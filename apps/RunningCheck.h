#pragma once

#include "apps/AppType.h"

#include <string>
#include <vector>

namespace quillbank {

class Tl10n;
class TUserInterface;

/// Whether one of `processNames` is an executable name of `type` (an exact,
/// case-sensitive comparison). Never true for type 0.
bool IsAppRunning(AppType type, const std::vector<std::string>& processNames);
/// The same against the processes running now.
bool IsAppRunning(AppType type);

/// Whether the profile at `profileDir` is in use: its lock says so, or, for
/// a profile without lock files, an application of `type` is running.
bool IsProfileInUse(AppType type, const std::string& profileDir);

/**
 * Returns true at once when the profile is not in use. Otherwise asks the
 * user to exit the application (Retry / Cancel) and checks again on every
 * Retry; false when the user gives up. A running instance of the application
 * that uses another profile does not count, and one that uses this profile
 * counts wherever it runs (a snap or flatpak sandbox included).
 */
bool WaitForProfileFree(AppType type, const std::string& profileDir, const Tl10n& l10n, TUserInterface& ui);

} // namespace quillbank
