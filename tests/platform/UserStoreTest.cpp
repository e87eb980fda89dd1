// Tests of the per-user value store in the config folder, and that a failed write keeps the old file.

#include "platform/UserStore.h"

#include "tests/support/FakeHome.h"

#include <filesystem>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::TFakeHome;

TEST(UserStore, ValuesLiveInTheConfigFolderAndReplaceEarlierOnes)
{
    TFakeHome home;
    EXPECT_EQ(UserStorePath(), home.Path() + "/.config/Quillbank/UserStore.ini");
    EXPECT_FALSE(ReadUserValue("Directory2").has_value());
    ASSERT_TRUE(WriteUserValue("Directory2", "/home/me/Saves/"));
    ASSERT_TRUE(WriteUserValue("Directory3", " blanks kept "));
    ASSERT_TRUE(WriteUserValue("directory2", "/other/"));
    EXPECT_EQ(ReadUserValue("Directory2"), "/other/");
    EXPECT_EQ(ReadUserValue("DIRECTORY3"), " blanks kept ");
    // Writing one value keeps the others and never leaves a temporary file.
    ASSERT_TRUE(WriteUserValue("Directory3", "/again/"));
    EXPECT_EQ(ReadUserValue("Directory2"), "/other/");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(home.Path() + "/.config/Quillbank"),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(UserStore, FollowsXdgConfigHome)
{
    TFakeHome home;
    home.SetEnv("XDG_CONFIG_HOME", home.Path() + "/xdg");
    ASSERT_TRUE(WriteUserValue("Directory1", "/x/"));
    EXPECT_TRUE(std::filesystem::exists(home.Path() + "/xdg/Quillbank/UserStore.ini"));
}

TEST(UserStore, RefusesWhatItCouldNotReadBackAndKeepsTheOldFileOnFailure)
{
    TFakeHome home;
    EXPECT_FALSE(WriteUserValue("Directory1", "two\nlines"));
    EXPECT_FALSE(WriteUserValue("a=b", "x"));
    ASSERT_TRUE(WriteUserValue("Directory1", "/kept/"));
    std::filesystem::permissions(home.Path() + "/.config/Quillbank",
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    if (WriteUserValue("Directory1", "/new/")) // root may write anyway
        GTEST_SKIP() << "the folder stays writable for this user";
    EXPECT_EQ(ReadUserValue("Directory1"), "/kept/");
}
