// Tests of the running check: which process names are the application's, and when a profile counts as in use.

#include "apps/RunningCheck.h"

#include "config/InterfaceTexts.h"
#include "platform/ProcessList.h"
#include "tests/support/FakeHome.h"
#include "tests/support/ScriptedUserInterface.h"

#include <filesystem>
#include <optional>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::TFakeHome;
using quillbank::testing::TScriptedUserInterface;
using Names = std::vector<std::string>;

TEST(RunningCheck, NamesCompareExactly)
{
    EXPECT_TRUE(IsAppRunning(FirefoxAppType, Names{"bash", "firefox-esr"}));
    EXPECT_TRUE(IsAppRunning(ThunderbirdAppType, Names{"thunderbird-bin"}));
    EXPECT_TRUE(IsAppRunning(SeaMonkeyAppType, Names{"seamonkey"}));
    EXPECT_FALSE(IsAppRunning(FirefoxAppType, Names{"thunderbird"}));
    EXPECT_FALSE(IsAppRunning(FirefoxAppType, Names{"Firefox-esr", "firefox.exe", "firefox-esr "}));
    EXPECT_FALSE(IsAppRunning(NoAppType, Names{"firefox"}));
}

// Profiles of an application that keeps no lock files are in use while one
// of the user's processes runs it.
TEST(RunningCheck, WaitingForAProfileWithoutLocksAsksUntilTheApplicationIsGone)
{
    TFakeHome home;
    const std::string profile = home.MakeDir("profile");
    TInterfaceTexts texts(home.Path() + "/Default.lng");
    std::optional<TProcessListOverride> processes(std::in_place, Names{"bash", "sunbird-bin"});

    TScriptedUserInterface ui;
    ui.QueueAnswer(TBoxAnswer::Cancel);
    EXPECT_FALSE(WaitForProfileFree(SunbirdAppType, profile, texts, ui));
    ui.QueueAnswer(TBoxAnswer::Retry);
    ui.QueueAnswer(TBoxAnswer::Cancel);
    EXPECT_FALSE(WaitForProfileFree(SunbirdAppType, profile, texts, ui)); // still running after the Retry
    const std::string box =
        "box retrycancel stop|Warning|Sunbird is running. Exit it and click the Retry button.";
    EXPECT_EQ(ui.calls, Names(3, box));

    processes.emplace(Names{"bash"});
    EXPECT_TRUE(WaitForProfileFree(SunbirdAppType, profile, texts, ui)); // no box once it is gone
    EXPECT_EQ(ui.calls.size(), 3u);
    EXPECT_TRUE(WaitForProfileFree(NoAppType, profile, texts, ui));
}

// Firefox, Thunderbird and SeaMonkey lock every profile they open: one
// without lock files is free whatever runs.
TEST(RunningCheck, AProfileWithoutLockFilesOfALockingApplicationIsFreeWhateverRuns)
{
    TFakeHome home;
    const std::string profile = home.MakeDir("never-opened");
    const TProcessListOverride processes(Names{"firefox-esr", "thunderbird-bin", "seamonkey"});
    for (AppType type : {SeaMonkeyAppType, FirefoxAppType, ThunderbirdAppType}) {
        EXPECT_TRUE(IsAppRunning(type));
        EXPECT_FALSE(IsProfileInUse(type, profile)) << static_cast<int>(type);
    }
    EXPECT_FALSE(IsProfileInUse(SunbirdAppType, profile)); // Sunbird does not run
}

// A portable profile of no known application names its folder in the question.
TEST(RunningCheck, TheQuestionForAProfileOfNoKnownApplicationNamesItsFolder)
{
    TFakeHome home;
    const std::string profile = home.MakeDir("portable");
    TInterfaceTexts texts(home.Path() + "/Default.lng");
    std::filesystem::create_symlink("127.0.0.1:+" + std::to_string(getpid()), profile + "/lock");
    TScriptedUserInterface ui;
    ui.QueueAnswer(TBoxAnswer::Cancel);
    EXPECT_FALSE(WaitForProfileFree(NoAppType, profile + "/", texts, ui));
    EXPECT_EQ(ui.calls, Names{"box retrycancel stop|Warning|" + profile +
                              " is running. Exit it and click the Retry button."});
}
