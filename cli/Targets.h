// Finds the application and profile a command line names: --app, --profile, --profile-dir.

#pragma once

#include "apps/AppStatus.h"
#include "apps/MozManager.h"
#include "vocabulary/AppType.h"

#include <optional>
#include <string>
#include <string_view>

namespace quillbank {
class TInterfaceTexts;
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
 * Finds applications and profiles by the names a command line gives. An
 * application matches when the name is any part of its short name ("fire",
 * "Bird"), in any letter case, and the last match wins. A profile's whole
 * name (letter case ignored in every script) wins over names it is only part
 * of; a part that fits several profiles names none.
 */
class TProfileFinder
{
public:
    explicit TProfileFinder(const TInterfaceTexts& texts);

    /// Throws ECommandError (exit 1) when no application matches.
    const TMozApp& FindApp(std::string_view name) const;
    /// Throws ECommandError (exit 1) when no profile of `app` matches, and
    /// (exit 2, listing them) when the name fits several.
    TProfileTarget FindProfile(const TMozApp& app, std::string_view name) const;
    /// The profile the installation starts with; throws ECommandError (exit 1)
    /// when it names none.
    TProfileTarget DefaultProfile(const TMozApp& app) const;

private:
    TAppStatusTable status_{};
    TMozManager manager_;
};

class TCommandContext;
class TOptions;

/// The profile a command line names: the application (--app) and the
/// profile's name (--profile) or folder (--profile-dir).
struct TProfileOptions
{
    std::optional<std::string> App;
    std::optional<std::string> Profile;
    std::optional<std::string> ProfileDir;
};

/// The values of --app, --profile and --profile-dir.
TProfileOptions ReadProfileOptions(const TOptions& options);

/// The profile of the application `chosen.App` that `chosen.Profile` names,
/// the folder `chosen.ProfileDir` gives (the application may then be left
/// out), or when neither is given the installation's default profile, which
/// is then named on standard error (unless quiet).
TProfileTarget FindProfileTarget(const TCommandContext& context, const TProfileOptions& chosen);

/// A profile folder named directly (a portable profile) of application
/// `app` (may be null when the type is not known yet); its name is the
/// folder's name. Throws ECommandError (exit 1) when it is not a folder.
TProfileTarget ProfileFolderTarget(const TMozApp* app, const std::string& folder);

/// Throws ECommandError with ExitAppRunning while the profile at
/// `profileDir` is in use (its lock says so; for a profile without lock
/// files, while an application of `type` runs), unless `force`.
void RefuseWhileInUse(AppType type, const std::string& profileDir, bool force);

} // namespace quillbank::cli
