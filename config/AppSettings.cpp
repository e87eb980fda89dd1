// Loads "Backup.ini" (created when missing), keeps only folders that exist, and falls back to the defaults.

#include "config/AppSettings.h"

#include "config/InterfaceTexts.h"
#include "config/errorlog.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "platform/Text.h"

#include <filesystem>
#include <fstream>
#include <utility>

namespace quillbank {

namespace {

constexpr std::string_view SettingsSection = "General";

/// The per-application directory keys, in the order they are read.
constexpr std::pair<std::string_view, AppType> AppDirKeys[] = {
    {"firefoxdir", FirefoxAppType},
    {"thunderbirddir", ThunderbirdAppType},
    {"suitedir", SeaMonkeyAppType},
    {"sunbirddir", SunbirdAppType},
    {"flockdir", FlockAppType},
    {"netscapedir", NetscapeAppType},
    {"netscapemessdir", NetscapeMessengerAppType},
    {"spicebirddir", SpicebirdAppType},
    {"songbirddir", SongbirdAppType},
};

std::string ExistingDirOrEmpty(const std::string& value)
{
    return !value.empty() && DirectoryExists(value) ? value : std::string();
}

TAppSettings ApplySettings(const TIniFile& ini)
{
    auto read = [&ini](std::string_view key) { return Trim(ini.ReadString(SettingsSection, key)); };
    TAppSettings settings;
    settings.FileNameTemplate = read("fileformat");
    if (settings.FileNameTemplate.empty())
        settings.FileNameTemplate = DefaultFileNameTemplate;
    settings.BackupDir = ExistingDirOrEmpty(read("backupdir"));
    for (const auto& [key, type] : AppDirKeys)
        settings.AppBackupDir[type] = ExistingDirOrEmpty(read(key));
    if (!TryParseInt(read("monitor"), settings.MonitorNumber) || settings.MonitorNumber < 1)
        settings.MonitorNumber = 1;
    settings.AskForPassword = read("askForPassword") != "false";
    settings.Rollback = read("rollback") != "false";
    return settings;
}

} // namespace

EConfigFileMissing::EConfigFileMissing()
    : std::runtime_error("Cannot find file Backup.ini with configuration.")
{}

std::string SettingsFilePath(const std::string& programDir, const TProgramLocation& program)
{
    return IncludeTrailingSeparator(SettingsFileDir(programDir, program)) + std::string(SettingsFileName);
}

TAppSettings LoadSettings(const std::string& programDir, const TInterfaceTexts& texts,
                          const TProgramLocation& program)
{
    const std::string path = SettingsFilePath(programDir, program);
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::symlink_status(path, error))) {
        std::ofstream created(path, std::ios::binary);
        if (!created)
            WriteErrorLog(texts.GetText("TForm1", "LANG_BADINIWRITE"));
        return ApplySettings(TIniFile());
    }
    const auto ini = TIniFile::Load(path);
    if (!ini) {
        WriteErrorLog(texts.GetText("TForm1", "LANG_BADINIREAD"));
        return ApplySettings(TIniFile());
    }
    return ApplySettings(*ini);
}

int ReadConfigInteger(const std::string& programDir, std::string_view section, std::string_view key,
                      int fallback)
{
    const auto ini = TIniFile::Load(SettingsFilePath(programDir));
    if (!ini)
        throw EConfigFileMissing();
    int value = fallback;
    return TryParseInt(Trim(ini->ReadString(section, key)), value) ? value : fallback;
}

} // namespace quillbank
