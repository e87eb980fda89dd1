// Rollback archives: what a restore keeps before it writes, how an undo puts
// it back, and which archives are kept.
#include "engine/BackupTask.h"
#include "engine/RestoreRun.h"
#include "engine/RollbackStore.h"
#include "engine/UndoRestore.h"
#include "platform/FileSystem.h"
#include "tests/support/ArchiveFixture.h"
#include "tests/support/ZipBuilder.h"

#include <filesystem>
#include <map>
#include <set>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::BuildZip;
using quillbank::testing::EntryNamesIn;
using quillbank::testing::FileContentsBelow;
using quillbank::testing::ReadFileForTest;
using quillbank::testing::TArchiveTest;
using quillbank::testing::TZipEntrySpec;
namespace fs = std::filesystem;

namespace {

using TFiles = std::map<std::string, std::string>;

/// The rollback archives in `folder` of the profile at `profileDir`, newest first.
std::vector<TStoredRollback> RollbacksOf(const std::string& folder, const std::string& profileDir)
{
    std::vector<TStoredRollback> all = StoredRollbacks(folder);
    const std::string wanted = IncludeTrailingSeparator(profileDir);
    std::erase_if(
        all, [&wanted](const TStoredRollback& rollback) { return rollback.Manifest.ProfileDir != wanted; });
    return all;
}

std::chrono::system_clock::time_point At(std::int64_t seconds)
{
    return std::chrono::system_clock::time_point(std::chrono::seconds(seconds));
}

constexpr std::int64_t Day = 24 * 60 * 60;

class RollbackTest : public TArchiveTest
{
protected:
    TRestoreRequest request;
    std::string source = home.MakeDir("source") + "/";
    std::string target = home.MakeDir("target");
    std::string rollbacks = home.Path() + "/.local/state/quillbank/rollback";

    RollbackTest()
    {
        state.ArchivePath = home.Path() + "/backup.qkz";
        state.ArchiveFormat = TArchiveFormat::Zip;
        state.SelectedAppType = FirefoxAppType;
        state.PortableProfileDir = target;
        request.Boxes[HistoryBox].Checked = true;
        request.Boxes[CookiesBox].Checked = true;
        request.Boxes[UserStylesBox].Checked = true;
        request.Now = [] { return At(1000 * Day); };
    }

    void MakeArchive(const TFiles& files)
    {
        TBackupTask task(source, source, ui);
        for (const auto& [name, content] : files) {
            home.WriteFile("source/" + name, content);
            task.AddFile(name);
        }
        TArchive(state.ArchivePath, "", source, Environment()).AddTask(task, "Quillbank\r\n");
    }

    void WriteTarget(const TFiles& files)
    {
        for (const auto& [name, content] : files)
            home.WriteFile("target/" + name, content);
    }

    /// A rollback archive of the target written `time` seconds after 1970.
    std::string WriteRollback(std::int64_t time, const std::string& profileDir)
    {
        fs::create_directories(rollbacks);
        const std::string path = NewRollbackArchivePath(rollbacks, profileDir, At(time));
        WriteRollbackArchive(path, {profileDir + "/", time, 2, {}, {}, {}}, Environment());
        return path;
    }
};

} // namespace

TEST(RollbackManifestTest, ReadsBackWhatWasWrittenWhateverThePathsHold)
{
    const TRollbackManifest manifest{"/home/a b/%0A\n\r%/",
                                     1234567890,
                                     3,
                                     {"/home/a b/%0A\n\r%/prefs.js", "/mail/Inbox"},
                                     {"/home/a b/%0A\n\r%/new file"},
                                     {"/home/a b/%0A\n\r%/chrome"}};
    const std::string text = RollbackManifestText(manifest);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 8);
    EXPECT_EQ(ParseRollbackManifest(text), manifest);
}

// The manifest comes from a file anyone with the user's rights can write:
// only what the writer makes is read, and no path leads anywhere unexpected.
TEST(RollbackManifestTest, AnythingTheWriterDoesNotMakeIsNoManifest)
{
    const std::string head = "Quillbank rollback 1\nprofile /p/\ntime 5\napp 2\n";
    ASSERT_TRUE(ParseRollbackManifest(head));
    for (const std::string& text : std::vector<std::string>{
             std::string(),
             "Quillbank rollback 2\nprofile /p/\ntime 5\napp 2\n",
             "Quillbank rollback 1\ntime 5\napp 2\n",
             "Quillbank rollback 1\nprofile /p/\napp 2\n",
             "Quillbank rollback 1\nprofile /p/\ntime 5\n",
             "Quillbank rollback 1\nprofile p/\ntime 5\napp 2\n",
             "Quillbank rollback 1\nprofile /p\ntime 5\napp 2\n",
             "Quillbank rollback 1\nprofile /p/\nprofile /q/\ntime 5\napp 2\n",
             "Quillbank rollback 1\nprofile /p/\ntime five\napp 2\n",
             "Quillbank rollback 1\nprofile /p/\ntime 5\napp 99\n",
             "Quillbank rollback 1\nprofile /p/\ntime 5\napp -1\n",
             head + "replaced relative/prefs.js\n",
             head + "replaced /p/../etc/passwd\n",
             head + "replaced /p/./prefs.js\n",
             head + "replaced /p//prefs.js\n",
             head + "replaced /p/folder/\n",
             head + "created /p/%41\n",
             head + "created /p/%2\n",
             head + "removed /p/x\n",
             head + "replaced\n",
             head + "folder /p/x",
         })
        EXPECT_FALSE(ParseRollbackManifest(text)) << text;
}

TEST_F(RollbackTest, AnUndoPutsBackEveryFileTheRestoreReplacedRemovedOrCreated)
{
    MakeArchive({{"places.sqlite", "new places"},
                 {"cookies.sqlite", "new cookies"},
                 {"chrome/userChrome.css", "new style"}});
    WriteTarget({{"places.sqlite", "old places"},
                 {"places.sqlite-wal", "old log"},
                 {"places.sqlite-shm", "old index"},
                 {"prefs.js", "user_pref(\"a\", 1);\n"},
                 {"notes.txt", "not restored"}});
    const TFiles before = FileContentsBelow(target);

    EXPECT_EQ(RunRestore(request, state, Environment()).Status, TRunStatus::Done);
    EXPECT_EQ(ReadFileForTest(target + "/places.sqlite"), "new places");
    EXPECT_FALSE(fs::exists(target + "/places.sqlite-wal"));
    EXPECT_TRUE(fs::exists(target + "/chrome/userChrome.css"));
    EXPECT_EQ(fs::status(rollbacks).permissions(), fs::perms::owner_all);

    const std::optional<TStoredRollback> rollback = UndoableRollback(rollbacks, target);
    ASSERT_TRUE(rollback);
    EXPECT_EQ(rollback->Manifest.Time, 1000 * Day);
    EXPECT_EQ(rollback->Manifest.ProfileDir, target + "/");
    // Only what the restore may change is kept.
    std::set<std::string> kept(rollback->Manifest.Replaced.begin(), rollback->Manifest.Replaced.end());
    EXPECT_EQ(kept, (std::set<std::string>{target + "/places.sqlite", target + "/places.sqlite-wal",
                                           target + "/places.sqlite-shm", target + "/prefs.js"}));

    UndoRestore(*rollback);
    EXPECT_EQ(FileContentsBelow(target), before);
    EXPECT_FALSE(fs::exists(target + "/chrome"));
    EXPECT_EQ(EntryNamesIn(target).size(), before.size());
    // Once taken back, it is not offered again, but kept.
    EXPECT_FALSE(UndoableRollback(rollbacks, target));
    EXPECT_EQ(RollbacksOf(rollbacks, target).size(), 1u);
}

TEST_F(RollbackTest, NoRollbackForAnEmptyProfileOrWhenTurnedOff)
{
    MakeArchive({{"places.sqlite", "new places"}});
    EXPECT_EQ(RunRestore(request, state, Environment()).Status, TRunStatus::Done);
    EXPECT_FALSE(fs::exists(rollbacks));

    request.Rollback = false;
    EXPECT_EQ(RunRestore(request, state, Environment()).Status, TRunStatus::Done);
    EXPECT_FALSE(fs::exists(rollbacks));

    request.Rollback = true;
    EXPECT_EQ(RunRestore(request, state, Environment()).Status, TRunStatus::Done);
    EXPECT_EQ(StoredRollbacks(rollbacks).size(), 1u);
}

TEST_F(RollbackTest, FoldersWithoutFilesNeedNoRollbackAFileDeepInThemDoes)
{
    MakeArchive({{"chrome/userChrome.css", "new style"}});
    fs::create_directories(target + "/chrome");
    fs::create_directories(target + "/storage/default");
    EXPECT_EQ(RunRestore(request, state, Environment()).Status, TRunStatus::Done);
    EXPECT_FALSE(fs::exists(rollbacks));

    WriteTarget({{"chrome/userChrome.css", "old style"}});
    EXPECT_EQ(RunRestore(request, state, Environment()).Status, TRunStatus::Done);
    const std::optional<TStoredRollback> rollback = UndoableRollback(rollbacks, target);
    ASSERT_TRUE(rollback);
    EXPECT_EQ(rollback->Manifest.Replaced, std::vector<std::string>{target + "/chrome/userChrome.css"});
}

TEST_F(RollbackTest, ARestoreWhoseRollbackCannotBeWrittenDoesNotStart)
{
    MakeArchive({{"places.sqlite", "new places"}});
    WriteTarget({{"places.sqlite", "old places"}});
    // The rollback folder cannot be made: a file stands in its way.
    home.WriteFile(".local/state/quillbank/rollback", "");
    ui.QueueAnswer(TBoxAnswer::Ok);
    const TRunOutcome outcome = RunRestore(request, state, Environment());
    EXPECT_EQ(outcome.Status, TRunStatus::Failed);
    EXPECT_NE(outcome.Failure.find("The restore did not start"), std::string::npos) << outcome.Failure;
    EXPECT_NE(outcome.Failure.find(rollbacks), std::string::npos) << outcome.Failure;
    EXPECT_EQ(ReadFileForTest(target + "/places.sqlite"), "old places");
}

// A restore that fails after it wrote some files is taken back at once.
TEST_F(RollbackTest, AFailedRestoreIsTakenBack)
{
    std::vector<TZipEntrySpec> entries = {{"places.sqlite", "new places"}, {"url-data.txt", "new urls"}};
    entries[1].DeclaredCrc = 12345;
    home.WriteFile("backup.qkz", BuildZip(entries));
    // History alone: no part of the restore comes through.
    request.Boxes = {};
    request.Boxes[HistoryBox].Checked = true;
    WriteTarget({{"places.sqlite", "old places"}, {"url-data.txt", "old urls"}});
    const TFiles before = FileContentsBelow(target);
    const TRunOutcome outcome = RunRestore(request, state, Environment());
    EXPECT_EQ(outcome.Status, TRunStatus::Failed);
    EXPECT_NE(outcome.Failure.find("put back"), std::string::npos) << outcome.Failure;
    EXPECT_EQ(FileContentsBelow(target), before);
    EXPECT_FALSE(UndoableRollback(rollbacks, target));
}

TEST_F(RollbackTest, AnUndoThatCannotPutEveryFileBackChangesNothing)
{
    WriteTarget({{"a.txt", "after a"}, {"b.txt", "after b"}, {"new.txt", "created"}});
    const std::string manifest = RollbackManifestText(
        {target + "/", 5, 2, {target + "/a.txt", target + "/b.txt"}, {target + "/new.txt"}, {}});
    fs::create_directories(rollbacks);
    // The archive lacks b.txt.
    home.WriteFile(
        ".local/state/quillbank/rollback/target-1.qkz",
        BuildZip({{"rollback.txt", manifest}, {RollbackEntryName(target + "/a.txt"), "before a"}}));
    const TFiles after = FileContentsBelow(target);
    const std::optional<TStoredRollback> rollback = UndoableRollback(rollbacks, target);
    ASSERT_TRUE(rollback);
    EXPECT_THROW(UndoRestore(*rollback), ERollbackError);
    EXPECT_EQ(FileContentsBelow(target), after);
    EXPECT_TRUE(UndoableRollback(rollbacks, target));
}

TEST_F(RollbackTest, TheNewestThreeOfAProfileAreKeptAndThoseOfVanishedProfilesForThirtyDays)
{
    for (std::int64_t day = 1; day <= 5; ++day)
        WriteRollback(day * Day, target);
    const std::string gone = home.Path() + "/gone";
    WriteRollback(1 * Day, gone);
    WriteRollback(25 * Day, gone);
    const std::string other = home.MakeDir("other");
    WriteRollback(1 * Day, other);
    // Written at the same second: a name of its own.
    WriteRollback(5 * Day, target);
    // Being written: never listed.
    home.WriteFile(".local/state/quillbank/rollback/.target-x.qkz.qbpart", "");
    ASSERT_EQ(StoredRollbacks(rollbacks).size(), 9u);

    PruneRollbacks(rollbacks, target, At(50 * Day));
    std::vector<std::int64_t> kept;
    for (const TStoredRollback& rollback : RollbacksOf(rollbacks, target))
        kept.push_back(rollback.Manifest.Time);
    EXPECT_EQ(kept, (std::vector<std::int64_t>{5 * Day, 5 * Day, 4 * Day}));
    ASSERT_EQ(RollbacksOf(rollbacks, gone).size(), 1u);
    EXPECT_EQ(RollbacksOf(rollbacks, gone).front().Manifest.Time, 25 * Day);
    EXPECT_EQ(RollbacksOf(rollbacks, other).size(), 1u);
}

TEST_F(RollbackTest, ArchivesAreNamedAfterTheProfileAndTheTime)
{
    fs::create_directories(rollbacks);
    const std::string first = NewRollbackArchivePath(rollbacks, "/p/.abcd.default/", At(0));
    EXPECT_EQ(ExtractFileDir(first), rollbacks + "/");
    const std::string name = ExtractFileName(first);
    EXPECT_TRUE(name.starts_with("abcd.default-19")) << name;
    EXPECT_TRUE(name.ends_with(".qkz")) << name;
    home.WriteFile(".local/state/quillbank/rollback/" + name, "");
    const std::string second = NewRollbackArchivePath(rollbacks, "/p/.abcd.default/", At(0));
    EXPECT_EQ(second, first.substr(0, first.size() - 4) + "-2.qkz");
}
