// Tests of the backup file names and folders the wizard proposes, remembers and shows.

#include "config/BackupFileNaming.h"

#include "config/AppSettings.h"
#include "platform/UserStore.h"
#include "tests/support/FakeHome.h"

#include <filesystem>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::TFakeHome;

namespace {

// Wednesday, 5 March 2008
const TLocalDateTime March5{2008, 3, 5, 7, 4, 9, 5, 3};
using enum TOperation;

TAppSettings DefaultSettings()
{
    TAppSettings settings;
    settings.FileNameTemplate = DefaultFileNameTemplate;
    return settings;
}

std::string ProposeFirefox(const TAppSettings& settings)
{
    return ProposeBackupPath(settings, FirefoxAppType, "2.0", Backup, std::nullopt, March5).Path;
}

} // namespace

TEST(BackupFileNaming, WithNothingConfiguredTheDocumentsFolderAndDefaultTemplate)
{
    TFakeHome home;
    // Without a Documents folder the home itself serves.
    EXPECT_EQ(ProposeFirefox(DefaultSettings()), home.Path() + "/Firefox 2.0 - 2008-03-05.qkz");
    const std::string documents = home.MakeDir("Documents");
    const auto proposal =
        ProposeBackupPath(DefaultSettings(), FirefoxAppType, "2.0", Backup, std::nullopt, March5);
    EXPECT_EQ(proposal.Path, documents + "/Firefox 2.0 - 2008-03-05.qkz");
    EXPECT_FALSE(proposal.TemplateHasProfile);
}

TEST(BackupFileNaming, WithoutAnApplicationTheNameStartsAtItsFirstValue)
{
    TFakeHome home;
    const std::string documents = home.MakeDir("Documents");
    EXPECT_EQ(ProposeBackupPath(DefaultSettings(), NoAppType, "", Backup, std::nullopt, March5).Path,
              documents + "/2008-03-05.qkz");
    // Blanks and dashes of the folder's own name stay.
    auto settings = DefaultSettings();
    settings.BackupDir = home.MakeDir(" - saves");
    EXPECT_EQ(ProposeBackupPath(settings, NoAppType, "", Backup, std::nullopt, March5).Path,
              home.Path() + "/ - saves/2008-03-05.qkz");
}

TEST(BackupFileNaming, ApplicationFolderBeatsCommonFolderWhileItExists)
{
    TFakeHome home;
    const std::string documents = home.MakeDir("Documents");
    auto settings = DefaultSettings();
    settings.BackupDir = home.MakeDir("common");
    settings.AppBackupDir[FirefoxAppType] = home.MakeDir("firefox") + "/";
    EXPECT_EQ(ProposeFirefox(settings), home.Path() + "/firefox/Firefox 2.0 - 2008-03-05.qkz");
    EXPECT_EQ(ProposeBackupPath(settings, ThunderbirdAppType, "", Backup, std::nullopt, March5).Path,
              home.Path() + "/common/Thunderbird  - 2008-03-05.qkz");

    // Removed after start-up: the common folder is not a fallback for it.
    std::filesystem::remove(home.Path() + "/firefox");
    WriteLastDirectory(home.MakeDir("saves") + "/old.qkz", FirefoxAppType);
    EXPECT_EQ(ProposeFirefox(settings), home.Path() + "/saves/Firefox 2.0 - 2008-03-05.qkz");
    std::filesystem::remove(home.Path() + "/saves");
    EXPECT_EQ(ProposeFirefox(settings), documents + "/Firefox 2.0 - 2008-03-05.qkz");
}

TEST(BackupFileNaming, RemembersOneFolderPerApplication)
{
    TFakeHome home;
    home.MakeDir("Documents");
    const std::string saves = home.MakeDir("Saves") + "/";
    WriteLastDirectory(home.Path() + "/elsewhere/x.qkz", ThunderbirdAppType);
    WriteLastDirectory(saves + "x.qkz", ThunderbirdAppType);
    EXPECT_EQ(ReadUserValue("Directory3"), saves);
    EXPECT_EQ(ReadLastDirectory(ThunderbirdAppType), saves);
    EXPECT_EQ(ReadLastDirectory(FirefoxAppType), "");
    EXPECT_EQ(
        ProposeBackupPath(DefaultSettings(), ThunderbirdAppType, "1.5", Restore, std::nullopt, March5).Path,
        saves + "Thunderbird 1.5 - 2008-03-05.qkz");
    // A configured folder that exists still wins over the remembered one.
    auto settings = DefaultSettings();
    settings.BackupDir = home.MakeDir("common");
    EXPECT_EQ(ProposeBackupPath(settings, ThunderbirdAppType, "1.5", Backup, std::nullopt, March5).Path,
              home.Path() + "/common/Thunderbird 1.5 - 2008-03-05.qkz");
}

TEST(BackupFileNaming, OnlyTypesOneToNineAreRemembered)
{
    TFakeHome home;
    WriteLastDirectory("/saves/x.qkz", NoAppType);
    WriteLastDirectory("/saves/x.qkz", LastAppType + 1);
    EXPECT_FALSE(std::filesystem::exists(UserStorePath()));
    ASSERT_TRUE(WriteUserValue("Directory0", "/saves/"));
    EXPECT_EQ(ReadLastDirectory(NoAppType), "");
    WriteLastDirectory("/saves/x.qkz", LastAppType);
    EXPECT_EQ(ReadUserValue("Directory9"), "/saves/");
}

TEST(BackupFileNaming, ProfilePlaceholderWaitsForAProfileInABackupOnly)
{
    TFakeHome home;
    const std::string documents = home.MakeDir("Documents");
    auto settings = DefaultSettings();
    settings.FileNameTemplate = "<profile>.qkz";
    auto proposal = ProposeBackupPath(settings, FirefoxAppType, "2.0", Backup, std::nullopt, March5);
    EXPECT_EQ(proposal.Path, documents + "/<profile>.qkz");
    EXPECT_TRUE(proposal.TemplateHasProfile);
    EXPECT_EQ(ProposeBackupPath(settings, FirefoxAppType, "2.0", Backup, "default", March5).Path,
              documents + "/default.qkz");
    EXPECT_EQ(ProposeBackupPath(settings, FirefoxAppType, "2.0", Restore, std::nullopt, March5).Path,
              documents + "/.qkz");
}

TEST(BackupFileNaming, DisplayFormsShortenFromFortyCharacters)
{
    const std::string path39 = "/home/user/Documents/Firefox 2.0 - .qkz";
    const std::string path40 = "/home/user/Documents/Firefox 2.0 - a.qkz";
    ASSERT_EQ(path39.size(), 39U);
    EXPECT_EQ(ProposalDisplayText(path39), path39);
    EXPECT_EQ(ChosenPathDisplayText(path39), path39);
    EXPECT_EQ(ProposalDisplayText(path40), "/ho...e/user/Documents/Firefox 2.0 - a.qkz");
    EXPECT_EQ(ChosenPathDisplayText(path40), "/ho...ser/Documents/Firefox 2.0 - a.qkz");
    // Characters, not bytes: 39 characters that take more bytes stay whole.
    const std::string umlauts = "/home/\xC3\xBC\xC3\xBC/Documents/Firefox 2.0 - abc.qk";
    EXPECT_EQ(ProposalDisplayText(umlauts), umlauts);
    EXPECT_EQ(ChosenPathDisplayText("\xC3\xBC\xC3\xBC\xC3\xBC\xC3\xBC" + path40.substr(4)),
              "\xC3\xBC\xC3\xBC\xC3\xBC...ser/Documents/Firefox 2.0 - a.qkz");
}

TEST(BackupFileNaming, SaveAndOpenDialogProposals)
{
    EXPECT_EQ(StripFileNameChars("a<b>c?d|e^f*g:h"), "abcdef*g:h");
    EXPECT_EQ(DialogInitialDir("/home/u/Documents/x.qkz"), "/home/u/Documents/");
    EXPECT_EQ(SaveDialogFileName("/home/u/<profile>/<profile>Firefox.qkz"), "Firefox.qkz");
    EXPECT_EQ(SaveDialogFileName("/home/u/Documents/<profile>.qkz"), ".qkz");
    EXPECT_EQ(SaveDialogFileName("<profile>.qkz"), "backup.qkz");
    EXPECT_EQ(SaveDialogFileName("/d/a?b|c^.qkz"), "abc.qkz");
    EXPECT_EQ(OpenDialogFileName("/d/<profile>?.qkz"), "profile.qkz");
}

TEST(BackupFileNaming, ChosenPathAlwaysEndsInQkz)
{
    EXPECT_EQ(NormaliseChosenBackupPath("/d/backup.zip"), "/d/backup.qkz");
    EXPECT_EQ(NormaliseChosenBackupPath("/d/archive"), "/d/archive.qkz");
    EXPECT_EQ(NormaliseChosenBackupPath("/d/backup.qkz"), "/d/backup.qkz");
    EXPECT_EQ(NormaliseChosenBackupPath("/d/a.b.c"), "/d/a.b.qkz");
    EXPECT_EQ(NormaliseChosenBackupPath("/my.saves/archive"), "/my.saves/archive.qkz");
    EXPECT_EQ(NormaliseChosenBackupPath("//d//e///x.zip"), "/d/e/x.qkz");
}

TEST(BackupFileNaming, CleanUpAfterBrowseKeepsSeparators)
{
    EXPECT_EQ(CollapseDoubledSeparators("//home//u///x.qkz"), "/home/u/x.qkz");
    EXPECT_EQ(CollapseDoubledSeparators("/ho...//Documents/a-b.qkz"), "/ho.../Documents/a-b.qkz");
    EXPECT_EQ(CollapseDoubledSeparators("/home/u/x.qkz"), "/home/u/x.qkz");
}
