// Tests of finding the installed applications and building the lines of the application list.

#include "apps/Detection.h"

#include "apps/WizardState.h"
#include "config/InterfaceTexts.h"
#include "platform/RegFileRegistry.h"
#include "tests/support/FakeHome.h"

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::TFakeHome;
using Lines = std::vector<std::string>;

namespace {

class DetectionTest : public ::testing::Test
{
protected:
    TFakeHome home;
    TInterfaceTexts texts{home.Path() + "/Default.lng"};
    TAppStatusTable status;
    Lines lines;

    /// Detects against a registry made of .reg key blocks.
    void Detect(const std::string& keys)
    {
        const auto registry =
            TRegFileRegistry::FromText("Windows Registry Editor Version 5.00\r\n\r\n" + keys);
        TInstallationDetection(registry, texts, status, lines).DetectApplications();
    }
};

std::string Key(const std::string& path, const std::string& valueName, const std::string& value)
{
    return "[HKEY_LOCAL_MACHINE\\" + path + "]\r\n\"" + valueName + "\"=\"" + value + "\"\r\n";
}

} // namespace

TEST_F(DetectionTest, NothingInstalledLeavesThePortableLineAlone)
{
    Detect("");
    EXPECT_EQ(lines, Lines{"Portable applications"});
}

TEST_F(DetectionTest, FirefoxUnderTheFirstRoot)
{
    Detect(Key("SOFTWARE\\mozilla\\Mozilla Firefox", "CurrentVersion", "3.6.13 (en-US)") +
           Key("SOFTWARE\\mozilla\\Mozilla Firefox\\3.6.13 (en-US)\\Main", "Install Directory",
               "C:\\Program Files\\Mozilla Firefox"));
    EXPECT_EQ(lines, (Lines{"Mozilla Firefox 3.6.13 (en-US)", "Portable applications"}));
    EXPECT_TRUE(status[FirefoxAppType].Installed);
    EXPECT_EQ(status[FirefoxAppType].Version, "3.6.13 (en-US)");
    EXPECT_EQ(status[FirefoxAppType].InstallDir, "C:\\Program Files\\Mozilla Firefox");
}

TEST_F(DetectionTest, SecondRootIsTriedWhenTheFirstGaveNoInstallationFolder)
{
    Detect(Key("SOFTWARE\\mozilla.org\\Mozilla Firefox", "CurrentVersion", "1.0") +
           Key("SOFTWARE\\mozilla.org\\Mozilla Firefox\\1.0\\Main", "Install Directory", "/opt/ff"));
    EXPECT_EQ(lines, (Lines{"Mozilla Firefox 1.0", "Portable applications"}));
    EXPECT_EQ(status[FirefoxAppType].InstallDir, "/opt/ff");

    // A version without a folder under the first root and a version under the
    // second root: two lines for the same application.
    lines.clear();
    status = {};
    Detect(Key("SOFTWARE\\mozilla\\Mozilla Thunderbird", "CurrentVersion", "2.0") +
           Key("SOFTWARE\\mozilla.org\\Mozilla Thunderbird", "CurrentVersion", "1.5"));
    EXPECT_EQ(lines, (Lines{"Mozilla Thunderbird 2.0", "Mozilla Thunderbird 1.5", "Portable applications"}));
    EXPECT_EQ(status[ThunderbirdAppType].Version, "1.5");
}

TEST_F(DetectionTest, KeysOfSeaMonkeyAndFlockAreBuiltTheirOwnWay)
{
    Detect(Key("SOFTWARE\\mozilla\\SeaMonkey", "CurrentVersion", "1.1") +
           Key("SOFTWARE\\mozilla\\SeaMonkey\\1.1\\Main", "Install Directory", "/opt/sm") +
           Key("SOFTWARE\\Flock", "CurrentVersion", "2.5") +
           Key("SOFTWARE\\Flock\\Flock\\2.5\\Main", "Install Directory", "/opt/flock"));
    EXPECT_EQ(lines, (Lines{"SeaMonkey1.1", "Flock 2.5", "Portable applications"}));
    EXPECT_EQ(status[SeaMonkeyAppType].InstallDir, "/opt/sm");
    EXPECT_EQ(status[FlockAppType].InstallDir, "/opt/flock");
}

TEST_F(DetectionTest, OnlyTheFoundTypeGetsAnInstallationFolder)
{
    status[FirefoxAppType].InstallDir = "/earlier/firefox";
    status[NetscapeAppType].InstallDir = "/old/netscape";
    Detect(Key("SOFTWARE\\mozilla\\Mozilla Sunbird", "CurrentVersion", "0.9") +
           Key("SOFTWARE\\mozilla\\Mozilla Sunbird\\0.9\\Main", "Install Directory", "/opt/sunbird"));
    EXPECT_EQ(status[SunbirdAppType].InstallDir, "/opt/sunbird");
    EXPECT_EQ(status[FirefoxAppType].InstallDir, ""); // types 1 to 3 are cleared first
    EXPECT_EQ(status[NetscapeAppType].InstallDir, "/old/netscape");
}

TEST_F(DetectionTest, ProfileFolderOfAnUnregisteredApplicationGivesAProfilesOnlyLine)
{
    home.MakeDir(".thunderbird");
    home.MakeDir(".config/mozilla/firefox");
    Detect(Key("SOFTWARE\\mozilla\\Mozilla Thunderbird", "CurrentVersion", "3.0") +
           Key("SOFTWARE\\mozilla\\Mozilla Thunderbird\\3.0\\Main", "Install Directory", "/opt/tb"));
    EXPECT_EQ(lines,
              (Lines{"Mozilla Firefox (profiles only)", "Mozilla Thunderbird 3.0", "Portable applications"}));
}

// Without a version there is no installation key: the key "...\\Main"
// directly below the version key does not stand in for one.
TEST_F(DetectionTest, AMainKeyWithoutAVersionGivesNoInstallationFolder)
{
    home.MakeDir(".mozilla/firefox");
    Detect(Key("SOFTWARE\\mozilla\\Mozilla Firefox\\Main", "Install Directory", "/opt/stray") +
           Key("SOFTWARE\\mozilla.org\\Mozilla Firefox\\Main", "Install Directory", "/opt/stray2"));
    EXPECT_FALSE(status[FirefoxAppType].Installed);
    EXPECT_EQ(status[FirefoxAppType].InstallDir, "");
    EXPECT_EQ(lines, (Lines{"Mozilla Firefox (profiles only)", "Portable applications"}));
}

TEST_F(DetectionTest, DetectingAgainGivesTheSameList)
{
    home.MakeDir(".mozilla/seamonkey");
    const std::string keys = Key("SOFTWARE\\mozilla\\Mozilla Firefox", "CurrentVersion", "2.0");
    Detect(keys);
    const Lines first = lines;
    Detect(keys);
    EXPECT_EQ(lines, first);
    EXPECT_EQ(first,
              (Lines{"SeaMonkey/Mozilla (profiles only)", "Mozilla Firefox 2.0", "Portable applications"}));
}

TEST(SelectApplication, LaterWordsWin)
{
    TWizardState state;
    SelectApplication(state, "Portable applications");
    EXPECT_EQ(state.SelectedAppType, NoAppType);
    SelectApplication(state, "SeaMonkey/Mozilla (profiles only)");
    EXPECT_EQ(state.SelectedAppType, SeaMonkeyAppType);
    EXPECT_EQ(state.SelectedAppName, "Mozilla");
    SelectApplication(state, "Netscape Messenger 9.0");
    EXPECT_EQ(state.SelectedAppType, NetscapeMessengerAppType);
    EXPECT_EQ(state.SelectedAppName, "Netscape Messenger");
    SelectApplication(state, "Netscape 9.0");
    EXPECT_EQ(state.SelectedAppType, NetscapeAppType);
    SelectApplication(state, "Mozilla Firefox 3.0");
    SelectApplication(state, "Portable applications");
    EXPECT_EQ(state.SelectedAppType, FirefoxAppType); // the portable line leaves the choice alone
    SelectApplication(state, "Firefox with Songbird");
    EXPECT_EQ(state.SelectedAppType, SongbirdAppType);
    SelectApplication(state, "mozilla firefox"); // case-sensitive
    EXPECT_EQ(state.SelectedAppType, SongbirdAppType);
}
