// Tests of creating a new profile by starting the application: its arguments, launchers, refused names.

#include "apps/NewProfile.h"

#include "apps/WizardState.h"
#include "config/InterfaceTexts.h"
#include "tests/support/FakeHome.h"
#include "tests/support/ScriptedUserInterface.h"

#include <chrono>
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::ReadFileForTest;
using quillbank::testing::TFakeHome;
using quillbank::testing::TScriptedUserInterface;

TEST(NewProfile, ParameterTexts)
{
    EXPECT_EQ(CreateProfileParameters("work", ""), "-CreateProfile work");
    EXPECT_EQ(CreateProfileParameters("my profile", ""), "-CreateProfile my profile");
    EXPECT_EQ(CreateProfileParameters("work", "/data/p"), "-CreateProfile \"work /data/p\"");
}

TEST(NewProfile, ShortenPathForDisplay)
{
    const std::string path31(31, 'a');
    EXPECT_EQ(ShortenPathForDisplay(path31), path31);
    EXPECT_EQ(ShortenPathForDisplay("/home/me/" + path31), "/ho..." + path31);
    EXPECT_EQ(ShortenPathForDisplay(std::string(32, 'b')).size(), 37u);
    // Characters are counted, and none is cut: "é" is two bytes, "€" three.
    const std::string accented = "/é€/" + std::string(28, 'a') + "é";
    EXPECT_EQ(ShortenPathForDisplay(accented), "/é€...€/" + std::string(28, 'a') + "é");
    const std::string euros = "€€€€" + std::string(27, 'e') + "€€€";
    EXPECT_EQ(ShortenPathForDisplay(euros), "€€€...€" + std::string(27, 'e') + "€€€");
    EXPECT_EQ(ShortenPathForDisplay("€" + std::string(30, 'e')), "€" + std::string(30, 'e'));
}

namespace {

class NewProfileTest : public ::testing::Test
{
protected:
    TFakeHome home;
    TInterfaceTexts texts{home.Path() + "/Default.lng"};
    TScriptedUserInterface ui;
    TWizardState state;
    TAppStatusTable status;
    std::string argumentsFile = home.Path() + "/arguments";

    NewProfileTest()
    {
        // An installed "Firefox" that writes down the arguments it was given
        // and lists the profile, named up to the first blank, as the real
        // one does.
        status[FirefoxAppType].InstallDir = home.MakeDir("firefox");
        const std::string program =
            home.WriteFile("firefox/firefox-esr",
                           "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]' \"$a\"; done > " + argumentsFile +
                               "\nprintf '[Profile0]\\nName=%s\\nIsRelative=1\\nPath=p\\n' \"${2%% *}\" > " +
                               home.Path() + "/.mozilla/firefox/profiles.ini\n");
        std::filesystem::permissions(program, std::filesystem::perms::owner_all);
        state.SelectedAppType = FirefoxAppType;
        state.ProfileDir = home.MakeDir(".mozilla/firefox") + "/";
    }

    std::string ArgumentsSeen()
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!std::filesystem::exists(argumentsFile) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return ReadFileForTest(argumentsFile);
    }
};

} // namespace

TEST_F(NewProfileTest, StartsTheApplicationWithTheLowerCasedName)
{
    EXPECT_TRUE(CreateNewProfile({true, "Work", ""}, state, status, texts, ui));
    EXPECT_EQ(ArgumentsSeen(), "[-CreateProfile][work]");
    EXPECT_TRUE(ui.calls.empty());
}

TEST_F(NewProfileTest, NameAndLocationFormOneArgument)
{
    EXPECT_TRUE(CreateNewProfile({true, "mine", "/data/My Profiles"}, state, status, texts, ui));
    EXPECT_EQ(ArgumentsSeen(), "[-CreateProfile][mine /data/My Profiles]");
    EXPECT_TRUE(ui.calls.empty());
}

// The applications split "name location" at the first blank: such a name
// with a location is refused before anything starts.
TEST_F(NewProfileTest, ANameWithABlankAndALocationIsRefused)
{
    ui.QueueAnswer(TBoxAnswer::Ok);
    EXPECT_FALSE(CreateNewProfile({true, "my profile", "/data/My Profiles"}, state, status, texts, ui));
    EXPECT_EQ(ui.calls,
              std::vector<std::string>{"box ok warning|Warning|A profile name with a blank cannot be "
                                       "used together with a chosen location. Choose a name without "
                                       "blanks, or no location."});
    EXPECT_FALSE(std::filesystem::exists(argumentsFile));
    // Without a location the name goes as it is written, and when the
    // application makes another profile of it, the user is told.
    ui.QueueAnswer(TBoxAnswer::Ok);
    EXPECT_FALSE(CreateNewProfile({true, "my profile", ""}, state, status, texts, ui));
    EXPECT_EQ(ArgumentsSeen(), "[-CreateProfile][my][profile]");
    EXPECT_EQ(ui.calls.back(), "box ok warning|Warning|The application did not create the profile \"my "
                               "profile\". Check that it can start, then try again.");
}

TEST_F(NewProfileTest, AProfileTheApplicationDidNotMakeIsReported)
{
    home.WriteFile("firefox/firefox-esr", "#!/bin/sh\nexit 0\n");
    ui.QueueAnswer(TBoxAnswer::Ok);
    EXPECT_FALSE(CreateNewProfile({true, "Work", ""}, state, status, texts, ui));
    EXPECT_EQ(ui.calls,
              std::vector<std::string>{"box ok warning|Warning|The application did not create the "
                                       "profile \"work\". Check that it can start, then try again."});
}

TEST_F(NewProfileTest, SnapAndFlatpakInstallationsStartThroughTheirLaunchers)
{
    using Command = std::vector<std::string>;
    EXPECT_EQ(LaunchCommand("/snap/firefox/current/usr/lib/firefox/firefox",
                            "/snap/firefox/current/usr/lib/firefox"),
              (Command{"snap", "run", "firefox"}));
    EXPECT_EQ(LaunchCommand("x", "/snap/thunderbird/current/usr/lib/thunderbird/"),
              (Command{"snap", "run", "thunderbird"}));
    EXPECT_EQ(LaunchCommand("x", "/var/lib/flatpak/app/org.mozilla.firefox/current/active/files/lib/firefox"),
              (Command{"flatpak", "run", "org.mozilla.firefox"}));
    EXPECT_EQ(LaunchCommand("x",
                            "/home/u/.local/share/flatpak/app/net.thunderbird.Thunderbird/current/active/"
                            "files/lib/thunderbird"),
              (Command{"flatpak", "run", "net.thunderbird.Thunderbird"}));
    EXPECT_EQ(LaunchCommand("/usr/lib/firefox-esr/firefox-esr", "/usr/lib/firefox-esr"),
              Command{"/usr/lib/firefox-esr/firefox-esr"});
}

TEST_F(NewProfileTest, RefusedNamesStartNothing)
{
    home.MakeDir(".mozilla/firefox/Profiles/test");
    state.ProfileEntries.push_back({"Default", "/x"});
    const std::string noName = "box ok warning|Warning|No profile name was entered.";
    const std::string exists = "box ok warning|Warning|A profile with this name already exists.";
    for (const char* name : {"", "a:b", "a/b", "a\\b", "quote\"", "star*", "what?", "<x>", "!"}) {
        ui.QueueAnswer(TBoxAnswer::Ok);
        EXPECT_FALSE(CreateNewProfile({true, name, ""}, state, status, texts, ui)) << name;
        EXPECT_EQ(ui.calls.back(), noName) << name;
    }
    for (const char* name : {"Test", "default"}) {
        ui.QueueAnswer(TBoxAnswer::Ok);
        EXPECT_FALSE(CreateNewProfile({true, name, ""}, state, status, texts, ui)) << name;
        EXPECT_EQ(ui.calls.back(), exists) << name;
    }
    const auto boxes = ui.calls.size();
    EXPECT_FALSE(CreateNewProfile({false, "fine", ""}, state, status, texts, ui)); // cancelled: silent
    EXPECT_EQ(ui.calls.size(), boxes);
    EXPECT_FALSE(std::filesystem::exists(argumentsFile));
}

TEST_F(NewProfileTest, AnApplicationThatCannotBeStartedIsReported)
{
    status[FirefoxAppType].InstallDir = home.MakeDir("empty");
    ui.QueueAnswer(TBoxAnswer::Ok);
    EXPECT_FALSE(CreateNewProfile({true, "work", ""}, state, status, texts, ui));
    EXPECT_EQ(ui.calls.back(), "box ok warning|Warning|Mozilla application doesn't found on your system.");
}
