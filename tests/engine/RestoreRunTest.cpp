// Tests of a whole restore run: components, unknown entries, legacy containers, failures named with reasons.

#include "engine/RestoreRun.h"

#include "apps/WizardState.h"
#include "config/InterfaceTexts.h"
#include "config/errorlog.h"
#include "engine/ArchiveHeader.h"
#include "engine/BackupTask.h"
#include "platform/NameBeside.h"
#include "platform/ProcessList.h"
#include "tests/support/ArchiveFixture.h"
#include "tests/support/FakeHome.h"
#include "tests/support/ScriptedUserInterface.h"
#include "tests/support/ZipBuilder.h"

#include <filesystem>
#include <iostream>
#include <set>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::BuildZip;
using quillbank::testing::EntryNamesIn;
using quillbank::testing::ErrorLogMessages;
using quillbank::testing::ReadFileForTest;
using quillbank::testing::TArchiveTest;
using quillbank::testing::TImmediateExit;
using quillbank::testing::TZipEntrySpec;
using Lines = std::vector<std::string>;
namespace fs = std::filesystem;

namespace {

class RestoreRunTest : public TArchiveTest
{
protected:
    TRestoreRequest request;
    std::string source = home.MakeDir("source") + "/";
    std::string target = home.MakeDir("target");

    RestoreRunTest()
    {
        state.ArchivePath = home.Path() + "/backup.qkz";
        state.SelectedAppType = FirefoxAppType;
        state.ProfileEntries = {{"target", target}}; // no trailing separator
        state.SelectedProfileLine = "target";
    }

    /// A ZIP backup of the source profile's files.
    void MakeArchive(std::initializer_list<std::pair<std::string, std::string>> files)
    {
        TBackupTask task(source, source, ui);
        for (const auto& [name, content] : files) {
            home.WriteFile("source/" + name, content);
            task.AddFile(name);
        }
        TArchive(state.ArchivePath, "", source, Environment()).AddTask(task, "Quillbank\r\n");
        state.ArchiveFormat = TArchiveFormat::Zip;
    }

    void TickAll()
    {
        for (int box = 1; box <= ComponentBoxCount; ++box)
            request.Boxes.Boxes[box].Checked = box != AccountsSettingsOnlyBox;
    }

    Lines Calls(std::string_view prefix) const
    {
        Lines found;
        for (const std::string& call : ui.calls)
            if (call.starts_with(prefix))
                found.push_back(call.substr(prefix.size()));
        return found;
    }
};

} // namespace

TEST_F(RestoreRunTest, BarAndLinesOfAZipRestore)
{
    MakeArchive({{"places.sqlite", "p"}, {"cookies.sqlite", "c"}});
    TickAll();
    EXPECT_EQ(RunRestore(request, state, Environment()).Status, TRunStatus::Done);
    EXPECT_EQ(state.ProfileDir, target + "/");
    EXPECT_EQ(ReadFileForTest(target + "/places.sqlite"), "p");
    // General settings does not move the bar; every other component does,
    // restored or skipped; the unknown entries make the last step.
    Lines positions = Calls("position|");
    ASSERT_EQ(positions.size(), 16u);
    EXPECT_EQ(positions[0], "0");
    EXPECT_EQ(positions[13], "130");
    EXPECT_EQ(positions[14], "140");
    EXPECT_EQ(positions[15], "100");
    EXPECT_EQ(Calls("range|"), (Lines{"0|140", "0|100"}));
    // Firefox takes no mail and no address books: no lines for them.
    const Lines reports = Calls("report|");
    EXPECT_EQ(reports.size(), 12u);
    EXPECT_EQ(reports.front(), "General settings restore... OK");
    EXPECT_EQ(std::count(reports.begin(), reports.end(), "Emails restore... OK"), 0);
    EXPECT_EQ(reports.back(), "Cache restore... OK");
}

TEST_F(RestoreRunTest, ComponentsATypeDoesNotTakeAreSkippedSilently)
{
    MakeArchive({{"places.sqlite", "p"}});
    state.SelectedAppType = ThunderbirdAppType;
    request.Boxes[BookmarksBox].Checked = true;
    request.Boxes[HistoryBox].Checked = true;
    RunRestore(request, state, Environment());
    EXPECT_TRUE(Calls("task|").empty());
    EXPECT_TRUE(Calls("report|").empty());
    EXPECT_FALSE(fs::exists(target + "/places.sqlite"));
}

TEST_F(RestoreRunTest, ExtensionsWithoutUserStylesLeaveTheProfilesOwnStylesAlone)
{
    MakeArchive({{"extensions/a/install.rdf", "x"},
                 {"chrome/userChrome.css", "from the backup"},
                 {"chrome/userContent.css", "from the backup"},
                 {"chrome/other.css", "o"}});
    home.WriteFile("target/chrome/userChrome.css", "mine");
    request.Boxes[ExtensionsBox].Checked = true;
    RunRestore(request, state, Environment());
    EXPECT_EQ(ReadFileForTest(target + "/chrome/userChrome.css"), "mine");
    EXPECT_FALSE(fs::exists(target + "/chrome/userContent.css"));
    EXPECT_EQ(ReadFileForTest(target + "/chrome/other.css"), "o");
    EXPECT_TRUE(fs::exists(target + "/extensions/a/install.rdf"));
}

TEST_F(RestoreRunTest, OnlyTickedUnknownEntriesComeBackAndNeverFromOutside)
{
    MakeArchive({{"notes.txt", "n"}, {"addon-data/deep/x", "x"}, {"left.txt", "l"}});
    state.UnknownEntries = {
        {"notes.txt", false}, {"left.txt", false}, {"addon-data", true}, {"../escape", false}};
    // A header naming the header itself would have it written into the profile.
    state.UnknownEntries.push_back({"IndexFile.TXT", false});
    request.UnknownTicks = {true, false, true, true, true};
    const TRunOutcome outcome = RunRestore(request, state, Environment());
    EXPECT_EQ(EntryNamesIn(target), (std::set<std::string>{"addon-data", "notes.txt"}));
    EXPECT_TRUE(fs::exists(target + "/addon-data/deep/x"));
    // What was refused is a failure of the part, named with the reason.
    EXPECT_EQ(Calls("report|"),
              (Lines{"Unknow files restore... FAILED",
                     "- Not restored: ../escape: it would lie outside the profile",
                     "- Not restored: IndexFile.TXT: the name is the backup's own header"}));
    EXPECT_EQ(outcome.Status, TRunStatus::Failed);
    EXPECT_EQ(outcome.Failure, "../escape: it would lie outside the profile");
    EXPECT_EQ(outcome.LeftOut.size(), 2u);
    const std::string log = ErrorLogMessages();
    EXPECT_NE(log.find("../escape"), std::string::npos);
    EXPECT_NE(log.find("\"IndexFile.TXT\" not restored: the name is the backup's own header"),
              std::string::npos);
}

// A header's names are names: "*" and "?" in them stand for themselves, and
// a database's logs go only for the database of that very name.
TEST_F(RestoreRunTest, UnknownEntriesAreRestoredByTheirLiteralNames)
{
    MakeArchive({{"*", "star"},
                 {"prefs.j?", "q"},
                 {"prefs.js", "p"},
                 {"places.sqlite", "db"},
                 {"a*/inside", "i"},
                 {"ab/other", "o"}});
    home.WriteFile("target/places.sqlite-wal", "log");
    state.UnknownEntries = {{"*", false}, {"prefs.j?", false}, {"*.sqlite", false}, {"a*", true}};
    request.UnknownTicks.assign(state.UnknownEntries.size(), true);
    RunRestore(request, state, Environment());
    EXPECT_EQ(EntryNamesIn(target), (std::set<std::string>{"*", "prefs.j?", "a*", "places.sqlite-wal"}));
    EXPECT_EQ(ReadFileForTest(target + "/*"), "star");
    EXPECT_EQ(ReadFileForTest(target + "/a*/inside"), "i");
    EXPECT_EQ(ReadFileForTest(target + "/places.sqlite-wal"), "log");
}

// A folder name may end in a blank here: the restore goes into that folder,
// whether it is a listed profile or a portable one.
TEST_F(RestoreRunTest, ATargetFolderWhoseNameEndsInABlankIsRestoredInto)
{
    MakeArchive({{"notes.txt", "n"}});
    state.UnknownEntries = {{"notes.txt", false}};
    request.UnknownTicks = {true};
    const std::string listed = home.MakeDir("Profile ");
    state.ProfileEntries = {{"target", listed}};
    RunRestore(request, state, Environment());
    EXPECT_EQ(ReadFileForTest(listed + "/notes.txt"), "n");

    const std::string portable = home.MakeDir("Portable\t ");
    const std::set<std::string> homeBefore = EntryNamesIn(home.Path());
    state.SelectedProfileLine.reset();
    state.PortableProfileDir = portable;
    RunRestore(request, state, Environment());
    EXPECT_EQ(ReadFileForTest(portable + "/notes.txt"), "n");
    EXPECT_EQ(EntryNamesIn(home.Path()), homeBefore);
}

TEST_F(RestoreRunTest, TheNextRestoreRemovesTheFilesAnInterruptedOneLeft)
{
    MakeArchive({{"notes.txt", "n"}});
    home.WriteFile("target/places.sqlite.qbpart-Ab3xY9", "half");
    home.WriteFile("target/bookmarkbackups/b.json.qbpart-0zZ9aA", "half");
    home.WriteFile("target/mine.qbpart-abc", "the user's");
    RunRestore(request, state, Environment());
    EXPECT_EQ(EntryNamesIn(target), (std::set<std::string>{"bookmarkbackups", "mine.qbpart-abc"}));
    EXPECT_TRUE(fs::is_empty(target + "/bookmarkbackups"));
}

// A damaged entry and one the archive layer refuses fail their components,
// each named with the reason; the other components are restored.
TEST_F(RestoreRunTest, EntriesNotWrittenFailTheirComponentsAndNameTheEntry)
{
    home.WriteFile("backup.qkz", BuildZip({{"places.sqlite", "new places"},
                                           {"cookies.sqlite", "new cookies"},
                                           [] {
                                               TZipEntrySpec damaged("key4.db", "new key");
                                               damaged.DeclaredCrc = 1;
                                               return damaged;
                                           }(),
                                           [] {
                                               TZipEntrySpec link("extra/link", "/etc");
                                               link.UnixMode = 0120777;
                                               return link;
                                           }()}));
    state.ArchiveFormat = TArchiveFormat::Zip;
    home.WriteFile("target/key4.db", "old key");
    request.Boxes[BookmarksBox].Checked = true;
    request.Boxes[CookiesBox].Checked = true;
    request.Boxes[SavedPasswordsBox].Checked = true;
    state.UnknownEntries = {{"extra", true}};
    request.UnknownTicks = {true};
    const TRunOutcome outcome = RunRestore(request, state, Environment());
    EXPECT_EQ(ReadFileForTest(target + "/places.sqlite"), "new places");
    EXPECT_EQ(ReadFileForTest(target + "/key4.db"), "old key");
    EXPECT_FALSE(fs::exists(target + "/extra/link"));
    EXPECT_EQ(Calls("report|"),
              (Lines{"Bookmarks restore... OK", "Password restore ... FAILED",
                     "- Not restored: key4.db: the archive is damaged", "Cookies restore... OK",
                     "Unknow files restore... FAILED", "- Not restored: extra/link: it is a symbolic link"}));
    EXPECT_EQ(outcome.Status, TRunStatus::DoneWithLeftOut);
    EXPECT_EQ(outcome.LeftOut, (std::vector<TLeftOutFile>{{"key4.db", "the archive is damaged"},
                                                          {"extra/link", "it is a symbolic link"}}));
}

// Permissions do not bind root: the run goes as an ordinary user, in a child.
TEST_F(RestoreRunTest, AReadOnlyTargetFailsTheRestoreNamingEachEntry)
{
    MakeArchive({{"places.sqlite", "p"}, {"cookies.sqlite", "c"}});
    request.Boxes[BookmarksBox].Checked = true;
    request.Boxes[CookiesBox].Checked = true;
    const auto failsNamingEachEntry = [&] {
        const TRunOutcome outcome = RunRestore(request, state, Environment());
        for (const std::string& line : Calls("report|"))
            std::cerr << line << "\n";
        const Lines reports = Calls("report|");
        return outcome.Status == TRunStatus::Failed && outcome.LeftOut.size() == 2 &&
               outcome.Failure.starts_with("places.sqlite: ") && reports.size() == 4 &&
               reports[0] == "Bookmarks restore... FAILED" &&
               reports[1].starts_with("- Not restored: places.sqlite: ") &&
               reports[2] == "Cookies restore... FAILED" &&
               reports[3].starts_with("- Not restored: cookies.sqlite: ");
    };
    fs::permissions(target, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    if (::geteuid() != 0) {
        EXPECT_TRUE(failsNamingEachEntry());
    } else {
        for (const std::string& path : {home.Path(), home.Path() + "/program"})
            fs::permissions(path, fs::perms::others_exec, fs::perm_options::add);
        fs::permissions(state.ArchivePath, fs::perms::others_read, fs::perm_options::add);
        EXPECT_EXIT(
            std::_Exit(::setgid(65534) == 0 && ::setuid(65534) == 0 && failsNamingEachEntry() ? 0 : 1),
            ::testing::ExitedWithCode(0), "");
    }
    EXPECT_TRUE(EntryNamesIn(target).empty());
}

TEST_F(RestoreRunTest, NamesAsLongAsTheFolderAllowsAreRestored)
{
    const std::size_t limit = MaxFileNameLength(target);
    const std::string names[] = {std::string(limit - 13, 'a'), std::string(limit - 5, 'b'),
                                 std::string(limit, 'c')};
    MakeArchive({{names[0], "a"}, {names[1], "b"}, {names[2], "c"}});
    state.UnknownEntries = {{names[0], false}, {names[1], false}, {names[2], false}};
    request.UnknownTicks = {true, true, true};
    RunRestore(request, state, Environment());
    EXPECT_EQ(EntryNamesIn(target), (std::set<std::string>{names[0], names[1], names[2]}));
    EXPECT_EQ(ReadFileForTest(target + "/" + names[2]), "c");
}

namespace {

std::string LegacyContainer(const std::string& records)
{
    return "Quillbank\r\nRevize: 2\r\nVerze: "
           "1.3\r\n****////\\\\\\\\****\r\nYNNNNNYNNNN\r\n****////\\\\\\\\****\r\n" +
           records;
}

const std::string LegacyEnd = "****////\\\\\\\\****\r\n";

} // namespace

TEST_F(RestoreRunTest, LegacyContainerRecordsOfTickedComponents)
{
    std::string prefs;
    for (int i = 0; i < 250; ++i)
        prefs += "user_pref(\"line." + std::to_string(i) + "\", 1);\r\n";
    home.WriteFile("old.txt",
                   LegacyContainer(" Nastaveni \r\nprefs.js\r\nskipped\r\n" + prefs + LegacyEnd +
                                   "Cookies\r\ncookies.txt\r\n-\r\nnot ticked\r\n" + LegacyEnd +
                                   "Uzivatelske styly\r\nchrome\\userChrome.css\r\n-\r\nbody {}\r\n" +
                                   LegacyEnd + "Uzivatelske styly\r\n..\\escape.css\r\n-\r\nx\r\n" +
                                   LegacyEnd));
    state.ArchivePath = home.Path() + "/old.txt";
    state.ArchiveFormat = TArchiveFormat::LegacyContainer;
    request.Boxes[GeneralSettingsBox].Checked = true;
    request.Boxes[UserStylesBox].Checked = true;
    std::set<std::string> homeAfter = EntryNamesIn(home.Path());
    homeAfter.insert(".local"); // the error log's folder
    const TRunOutcome outcome = RunRestore(request, state, Environment());
    EXPECT_EQ(ReadFileForTest(target + "/chrome/userChrome.css"), "body {}\r\n");
    EXPECT_EQ(EntryNamesIn(target), (std::set<std::string>{"chrome", "prefs.js"}));
    EXPECT_EQ(EntryNamesIn(home.Path()), homeAfter);
    EXPECT_EQ(Calls("report|"), (Lines{"Restored file: prefs.js", "Restored file: chrome/userChrome.css",
                                       "- Not restored: ../escape.css: it would lie outside the profile"}));
    EXPECT_EQ(outcome.Status, TRunStatus::DoneWithLeftOut);
    EXPECT_EQ(outcome.LeftOut,
              (std::vector<TLeftOutFile>{{"../escape.css", "it would lie outside the profile"}}));
    EXPECT_EQ(Calls("task|"), (Lines{"Task: Restoring general settings", "Task: Restoring user styles",
                                     "Task: Restoring user styles"}));
    EXPECT_EQ(ui.processEventsCount, 2); // the 250 lines of prefs.js: checked twice for a running Firefox
}

// The copy of a legacy container asks for the application to be closed only
// while the target profile's own lock says it is in use, and not at all when
// forced; a Firefox running elsewhere does not count.
TEST_F(RestoreRunTest, LegacyContainerCopyChecksTheTargetsLockAndHonoursForce)
{
    std::string prefs;
    for (int i = 0; i < 100; ++i)
        prefs += "user_pref(\"line." + std::to_string(i) + "\", 1);\r\n";
    home.WriteFile("old.txt", LegacyContainer(" Nastaveni \r\nprefs.js\r\nskipped\r\n" + prefs + LegacyEnd));
    state.ArchivePath = home.Path() + "/old.txt";
    state.ArchiveFormat = TArchiveFormat::LegacyContainer;
    request.Boxes[GeneralSettingsBox].Checked = true;
    {
        const TProcessListOverride firefox({"firefox-esr"});
        EXPECT_EQ(RunRestore(request, state, Environment()).Status, TRunStatus::Done);
        EXPECT_TRUE(Calls("box").empty());
    }
    std::filesystem::create_symlink("127.0.0.1:+" + std::to_string(getpid()), target + "/lock");
    request.Force = true;
    EXPECT_EQ(RunRestore(request, state, Environment()).Status, TRunStatus::Done);
    EXPECT_TRUE(Calls("box").empty());
    request.Force = false;
    ui.QueueAnswer(TBoxAnswer::Cancel);
    ui.QueueAnswer(TBoxAnswer::Ok);
    EXPECT_THROW(RunRestore(request, state, Environment()), quillbank::testing::TImmediateExit);
    EXPECT_EQ(Calls("box retrycancel"),
              Lines{" stop|Warning|Firefox is running. Exit it and click the Retry button."});
    EXPECT_EQ(
        Calls("box ok"),
        Lines{" warning|Warning|You must exit Mozilla Firefox before backing up. The program will exit."});
}

// Each record is staged under a name of its own: a link in the profile is
// replaced, never written through, and a record named like a temporary file
// is an ordinary file.
TEST_F(RestoreRunTest, LegacyRecordsReplaceLinksAndNeverCollideWithTheirStagedFiles)
{
    home.WriteFile("victim.txt", "victim");
    const std::string mail = home.MakeDir("target/Mail") + "/";
    fs::create_symlink(home.Path() + "/victim.txt", mail + "Inbox");
    fs::create_symlink(home.Path() + "/victim.txt", mail + "Inbox.qbpart");
    home.WriteFile("old.txt", LegacyContainer("Mail\r\nMail\\Inbox.qbpart\r\n-\r\nfirst\r\n" + LegacyEnd +
                                              "Mail\r\nMail\\Inbox\r\n-\r\nsecond\r\n" + LegacyEnd));
    state.ArchivePath = home.Path() + "/old.txt";
    state.ArchiveFormat = TArchiveFormat::LegacyContainer;
    state.SelectedAppType = ThunderbirdAppType;
    request.Boxes[EmailsBox].Checked = true;
    RunRestore(request, state, Environment());
    EXPECT_EQ(ReadFileForTest(home.Path() + "/victim.txt"), "victim");
    EXPECT_FALSE(fs::is_symlink(mail + "Inbox"));
    EXPECT_FALSE(fs::is_symlink(mail + "Inbox.qbpart"));
    EXPECT_EQ(ReadFileForTest(mail + "Inbox.qbpart"), "first\r\n");
    EXPECT_EQ(EntryNamesIn(mail), (std::set<std::string>{"Inbox", "Inbox.qbpart"}));
}

// A container made on Windows: names in its code page with backslashes, and
// a prefs.js naming places of that machine.
TEST_F(RestoreRunTest, LegacyContainerMadeOnWindowsRestoresInThisMachinesForm)
{
    home.WriteFile("program/Backup.ini", "[General]\r\ncodePage=1250\r\n");
    const std::string prefs =
        "user_pref(\"mail.server.server1.directory\", \"C:\\\\Profiles\\\\a.default\\\\Mail\\\\Local "
        "Folders\");\r\n"
        "user_pref(\"mail.server.server1.directory-rel\", \"[ProfD]Mail/Local Folders\");\r\n"
        "user_pref(\"mail.attachment.dir\", \"D:\\\\Attachments\");\r\n";
    home.WriteFile("old.txt", LegacyContainer(
                                  " Nastaveni \r\nprefs.js\r\n-\r\n" + prefs + LegacyEnd +
                                  "Mail\r\nMail\\Local Folders\\Doru\xe8\x65n\xe1 po\x9ata\r\n-\r\nmail\r\n" +
                                  LegacyEnd));
    state.ArchivePath = home.Path() + "/old.txt";
    state.ArchiveFormat = TArchiveFormat::LegacyContainer;
    state.SelectedAppType = ThunderbirdAppType;
    request.Boxes[GeneralSettingsBox].Checked = true;
    request.Boxes[EmailsBox].Checked = true;
    const TRunOutcome outcome = RunRestore(request, state, Environment());

    EXPECT_EQ(outcome.Status, TRunStatus::Done);
    EXPECT_EQ(ReadFileForTest(target + "/Mail/Local Folders/Doru\xc4\x8d\x65n\xc3\xa1 po\xc5\xa1ta"),
              "mail\r\n");
    EXPECT_EQ(ReadFileForTest(target + "/prefs.js"),
              "user_pref(\"mail.server.server1.directory\", \"" + target +
                  "/Mail/Local Folders\");\r\n"
                  "user_pref(\"mail.server.server1.directory-rel\", \"[ProfD]Mail/Local Folders\");\r\n");
    EXPECT_EQ(Calls("report|").back(), "- Setting left out, it names a place this machine does not have: "
                                       "mail.attachment.dir: D:\\Attachments");
}

// A record writes only what its own section holds: a cookies record cannot
// bring a prefs.js, nor a settings record a file of the mail folders.
TEST_F(RestoreRunTest, LegacyRecordsRestoreOnlyWhatTheirSectionHolds)
{
    home.WriteFile("target/prefs.js", "kept");
    home.WriteFile("old.txt", LegacyContainer("Cookies\r\nprefs.js\r\n-\r\nforged\r\n" + LegacyEnd +
                                              "Cookies\r\ncookies.txt\r\n-\r\ncookie\r\n" + LegacyEnd +
                                              "Nastaveni\r\nMail\\Inbox\r\n-\r\nforged\r\n" + LegacyEnd +
                                              "Ulozena hesla\r\nchrome\\x.s\r\n-\r\nforged\r\n" + LegacyEnd +
                                              "Ulozena hesla\r\nabc.s\r\n-\r\nsaved\r\n" + LegacyEnd));
    state.ArchivePath = home.Path() + "/old.txt";
    state.ArchiveFormat = TArchiveFormat::LegacyContainer;
    request.Boxes[GeneralSettingsBox].Checked = true;
    request.Boxes[CookiesBox].Checked = true;
    request.Boxes[SavedPasswordsBox].Checked = true;
    RunRestore(request, state, Environment());
    EXPECT_EQ(EntryNamesIn(target), (std::set<std::string>{"abc.s", "cookies.txt", "prefs.js"}));
    EXPECT_EQ(ReadFileForTest(target + "/prefs.js"), "kept");
    EXPECT_EQ(Calls("report|"),
              (Lines{"- Not restored: prefs.js: its section does not hold it", "Restored file: cookies.txt",
                     "- Not restored: Mail/Inbox: its section does not hold it",
                     "- Not restored: chrome/x.s: its section does not hold it", "Restored file: abc.s"}));
    const std::string log = ErrorLogMessages();
    EXPECT_NE(log.find("\"prefs.js\" not restored: its section does not hold it"), std::string::npos);
    EXPECT_NE(log.find("\"Mail/Inbox\" not restored: its section does not hold it"), std::string::npos);
    EXPECT_NE(log.find("\"chrome/x.s\" not restored: its section does not hold it"), std::string::npos);
}

TEST_F(RestoreRunTest, LegacyRecordsOfUntickedComponentsAreSkippedWhole)
{
    // The mail record's text holds lines that look like a record of its own.
    home.WriteFile("old.txt",
                   LegacyContainer("Mail\r\nMail\\Inbox\r\n-\r\nCookies\r\nprefs.js\r\n-\r\nnot a pref\r\n" +
                                   LegacyEnd));
    state.ArchivePath = home.Path() + "/old.txt";
    state.ArchiveFormat = TArchiveFormat::LegacyContainer;
    request.Boxes[CookiesBox].Checked = true;
    RunRestore(request, state, Environment());
    EXPECT_FALSE(fs::exists(target + "/prefs.js"));
    EXPECT_TRUE(Calls("report|").empty());
}

TEST_F(RestoreRunTest, LegacyContainerThatEndsInsideARecordIsCorrupted)
{
    home.WriteFile("old.txt", LegacyContainer("Nastaveni\r\nprefs.js\r\n-\r\nuser_pref(\"a\", 1);\r\n"));
    home.WriteFile("target/prefs.js", "kept");
    state.ArchivePath = home.Path() + "/old.txt";
    state.ArchiveFormat = TArchiveFormat::LegacyContainer;
    request.Boxes[GeneralSettingsBox].Checked = true;
    ui.QueueAnswer(TBoxAnswer::Ok);
    EXPECT_THROW(RunRestore(request, state, Environment()), TImmediateExit);
    EXPECT_EQ(Calls("box ok warning|Warning|"),
              Lines{"The backup file is corrupted.  The program will exit."});
    EXPECT_EQ(ReadFileForTest(target + "/prefs.js"), "kept");
}

TEST_F(RestoreRunTest, WhatStopsTheRunFailsItWithTheReason)
{
    MakeArchive({{"cookies.sqlite", "c"}});
    fs::remove(programDir + "/Backup.ini");
    request.Boxes[CookiesBox].Checked = true;
    ui.QueueAnswer(TBoxAnswer::Ok);
    const TRunOutcome outcome = RunRestore(request, state, Environment());
    EXPECT_EQ(outcome.Status, TRunStatus::Failed);
    EXPECT_EQ(outcome.Failure, "Cannot find file Backup.ini with configuration.");
    EXPECT_EQ(Calls("box ok error|Quillbank|"), Lines{outcome.Failure});
    EXPECT_TRUE(EntryNamesIn(target).empty());
}

TEST_F(RestoreRunTest, AMissingBackupFileEndsTheProgram)
{
    state.ArchiveFormat = TArchiveFormat::Zip;
    ui.QueueAnswer(TBoxAnswer::Ok);
    EXPECT_THROW(RunRestore(request, state, Environment()), TImmediateExit);
    EXPECT_EQ(ui.calls.front(),
              "box ok question|Question|The backup file does not exist. The program will exit.");
}

TEST_F(RestoreRunTest, AReplacedDatabaseLosesTheTargetsStaleLogs)
{
    MakeArchive({{"places.sqlite", "p"},
                 {"places.sqlite-wal", "latest visits"},
                 {"cookies.sqlite", "c"},
                 {"storage/default/moz-extension+++1/idb/x.sqlite", "x"}});
    for (const char* file :
         {"places.sqlite-wal", "places.sqlite-shm", "cookies.sqlite-wal", "cookies.sqlite-shm",
          "formhistory.sqlite-wal", "storage/default/moz-extension+++1/idb/x.sqlite-wal"})
        home.WriteFile("target/" + std::string(file), "stale");
    request.Boxes[HistoryBox].Checked = true;
    request.Boxes[CookiesBox].Checked = true;
    request.Boxes[SavedFormDetailsBox].Checked = true;
    request.Boxes[ExtensionsBox].Checked = true;
    RunRestore(request, state, Environment());
    EXPECT_EQ(ReadFileForTest(target + "/places.sqlite-wal"), "latest visits");
    EXPECT_FALSE(fs::exists(target + "/places.sqlite-shm"));
    EXPECT_EQ(ReadFileForTest(target + "/cookies.sqlite"), "c");
    EXPECT_FALSE(fs::exists(target + "/cookies.sqlite-wal"));
    EXPECT_FALSE(fs::exists(target + "/cookies.sqlite-shm"));
    EXPECT_FALSE(fs::exists(target + "/storage/default/moz-extension+++1/idb/x.sqlite-wal"));
    // A database the backup does not hold keeps its log.
    EXPECT_EQ(ReadFileForTest(target + "/formhistory.sqlite-wal"), "stale");
}

TEST_F(RestoreRunTest, PathsOfTheOldFolderPointIntoTheTargetAndCachesAreDropped)
{
    const std::string old = "/home/old/.mozilla/firefox/abc.default";
    MakeArchive({{"extensions.json", R"({"addons":[{"path":")" + old +
                                         R"(/extensions/a@b.xpi","rootURI":"jar:file://)" + old +
                                         R"(/extensions/a@b.xpi!/"}]})"},
                 {"pkcs11.txt", "parameters=configdir='sql:" + old + "' certPrefix=''\n"},
                 {"compatibility.ini", "[Compatibility]\n"}});
    home.WriteFile("target/folderCache.json", "{}");
    request.Boxes[CertificatesBox].Checked = true;
    request.Boxes[ExtensionsBox].Checked = true;
    request.UnknownTicks = {true};
    state.UnknownEntries = {{"compatibility.ini", false}};
    RunRestore(request, state, Environment());
    EXPECT_EQ(ReadFileForTest(target + "/extensions.json"),
              R"({"addons":[{"path":")" + target + R"(/extensions/a@b.xpi","rootURI":"jar:file://)" + target +
                  R"(/extensions/a@b.xpi!/"}]})");
    EXPECT_EQ(ReadFileForTest(target + "/pkcs11.txt"),
              "parameters=configdir='sql:" + target + "' certPrefix=''\n");
    EXPECT_FALSE(fs::exists(target + "/compatibility.ini"));
    EXPECT_FALSE(fs::exists(target + "/folderCache.json"));
}

TEST_F(RestoreRunTest, AReplacedKeyBringsAlongEveryFileItProtects)
{
    MakeArchive({{"key4.db", "key A"},
                 {"cert9.db", "certificates A"},
                 {"logins.json", "logins A"},
                 {"logins.db", "logins database A"},
                 {"logins.db-wal", "latest logins A"},
                 {"encrypted-openpgp-passphrase.txt", "passphrase A"},
                 {"cookies.sqlite", "c"}});
    for (const char* file :
         {"key4.db", "logins.json", "logins-backup.json", "encrypted-openpgp-passphrase.txt"})
        home.WriteFile("target/" + std::string(file), "B");
    request.Boxes[CertificatesBox].Checked = true;
    RunRestore(request, state, Environment());
    EXPECT_EQ(ReadFileForTest(target + "/key4.db"), "key A");
    EXPECT_EQ(ReadFileForTest(target + "/logins.json"), "logins A");
    EXPECT_EQ(ReadFileForTest(target + "/logins.db-wal"), "latest logins A");
    EXPECT_EQ(ReadFileForTest(target + "/encrypted-openpgp-passphrase.txt"), "passphrase A");
    // What the backup lacks stays (the front ends ask before that), and
    // nothing beyond what the key protects comes along.
    EXPECT_EQ(ReadFileForTest(target + "/logins-backup.json"), "B");
    EXPECT_FALSE(fs::exists(target + "/cookies.sqlite"));
}

TEST_F(RestoreRunTest, WithoutTheKeyInTheBackupTheTargetsSecretsStay)
{
    MakeArchive({{"cert9.db", "certificates A"}, {"logins.json", "logins A"}});
    home.WriteFile("target/logins.json", "B");
    request.Boxes[CertificatesBox].Checked = true;
    RunRestore(request, state, Environment());
    EXPECT_EQ(ReadFileForTest(target + "/cert9.db"), "certificates A");
    EXPECT_EQ(ReadFileForTest(target + "/logins.json"), "B");
}

// The free space is asked of a seam: the test decides what the disk holds.
TEST_F(RestoreRunTest, ARestoreLargerThanTheFreeSpaceIsRefusedBeforeAnythingIsWritten)
{
    MakeArchive({{"places.sqlite", std::string(3000, 'p')},
                 {"places.sqlite-wal", std::string(500, 'w')},
                 {"cookies.sqlite", std::string(2000, 'c')},
                 {"notes.txt", std::string(5000, 'n')},
                 {"extra/a.txt", std::string(100, 'a')}});
    // The places database counts once for both components that take it, with
    // its log; cookies and the unticked unknown entry do not count.
    request.Boxes[BookmarksBox].Checked = true;
    request.Boxes[HistoryBox].Checked = true;
    state.UnknownEntries = {{"notes.txt", false}, {"extra", true}};
    request.UnknownTicks = {false, true};
    std::vector<std::string> asked;
    std::uint64_t free = 3599;
    request.FreeSpace = [&](const std::string& folder) {
        asked.push_back(folder);
        return std::optional<std::uint64_t>(free);
    };
    auto everything = [this] {
        std::set<std::string> paths;
        for (const auto& entry : fs::recursive_directory_iterator(home.Path()))
            if (entry.path().string().find("/.config/") == std::string::npos)
                paths.insert(entry.path().string());
        return paths;
    };
    const std::set<std::string> before = everything();

    ui.QueueAnswer(TBoxAnswer::Ok);
    RunRestore(request, state, Environment());
    EXPECT_EQ(asked, Lines{target + "/"});
    EXPECT_EQ(everything(), before);
    EXPECT_EQ(Calls("box ok error|"),
              Lines{"Quillbank|Cannot restore into " + target +
                    "/: the backup's files need 3.5 KiB (3600 bytes), and 3.5 KiB (3599 bytes) are free"});

    free = 3600;
    ui.calls.clear();
    RunRestore(request, state, Environment());
    EXPECT_TRUE(Calls("box ").empty());
    EXPECT_EQ(EntryNamesIn(target), (std::set<std::string>{"places.sqlite", "places.sqlite-wal", "extra"}));
}
