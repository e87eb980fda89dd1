#include "platform/StagedFile.h"

#include "platform/NameBeside.h"
#include "tests/support/FakeHome.h"

#include <filesystem>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::ReadFileForTest;
using quillbank::testing::TFakeHome;
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
