// Tests of fixing a restored profile's paths that still name the folder it was backed up from.

#include "profile/MovedProfilePaths.h"

#include "profile/MozLz4.h"
#include "tests/support/FakeHome.h"

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::ErrorLogMessages;
using quillbank::testing::ReadFileForTest;
using quillbank::testing::TFakeHome;
namespace fs = std::filesystem;

namespace {

const std::string Old = "/home/old/.mozilla/firefox/abc.default";

std::string AddonDatabase(const std::string& folder, const std::string& urlFolder)
{
    return R"({"addons":[{"id":"a@b","location":"app-profile","path":")" + folder +
           R"(/extensions/a@b.xpi","rootURI":"jar:file://)" + urlFolder +
           R"(/extensions/a@b.xpi!/"},{"id":"builtin","path":null,"rootURI":"resource://builtin/"}]})";
}

std::string AddonStartup(const std::string& folder)
{
    return R"({"app-profile":{"path":")" + folder +
           R"(/extensions","addons":{"a@b":{"path":"a@b.xpi","rootURI":"jar:file://)" + folder +
           R"(/extensions/a@b.xpi!/"}}}})";
}

} // namespace

TEST(MovedProfilePaths, TheFormerFolderIsWhereTheProfilesExtensionsLay)
{
    EXPECT_EQ(FormerProfileDir(AddonDatabase(Old, Old)), Old);
    EXPECT_EQ(FormerProfileDir(AddonStartup(Old)), Old);
    EXPECT_EQ(FormerProfileDir(R"({"path" : "/a/extensions/b/extensions/x.xpi"})"), "/a/extensions/b");
    // Nothing from paths that are not a profile's add-ons, or from broken text.
    EXPECT_EQ(FormerProfileDir(R"({"path":null,"x":{"path":"/usr/lib/firefox/extensionsX"}})"), std::nullopt);
    EXPECT_EQ(FormerProfileDir(R"({"path":"relative/extensions/x"})"), std::nullopt);
    EXPECT_EQ(FormerProfileDir(R"({"path":"/a/extensions/x.xpi)"), std::nullopt);
    EXPECT_EQ(FormerProfileDir(R"({"path":"\)"), std::nullopt);
    EXPECT_EQ(FormerProfileDir(std::string(100000, '{')), std::nullopt);
}

TEST(MovedProfilePaths, OnlyWholeFoldersAreReplacedInPathsAndUrls)
{
    const std::string to = "/home/new/my profile";
    EXPECT_EQ(ReplaceProfileDir(AddonDatabase(Old, Old), Old, to),
              AddonDatabase(to, "/home/new/my%20profile"));
    // A longer folder that starts the same is another folder.
    EXPECT_EQ(ReplaceProfileDir(R"({"path":"/p2/x","q":"/p"})", "/p", "/n"), R"({"path":"/p2/x","q":"/n"})");
    // Into a folder below the old one: the new folder is not replaced again.
    EXPECT_EQ(ReplaceProfileDir(R"({"path":"/p/x","u":"file:///p/x"})", "/p", "/p/sub"),
              R"({"path":"/p/sub/x","u":"file:///p/sub/x"})");
    // URLs are spelled as the applications spell them: "'", "[", "]" and "|"
    // stay, ";" is the lower-case "%3b", the others of "\"#%<>?\\^`{}" and
    // bytes beyond ASCII are "%XX".
    EXPECT_EQ(ReplaceProfileDir(R"({"u":"file:///o/Ann's/x"})", "/o/Ann's", "/n/B's [1]; |c|"),
              R"({"u":"file:///n/B's%20[1]%3b%20|c|/x"})");
    EXPECT_EQ(ReplaceProfileDir(R"({"u":"jar:file:///o%3b/x!/"})", "/o;", "/\"#%<>?\\^`{}\x7f\xc3\xa9"),
              R"({"u":"jar:file:///%22%23%25%3C%3E%3F%5C%5E%60%7B%7D%7F%C3%A9/x!/"})");
    // A folder with a quote is found in its escaped JSON form.
    EXPECT_EQ(ReplaceProfileDir(R"({"path":"/a\"b/extensions"})", "/a\"b", "/c"),
              R"({"path":"/c/extensions"})");
    // Control characters in folder names: read from their escapes and written
    // as JSON writers write them, so the file stays valid JSON.
    EXPECT_EQ(FormerProfileDir(R"({"path":"/o\n\u0001\\/extensions/x.xpi"})"), "/o\n\x01\\");
    EXPECT_EQ(ReplaceProfileDir(R"({"path":"/o\n\u0001\\/extensions"})", "/o\n\x01\\", "/n\t\x1f\b\r\f"),
              R"({"path":"/n\t\u001f\b\r\f/extensions"})");
    EXPECT_EQ(FormerProfileDir(R"({"path":"/o\u00e9/extensions/x"})"), std::nullopt);
    EXPECT_EQ(FormerProfileDir(R"({"path":"/o\u00/extensions/x"})"), std::nullopt);
}

// A profile made on Windows: JSON paths with escaped backslashes, addresses
// with the drive letter, the folder in any letter case.
TEST(MovedProfilePaths, PathsOfAProfileMadeOnWindowsTakeThisMachinesForm)
{
    const std::string json =
        R"({"addons":[{"path":"C:\\Users\\Bob B\\Profiles\\abc.default\\extensions\\a@x.xpi",)"
        R"("rootURI":"jar:file:///C:/Users/Bob%20B/Profiles/abc.default/extensions/a@x.xpi!/",)"
        R"("other":"c:\\users\\bob b\\profiles\\ABC.default",)"
        R"("elsewhere":"C:\\Program Files\\x.xpi","tricky":"C:\\Users\\Bob B\\Profiles\\abc.default\\..\\x"}]})";
    const auto former = FormerProfileDir(json);
    ASSERT_EQ(former, "C:\\Users\\Bob B\\Profiles\\abc.default");
    EXPECT_EQ(
        ReplaceProfileDir(json, *former, "/home/b\"b/p"),
        R"({"addons":[{"path":"/home/b\"b/p/extensions/a@x.xpi",)"
        R"("rootURI":"jar:file:///home/b%22b/p/extensions/a@x.xpi!/",)"
        R"("other":"/home/b\"b/p",)"
        R"("elsewhere":"C:\\Program Files\\x.xpi","tricky":"C:\\Users\\Bob B\\Profiles\\abc.default\\..\\x"}]})");
    EXPECT_EQ(FixPkcs11ConfigDir("configdir='sql:C:\\Users\\Bob\\p' certPrefix=''", "/n"),
              "configdir='sql:/n' certPrefix=''");
    // An unclosed string ends the rewrite where it stands.
    EXPECT_EQ(ReplaceProfileDir(R"({"a":"C:\\o\\x","b":"C:\\o)", "C:\\o", "/n"), R"({"a":"/n/x","b":"C:\\o)");
}

TEST(MovedProfilePaths, TheModuleListNamesTheNewFolder)
{
    EXPECT_EQ(
        FixPkcs11ConfigDir("library=\nparameters=configdir='sql:/old/p' certPrefix='' secmod='secmod.db'\n",
                           "/new/p/"),
        "library=\nparameters=configdir='sql:/new/p' certPrefix='' secmod='secmod.db'\n");
    EXPECT_EQ(FixPkcs11ConfigDir("configdir='/old' x", "/new"), "configdir='/new' x");
    // Quotes and backslashes in folders are escaped with a backslash.
    EXPECT_EQ(FixPkcs11ConfigDir("configdir='sql:/o/Ann\\'s' certPrefix=''\nconfigdir='/o\\\\'", "/n/B's\\x"),
              "configdir='sql:/n/B\\'s\\\\x' certPrefix=''\nconfigdir='/n/B\\'s\\\\x'");
    // No closing quote: left as it is.
    EXPECT_EQ(FixPkcs11ConfigDir("configdir='sql:/old", "/new"), "configdir='sql:/old");
}

TEST(MovedProfilePaths, ARestoredProfileIsFixedInPlaceAndBrokenFilesAreHandled)
{
    TFakeHome home;
    const std::string profile = home.MakeDir("profile");
    home.WriteFile("profile/extensions.json", AddonDatabase(Old, Old));
    home.WriteFile("profile/addonStartup.json.lz4", EncodeMozLz4(AddonStartup(Old)));
    home.WriteFile("profile/compatibility.ini", "[Compatibility]\nLastPlatformDir=/usr/lib/firefox\n");
    home.WriteFile("profile/folderCache.json", "{}");
    FixMovedProfilePaths(profile + "/");
    EXPECT_EQ(ReadFileForTest(profile + "/extensions.json"), AddonDatabase(profile, profile));
    EXPECT_EQ(DecodeMozLz4(ReadFileForTest(profile + "/addonStartup.json.lz4")), AddonStartup(profile));
    EXPECT_FALSE(fs::exists(profile + "/compatibility.ini"));
    EXPECT_FALSE(fs::exists(profile + "/folderCache.json"));

    // A damaged startup cache goes (the application rebuilds it); invalid
    // JSON stays as it is; each is a line in the error log.
    home.WriteFile("profile/addonStartup.json.lz4", "mozLz40\0garbage");
    home.WriteFile("profile/extensions.json", "{\"path\":\"" + Old + "/extensions");
    FixMovedProfilePaths(profile + "/");
    EXPECT_FALSE(fs::exists(profile + "/addonStartup.json.lz4"));
    EXPECT_EQ(ReadFileForTest(profile + "/extensions.json"), "{\"path\":\"" + Old + "/extensions");
    EXPECT_NE(ErrorLogMessages().find("addonStartup.json.lz4"), std::string::npos);
}
