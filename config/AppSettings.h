// The program's settings in "Backup.ini": backup folders, file-name template, password and rollback choices.

#pragma once

#include "config/WorkingFiles.h"
#include "vocabulary/AppType.h"

#include <array>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quillbank {

class TInterfaceTexts;

/// The settings "Backup.ini" holds, loaded once at start-up.
struct TAppSettings
{
    /// The template of a new backup file's name; never empty.
    std::string FileNameTemplate;
    /// The directory offered for every application's backups; empty, or an
    /// existing directory when the settings were loaded.
    std::string BackupDir;
    /// The same per application type (index 1 to 9; index 0 stays empty).
    std::array<std::string, LastAppType + 1> AppBackupDir;
    /// The 1-based display the main window is centred on; 1 or more.
    int MonitorNumber = 1;
    /// Whether a backup offers password protection before it starts.
    bool AskForPassword = true;
    /// Whether a restore into a profile that holds files first keeps them in
    /// a rollback archive, so that it can be undone.
    bool Rollback = true;
};

inline constexpr std::string_view DefaultFileNameTemplate =
    "<application> <version> - <year>-<month>-<day>.qkz";

/// The error ReadConfigInteger raises when "Backup.ini" has gone.
class EConfigFileMissing : public std::runtime_error
{
public:
    EConfigFileMissing();
};

/// The "Backup.ini" that goes with the working files in `programDir`: the one
/// beside them, or for an installed `program` the user's own (SettingsFileDir).
std::string SettingsFilePath(const std::string& programDir, const TProgramLocation& program = ThisProgram());

/**
 * Loads the "Backup.ini" of SettingsFilePath(programDir). A missing file is
 * created empty and every default applies; a file that cannot be created or
 * read is reported to the error log (texts from `texts`) and the defaults
 * apply. Never fails.
 */
TAppSettings LoadSettings(const std::string& programDir, const TInterfaceTexts& texts,
                          const TProgramLocation& program = ThisProgram());

/**
 * Reads one integer from the "Backup.ini" of SettingsFilePath(programDir),
 * opening the file anew on each call: `fallback` when the value is absent,
 * empty or not a decimal integer. Throws EConfigFileMissing when the file
 * does not exist.
 */
int ReadConfigInteger(const std::string& programDir, std::string_view section, std::string_view key,
                      int fallback);

} // namespace quillbank
