// Tests of the file system helpers: paths, links, case-insensitive lookup, free space.

#include "platform/FileSystem.h"

#include "tests/support/FakeHome.h"

#include <filesystem>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::TFakeHome;

TEST(FileSystem, PathPieces)
{
    EXPECT_EQ(IncludeTrailingSeparator("/a/b"), "/a/b/");
    EXPECT_EQ(IncludeTrailingSeparator("/a/b/"), "/a/b/");
    EXPECT_EQ(IncludeTrailingSeparator(""), "");
    EXPECT_EQ(ExtractFileDir("/a/b/c.qkz"), "/a/b/");
    EXPECT_EQ(ExtractFileDir("c.qkz"), "");
    EXPECT_EQ(ExtractFileName("/a/b/c.qkz"), "c.qkz");
    EXPECT_EQ(ExtractFileName("/a/b/"), "");
}

TEST(FileSystem, ExistenceFollowsLinksAndSkipsDanglingOnes)
{
    TFakeHome home;
    const std::string file = home.WriteFile("p/prefs.js", "x");
    std::filesystem::create_symlink(file, home.Path() + "/p/link");
    std::filesystem::create_symlink(home.Path() + "/p/gone", home.Path() + "/p/lock");
    EXPECT_TRUE(FileExists(file));
    EXPECT_TRUE(FileExists(home.Path() + "/p/link"));
    EXPECT_FALSE(FileExists(home.Path() + "/p/lock"));
    EXPECT_FALSE(DirectoryExists(home.Path() + "/p/lock"));
    EXPECT_TRUE(DirectoryExists(home.Path() + "/p"));
    EXPECT_FALSE(FileExists(home.Path() + "/p"));
    EXPECT_EQ(ReadWholeFile(file), "x");
    EXPECT_FALSE(ReadWholeFile(home.Path() + "/p").has_value());
}

TEST(FileSystem, LookupBehavesLikeACaseInsensitiveFileSystem)
{
    TFakeHome home;
    home.WriteFile("p/extensions/x.xpi", "");
    home.WriteFile("p/Chrome/userChrome.css", "");
    const std::string profile = home.Path() + "/p";
    EXPECT_EQ(FindEntryIgnoreCase(profile, "Extensions"), "extensions");
    EXPECT_EQ(FindEntryIgnoreCase(profile, "extensions"), "extensions");
    EXPECT_FALSE(FindEntryIgnoreCase(profile, "extension").has_value());
    EXPECT_EQ(ResolvePathIgnoreCase(profile, "chrome/USERCHROME.css"), profile + "/Chrome/userChrome.css");
    EXPECT_FALSE(ResolvePathIgnoreCase(profile, "chrome/userContent.css").has_value());
}

TEST(FileSystem, LookupNeverLeavesTheFolder)
{
    TFakeHome home;
    home.WriteFile("secret", "");
    home.MakeDir("p");
    const std::string profile = home.Path() + "/p";
    EXPECT_FALSE(FindEntryIgnoreCase(profile, "..").has_value());
    EXPECT_FALSE(FindEntryIgnoreCase(profile, "../secret").has_value());
    EXPECT_FALSE(ResolvePathIgnoreCase(profile, "../secret").has_value());
    EXPECT_FALSE(FindEntryIgnoreCase(home.Path() + "/missing", "x").has_value());
}

TEST(FileSystem, FreeSpaceOfAFolderNotMadeYetIsThatOfItsParent)
{
    TFakeHome home;
    EXPECT_TRUE(FreeBytesIn(home.Path()).has_value());
    EXPECT_TRUE(FreeBytesIn(home.Path() + "/not/made/yet/").has_value());
    EXPECT_FALSE(std::filesystem::exists(home.Path() + "/not"));
}
