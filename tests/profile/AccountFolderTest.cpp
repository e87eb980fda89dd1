// Tests of where a mail account's folder lies: inside or outside the profile, relative paths, links.

#include "profile/AccountFolder.h"

#include "platform/FileSystem.h"
#include "tests/support/FakeHome.h"

#include <filesystem>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::TFakeHome;

namespace {

class AccountFolderTest : public ::testing::Test
{
protected:
    TFakeHome home;
    std::string profile = home.MakeDir("p/tbx");

    TAccountFolder Locate(const std::string& directory, const std::string& relative = {})
    {
        TPrefsParserAccount account;
        account.Directory = directory;
        account.DirectoryRel = relative;
        return LocateAccountFolder(account, profile + "/");
    }
};

} // namespace

TEST(PathComponents, NormalFormAndInsideTestWorkOnWholeComponents)
{
    EXPECT_EQ(LexicallyNormal("/p/tbx/../../elsewhere//pop/./"), "/elsewhere/pop");
    EXPECT_EQ(LexicallyNormal("/../x"), "/x");
    EXPECT_TRUE(IsInsideFolder("/p/tbx/Mail/Box", "/p/tbx/"));
    EXPECT_TRUE(IsInsideFolder("/p/tbx", "/p/tbx"));
    EXPECT_FALSE(IsInsideFolder("/p/tbx-archive/Box", "/p/tbx"));
    EXPECT_FALSE(IsInsideFolder("/p/tbx/../tbx-archive", "/p/tbx"));
    EXPECT_TRUE(IsInsideFolder("/anything", "/"));
}

TEST_F(AccountFolderTest, RelativePathLeavingTheProfileIsResolvedAndExternal)
{
    const std::string elsewhere = home.MakeDir("elsewhere/pop.example.org");
    const TAccountFolder found = Locate("", "[ProfD]../../elsewhere/pop.example.org");
    EXPECT_EQ(found.Path, elsewhere);
    EXPECT_TRUE(found.IsExternal);
}

TEST_F(AccountFolderTest, FolderWhoseNameBeginsWithTheProfilesIsOutsideIt)
{
    const std::string archive = home.MakeDir("p/tbx-archive/Box");
    const TAccountFolder found = Locate(archive, "[ProfD]../tbx-archive/Box");
    EXPECT_EQ(found.Path, archive);
    EXPECT_TRUE(found.IsExternal);
}

TEST_F(AccountFolderTest, DisagreeingPreferencesTakeTheExistingFolderAndTheAbsoluteOneWhenBothExist)
{
    const std::string inside = home.MakeDir("p/tbx/ImapMail/host");
    const std::string outside = home.MakeDir("mail/host");
    EXPECT_EQ(Locate(outside, "[ProfD]ImapMail/host").Path, outside);
    EXPECT_EQ(Locate(home.Path() + "/gone", "[ProfD]ImapMail/host").Path, inside);
    EXPECT_FALSE(Locate(home.Path() + "/gone", "[ProfD]ImapMail/host").IsExternal);
    EXPECT_EQ(Locate(outside, "[ProfD]ImapMail/gone").Path, outside);
    EXPECT_EQ(Locate(home.Path() + "/gone", "[ProfD]gone").Path, "");
    // Neither a relative "directory" nor another marker names a folder.
    EXPECT_EQ(Locate("p/tbx/ImapMail/host", "[Home]p/tbx/ImapMail/host").Path, "");
}

TEST_F(AccountFolderTest, ProfileReachedThroughALinkHoldsItsOwnFolders)
{
    const std::string inside = home.MakeDir("p/tbx/Mail/Local Folders");
    std::filesystem::create_directory_symlink(profile, home.Path() + "/link");
    TPrefsParserAccount account;
    account.Directory = inside;
    EXPECT_FALSE(LocateAccountFolder(account, home.Path() + "/link/").IsExternal);
}

TEST(RelativeAccountFolder, LeadsFromTheProfileWithDotDotSteps)
{
    EXPECT_EQ(RelativeAccountFolder("/home/b/Mail/x", "/home/b/.thunderbird/p/"), "[ProfD]../../Mail/x");
    EXPECT_EQ(RelativeAccountFolder("/home/b/.thunderbird/p/Mail/x", "/home/b/.thunderbird/p"),
              "[ProfD]Mail/x");
}
