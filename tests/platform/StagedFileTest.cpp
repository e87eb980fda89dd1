// Tests of files written beside their target and put in its place only when committed.

#include "platform/StagedFile.h"

#include "platform/NameBeside.h"
#include "tests/support/FakeHome.h"
#include "tests/support/ScriptedUserInterface.h"

#include <filesystem>
#include <set>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::ReadFileForTest;
using quillbank::testing::TFakeHome;
using quillbank::testing::TImmediateExit;
using quillbank::testing::TScriptedUserInterface;
namespace fs = std::filesystem;

namespace {

std::size_t EntriesIn(const std::string& folder)
{
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

} // namespace

TEST(StagedFile, ReplacesTheTargetOnlyOnCommitAndKeepsItsRights)
{
    TFakeHome home;
    const std::string target = home.WriteFile("p/prefs.js", "old");
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    {
        TStagedFile dropped(target);
        dropped.Write("never seen");
    }
    EXPECT_EQ(ReadFileForTest(target), "old");
    EXPECT_EQ(EntriesIn(home.Path() + "/p"), 1u); // nothing left behind

    TStagedFile file(target);
    file.Write(std::string(100000, 'x'));
    EXPECT_EQ(ReadFileForTest(target), "old");
    file.Commit();
    EXPECT_EQ(ReadFileForTest(target).size(), 100000u);
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(EntriesIn(home.Path() + "/p"), 1u);
}

TEST(StagedFile, ANewFileIsTheOwnersAndAMissingFolderIsAnError)
{
    TFakeHome home;
    home.MakeDir("p");
    TStagedFile file(home.Path() + "/p/new.txt");
    file.Commit();
    EXPECT_EQ(fs::status(home.Path() + "/p/new.txt").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_THROW(TStagedFile(home.Path() + "/missing/x"), EFileWriteError);
}

TEST(StagedFile, ATargetNamedAsLongAsTheFolderAllowsIsReplaced)
{
    TFakeHome home;
    const std::string folder = home.MakeDir("p");
    const std::string target = home.WriteFile("p/" + std::string(MaxFileNameLength(folder), 'n'), "old");
    TStagedFile file(target);
    file.Write("new");
    file.Commit();
    EXPECT_EQ(ReadFileForTest(target), "new");
    EXPECT_EQ(EntriesIn(folder), 1u);
}

// A run that ends the program at once takes the files it was writing along,
// while they are still open; the file it was replacing stays as it was.
TEST(StagedFile, AProgramEndingAtOnceLeavesNoStagedFile)
{
    TFakeHome home;
    const std::string folder = home.MakeDir("p");
    const std::string target = home.WriteFile("p/prefs.js", "old");
    TStagedFile staged(target);
    staged.Write(std::string(128 * 1024, 'n'));
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    ASSERT_EQ(names.size(), 2u);
    // What the next restore and the unknown-entry scan know as ours.
    EXPECT_TRUE(IsTemporaryBesideName(*names.rbegin())) << *names.rbegin();
    TScriptedUserInterface ui;
    EXPECT_THROW(ui.ExitImmediately(1), TImmediateExit);
    EXPECT_EQ(EntriesIn(folder), 1u);
    EXPECT_EQ(ReadFileForTest(target), "old");
}
