// Tests of preferences written on Windows: paths and file addresses, the old profile, where paths lead here.

#include "profile/WindowsPrefs.h"

#include "profile/WindowsPaths.h"

#include <gtest/gtest.h>

using namespace quillbank;

namespace {

std::string Pref(const std::string& name, const std::string& value)
{
    return "user_pref(\"" + name + "\", \"" + value + "\");";
}

constexpr const char* OldProfile =
    "C:\\\\Users\\\\bob\\\\AppData\\\\Roaming\\\\Thunderbird\\\\Profiles\\\\abc.default";

} // namespace

TEST(WindowsPaths, PathsCompareByComponentsInAnyCaseAndSeparator)
{
    for (const char* path : {"C:\\Mail", "d:/x", "\\\\server\\share"})
        EXPECT_TRUE(IsWindowsAbsolutePath(path)) << path;
    for (const char* path : {"/home/bob", "C:Mail", "C:", "\\\\", "\\\\\\x", "Mail\\x", "1:\\x"})
        EXPECT_FALSE(IsWindowsAbsolutePath(path)) << path;

    EXPECT_EQ(WindowsPathBelow("c:/MAIL//Archive\\Inbox", "C:\\Mail\\"), "Archive/Inbox");
    EXPECT_EQ(WindowsPathBelow("C:\\Mail", "C:\\mail"), "");
    EXPECT_EQ(WindowsPathBelow("C:\\Mailbox", "C:\\Mail"), std::nullopt);
    EXPECT_EQ(WindowsPathBelow("D:\\Mail", "C:\\Mail"), std::nullopt);
    // Steps could lead anywhere: such paths lie in no folder.
    EXPECT_EQ(WindowsPathBelow("C:\\Mail\\..\\Windows", "C:\\Mail"), std::nullopt);
    EXPECT_EQ(WindowsPathBelow("C:\\Mail\\.", "C:\\Mail"), std::nullopt);
    EXPECT_EQ(RecordedFolderName("\\\\server\\share\\Team\\"), "Team");
    EXPECT_EQ(RecordedFolderName("/home/bob/Mail"), "Mail");
}

TEST(WindowsPaths, FileAddressesAreDecodedAndHostileOnesRefused)
{
    EXPECT_EQ(WindowsPathOfFileUrl("file:///C:/Users/bob%20b/x%C3%A9"), "C:\\Users\\bob b\\x\xc3\xa9");
    EXPECT_EQ(WindowsPathOfFileUrl("FILE:///c|/x"), "c:\\x");
    EXPECT_EQ(WindowsPathOfFileUrl("file://server/share/x"), "\\\\server\\share\\x");
    for (const char* hostile : {"file:///C:/x%", "file:///C:/x%4", "file:///C:/x%zz", "file:///C:/x%00y",
                                "file:///home/bob", "http://C:/x", "file:///"})
        EXPECT_EQ(WindowsPathOfFileUrl(hostile), std::nullopt) << hostile;
    EXPECT_EQ(FileUrlOf("/home/bob b/x\xc3\xa9#?%"), "file:///home/bob%20b/x%C3%A9%23%3F%25");
}

TEST(WindowsPrefs, TheOldProfileIsFoundFromTwinPreferencesOrTheProfilesFolder)
{
    const std::string twins =
        Pref("mail.server.server1.directory", std::string(OldProfile).append("\\\\Mail\\\\pop.x")) + "\r\n" +
        Pref("mail.server.server1.directory-rel", "[ProfD]Mail/POP.x") + "\r\n";
    EXPECT_EQ(WindowsProfileFolder(twins),
              "C:\\Users\\bob\\AppData\\Roaming\\Thunderbird\\Profiles\\abc.default");
    // A twin that does not end the absolute value tells nothing.
    EXPECT_EQ(
        WindowsProfileFolder(Pref("a", "E:\\\\Mail\\\\x") + "\n" + Pref("a-rel", "[ProfD]Mail/y") + "\n"),
        "");
    EXPECT_EQ(WindowsProfileFolder(Pref("a", "E:\\\\x\\\\profiles\\\\p1\\\\cache") + "\n"),
              "E:\\x\\profiles\\p1");
    EXPECT_EQ(WindowsProfileFolder(Pref("a", "E:\\\\x\\\\Profiles") + "\n" + Pref("b", "/home/x") + "\n"),
              "");
}

TEST(WindowsPrefs, WindowsPathsLeadToTheirPlacesHereOrTheirPreferencesGo)
{
    TWindowsPlaces places{"C:\\Users\\bob\\AppData\\Roaming\\Thunderbird\\Profiles\\abc.default",
                          "/home/me/profile/",
                          {{"C:\\Mail\\Archive", "Archive", "/home/me/Mail/Archive"}}};
    auto here = [&places](const std::string& line) { return WindowsPrefLineHere(line, places); };

    // Into the old profile, in any spelling.
    EXPECT_EQ(here(Pref("a", std::string(OldProfile).append("\\\\Mail\\\\Local Folders"))).Line,
              Pref("a", "/home/me/profile/Mail/Local Folders"));
    EXPECT_EQ(here(Pref("a", "c:/users/BOB/appdata/roaming/thunderbird/profiles/ABC.default")).Line,
              Pref("a", "/home/me/profile"));
    EXPECT_EQ(here(Pref("a", "file:///C:/Users/bob/AppData/Roaming/Thunderbird/Profiles/abc.default/"
                             "chrome/my%20style.css"))
                  .Line,
              Pref("a", "file:///home/me/profile/chrome/my%20style.css"));
    // Into a placed account folder.
    EXPECT_EQ(here(Pref("a", "C:\\\\MAIL\\\\Archive\\\\Sent")).Line, Pref("a", "/home/me/Mail/Archive/Sent"));
    // Elsewhere on Windows: the preference goes, naming the path.
    const TPrefLineHere dropped = here(Pref("browser.download.dir", "D:\\\\Downloads"));
    EXPECT_EQ(dropped.Line, std::nullopt);
    EXPECT_EQ(dropped.DroppedPath, "D:\\Downloads");
    EXPECT_EQ(
        here(Pref("a", "C:\\\\Users\\\\bob\\\\AppData\\\\..\\\\Roaming\\\\Thunderbird\\\\Profiles\\\\abc."
                       "default\\\\x"))
            .Line,
        std::nullopt);
    // Relative preferences, values that are no Windows paths and other lines stay.
    for (const std::string& line : {Pref("a-rel", "[ProfD]..\\\\x"), Pref("a", "/home/x"), Pref("a", "C:"),
                                    std::string("user_pref(\"n\", 5);"), std::string("// C:\\x")})
        EXPECT_EQ(here(line).Line, line) << line;
    // Without a known old profile, its paths have no place either.
    places.OldProfile.clear();
    EXPECT_EQ(here(Pref("a", std::string(OldProfile).append("\\\\prefs.js"))).Line, std::nullopt);
}
