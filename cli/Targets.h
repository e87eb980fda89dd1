#pragma once

#include "apps/AppStatus.h"
#include "apps/AppType.h"
#include "apps/MozManager.h"

#include <string>
#include <string_view>

namespace quillbank {
class Tl10n;
}

namespace quillbank::cli {

/// The profile a backup reads or a restore writes.
struct TProfileTarget
{
    AppType Type = NoAppType;
    /// The installed version text; empty when none was found.
    std::string Version;
    std::string ProfileName;
    /// The profile's folder, without a trailing separator.
    std::string ProfileDir;
};

/**
 * Finds applications and profiles by the names a command line gives, as a
 * batch task's names are matched: a name matches when it is any part of the
 * application's short name ("fire", "Bird") or of the profile's name, in any
 * letter case, and the last match wins.
 */
class TProfileFinder
{
public:
    explicit TProfileFinder(const Tl10n& l10n);

    /// Throws ECommandError (exit 1) when no application matches.
    const TMozApp& FindApp(std::string_view name) const;
    /// Throws ECommandError (exit 1) when no profile of `app` matches.
    TProfileTarget FindProfile(const TMozApp& app, std::string_view name) const;

private:
    TAppStatusTable status_{};
    TMozManager manager_;
};

/// A profile folder named directly (a portable profile) of application
/// `app` (may be null when the type is not known yet); its name is the
/// folder's name. Throws ECommandError (exit 1) when it is not a folder.
TProfileTarget ProfileFolderTarget(const TMozApp* app, const std::string& folder);

/// Throws ECommandError with ExitAppRunning while the profile at
/// `profileDir` is in use (its lock says so; for a profile without lock
/// files, while an application of `type` runs), unless `force`.
void RefuseWhileInUse(AppType type, const std::string& profileDir, bool force);

} // namespace quillbank::cli
