// Tests of restoring mail folders outside the profile, Windows paths included, and of filtering prefs.js.

#include "engine/MailRestore.h"

#include "apps/WizardState.h"
#include "config/InterfaceTexts.h"
#include "config/errorlog.h"
#include "engine/Archive.h"
#include "engine/BackupTask.h"
#include "engine/RunEnvironment.h"
#include "platform/FileSystem.h"
#include "tests/support/ArchiveFixture.h"
#include "tests/support/FakeHome.h"
#include "tests/support/ScriptedUserInterface.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <map>
#include <optional>
#include <sys/resource.h>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::ReadFileForTest;
using quillbank::testing::TArchiveTest;
using quillbank::testing::TImmediateExit;
namespace fs = std::filesystem;

namespace {

std::string Lines(std::initializer_list<std::string> lines)
{
    std::string out;
    for (const std::string& line : lines)
        out += line + "\r\n";
    return out;
}

std::string DirectoryLine(int account, const std::string& value)
{
    return "user_pref(\"mail.server.server" + std::to_string(account) + ".directory\", \"" + value + "\");";
}

class MailRestoreTest : public TArchiveTest
{
protected:
    std::string profile = home.MakeDir("profile") + "/";
    // Relative paths from a header must not land in the test's folder either.
    fs::path savedCwd = fs::current_path();

    MailRestoreTest()
    {
        state.ArchivePath = home.Path() + "/backup.qkz";
        fs::current_path(home.Path());
    }
    ~MailRestoreTest() override { fs::current_path(savedCwd); }

    /// A backup whose entries are the given names and contents.
    void MakeArchive(const std::map<std::string, std::string>& entries)
    {
        const std::string source = home.MakeDir("source") + "/";
        TBackupTask task(source, source, ui);
        for (const auto& [name, content] : entries) {
            home.WriteFile("source/" + name, content);
            task.AddFile(name);
        }
        TArchive(state.ArchivePath, "", source, Environment()).AddTask(task);
    }
    /// The folders not restored, by their paths.
    std::vector<std::string> Restore(const std::string& prefs)
    {
        home.WriteFile("profile/prefs.js", prefs);
        TArchive archive(state.ArchivePath, "", profile, Environment());
        const TMailFoldersRestored restored =
            RestoreMailFolders(profile, archive, state.MailFolders, texts, ui);
        PointAccountsAtMailFolders(profile, restored.Accounts);
        std::vector<std::string> notRestored;
        for (const TLeftOutFile& folder : restored.NotRestored)
            notRestored.push_back(folder.Path);
        return notRestored;
    }
    std::string Prefs() const { return ReadFileForTest(profile + "prefs.js"); }
};

} // namespace

TEST_F(MailRestoreTest, ExternalFolderGoesBackToItsRecordedPlaceAndItsLinesAreRewritten)
{
    MakeArchive({{"Mail/Local Folders/Inbox", "local"},
                 {"News/news.rc", "n"},
                 {"Archiv/Inbox", "kept"},
                 {"Archiv/sub/Drafts.msf", "d"},
                 {"Other/Inbox", "not mine"}});
    // A parent with a backslash and a non-ASCII name; the folder is created.
    const std::string folder = home.Path() + "/d\xc3\xa9j\xc3\xa0\\old/Archiv";
    const std::string encoded = home.Path() + "/d\xc3\xa9j\xc3\xa0\\\\old/Archiv";
    state.MailFolders = {{folder, "Archiv"}};
    const std::string original =
        "// Mozilla User Preferences\n\n" + DirectoryLine(1, encoded) + " // set by hand\r\n" +
        "user_pref(\"mail.server.server1.directory-rel\", \"[ProfD]../Archiv\");\n" +
        DirectoryLine(2, profile + "Mail/Local Folders") + "\n" + DirectoryLine(3, encoded) + "\n";
    Restore(original);

    EXPECT_EQ(ReadFileForTest(folder + "/Inbox"), "kept");
    EXPECT_EQ(ReadFileForTest(folder + "/sub/Drafts.msf"), "d");
    EXPECT_FALSE(fs::exists(home.Path() + "/d\xc3\xa9j\xc3\xa0\\old/Other"));
    EXPECT_EQ(ReadFileForTest(profile + "Mail/Local Folders/Inbox"), "local");
    EXPECT_EQ(ReadFileForTest(profile + "News/news.rc"), "n");
    EXPECT_FALSE(fs::exists(profile + "Archiv"));
    // Both accounts that share the folder point at it, the relative
    // preference from this profile; what follows a value goes.
    EXPECT_EQ(Prefs(), Lines({"// Mozilla User Preferences", DirectoryLine(1, encoded),
                              "user_pref(\"mail.server.server1.directory-rel\", "
                              "\"[ProfD]../d\xc3\xa9j\xc3\xa0\\\\old/Archiv\");",
                              DirectoryLine(2, profile + "Mail/Local Folders"), DirectoryLine(3, encoded)}));
    EXPECT_EQ(ReadFileForTest(profile + "prefs.zal"), original);
    EXPECT_TRUE(ui.calls.empty());
}

// The copy the mail restore keeps for the clean-up goes with a run that ends
// at once before it; prefs.js is whole at that moment.
TEST_F(MailRestoreTest, ACopyOfPrefsJsNeverOutlivesARunThatEndsAtOnce)
{
    MakeArchive({{"Mail/Local Folders/Inbox", "local"}});
    Restore("user_pref(\"a\", 1);\n");
    ASSERT_TRUE(fs::exists(profile + "prefs.zal"));
    EXPECT_THROW(ui.ExitImmediately(1), TImmediateExit);
    EXPECT_FALSE(fs::exists(profile + "prefs.zal"));
    EXPECT_EQ(ReadFileForTest(profile + "prefs.js"), "user_pref(\"a\", 1);\r\n");
}

TEST_F(MailRestoreTest, FolderThatCannotBeCreatedIsReportedAndTheRestGoesOn)
{
    MakeArchive({{"Archiv/Inbox", "a"}, {"Kept/Inbox", "k"}});
    home.WriteFile("plainfile", "not a folder");
    const std::string blocked = home.Path() + "/plainfile/Archiv";
    const std::string good = home.Path() + "/mail/Kept";
    state.MailFolders = {{blocked, "Archiv"}, {good, "Kept"}};
    ui.QueueAnswer(TBoxAnswer::Ok);
    Restore(DirectoryLine(1, blocked) + " // old\n" + DirectoryLine(2, good) + " // old\n");

    EXPECT_EQ(ui.calls, std::vector<std::string>{"box ok error|Error|Cannot restore external mail account to "
                                                 "original location! " +
                                                 blocked});
    EXPECT_EQ(Prefs(), Lines({DirectoryLine(1, blocked) + " // old", DirectoryLine(2, good)}));
    EXPECT_EQ(ReadFileForTest(good + "/Inbox"), "k");
}

TEST_F(MailRestoreTest, HostileHeaderPathsAreRefusedAndNamed)
{
    MakeArchive({{"Archiv/Inbox", "a"}, {"Mail/Inbox", "m"}});
    const std::vector<std::string> hostile = {
        "Archiv",                              // relative
        home.Path() + "/up/../escaped/Archiv", // climbs
        home.Path() + "/whole/",               // no folder name: the whole archive
        home.Path() + "/wild/Arch*",           // would match other folders' entries
    };
    for (const std::string& path : hostile)
        state.MailFolders.push_back({path, ExtractFileName(path)});
    // Folders recorded on Windows would go into the profile: only steps and
    // names that lead elsewhere are refused.
    const std::vector<std::string> hostileWindows = {
        "C:\\up\\..\\Archiv",                  // climbs
        "C:\\",                                // no folder name
        "\\\\server\\",                        // a share without a folder
        std::string("C:\\Mail\\Arch\0iv", 15), // a NUL would cut the path short
        "C:Archiv",                            // relative to a drive's current folder
    };
    for (const std::string& path : hostileWindows)
        state.MailFolders.push_back({path, "Archiv"});
    state.MailFolders.push_back({home.Path() + "/fine/Archiv", "Archiv"});
    std::vector<std::string> refused = hostile;
    refused.insert(refused.end(), hostileWindows.begin(), hostileWindows.end());
    std::string prefs, expected;
    for (std::size_t i = 0; i < state.MailFolders.size(); ++i) {
        const std::string line = DirectoryLine(static_cast<int>(i) + 1, state.MailFolders[i].Path);
        prefs += line + " // old\n";
        // Only the accepted folder's line is rewritten.
        expected += line + (i < refused.size() ? " // old\r\n" : "\r\n");
    }
    EXPECT_EQ(Restore(prefs), refused);
    EXPECT_FALSE(fs::exists(profile + "Mail/Archiv"));

    for (const char* created : {"Archiv", "up", "escaped", "whole", "wild"})
        EXPECT_FALSE(fs::exists(home.Path() + "/" + created)) << created;
    EXPECT_EQ(ReadFileForTest(home.Path() + "/fine/Archiv/Inbox"), "a");
    EXPECT_EQ(Prefs(), expected);
    EXPECT_TRUE(ui.calls.empty());
}

// A backup made on Windows records its account folders as Windows paths,
// and its prefs.js names them in any letter case.
TEST_F(MailRestoreTest, FoldersRecordedOnWindowsGoIntoTheProfileOrWhereTheUserChose)
{
    MakeArchive({{"Mail/Archive/Inbox", "the profile's own"},
                 {"Archive/Inbox", "from C"},
                 {"Archive~1/Inbox", "from D"},
                 {"Team/Inbox", "from the share"}});
    const std::string mapped = home.Path() + "/mapped/Team";
    state.MailFolders = {{"C:\\Mail\\Archive", "Archive"},
                         {"D:\\Other\\Archive\\", "Archive~1"},
                         {"\\\\server\\share\\Team", "Team", mapped}};
    const std::string prefs =
        DirectoryLine(1, "c:\\\\MAIL\\\\archive") + "\n" +
        "user_pref(\"mail.server.server2.directory-rel\", \"[ProfD]../../../../other/ARCHIVE\");\n" +
        DirectoryLine(3, "\\\\\\\\server\\\\share\\\\Team") + "\n";
    EXPECT_TRUE(Restore(prefs).empty());

    EXPECT_EQ(ReadFileForTest(profile + "Mail/Archive/Inbox"), "the profile's own");
    EXPECT_EQ(ReadFileForTest(profile + "Mail/Archive-2/Inbox"), "from C");
    EXPECT_EQ(ReadFileForTest(profile + "Mail/Archive-3/Inbox"), "from D");
    EXPECT_EQ(ReadFileForTest(mapped + "/Inbox"), "from the share");
    EXPECT_EQ(Prefs(), Lines({DirectoryLine(1, profile + "Mail/Archive-2"),
                              "user_pref(\"mail.server.server2.directory-rel\", \"[ProfD]Mail/Archive-3\");",
                              DirectoryLine(3, mapped)}));
    EXPECT_EQ(state.MailFolders[0].Place, profile + "Mail/Archive-2");
    EXPECT_EQ(ui.calls,
              (std::vector<std::string>{
                  "report|- Mail folder restored: C:\\Mail\\Archive -> " + profile + "Mail/Archive-2",
                  "report|- Mail folder restored: D:\\Other\\Archive\\ -> " + profile + "Mail/Archive-3",
                  "report|- Mail folder restored: \\\\server\\share\\Team -> " + mapped}));
}

TEST_F(MailRestoreTest, AFolderRecordedOnWindowsThatCannotBePlacedIsNamedWithThePlace)
{
    MakeArchive({{"Archive/Inbox", "a"}});
    home.WriteFile("plainfile", "not a folder");
    const std::string blocked = home.Path() + "/plainfile/Archive";
    state.MailFolders = {{"C:\\Mail\\Archive", "Archive", blocked}};
    ui.QueueAnswer(TBoxAnswer::Ok);
    home.WriteFile("profile/prefs.js", DirectoryLine(1, "C:\\\\Mail\\\\Archive") + "\n");
    TArchive archive(state.ArchivePath, "", profile, Environment());
    const TMailFoldersRestored restored = RestoreMailFolders(profile, archive, state.MailFolders, texts, ui);
    PointAccountsAtMailFolders(profile, restored.Accounts);
    const std::vector<TLeftOutFile>& notRestored = restored.NotRestored;

    ASSERT_EQ(notRestored.size(), 1u);
    EXPECT_EQ(notRestored[0].Path, "C:\\Mail\\Archive");
    EXPECT_TRUE(notRestored[0].Reason.starts_with("the folder " + blocked + " cannot be created: "))
        << notRestored[0].Reason;
    EXPECT_EQ(Prefs(), Lines({DirectoryLine(1, "C:\\\\Mail\\\\Archive")}));
}

TEST_F(MailRestoreTest, FoldersStoredUnderOtherNamesGoEachToTheirOwnPlace)
{
    MakeArchive({{"Box~1/Inbox", "first"}, {"Box~2/Inbox", "second"}, {"Box/Inbox", "an older reader's"}});
    const std::string first = home.Path() + "/x1/Box";
    const std::string second = home.Path() + "/x2/Box";
    state.MailFolders = {{first, "Box~1"}, {second, "Box~2"}};
    Restore(DirectoryLine(1, first) + "\n" + DirectoryLine(2, second) + "\n");

    EXPECT_EQ(ReadFileForTest(first + "/Inbox"), "first");
    EXPECT_EQ(ReadFileForTest(second + "/Inbox"), "second");
    EXPECT_EQ(Prefs(), Lines({DirectoryLine(1, first), DirectoryLine(2, second)}));
}

TEST_F(MailRestoreTest, AccountRecordedRelativeToTheOldProfileIsFoundAndPointedFromTheNewOne)
{
    MakeArchive({{"pop.example.org/Inbox", "mail"}});
    // The backup was made of a profile two levels below "old"; this one lies elsewhere.
    const std::string folder = home.Path() + "/old/elsewhere/pop.example.org";
    state.MailFolders = {{folder, "pop.example.org"}};
    Restore("user_pref(\"mail.server.server4.directory-rel\", \"[ProfD]../../elsewhere/pop.example.org\");\n"
            "user_pref(\"mail.server.server4.directory\", \"/gone/elsewhere/pop.example.org\");\n");

    EXPECT_EQ(ReadFileForTest(folder + "/Inbox"), "mail");
    EXPECT_EQ(Prefs(), Lines({"user_pref(\"mail.server.server4.directory-rel\", "
                              "\"[ProfD]../old/elsewhere/pop.example.org\");",
                              DirectoryLine(4, folder)}));
}

TEST_F(MailRestoreTest, AccountInsideTheOldProfileIsPointedAtTheNewOne)
{
    MakeArchive({{"Mail/Local Folders/Inbox", "local"}});
    const std::string rel =
        "user_pref(\"mail.server.server1.directory-rel\", \"[ProfD]Mail/Local Folders\");";
    Restore(rel + "\n" + DirectoryLine(1, "/home/old/.thunderbird/a.default/Mail/Local Folders") + "\n");

    EXPECT_EQ(Prefs(), Lines({rel, DirectoryLine(1, profile + "Mail/Local Folders")}));
}

TEST_F(MailRestoreTest, FolderNoAccountUsesIsNamedAndNotWritten)
{
    MakeArchive({{"Archiv/Inbox", "a"}});
    state.MailFolders = {{home.Path() + "/nobody/Archiv", "Archiv"}};
    EXPECT_EQ(Restore(DirectoryLine(1, home.Path() + "/other/Archiv") + "\n"),
              std::vector<std::string>{home.Path() + "/nobody/Archiv"});
    EXPECT_FALSE(fs::exists(home.Path() + "/nobody"));
}

TEST_F(MailRestoreTest, HostileArchiveFoldersAreRefused)
{
    MakeArchive({{"Archiv/Inbox", "a"}, {"Mail/Inbox", "m"}});
    const std::string folder = home.Path() + "/mine/Archiv";
    for (const char* stored : {"..", "Mail/../Archiv", "Arch*", "", "Archiv\\x"}) {
        state.MailFolders = {{folder, stored}};
        EXPECT_EQ(Restore(DirectoryLine(1, folder) + "\n"), std::vector<std::string>{folder}) << stored;
        EXPECT_FALSE(fs::exists(home.Path() + "/mine")) << stored;
    }
}

TEST_F(MailRestoreTest, MissingPrefsJsFailsWithItsText)
{
    MakeArchive({{"Mail/Inbox", "m"}});
    TArchive archive(state.ArchivePath, "", profile, RunEnvironment(ui, texts, state, programDir));
    try {
        RestoreMailFolders(profile, archive, state.MailFolders, texts, ui);
        FAIL() << "no failure";
    } catch (const EPrefsNotFound& error) {
        EXPECT_STREQ(error.what(), "Config file prefs.js doesn't found.");
    }
    EXPECT_EQ(ReadFileForTest(profile + "Mail/Inbox"), "m");
}

TEST_F(MailRestoreTest, FilterKeepsPreferencesNamingPlacesOutsideOnlyWhenAgreed)
{
    const std::string inside = "user_pref(\"browser.startup.homepage\", \"" + profile + "start.html\");";
    const std::string outside = "user_pref(\"browser.download.dir\", \"/home/u/Downloads\");";
    for (const bool agreed : {false, true}) {
        home.WriteFile("profile/prefs.js", inside + "\n" + outside + "\n");
        FilterRestoredPrefs(profile, FirefoxAppType, {}, agreed, texts, ui);
        EXPECT_EQ(Prefs(), agreed ? Lines({inside, outside}) : Lines({inside}));
    }
}

// The clean-up's line rules, for one prefs.js and several targets.
TEST_F(MailRestoreTest, FilterDropsWhatTheTargetAndTheChosenComponentsDoNotWant)
{
    const std::vector<std::string> input = {
        "# Mozilla User Preferences",                                  // 0
        "",                                                            // 1 never written
        "user_pref(\"mail.server.server1.type\", \"pop3\");",          // 2
        "user_pref(\"mailnews.start_page.enabled\", false);",          // 3
        "user_pref(\"mailnewsx.custom\", 1);",                         // 4
        "user_pref(\"ldap_2.servers.a.filename\", \"a.mab\");",        // 5
        "user_pref(\"browser.startup.homepage\", \"x\");",             // 6
        "user_pref(\"browser.cache.disk.parent_directory\", \"/x\");", // 7 never written
        "user_pref(\"signon.SignonFileName\", \"s.s\");",              // 8
        "user_pref(\"wallet.SchemaValueFileName\", \"w\");",           // 9
        "user_pref(\"wallet.caveat\", true);",                         // 10
        "user_pref(\"general.useragent.locale\", \"en\");",            // 11
        " user_pref(\"mail.identity.id1.fullName\", \"A\");",          // 12 does not begin with it
    };
    TComponentBoxes all;
    for (TComponentBox box : {EmailsBox, AddressBooksBox, SavedPasswordsBox, SavedFormDetailsBox})
        all[box].Checked = true;
    struct TCase
    {
        AppType type;
        TComponentBoxes boxes;
        std::vector<int> kept;
    };
    for (const TCase& c : {
             TCase{SeaMonkeyAppType, all, {0, 2, 3, 4, 5, 6, 8, 9, 10, 11, 12}},
             TCase{SeaMonkeyAppType, {}, {0, 4, 6, 11}},
             TCase{FirefoxAppType, all, {0, 6, 8, 9, 10, 11, 12}},
             TCase{ThunderbirdAppType, all, {0, 2, 3, 4, 5, 8, 9, 10, 11, 12}},
         }) {
        std::string prefs, expected;
        for (std::size_t i = 0; i < input.size(); ++i)
            prefs += input[i] + (i % 2 ? "\n" : "\r\n"); // either line end is read
        for (int i : c.kept)
            expected += input[static_cast<std::size_t>(i)] + "\r\n";
        home.WriteFile("profile/prefs.js", prefs);
        FilterRestoredPrefs(profile, c.type, c.boxes, false, texts, ui);
        EXPECT_EQ(Prefs(), expected) << int(c.type);
        EXPECT_FALSE(fs::exists(profile + "prefs.zal"));
    }
    EXPECT_TRUE(ui.calls.empty());
}

// An interrupted rewrite may leave "prefs.zal" as the only complete copy.
TEST_F(MailRestoreTest, FilterTakesBackALeftoverCopyOnlyWhenPrefsJsIsGone)
{
    const std::string copy = "user_pref(\"from.copy\", 1);\r\n";
    const std::string current = "user_pref(\"from.prefs\", 1);\r\n";
    for (const std::optional<std::string>& prefs :
         {std::optional<std::string>(), std::optional<std::string>(""),
          std::optional<std::string>(current)}) {
        fs::remove(profile + "prefs.js");
        if (prefs)
            home.WriteFile("profile/prefs.js", *prefs);
        home.WriteFile("profile/prefs.zal", copy);
        FilterRestoredPrefs(profile, SeaMonkeyAppType, {}, false, texts, ui);
        EXPECT_EQ(Prefs(), prefs && !prefs->empty() ? current : copy);
        EXPECT_FALSE(fs::exists(profile + "prefs.zal"));
    }
    // Without either file nothing is done.
    fs::remove(profile + "prefs.js");
    FilterRestoredPrefs(profile, SeaMonkeyAppType, {}, false, texts, ui);
    EXPECT_FALSE(fs::exists(profile + "prefs.js"));
    EXPECT_TRUE(ui.calls.empty());
}

TEST_F(MailRestoreTest, FilterThatCannotWriteLeavesPrefsJsWholeAndEndsTheProgram)
{
    // A full disk: writes beyond 1 KiB fail.
    std::string prefs;
    for (int i = 0; i < 200; ++i)
        prefs += "user_pref(\"general.x" + std::to_string(i) + "\", 1);\r\n";
    home.WriteFile("profile/prefs.js", prefs);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 1024;
    setrlimit(RLIMIT_FSIZE, &small);
    ui.QueueAnswer(TBoxAnswer::Ok);
    try {
        FilterRestoredPrefs(profile, SeaMonkeyAppType, {}, false, texts, ui);
        ADD_FAILURE() << "the program went on";
    } catch (const TImmediateExit& exit) {
        EXPECT_EQ(exit.exitCode, 1);
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(ui.calls.front(), "box ok warning|Warning|A critical error occurred while modifying the "
                                "preferences file. The program will exit.");
    EXPECT_EQ(Prefs(), prefs);
}
