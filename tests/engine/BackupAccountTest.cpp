// Tests of a backup's account: every file of the profile is in the archive or counted as left out, and why.

#include "engine/BackupAccount.h"

#include "engine/BackupRun.h"
#include "engine/BackupTask.h"
#include "tests/support/ArchiveFixture.h"
#include "tests/support/FakeHome.h"

#include <filesystem>
#include <sys/stat.h>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::EntryNamesIn;
using quillbank::testing::ReadFileForTest;
using quillbank::testing::TArchiveTest;
using Lines = std::vector<std::string>;
namespace fs = std::filesystem;

namespace {

const TFileCount& LeftOutBy(const TBackupAccount& account, TLeaveOutRule rule)
{
    return account.LeftOutByRule[static_cast<std::size_t>(rule)];
}

std::int64_t LeftOutByRules(const TBackupAccount& account)
{
    std::int64_t files = 0;
    for (const TFileCount& count : account.LeftOutByRule)
        files += count.Files;
    return files;
}

/// The regular files below `folder`, links not followed.
std::int64_t RegularFilesIn(const std::string& folder)
{
    std::int64_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        files += entry.is_regular_file() && !entry.is_symlink() ? 1 : 0;
    return files;
}

/// A Thunderbird profile with a mail account folder outside it, mail,
/// the cache, lock files, what the application rebuilds, and entries no
/// component covers: some offered and ticked, some not ticked, one not offered.
class BackupAccountTest : public TArchiveTest
{
protected:
    TBackupRequest request;
    std::string outside = home.MakeDir("elsewhere/Local Mail");

    BackupAccountTest()
    {
        request.Application = ThunderbirdAppType;
        request.ProfileDir = home.MakeDir("profile") + "/";
        request.ArchivePath = home.MakeDir("saves") + "/tb.qkz";
        Write("prefs.js", "user_pref(\"mail.server.server2.directory\", \"" + outside + "\");\n");
        home.WriteFile("elsewhere/Local Mail/Inbox", "mail");
        home.WriteFile("elsewhere/Local Mail/Inbox.msf", "index");
        home.WriteFile("elsewhere/Local Mail/Inbox.mozmsgs/1.wdseml", "search index");
        for (const char* file : {"Mail/Local Folders/Sent",
                                 "Mail/Local Folders/msgFilterRules.dat",
                                 "Mail/Local Folders/Sent.mozmsgs/2.wdseml",
                                 "global-messages-db.sqlite",
                                 "places.sqlite",
                                 "places.sqlite-wal",
                                 "places.sqlite-shm",
                                 "cookies.sqlite",
                                 "cache/c1",
                                 "cache/deep/c2",
                                 "cache2/entries/E1",
                                 "startupCache/startupCache.8.little",
                                 "compatibility.ini",
                                 "folderCache.json",
                                 ".parentlock",
                                 "parent.lock",
                                 "notes.txt",
                                 "skipped.txt",
                                 "addon-data/a/b",
                                 "old-data/x",
                                 "stray.txt"})
            Write(file, file);
        request.UnknownEntries = {
            {"notes.txt", false}, {"skipped.txt", false}, {"addon-data", true}, {"old-data", true}};
        request.UnknownTicks = {true, false, true, false};
    }

    void Write(const std::string& name, const std::string& content)
    {
        home.WriteFile("profile/" + name, content);
    }
    void Tick(const std::vector<TComponentBox>& boxes)
    {
        request.Boxes = {};
        for (TComponentBox box : boxes)
            request.Boxes[box].Checked = true;
    }
    TBackupAccount Run()
    {
        const TBackupOutcome outcome = RunBackup(request, state, Environment());
        EXPECT_EQ(outcome.Run.Status, TRunStatus::Done) << outcome.Run.Failure;
        return outcome.Account;
    }
    /// The archive's entries, its header not counted.
    std::int64_t ArchivedFiles()
    {
        const auto entries = TArchive(request.ArchivePath, "", Environment()).ListEntries();
        EXPECT_TRUE(entries.has_value());
        return entries ? static_cast<std::int64_t>(entries->size()) - 1 : -1;
    }
};

} // namespace

TEST_F(BackupAccountTest, EveryFileIsInTheArchiveOrCountedAsLeftOut)
{
    const std::int64_t files = RegularFilesIn(request.ProfileDir) + RegularFilesIn(outside);
    for (const std::vector<TComponentBox>& boxes : std::vector<std::vector<TComponentBox>>{
             {},
             {GeneralSettingsBox, BookmarksBox, HistoryBox, CookiesBox},
             {GeneralSettingsBox, EmailsBox, CacheBox},
             {AccountsSettingsOnlyBox},
         }) {
        Tick(boxes);
        const TBackupAccount account = Run();
        EXPECT_EQ(account.Entries().Files, ArchivedFiles()) << boxes.size();
        EXPECT_EQ(account.Entries().Files + LeftOutByRules(account), files) << boxes.size();
        EXPECT_TRUE(account.LeftOutByFault.empty());
    }
}

TEST_F(BackupAccountTest, EntriesCountByTheFirstComponentAndEachRuleCountsWhatItLeftOut)
{
    Tick({GeneralSettingsBox, BookmarksBox, HistoryBox});
    const TBackupAccount account = Run();
    const std::int64_t prefsSize = static_cast<std::int64_t>(fs::file_size(request.ProfileDir + "prefs.js"));
    EXPECT_EQ(account.Components[GeneralSettingsBox], (TFileCount{1, prefsSize}));
    // History lists places.sqlite and its log too, after Bookmarks did.
    const std::int64_t placesSize = 13 + 17;
    EXPECT_EQ(account.Components[BookmarksBox], (TFileCount{2, placesSize}));
    EXPECT_EQ(account.Components[HistoryBox], TFileCount{});
    EXPECT_EQ(account.UnknownEntries, (TFileCount{2, 9 + 14}));

    EXPECT_EQ(LeftOutBy(account, TLeaveOutRule::Cache), (TFileCount{2, 8 + 13}));
    EXPECT_EQ(LeftOutBy(account, TLeaveOutRule::LockFiles).Files, 2);
    // The network and start-up caches, the compatibility record, the folder
    // cache, the database's memory file and the two search indexes.
    EXPECT_EQ(LeftOutBy(account, TLeaveOutRule::RebuiltCaches).Files, 7);
    // Cookies, and the emails with their account folder outside the profile.
    EXPECT_EQ(LeftOutBy(account, TLeaveOutRule::ComponentNotChosen).Files, 6);
    EXPECT_EQ(LeftOutBy(account, TLeaveOutRule::UnknownNotTicked).Files, 2);
    EXPECT_EQ(LeftOutBy(account, TLeaveOutRule::NoComponent), (TFileCount{1, 9}));

    EXPECT_EQ(AccountReportLines(account, texts, false),
              (Lines{"Backed up: 5 files, " + std::to_string(prefsSize + placesSize + 23) +
                         " B (General settings 1, Bookmarks 2, unknown entries 2)",
                     "Left out by a rule: the cache (not chosen) 2, lock files 2, caches the applications "
                     "rebuild 7, components not chosen 6, unknown entries not ticked 2, files no component "
                     "takes 1"}));
}

TEST_F(BackupAccountTest, AccountsSettingsOnlyLeavesTheMessagesOutAsEmailsNotChosen)
{
    Tick({AccountsSettingsOnlyBox});
    const TBackupAccount account = Run();
    // prefs.js, the filter rules and the summary file outside the profile.
    EXPECT_EQ(account.Components[AccountsSettingsOnlyBox].Files, 3);
    EXPECT_EQ(account.Components[EmailsBox], TFileCount{});
    // Sent, the message database, the Inbox outside, and cookies and places
    // (with its log) of components not chosen.
    EXPECT_EQ(LeftOutBy(account, TLeaveOutRule::ComponentNotChosen).Files, 6);
}

TEST_F(BackupAccountTest, ADryRunWritesNothingAndGivesTheAccountOfTheBackup)
{
    home.WriteFile("saves/tb.qkz", "previous");
    home.WriteFile("saves/.tb.qkz.qbpart", "left by a killed run");
    Tick({GeneralSettingsBox, EmailsBox});
    request.DryRun = true;
    const TBackupAccount trial = Run();
    EXPECT_EQ(ReadFileForTest(request.ArchivePath), "previous");
    EXPECT_EQ(ReadFileForTest(home.Path() + "/saves/.tb.qkz.qbpart"), "left by a killed run");
    ASSERT_EQ(state.MailFolders.size(), 1u);
    EXPECT_EQ(state.MailFolders[0].Path, outside);
    const std::string archive = request.ArchivePath;
    request.ArchivePath = home.Path() + "/nowhere/tb.qkz";
    EXPECT_EQ(Run(), trial);
    EXPECT_FALSE(fs::exists(home.Path() + "/nowhere"));

    request.ArchivePath = archive;
    request.DryRun = false;
    EXPECT_EQ(Run(), trial);
    EXPECT_EQ(AccountReportLines(trial, texts, true).front().substr(0, 12), "To back up: ");
}

TEST_F(BackupAccountTest, LinksAreFollowedOnceAndDanglingLinksAndFifosAreNoFiles)
{
    const std::int64_t files = RegularFilesIn(request.ProfileDir) + RegularFilesIn(outside);
    home.MakeDir("profile/sub");
    fs::create_directory_symlink("..", request.ProfileDir + "sub/up");
    fs::create_symlink("loop2", request.ProfileDir + "loop1");
    fs::create_symlink("loop1", request.ProfileDir + "loop2");
    fs::create_symlink("/nonexistent/target", request.ProfileDir + "dangling");
    ASSERT_EQ(mkfifo((request.ProfileDir + "fifo").c_str(), 0600), 0);
    fs::create_symlink(request.ProfileDir + "notes.txt", request.ProfileDir + "notes link");
    home.WriteFile("linked/a", "a");
    fs::create_directory_symlink(home.Path() + "/linked", request.ProfileDir + "linked");
    // An account folder reached twice counts once.
    Write("prefs.js", "user_pref(\"mail.server.server2.directory\", \"" + outside +
                          "\");\nuser_pref(\"mail.server.server3.directory\", \"" + outside + "/\");\n");

    Tick({GeneralSettingsBox});
    const TBackupAccount account = Run();
    // The link to notes.txt and the file in the linked folder are files of their own.
    EXPECT_EQ(account.Entries().Files + LeftOutByRules(account), files + 2);
}

TEST_F(BackupAccountTest, FilesLeftOutByAFaultAreCountedOnceWithTheirReason)
{
    TBackupTask chosen(request.ProfileDir, request.ProfileDir, ui);
    chosen.SetComponent(BookmarksBox);
    chosen.AddFile("places.sqlite");
    chosen.AddFile("places.sqlite-wal");
    const TBackupTask notChosen(request.ProfileDir, request.ProfileDir, ui);
    const std::vector<TLeftOutFile> faults = {
        {request.ProfileDir + "places.sqlite-wal", "Input/output error"}};
    const TBackupAccount account = DrawUpAccount({request.ProfileDir, chosen, notChosen, faults, {}, {}}, ui);
    EXPECT_EQ(account.Components[BookmarksBox], (TFileCount{1, 13}));
    EXPECT_EQ(account.LeftOutByFault, faults);
    EXPECT_EQ(account.Entries().Files + LeftOutByRules(account) + 1, RegularFilesIn(request.ProfileDir));
    EXPECT_EQ(AccountReportLines(account, texts, false).back(), "Left out by a fault: 1 files");
}
