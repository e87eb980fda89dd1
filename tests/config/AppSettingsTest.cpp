// Tests of the settings file: defaults, missing or unreadable files, per-application keys, the user's own.

#include "config/AppSettings.h"

#include "config/ArchiveCodePage.h"
#include "config/InterfaceTexts.h"
#include "config/WorkingFiles.h"
#include "config/errorlog.h"
#include "tests/support/FakeHome.h"

#include <filesystem>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::ErrorLogMessages;
using quillbank::testing::ReadFileForTest;
using quillbank::testing::TFakeHome;

namespace {

class AppSettingsTest : public ::testing::Test
{
protected:
    TFakeHome home;
    std::string programDir = home.MakeDir("program");
    TInterfaceTexts texts{programDir + "/Default.lng"};

    TAppSettings LoadWith(const std::string& content)
    {
        home.WriteFile("program/Backup.ini", "[General]\r\n" + content);
        return LoadSettings(programDir, texts);
    }
};

void ExpectDefaults(const TAppSettings& settings)
{
    EXPECT_EQ(settings.FileNameTemplate, "<application> <version> - <year>-<month>-<day>.qkz");
    EXPECT_EQ(settings.BackupDir, "");
    for (const std::string& dir : settings.AppBackupDir)
        EXPECT_EQ(dir, "");
    EXPECT_EQ(settings.MonitorNumber, 1);
    EXPECT_TRUE(settings.AskForPassword);
}

} // namespace

TEST_F(AppSettingsTest, EmptyFileGivesEveryDefault)
{
    ExpectDefaults(LoadWith(""));
    EXPECT_EQ(ReadConfigInteger(programDir, "General", "compressionLevel", 9), 9);
}

TEST_F(AppSettingsTest, MissingFileIsCreatedEmptyAndGivesTheDefaults)
{
    ExpectDefaults(LoadSettings(programDir, texts));
    EXPECT_EQ(ReadFileForTest(programDir + "/Backup.ini"), "");
    EXPECT_TRUE(std::filesystem::exists(programDir + "/Backup.ini"));
    EXPECT_FALSE(std::filesystem::exists(ErrorLogPath()));
}

TEST_F(AppSettingsTest, UnwritableProgramFolderIsLoggedAndGivesTheDefaults)
{
    const std::string notAFolder = home.WriteFile("program-file", "");
    ExpectDefaults(LoadSettings(notAFolder, texts));
    EXPECT_EQ(ErrorLogMessages(), "I cannot write to file backup.ini\n");
}

TEST_F(AppSettingsTest, UnreadableFileIsLoggedAndGivesTheDefaults)
{
    home.MakeDir("program/Backup.ini");
    ExpectDefaults(LoadSettings(programDir, texts));
    EXPECT_EQ(ErrorLogMessages(), "I cannot read file backup.ini\n");
}

TEST_F(AppSettingsTest, LogTextsComeFromTheLanguageFile)
{
    home.WriteFile("program/Default.lng", "[TForm1]\nLANG_BADINIWRITE=Backup.ini nicht beschreibbar\n");
    LoadSettings(home.WriteFile("program-file", ""), texts);
    EXPECT_EQ(ErrorLogMessages(), "Backup.ini nicht beschreibbar\n");
}

TEST_F(AppSettingsTest, FileFormatOfBlanksIsEmptyAndGivesTheDefault)
{
    EXPECT_EQ(LoadWith("fileformat=   \r\n").FileNameTemplate, DefaultFileNameTemplate);
    EXPECT_EQ(LoadWith("FileFormat = <profile>.qkz \r\n").FileNameTemplate, "<profile>.qkz");
}

TEST_F(AppSettingsTest, DirectoriesAreTakenOnlyWhenTheyExistAtLoading)
{
    const std::string saves = home.MakeDir("saves");
    const std::string later = home.Path() + "/later";
    const auto settings =
        LoadWith("backupdir=" + saves + "\r\nfirefoxdir=" + later + "\r\nsuitedir=" + saves +
                 "\r\nsongbirddir= " + saves + " \r\nnetscapemessdir=" + saves + "\r\n");
    std::filesystem::create_directory(later); // too late: checked at load only
    EXPECT_EQ(settings.BackupDir, saves);
    EXPECT_EQ(settings.AppBackupDir[FirefoxAppType], "");
    EXPECT_EQ(settings.AppBackupDir[SeaMonkeyAppType], saves);
    EXPECT_EQ(settings.AppBackupDir[SongbirdAppType], saves);
    EXPECT_EQ(settings.AppBackupDir[NetscapeMessengerAppType], saves);
    EXPECT_EQ(settings.AppBackupDir[ThunderbirdAppType], "");
}

TEST_F(AppSettingsTest, EachPerApplicationKeyBelongsToItsType)
{
    const char* keys[] = {"",         "suitedir",    "firefoxdir",      "thunderbirddir", "sunbirddir",
                          "flockdir", "netscapedir", "netscapemessdir", "spicebirddir",   "songbirddir"};
    for (AppType type = FirstAppType; type <= LastAppType; ++type) {
        const std::string dir = home.MakeDir("dir" + std::to_string(type));
        const auto settings = LoadWith(std::string(keys[type]) + "=" + dir + "\r\n");
        for (AppType other = FirstAppType; other <= LastAppType; ++other)
            EXPECT_EQ(settings.AppBackupDir[other], other == type ? dir : "") << keys[type];
    }
}

TEST_F(AppSettingsTest, MonitorIsOneUnlessAPositiveInteger)
{
    for (const char* value : {"0", "-2", "two", "", "3.0"})
        EXPECT_EQ(LoadWith(std::string("monitor=") + value + "\r\n").MonitorNumber, 1) << value;
    EXPECT_EQ(LoadWith("monitor=3\r\n").MonitorNumber, 3);
    EXPECT_EQ(LoadWith("monitor=\" 2 \"\r\n").MonitorNumber, 2); // trimmed after the quotes go
}

TEST_F(AppSettingsTest, OnlyTheExactTextFalseSwitchesThePasswordOfferOrTheRollbackOff)
{
    for (const char* value : {"False", "no", "0", "FALSE", ""}) {
        EXPECT_TRUE(LoadWith(std::string("askForPassword=") + value + "\r\n").AskForPassword) << value;
        EXPECT_TRUE(LoadWith(std::string("rollback=") + value + "\r\n").Rollback) << value;
    }
    EXPECT_FALSE(LoadWith("askforpassword=false\r\n").AskForPassword);
    EXPECT_FALSE(LoadWith("askForPassword=\"  false \"\r\n").AskForPassword);
    EXPECT_FALSE(LoadWith("Rollback=false\r\n").Rollback);
    EXPECT_TRUE(LoadWith("askForPassword=false\r\n").Rollback);
}

TEST_F(AppSettingsTest, ReadConfigIntegerReadsTheFileOnEveryCall)
{
    LoadWith("compressionLevel=fast\r\n");
    EXPECT_EQ(ReadConfigInteger(programDir, "General", "compressionLevel", 9), 9);
    LoadWith("compressionLevel= 4 \r\n");
    EXPECT_EQ(ReadConfigInteger(programDir, "general", "COMPRESSIONLEVEL", 9), 4);
    LoadWith("compressionLevel=12\r\n"); // no range is enforced here
    EXPECT_EQ(ReadConfigInteger(programDir, "General", "compressionLevel", 9), 12);
}

TEST_F(AppSettingsTest, ReadConfigIntegerFailsWhenTheFileHasGone)
{
    try {
        ReadConfigInteger(programDir, "General", "compressionLevel", 9);
        FAIL() << "no error for a missing Backup.ini";
    } catch (const EConfigFileMissing& error) {
        EXPECT_STREQ(error.what(), "Cannot find file Backup.ini with configuration.");
    }
    EXPECT_FALSE(std::filesystem::exists(ErrorLogPath())); // nothing is logged
}

namespace {

/// An installed program: PREFIX/bin and the shared working files in
/// PREFIX/share/quillbank, where no user may write.
class InstalledAppSettingsTest : public ::testing::Test
{
protected:
    TFakeHome home;
    std::string bin = home.MakeDir("prefix/bin");
    std::string data = home.MakeDir("prefix/share/quillbank");
    TProgramLocation program{bin, {bin + "/../share/quillbank"}};
    TInterfaceTexts texts{data + "/Default.lng"};
    std::string userSettings = home.Path() + "/.config/Quillbank/Backup.ini";

    void SetUp() override
    {
        home.WriteFile("prefix/share/quillbank/Default.lng", "");
        home.WriteFile("prefix/share/quillbank/Profilefiles.txt", "");
    }
};

} // namespace

TEST_F(InstalledAppSettingsTest, TheUsersOwnFileIsCreatedEmptyInTheConfigFolder)
{
    EXPECT_EQ(SettingsFilePath(data, program), userSettings);
    ExpectDefaults(LoadSettings(data, texts, program));
    EXPECT_TRUE(std::filesystem::is_regular_file(userSettings));
    EXPECT_EQ(ReadFileForTest(userSettings), "");
    EXPECT_FALSE(std::filesystem::exists(data + "/Backup.ini"));
    EXPECT_FALSE(std::filesystem::exists(ErrorLogPath()));
}

TEST_F(InstalledAppSettingsTest, TheUsersOwnFileIsReadAndTheSharedOneIgnored)
{
    home.WriteFile("prefix/share/quillbank/Backup.ini", "[General]\nfileformat=shared.qkz\nmonitor=3\n");
    home.WriteFile(".config/Quillbank/Backup.ini", "[General]\nfileformat=<profile>.qkz\n");
    const TAppSettings settings = LoadSettings(data, texts, program);
    EXPECT_EQ(settings.FileNameTemplate, "<profile>.qkz");
    EXPECT_EQ(settings.MonitorNumber, 1);
}

TEST_F(InstalledAppSettingsTest, AConfigFolderThatCannotBeMadeIsLoggedAndGivesTheDefaults)
{
    home.SetEnv("XDG_CONFIG_HOME", home.WriteFile("not-a-folder", ""));
    ExpectDefaults(LoadSettings(data, texts, program));
    EXPECT_FALSE(std::filesystem::exists(data + "/Backup.ini"));
}

TEST_F(AppSettingsTest, TheArchiveCodePageIsChosenElseConfiguredElseTheLanguageFilesAndUnknownOnesAreLogged)
{
    home.WriteFile("program/Default.lng", "[Common]\r\nDefaultCharset=204\r\n");
    home.WriteFile("program/Backup.ini", "");
    EXPECT_EQ(ArchiveCodePage("", programDir, texts), "CP1251");
    home.WriteFile("program/Backup.ini", "[General]\r\ncodePage=windows-1250\r\n");
    EXPECT_EQ(ArchiveCodePage("", programDir, texts), "CP1250");
    EXPECT_EQ(ArchiveCodePage("1252", programDir, texts), "CP1252");
    home.WriteFile("program/Backup.ini", "[General]\r\ncodePage=klingon\r\n");
    EXPECT_EQ(ArchiveCodePage("", programDir, texts), "CP1251");
    EXPECT_NE(ReadFileForTest(ErrorLogPath()).find("the code page \"klingon\" is not known"),
              std::string::npos);
}
