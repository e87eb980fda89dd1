// Where the program finds its working files and its settings, whether it runs portable or installed.

#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace quillbank {

/// The working files of the program: the language file, the settings and the
/// list of files a profile is known to hold. (The ZIP engine is a system
/// library and needs no file of its own.)
inline constexpr std::array<std::string_view, 3> RequiredWorkingFiles = {"Default.lng", "Backup.ini",
                                                                         "Profilefiles.txt"};

/// The name of the settings file among them.
inline constexpr std::string_view SettingsFileName = "Backup.ini";

/**
 * Where a program can find its working files: beside its executable (a
 * portable folder, the build tree), or in the data folder of an installation
 * ("share/quillbank" of the prefix), which is shared by every user and not
 * theirs to write.
 */
struct TProgramLocation
{
    /// The folder of the program's executable.
    std::string ExecutableDir;
    /// The installation data folders to try when the executable's folder has
    /// no working file, in this order.
    std::vector<std::string> InstalledDataDirs;
};

/**
 * The running program: its executable's folder, and as installation data
 * folders the one beside it ("../share/quillbank" from "bin/") and the one of
 * the prefix the program was built for.
 */
TProgramLocation ThisProgram();

/**
 * The folder of the working files ("Default.lng", "Profilefiles.txt"): the
 * executable's folder when any working file lies there; else the first
 * installation data folder that holds any; else the executable's folder,
 * where they are then reported missing.
 */
std::string ProgramDataDir(const TProgramLocation& program = ThisProgram());

/// Whether `programDir` is one of the program's installation data folders
/// (and not also the folder of its executable).
bool IsInstalledDataDir(const std::string& programDir, const TProgramLocation& program = ThisProgram());

/// The user's own folder for the settings of an installed program:
/// "Quillbank" in the per-user configuration folder.
std::string UserSettingsDir();

/**
 * The folder whose "Backup.ini" holds the settings that go with the working
 * files in `programDir`: `programDir` itself, except for an installation data
 * folder; there each user has their own settings in UserSettingsDir(), which
 * is created (with its parents) when missing.
 */
std::string SettingsFileDir(const std::string& programDir, const TProgramLocation& program = ThisProgram());

/// The working files missing for the program whose working files are in
/// `programDir`, in the order above; "Backup.ini" is looked for in
/// SettingsFileDir(). Names match without regard to letter case.
std::vector<std::string> MissingWorkingFiles(const std::string& programDir,
                                             const TProgramLocation& program = ThisProgram());

} // namespace quillbank
