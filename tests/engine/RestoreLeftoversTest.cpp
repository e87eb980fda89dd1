// Tests of clearing what an interrupted restore left, and taking prefs.js back from its copy.

#include "engine/RestoreLeftovers.h"

#include "tests/support/FakeHome.h"

#include <filesystem>
#include <set>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::ReadFileForTest;
using quillbank::testing::TFakeHome;
namespace fs = std::filesystem;

namespace {

/// Every path below `folder`, relative to it, links not followed.
std::set<std::string> TreeOf(const std::string& folder)
{
    std::set<std::string> paths;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        paths.insert(entry.path().lexically_relative(folder).string());
    return paths;
}

} // namespace

// Only names this program gives are removed, at any depth, and never through
// a link; a lookalike of the user's stays.
TEST(RestoreLeftovers, TheNextRestoreRemovesOnlyWhatAnInterruptedOneLeft)
{
    TFakeHome home;
    const std::string profile = home.MakeDir("profile") + "/";
    home.WriteFile("profile/prefs.js", "user_pref(\"a\", 1);\n");
    home.WriteFile("profile/prefs.js.qbpart-Ab3xY9", "half");
    home.WriteFile("profile/prefs.zal", "user_pref(\"a\", 0);\n");
    home.WriteFile("profile/storage/default/x/idb/1.sqlite.qbpart-zzzzzz", "half");
    home.WriteFile("profile/chrome/chrome.rdf", "registry");
    home.WriteFile("profile/chrome/CHROME.BAK", "copy");
    home.WriteFile("profile/notes.qbpart-abc", "user's");
    home.WriteFile("profile/notes.qbpart-abcdefg", "user's");
    home.WriteFile("outside/victim.qbpart-Ab3xY9", "victim");
    fs::create_directory_symlink(home.Path() + "/outside", profile + "linked");
    fs::create_symlink(home.Path() + "/outside/victim.qbpart-Ab3xY9", profile + "link.qbpart-Ab3xY9");
    const std::set<std::string> outsideBefore = TreeOf(home.Path() + "/outside");

    RemoveRestoreLeftovers(profile);

    EXPECT_EQ(TreeOf(profile),
              (std::set<std::string>{"chrome", "chrome/chrome.rdf", "link.qbpart-Ab3xY9", "linked",
                                     "notes.qbpart-abc", "notes.qbpart-abcdefg", "prefs.js", "storage",
                                     "storage/default", "storage/default/x", "storage/default/x/idb"}));
    EXPECT_EQ(ReadFileForTest(profile + "prefs.js"), "user_pref(\"a\", 1);\n");
    EXPECT_EQ(TreeOf(home.Path() + "/outside"), outsideBefore);
}

// A prefs.js that an interruption left empty is taken back from its copy.
TEST(RestoreLeftovers, ThePrefsCopyComesBackWhenItIsTheOnlyWholeOne)
{
    TFakeHome home;
    const std::string profile = home.MakeDir("profile") + "/";
    home.WriteFile("profile/prefs.js", "");
    home.WriteFile("profile/prefs.zal", "user_pref(\"a\", 0);\n");
    RemoveRestoreLeftovers(profile);
    EXPECT_EQ(ReadFileForTest(profile + "prefs.js"), "user_pref(\"a\", 0);\n");
    EXPECT_FALSE(fs::exists(profile + "prefs.zal"));
}
