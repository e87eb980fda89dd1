// Tests of finding the places outside the profile that its preferences name.

#include "profile/PathsOutsideProfile.h"

#include <gtest/gtest.h>

using namespace quillbank;

namespace {

const std::string Profile = "/home/u/.thunderbird/a.default/";

std::string Pref(const std::string& name, const std::string& value)
{
    return "user_pref(\"" + name + "\", \"" + value + "\");";
}

} // namespace

TEST(PathsOutsideProfile, AbsoluteAndRelativePathsLeavingTheProfileAreFound)
{
    EXPECT_EQ(PathOutsideProfile(Pref("browser.download.dir", "/home/u/Downloads"), Profile),
              (TPathOutsideProfile{"browser.download.dir", "/home/u/Downloads"}));
    EXPECT_EQ(PathOutsideProfile(Pref("mail.server.server2.directory-rel", "[ProfD]../../Mail/x"), Profile),
              (TPathOutsideProfile{"mail.server.server2.directory-rel", "/home/u/Mail/x"}));
    // Doubled backslashes are one, and ".." steps are resolved before the test.
    EXPECT_EQ(PathOutsideProfile(Pref("a", "/x\\\\y"), Profile)->Path, "/x\\y");
    EXPECT_EQ(PathOutsideProfile(Pref("a", Profile + "../a.default-old"), Profile)->Path,
              "/home/u/.thunderbird/a.default-old");
    for (const std::string& inside :
         {Pref("a", Profile + "Mail/Local Folders"), Pref("a", "[ProfD]Mail"), Pref("a", "relative/path"),
          Pref("a", "http://example.org/"), std::string("// user_pref(\"a\", \"/x\");"),
          std::string("user_pref(\"a\", 3);")})
        EXPECT_FALSE(PathOutsideProfile(inside, Profile)) << inside;
}

TEST(PathsOutsideProfile, TheOldProfilesFoldersOfAccountsKeptInsideAreNotOutside)
{
    const std::string prefs = Pref("mail.server.server1.directory", "/old/a.default/Mail/Local Folders") +
                              "\r\n" +
                              Pref("mail.server.server1.directory-rel", "[ProfD]Mail/Local Folders") +
                              "\r\n" + Pref("mail.server.server2.directory", "/home/u/Archive") + "\n" +
                              Pref("mail.server.server2.directory-rel", "[ProfD]../../Archive") + "\n";
    EXPECT_EQ(PathsOutsideProfile(prefs, Profile),
              (std::vector<TPathOutsideProfile>{{"mail.server.server2.directory", "/home/u/Archive"},
                                                {"mail.server.server2.directory-rel", "/home/u/Archive"}}));
}
