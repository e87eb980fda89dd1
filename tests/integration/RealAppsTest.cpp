// Against the real applications: Debian's firefox-esr and thunderbird, run
// headless in a fake home. Every program started here is ended and reaped
// before its test finishes.

#include "tests/support/RealApps.h"

#include "apps/Detection.h"
#include "apps/Installations.h"
#include "apps/MozManager.h"
#include "apps/NewProfile.h"
#include "apps/ProfileDiscovery.h"
#include "apps/ProfileLock.h"
#include "apps/RunningCheck.h"
#include "apps/WizardState.h"
#include "config/InterfaceTexts.h"
#include "tests/support/FakeHome.h"
#include "tests/support/ScriptedUserInterface.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::FirefoxInstallDir;
using quillbank::testing::InstalledVersion;
using quillbank::testing::ProcessesOfHome;
using quillbank::testing::ReadFileForTest;
using quillbank::testing::TAppProcess;
using quillbank::testing::ThunderbirdInstallDir;
using quillbank::testing::TRealAppsTest;
using quillbank::testing::TScriptedUserInterface;
using quillbank::testing::WaitUntil;
using Lines = std::vector<std::string>;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

/// Does something while the first box is up (as the user would, switching
/// to the other application), then answers as scripted.
class TActingUserInterface final : public TUserInterface
{
public:
    explicit TActingUserInterface(std::function<void()> action) : action_(std::move(action)) {}

    TScriptedUserInterface script;

    TBoxAnswer ShowMessageBox(const std::string& caption, const std::string& text, TBoxButtons buttons,
                              TBoxIcon icon) override
    {
        if (action_)
            std::exchange(action_, nullptr)();
        return script.ShowMessageBox(caption, text, buttons, icon);
    }
    std::optional<std::string> AskRestorePassword() override { return script.AskRestorePassword(); }
    std::optional<std::string> ChooseFolder(const std::string& caption,
                                            const std::string& initialFolder) override
    {
        return script.ChooseFolder(caption, initialFolder);
    }
    void ProcessEvents() override { script.ProcessEvents(); }
    void ShowTaskLine(const std::string& text) override { script.ShowTaskLine(text); }
    void AddReportLine(const std::string& text) override { script.AddReportLine(text); }
    void SetProgressRange(int minimum, int maximum) override { script.SetProgressRange(minimum, maximum); }
    void SetProgressPosition(int position) override { script.SetProgressPosition(position); }

protected:
    void EndProgram(int exitCode) override { script.ExitImmediately(exitCode); }

private:
    std::function<void()> action_;
};

class RealAppsTest : public TRealAppsTest
{
protected:
    TInterfaceTexts texts{home.Path() + "/Default.lng"};
    TScriptedUserInterface ui;

    void SetUp() override
    {
        if (InstalledVersion(FirefoxInstallDir).empty() || InstalledVersion(ThunderbirdInstallDir).empty())
            GTEST_SKIP()
                << "firefox-esr or thunderbird is not installed (scripts/install-deps.sh installs them)";
        // -CreateProfile started without -headless needs the headless setting too.
        TRealAppsTest::SetUp();
    }

    // Where today's applications put their profiles in a fresh home.
    std::string FirefoxRoot() const { return home.Path() + "/.config/mozilla/firefox/"; }
    std::string ThunderbirdRoot() const { return home.Path() + "/.thunderbird/"; }

    std::vector<TProfileEntry> ListedProfiles(AppType type)
    {
        TWizardState state;
        state.SelectedAppType = type;
        ListProfiles(state, texts);
        return state.ProfileEntries;
    }
};

} // namespace

TEST_F(RealAppsTest, DetectionListsTheInstalledApplications)
{
    const std::string firefoxVersion = InstalledVersion(FirefoxInstallDir);
    const std::string thunderbirdVersion = InstalledVersion(ThunderbirdInstallDir);
    TAppStatusTable status;
    Lines lines;
    TInstallationDetection(*CreateRegistryReader(), texts, status, lines).DetectApplications();

    auto position = [&lines](const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) - lines.begin();
    };
    const auto firefoxLine = position("Mozilla Firefox " + firefoxVersion);
    const auto thunderbirdLine = position("Mozilla Thunderbird " + thunderbirdVersion);
    ASSERT_FALSE(lines.empty());
    EXPECT_LT(firefoxLine, thunderbirdLine) << ::testing::PrintToString(lines);
    EXPECT_LT(thunderbirdLine, std::ssize(lines) - 1) << ::testing::PrintToString(lines);
    EXPECT_EQ(lines.back(), "Portable applications");

    EXPECT_TRUE(status[FirefoxAppType].Installed);
    EXPECT_EQ(status[FirefoxAppType].Version, firefoxVersion);
    EXPECT_EQ(status[FirefoxAppType].InstallDir, FirefoxInstallDir);
    EXPECT_TRUE(status[ThunderbirdAppType].Installed);
    EXPECT_EQ(status[ThunderbirdAppType].Version, thunderbirdVersion);
    EXPECT_EQ(status[ThunderbirdAppType].InstallDir, ThunderbirdInstallDir);
}

TEST_F(RealAppsTest, FirefoxProfileIsFoundAndOffersItsComponentsAfterAFirstRun)
{
    RunToEnd({"firefox-esr", "-headless", "-CreateProfile", "Alpha"});
    EXPECT_TRUE(fs::exists(FirefoxRoot() + "profiles.ini"));
    EXPECT_FALSE(fs::exists(home.Path() + "/.mozilla"));

    const auto profiles = ListedProfiles(2);
    ASSERT_EQ(profiles.size(), 1u);
    EXPECT_EQ(profiles[0].Name, "Alpha");
    const std::string folder = profiles[0].Path;
    EXPECT_TRUE(folder.starts_with(FirefoxRoot()) && folder.ends_with(".Alpha")) << folder;
    EXPECT_TRUE(fs::is_directory(folder)) << folder;

    TAppStatusTable status;
    const TMozManager manager(texts, status);
    const TMozApp* firefox = manager.FindApp("fire");
    ASSERT_NE(firefox, nullptr);
    EXPECT_EQ(firefox->InstallDir(), FirefoxInstallDir);
    const TAppProfile* alpha = firefox->FindProfile("alpha");
    ASSERT_NE(alpha, nullptr);
    EXPECT_EQ(alpha->Directory(), folder + "/");
    EXPECT_EQ(alpha->RelativePath(), folder.substr(FirefoxRoot().size()));

    // A short run that visits a local page fills the listed folder.
    home.WriteFile("page.html", "<title>page</title>text");
    RunToEnd({"firefox-esr", "-headless", "-P", "Alpha", "--screenshot", home.Path() + "/shot.png",
              "file://" + home.Path() + "/page.html"});
    ASSERT_TRUE(fs::exists(folder + "/prefs.js"));
    const TComponentBoxes boxes = CheckProfileFolder(folder, texts, ui);
    EXPECT_TRUE(ui.calls.empty()) << ::testing::PrintToString(ui.calls);
    for (TComponentBox box : {GeneralSettingsBox, BookmarksBox, HistoryBox, CookiesBox})
        EXPECT_TRUE(boxes[box].Checked && boxes[box].Enabled) << "box " << box;
    // A browser profile holds no mail settings.
    EXPECT_FALSE(boxes[EmailsBox].Enabled);
    EXPECT_FALSE(boxes[AccountsSettingsOnlyBox].Enabled);
}

TEST_F(RealAppsTest, ThunderbirdProfileIsFoundWhereThunderbirdKeepsIt)
{
    RunToEnd({"thunderbird", "-headless", "-CreateProfile", "Beta"});
    EXPECT_TRUE(fs::exists(ThunderbirdRoot() + "profiles.ini"));

    const auto profiles = ListedProfiles(3);
    ASSERT_EQ(profiles.size(), 1u);
    EXPECT_EQ(profiles[0].Name, "Beta");
    const std::string folder = profiles[0].Path;
    EXPECT_TRUE(folder.starts_with(ThunderbirdRoot()) && folder.ends_with(".Beta")) << folder;

    TAppStatusTable status;
    const TMozManager manager(texts, status);
    ASSERT_NE(manager.FindApp("bird"), nullptr);
    const TAppProfile* beta = manager.FindApp("bird")->FindProfile("beta");
    ASSERT_NE(beta, nullptr);
    EXPECT_EQ(beta->Directory(), folder + "/");

    // Thunderbird does not end by itself: it runs until its prefs.js is in the listed folder.
    TAppProcess thunderbird({"thunderbird", "--headless", "-P", "Beta"}, LogFile());
    EXPECT_TRUE(WaitUntil([&folder] { return fs::exists(folder + "/prefs.js"); }, 60s))
        << ReadFileForTest(LogFile());
}

TEST_F(RealAppsTest, NewProfileIsMadeByTheStartedFirefox)
{
    TAppStatusTable status;
    Lines lines;
    TInstallationDetection(*CreateRegistryReader(), texts, status, lines).DetectApplications();
    ASSERT_EQ(status[FirefoxAppType].InstallDir, FirefoxInstallDir);
    TWizardState state;
    state.SelectedAppType = FirefoxAppType;
    state.ProfileDir = FirefoxRoot();

    // The profile shows up at a refresh once the started Firefox has made it.
    auto listedOnceMade = [&](const std::string& name) {
        std::optional<TProfileEntry> found;
        WaitUntil(
            [&] {
                ListProfiles(state, texts);
                for (const TProfileEntry& entry : state.ProfileEntries)
                    if (entry.Name == name)
                        found = entry;
                return found.has_value();
            },
            60s);
        // Firefox may still be writing profiles.ini.
        EXPECT_TRUE(WaitUntil([this] { return ProcessesOfHome(home.Path()).empty(); }, 30s));
        return found;
    };

    ASSERT_TRUE(CreateNewProfile({true, "Work", ""}, state, status, texts, ui));
    const auto work = listedOnceMade("work");
    ASSERT_TRUE(work) << "Firefox did not add the profile";
    EXPECT_EQ(state.ProfileDir, FirefoxRoot());
    EXPECT_TRUE(work->Path.starts_with(FirefoxRoot()) && fs::is_directory(work->Path)) << work->Path;

    // A chosen location, with a blank in it, reaches Firefox as one argument with the name.
    const std::string location = home.Path() + "/my profiles/away";
    ASSERT_TRUE(CreateNewProfile({true, "Away", location}, state, status, texts, ui));
    const auto away = listedOnceMade("away");
    ASSERT_TRUE(away) << "Firefox did not add the profile";
    EXPECT_EQ(away->Path, location);
    EXPECT_TRUE(fs::is_directory(location));
    EXPECT_TRUE(ui.calls.empty()) << ::testing::PrintToString(ui.calls);

    // Once listed, the name is taken, whatever its letter case; nothing is started.
    ui.QueueAnswer(TBoxAnswer::Ok);
    EXPECT_FALSE(CreateNewProfile({true, "WORK", ""}, state, status, texts, ui));
    EXPECT_EQ(ui.calls, Lines{"box ok warning|Warning|A profile with this name already exists."});
}

TEST_F(RealAppsTest, WaitingForAProfileFollowsARealFirefox)
{
    // An application ended by another test may linger until it is reaped.
    if (!WaitUntil([] { return !IsAppRunning(FirefoxAppType); }, 15s))
        GTEST_SKIP() << "a Firefox this test did not start is running";
    const std::string running = home.MakeDir("running");
    TAppProcess firefox({"firefox-esr", "--headless", "--no-remote", "--profile", running, "about:blank"},
                        LogFile());
    ASSERT_TRUE(WaitUntil([] { return IsAppRunning(FirefoxAppType); }, 30s)) << ReadFileForTest(LogFile());
    // Its own lock marks the profile in use; another profile is free.
    EXPECT_TRUE(WaitUntil([&running] { return ReadProfileLock(running) == TProfileLock::InUse; }, 30s));
    const std::string other = home.MakeDir("other");
    home.WriteFile("other/.parentlock", "");
    EXPECT_FALSE(IsProfileInUse(FirefoxAppType, other));
    EXPECT_TRUE(WaitForProfileFree(FirefoxAppType, other, texts, ui));
    const Lines oneBox{
        "box retrycancel stop|Warning|Firefox is running. Exit it and click the Retry button."};

    ui.QueueAnswer(TBoxAnswer::Cancel);
    EXPECT_FALSE(WaitForProfileFree(FirefoxAppType, running, texts, ui));
    EXPECT_EQ(ui.calls, oneBox);
    EXPECT_FALSE(firefox.Ended()) << ReadFileForTest(LogFile());

    // The user quits Firefox while the box is up, then presses Retry.
    TActingUserInterface quitting([&firefox] {
        firefox.Kill();
        EXPECT_TRUE(WaitUntil([] { return !IsAppRunning(FirefoxAppType); }, 30s));
    });
    quitting.script.QueueAnswer(TBoxAnswer::Retry);
    EXPECT_TRUE(WaitForProfileFree(FirefoxAppType, running, texts, quitting));
    EXPECT_EQ(quitting.script.calls, oneBox);
    // Killed, it leaves its lock link behind: a link to an ended process.
    EXPECT_EQ(ReadProfileLock(running), TProfileLock::Free);
}
