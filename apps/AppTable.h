// The application table: what the program knows of each application type (names, keys, folders, processes).

#pragma once

#include "vocabulary/AppType.h"

#include <string>
#include <string_view>
#include <vector>

namespace quillbank {

/**
 * What the program knows of one application type: one row of the
 * application table, whose rows name their fields. A row may leave out the
 * fields declared with "= {}"; the compiler warns of any other left out.
 *
 * The registry keys are the Windows installers' keys, which the registry
 * readers answer on every platform. The Windows columns record where the Windows releases keep
 * things; the program uses the Linux columns beside them.
 *
 * Places may start with a marker: "[Home]" the user's home folder,
 * "[AppData]" the per-user configuration folder ($XDG_CONFIG_HOME or
 * ~/.config; on Windows the roaming application-data folder), "[WinDir]"
 * the Windows directory.
 */
struct TAppInfo
{
    // Names.
    std::string_view SelectionName;      ///< SelectedAppName once chosen
    std::string_view RunningName;        ///< named in the "is running" message
    std::string_view LegacyRestoreName;  ///< named when a legacy restore asks to close it
    std::string_view ListPrefix;         ///< starts a list line; the version follows directly
    std::string_view ProfilesOnlyPrefix; ///< starts the "(profiles only)" line

    // Installer registry keys below HKEY_LOCAL_MACHINE.
    std::vector<std::string_view> VersionKeys; ///< tried in order
    /// The installation key's stem where it is not the version key (Flock);
    /// the installation key is stem + "\" + version + "\Main".
    std::string_view InstallKeyStem = {};

    // Windows column.
    std::string_view WindowsProfileRoot;
    std::vector<std::string_view> WindowsProfileFolders;
    std::string_view WindowsExecutable;
    std::vector<std::string_view> WindowsProcessNames;

    // Linux column.
    /// Folders that hold "profiles.ini" (or a legacy binary registry), in
    /// the order they are tried.
    std::vector<std::string_view> ProfileRoots;
    /// The root tried when the first root lists no profile (the old suite's
    /// own folder, for SeaMonkey); empty for the others.
    std::string_view FallbackProfileRoot = {};
    /// Folders whose mere existence reveals profiles of the application.
    std::vector<std::string_view> ProfileFolders;
    /// Executables in the installation folder, the first that exists is started.
    std::vector<std::string_view> Executables;
    /// Executable names of a running instance.
    std::vector<std::string_view> ProcessNames;
    /// The [App] Name of an installation's "application.ini".
    std::vector<std::string_view> ApplicationIniNames;
    /// Where installations are looked for, in order.
    std::vector<std::string_view> InstallFolders;
    /// Commands on PATH whose folder may be an installation.
    std::vector<std::string_view> Commands = {};
};

/// The table row of a type 1 to 9. Must not be called for other values.
const TAppInfo& AppInfo(AppType type);

/// A place of the Linux column with its "[Home]" or "[AppData]" marker replaced.
std::string ExpandPlace(std::string_view place);

/// The installation key of a type for a version: the stem (or the version
/// key) + "\" + version + "\Main", with no doubled backslash where the key
/// already ends with one.
std::string InstallationKey(std::string_view keyStem, std::string_view version);

} // namespace quillbank
