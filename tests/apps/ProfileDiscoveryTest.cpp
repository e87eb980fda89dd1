// Tests of listing a profile root's profiles, hostile profiles.ini included, and what components they offer.

#include "apps/ProfileDiscovery.h"

#include "apps/WizardState.h"
#include "config/InterfaceTexts.h"
#include "tests/support/FakeHome.h"
#include "tests/support/RegistryDatImage.h"
#include "tests/support/ScriptedUserInterface.h"

#include <filesystem>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::TFakeHome;
using quillbank::testing::TImmediateExit;
using quillbank::testing::TScriptedUserInterface;
using Lines = std::vector<std::string>;

namespace {

class ProfileDiscoveryTest : public ::testing::Test
{
protected:
    TFakeHome home;
    TInterfaceTexts texts{home.Path() + "/Default.lng"};
    TScriptedUserInterface ui;
    TWizardState state;

    std::string FirefoxRoot() const { return home.Path() + "/.mozilla/firefox/"; }

    void ListFirefox(const std::string& profilesIni)
    {
        home.WriteFile(".mozilla/firefox/profiles.ini", profilesIni);
        state.SelectedAppType = FirefoxAppType;
        ListProfiles(state, texts);
    }

    /// A profile folder holding `files` (paths below it), with a prefs.js.
    std::string MakeProfile(const std::string& relative, std::initializer_list<std::string> files)
    {
        home.WriteFile(relative + "/prefs.js", "user_pref(\"browser.startup.page\", 1);\n");
        for (const std::string& file : files)
            home.WriteFile(relative + "/" + file, "");
        return home.Path() + "/" + relative;
    }
};

} // namespace

TEST_F(ProfileDiscoveryTest, ProfilesIniWalkStopsAtTheFirstGapAndSkipsIncompleteSections)
{
    ListFirefox("[General]\nStartWithLastProfile=1\n"
                "[Profile0]\nName=default\nIsRelative=1\nPath=abcd.default\n"
                "[Profile1]\nName=no path\nIsRelative=1\n"
                "[Profile2]\nName=Work\nIsRelative=0\nPath=/data/work\n"
                "[Profile4]\nName=never read\nPath=x\n");
    EXPECT_EQ(state.ProfileDir, FirefoxRoot());
    ASSERT_EQ(state.ProfileEntries.size(), 2u);
    EXPECT_EQ(state.ProfileEntries[0].Path, FirefoxRoot() + "abcd.default");
    EXPECT_EQ(state.ProfileEntries[1].Path, "/data/work");
    EXPECT_EQ(state.ProfileList, (Lines{"default", "Work"}));
}

TEST_F(ProfileDiscoveryTest, IsRelativeCountsModulo256)
{
    ListFirefox("[Profile0]\nName=a\nIsRelative=256\nPath=p\n"
                "[Profile1]\nName=b\nIsRelative=257\nPath=p\n"
                "[Profile2]\nName=c\nIsRelative=yes\nPath=p\n"
                "[Profile3]\nName=d\nPath=p\n");
    ASSERT_EQ(state.ProfileEntries.size(), 4u);
    EXPECT_EQ(state.ProfileEntries[0].Path, "p");
    EXPECT_EQ(state.ProfileEntries[1].Path, FirefoxRoot() + "p");
    EXPECT_EQ(state.ProfileEntries[2].Path, "p");
    EXPECT_EQ(state.ProfileEntries[3].Path, "p");
}

TEST_F(ProfileDiscoveryTest, HostileProfilesIniNeverBreaksTheList)
{
    using namespace std::string_literals;
    ListFirefox("[Profile0]\nName=\"unterminated\nPath=" + std::string(1 << 20, 'p') + "\n" +
                "[Profile1]\nName=nul\0inside\nPath=\xFF\xFE/x\nIsRelative=99999999999999\n"s +
                "[Profile2\nName=no bracket\nPath=y\n[Profile3]\n");
    ASSERT_EQ(state.ProfileEntries.size(), 3u);
    EXPECT_EQ(state.ProfileEntries[0].Name, "\"unterminated");
    EXPECT_EQ(state.ProfileEntries[0].Path.size(), 1u << 20);
    EXPECT_EQ(state.ProfileEntries[1].Name, "nul\0inside"s);
    EXPECT_EQ(state.ProfileEntries[1].Path, "\xFF\xFE/x"); // not a number: absolute
    EXPECT_EQ(state.ProfileEntries[2].Name, "no bracket");
}

TEST_F(ProfileDiscoveryTest, TheRootHoldingProfilesIniWinsElseTheFirst)
{
    state.SelectedAppType = FirefoxAppType;
    ListProfiles(state, texts);
    EXPECT_EQ(state.ProfileDir, FirefoxRoot());
    EXPECT_TRUE(state.ProfileList.empty());
    home.MakeDir(".var/app/org.mozilla.firefox/.mozilla/firefox");
    ListProfiles(state, texts);
    EXPECT_EQ(state.ProfileDir, home.Path() + "/.var/app/org.mozilla.firefox/.mozilla/firefox/");

    home.WriteFile(".config/mozilla/firefox/profiles.ini",
                   "[Profile0]\nName=xdg\nIsRelative=1\nPath=x.xdg\n");
    ListProfiles(state, texts);
    EXPECT_EQ(state.ProfileDir, home.Path() + "/.config/mozilla/firefox/");
    EXPECT_EQ(state.ProfileList, Lines{"xdg"});
}

TEST_F(ProfileDiscoveryTest, LegacyRegistryListsOnlyProfileFolders)
{
    const auto image = quillbank::testing::RegistryDatWithProfiles(
        {{"default", "/home/u/.mozilla/default/ab12.slt"}, {"odd", "/home/u/elsewhere"}, {"b", "/x/b.slt"}});
    home.WriteFile(".mozilla/appreg", image.Bytes());
    state.SelectedAppType = SeaMonkeyAppType;
    ListProfiles(state, texts);
    ASSERT_EQ(state.ProfileEntries.size(), 3u);
    EXPECT_EQ(state.ProfileEntries[1].Path, "/home/u/elsewhere");
    EXPECT_EQ(state.ProfileList, (Lines{"default", "b"}));

    // profiles.ini wins over a legacy registry beside it.
    home.WriteFile(".mozilla/profiles.ini", "[Profile0]\nName=ini\nPath=/i\n");
    ListProfiles(state, texts);
    EXPECT_EQ(state.ProfileList, Lines{"ini"});
}

// Under one name, a profile folder and a folder that is none: the name is
// offered once, and it finds the first of the two.
TEST_F(ProfileDiscoveryTest, ALegacyNameSharedWithAFolderThatIsNoProfileIsOfferedOnce)
{
    home.WriteFile(
        ".mozilla/seamonkey/registry.dat",
        quillbank::testing::RegistryDatWithProfiles({{"x", "/elsewhere"}, {"x", "/x/b.slt"}}).Bytes());
    state.SelectedAppType = SeaMonkeyAppType;
    ListProfiles(state, texts);
    EXPECT_EQ(state.ProfileEntries.size(), 2u);
    EXPECT_EQ(state.ProfileList, Lines{"x"});
}

TEST_F(ProfileDiscoveryTest, SeaMonkeyFallsBackToTheSuiteFolder)
{
    home.WriteFile(".mozilla/profiles.ini", "[Profile0]\nName=suite\nIsRelative=1\nPath=s\n");
    state.SelectedAppType = SeaMonkeyAppType;
    ListProfiles(state, texts);
    EXPECT_EQ(state.ProfileList, Lines{"suite"});
    EXPECT_EQ(state.ProfileDir, home.Path() + "/.mozilla/seamonkey/"); // stays the SeaMonkey root
}

TEST_F(ProfileDiscoveryTest, PortableProfileIsChosenOnceAndKeptAcrossRefreshes)
{
    const std::string portable = MakeProfile("usb/profile", {});
    const std::string other = MakeProfile("usb/other", {});
    home.MakeDir("empty");
    ui.QueueFolder(std::nullopt);
    ui.QueueFolder(home.Path() + "/empty");
    ui.QueueAnswer(TBoxAnswer::Ok);
    ui.QueueFolder(portable + "/");
    ui.QueueFolder(other);
    for (int i = 0; i < 4; ++i)
        ChoosePortableProfile(state, texts, ui);
    EXPECT_EQ(ui.calls[0], "folder|Select profile of your portable Mozilla application.|");
    EXPECT_EQ(ui.calls[2], "box ok error|Error|No profile was found.");
    EXPECT_EQ(state.PortableProfileDir, portable);
    EXPECT_EQ(state.ProfileList, Lines{"Portable profile"});

    ListFirefox("[Profile0]\nName=default\nPath=/x\n");
    EXPECT_EQ(state.ProfileList, (Lines{"default", "Portable profile"}));
}

TEST_F(ProfileDiscoveryTest, CheckProfileFindsTheFirstEntryOfTheSelectedName)
{
    const std::string first = MakeProfile("first", {});
    MakeProfile("second", {"places.sqlite"});
    ListFirefox("[Profile0]\nName=same\nPath=" + first +
                " \n"
                "[Profile1]\nName=same\nPath=" +
                home.Path() + "/second\n");
    state.SelectedProfileLine = "same";
    const TComponentBoxes boxes = CheckProfile(state, texts, ui);
    EXPECT_EQ(state.ProfileDir, first + "/");
    EXPECT_FALSE(boxes[BookmarksBox].Checked);
}

// Folder names may end in a blank here: a listed folder is taken whole.
TEST_F(ProfileDiscoveryTest, AListedFolderWhoseNameEndsInABlankIsCheckedAsItIs)
{
    MakeProfile("Profile", {});
    const std::string blank = MakeProfile("Profile ", {"places.sqlite"});
    state.ProfileEntries = {{"blank", blank}};
    state.SelectedProfileLine = "blank";
    const TComponentBoxes boxes = CheckProfile(state, texts, ui);
    EXPECT_EQ(state.ProfileDir, blank + "/");
    EXPECT_TRUE(boxes[BookmarksBox].Checked);
}

TEST_F(ProfileDiscoveryTest, ARealProfileNamedLikeThePortableLineComesFirst)
{
    const std::string real = MakeProfile("real", {});
    state.PortableProfileDir = MakeProfile("portable", {});
    ListFirefox("[Profile0]\nName=Portable profile\nPath=" + real + "\n");
    state.SelectedProfileLine = "Portable profile";
    CheckProfile(state, texts, ui);
    EXPECT_EQ(state.ProfileDir, real + "/");

    state.SelectedProfileLine = "not listed";
    CheckProfile(state, texts, ui);
    EXPECT_EQ(state.ProfileDir, state.PortableProfileDir + "/");
}

TEST_F(ProfileDiscoveryTest, UnusableProfileWarnsAndEndsTheProgram)
{
    home.MakeDir("no-prefs");
    ListFirefox("[Profile0]\nName=broken\nPath=" + home.Path() + "/no-prefs\n");
    for (const char* line : {"broken", "unknown"}) {
        state.SelectedProfileLine = line;
        ui.QueueAnswer(TBoxAnswer::Ok);
        EXPECT_THROW(CheckProfile(state, texts, ui), TImmediateExit) << line;
        EXPECT_EQ(ui.calls.back(), "exit|1");
        EXPECT_EQ(ui.calls[ui.calls.size() - 2],
                  "box ok warning|Warning|The selected user profile is corrupted. The program will exit.");
    }
}

TEST_F(ProfileDiscoveryTest, ComponentAvailabilityOfAnOldProfile)
{
    const std::string profile = MakeProfile(
        "old", {"bookmarks.html", "history.dat", "panels.rdf", "Chrome/userContent.css", "12345678.S",
                "cookies.txt", "downloads.rdf", "cert8.db", "abook.mab", "extensions/x/install.rdf"});
    home.WriteFile("old/prefs.js", "user_pref(\"mail.identity.id1.fullName\", \"Me\");\n");
    const TComponentBoxes boxes = CheckProfileFolder(profile, texts, ui);
    for (TComponentBox box : {GeneralSettingsBox, EmailsBox, AddressBooksBox, BookmarksBox, HistoryBox,
                              SidebarsBox, UserStylesBox, SavedPasswordsBox, CookiesBox,
                              DownloadedFileListBox, CertificatesBox, ExtensionsBox})
        EXPECT_TRUE(boxes[box].Checked && boxes[box].Enabled) << box;
    EXPECT_FALSE(boxes[SavedFormDetailsBox].Enabled);
    EXPECT_FALSE(boxes[SavedFormDetailsBox].Checked);
    EXPECT_FALSE(boxes.ExtensionsHintVisible);
    EXPECT_TRUE(boxes[AccountsSettingsOnlyBox].Enabled);
    EXPECT_FALSE(boxes[CacheBox].Enabled);
}

TEST_F(ProfileDiscoveryTest, ComponentAvailabilityOfAModernBrowserProfile)
{
    const std::string profile = MakeProfile("modern", {"places.sqlite", "Cache/x", "0000.W"});
    const TComponentBoxes boxes = CheckProfileFolder(profile, texts, ui);
    EXPECT_TRUE(boxes[BookmarksBox].Checked);
    EXPECT_TRUE(boxes[HistoryBox].Checked);
    EXPECT_TRUE(boxes[SavedFormDetailsBox].Checked);
    EXPECT_FALSE(boxes[EmailsBox].Enabled);
    EXPECT_FALSE(boxes[AccountsSettingsOnlyBox].Enabled); // follows Emails
    EXPECT_EQ(boxes[ExtensionsBox].Checked || boxes[ExtensionsBox].Enabled, false);
    EXPECT_TRUE(boxes.ExtensionsHintVisible);
    EXPECT_TRUE(boxes[CacheBox].Enabled);  // offered ...
    EXPECT_FALSE(boxes[CacheBox].Checked); // ... never proposed
    EXPECT_TRUE(ui.calls.empty());
}

TEST_F(ProfileDiscoveryTest, ComponentAvailabilityOfTodaysFiles)
{
    const std::string browser =
        MakeProfile("browser", {"logins.json", "cert9.db", "autofill-profiles.json", "extensions.json"});
    const TComponentBoxes boxes = CheckProfileFolder(browser, texts, ui);
    for (TComponentBox box : {SavedPasswordsBox, CertificatesBox, SavedFormDetailsBox, ExtensionsBox})
        EXPECT_TRUE(boxes[box].Checked && boxes[box].Enabled) << box;
    EXPECT_FALSE(boxes.ExtensionsHintVisible);
    EXPECT_FALSE(boxes[AddressBooksBox].Enabled);

    const std::string mail = MakeProfile("mail", {"abook-2.sqlite", "logins.db", "key4.db"});
    const TComponentBoxes mailBoxes = CheckProfileFolder(mail, texts, ui);
    for (TComponentBox box : {AddressBooksBox, SavedPasswordsBox, CertificatesBox})
        EXPECT_TRUE(mailBoxes[box].Checked) << box;
    EXPECT_FALSE(mailBoxes[ExtensionsBox].Enabled);
}

TEST_F(ProfileDiscoveryTest, EmailsAreOfferedWheneverTheProfileHoldsMail)
{
    // "Local Folders" alone: a server of type "none" and no identity.
    const std::string local = MakeProfile("local", {});
    home.WriteFile("local/prefs.js", "user_pref(\"mail.server.server1.type\", \"none\");\n");
    // Mail folders whose accounts prefs.js no longer names.
    const std::string mail = MakeProfile("mail", {"Mail/Local Folders/Inbox"});
    const std::string imap = MakeProfile("imap", {"imapmail/host/INBOX.msf"});
    const std::string news = MakeProfile("news", {"News/host/newsrc.rc"});
    for (const std::string& profile : {local, mail, imap, news}) {
        const TComponentBoxes boxes = CheckProfileFolder(profile, texts, ui);
        EXPECT_TRUE(boxes[EmailsBox].Checked && boxes[EmailsBox].Enabled) << profile;
        EXPECT_TRUE(boxes[AccountsSettingsOnlyBox].Enabled) << profile;
    }
    // A file named like a mail folder holds no mail.
    const std::string browser = MakeProfile("browser", {"Mail", "places.sqlite"});
    EXPECT_FALSE(CheckProfileFolder(browser, texts, ui)[EmailsBox].Enabled);
}

// Ubuntu's move to the snap copies the profiles and leaves the classic root
// behind; the flatpak builds keep theirs in the sandbox. Every root is read.
TEST_F(ProfileDiscoveryTest, EveryRootIsListedAndEachLineNamesItsRoot)
{
    home.WriteFile(".mozilla/firefox/profiles.ini",
                   "[Profile0]\nName=default\nIsRelative=1\nPath=a.default\n");
    home.WriteFile("snap/firefox/common/.mozilla/firefox/profiles.ini",
                   "[Profile0]\nName=default\nIsRelative=1\nPath=a.default\n"
                   "[Profile1]\nName=snap only\nIsRelative=1\nPath=b.snap\n");
    home.WriteFile(".var/app/org.mozilla.firefox/config/mozilla/firefox/profiles.ini",
                   "[Profile0]\nName=flat\nIsRelative=1\nPath=c.flat\n");
    state.SelectedAppType = FirefoxAppType;
    ListProfiles(state, texts);
    EXPECT_EQ(state.ProfileDir, FirefoxRoot());
    EXPECT_EQ(state.ProfileList,
              (Lines{"default (~/.mozilla/firefox)", "default (~/snap/firefox/common/.mozilla/firefox)",
                     "snap only (~/snap/firefox/common/.mozilla/firefox)",
                     "flat (~/.var/app/org.mozilla.firefox/config/mozilla/firefox)"}));
    ASSERT_EQ(state.ProfileEntries.size(), 4u);
    EXPECT_EQ(state.ProfileEntries[1].Path, home.Path() + "/snap/firefox/common/.mozilla/firefox/a.default");

    // The backup file's name takes the profile's name, not its root.
    EXPECT_EQ(ProfileNameOfLine(state, state.ProfileList[2]), "snap only");
    EXPECT_EQ(ProfileNameOfLine(state, "Portable profile"), "Portable profile");
    // The line chosen finds its own root's profile, not the first of its name.
    const std::string snapDefault = MakeProfile("snap/firefox/common/.mozilla/firefox/a.default", {});
    state.SelectedProfileLine = state.ProfileList[1];
    CheckProfile(state, texts, ui);
    EXPECT_EQ(state.ProfileDir, snapDefault + "/");
}

TEST_F(ProfileDiscoveryTest, ThunderbirdRootsOfBothFlatpakIdsAndTheOldDebianFolder)
{
    for (const std::string root :
         {".var/app/org.mozilla.Thunderbird/config/thunderbird",
          ".var/app/net.thunderbird.Thunderbird/config/thunderbird", ".mozilla-thunderbird"}) {
        home.WriteFile(root + "/profiles.ini", "[Profile0]\nName=" + root + "\nIsRelative=1\nPath=p\n");
        state.SelectedAppType = ThunderbirdAppType;
        ListProfiles(state, texts);
        EXPECT_EQ(state.ProfileEntries.back().Path, home.Path() + "/" + root + "/p");
    }
    EXPECT_EQ(state.ProfileEntries.size(), 3u);
}

// A profile folder reached from two roots (a root linked to another, or a
// profile named by its full path in a second root) is listed once, and a
// single root's lines stay bare names.
TEST_F(ProfileDiscoveryTest, AProfileFolderReachedFromTwoRootsIsListedOnce)
{
    home.WriteFile(".mozilla/firefox/profiles.ini",
                   "[Profile0]\nName=default\nIsRelative=1\nPath=a.default\n");
    home.MakeDir(".mozilla/firefox/a.default");
    home.MakeDir(".config/mozilla");
    std::filesystem::create_directory_symlink(FirefoxRoot(), home.Path() + "/.config/mozilla/firefox");
    state.SelectedAppType = FirefoxAppType;
    ListProfiles(state, texts);
    EXPECT_EQ(state.ProfileList, Lines{"default"});

    home.WriteFile("snap/firefox/common/.mozilla/firefox/profiles.ini",
                   "[Profile0]\nName=same\nIsRelative=0\nPath=" + FirefoxRoot() +
                       "a.default\n[Profile1]\nName=own\nIsRelative=1\nPath=o\n");
    ListProfiles(state, texts);
    EXPECT_EQ(state.ProfileList,
              (Lines{"default (~/.mozilla/firefox)", "own (~/snap/firefox/common/.mozilla/firefox)"}));
}

TEST_F(ProfileDiscoveryTest, TheDefaultProfileIsTheInstallationsElseTheMarkedOne)
{
    const std::string root = FirefoxRoot();
    home.WriteFile(".mozilla/firefox/profiles.ini",
                   "[Profile1]\nName=default\nIsRelative=1\nPath=b.default\nDefault=1\n"
                   "[Profile0]\nName=default-esr\nIsRelative=1\nPath=a.default-esr\n");
    EXPECT_EQ(DefaultProfileFolder(root), root + "b.default");
    home.WriteFile(".mozilla/firefox/profiles.ini",
                   "[Install3B6073811A6ABF12]\nDefault=a.default-esr\nLocked=1\n\n"
                   "[Profile0]\nName=default-esr\nIsRelative=1\nPath=a.default-esr\n"
                   "[Profile1]\nName=default\nIsRelative=1\nPath=b.default\nDefault=1\n");
    EXPECT_EQ(DefaultProfileFolder(root), root + "a.default-esr");
    home.WriteFile(".mozilla/firefox/installs.ini", "[46F492E0ACFF84D4]\nDefault=/data/abs\nLocked=1\n");
    EXPECT_EQ(DefaultProfileFolder(root), "/data/abs");
    // Two installations naming different profiles name none; profiles.ini decides.
    home.WriteFile(".mozilla/firefox/installs.ini",
                   "[46F492E0ACFF84D4]\nDefault=x\n[3B6073811A6ABF12]\nDefault=a.default-esr\n");
    EXPECT_EQ(DefaultProfileFolder(root), root + "a.default-esr");
    home.WriteFile(".mozilla/firefox/profiles.ini", "[Profile0]\nName=x\nPath=x\n");
    std::filesystem::remove(root + "installs.ini");
    EXPECT_EQ(DefaultProfileFolder(root), std::nullopt);
}
