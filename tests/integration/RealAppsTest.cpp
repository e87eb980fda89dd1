// Against the real applications: Debian's firefox-esr and thunderbird, run
// headless in a fake home. Every program started here is ended and reaped
// before its test finishes.

#include "apps/Detection.h"
#include "apps/Installations.h"
#include "apps/MozManager.h"
#include "apps/NewProfile.h"
#include "apps/ProfileDiscovery.h"
#include "apps/RunningCheck.h"
#include "apps/WizardState.h"
#include "config/l10n.h"
#include "tests/support/FakeHome.h"
#include "tests/support/ScriptedUserInterface.h"

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <sys/file.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::ReadFileForTest;
using quillbank::testing::TFakeHome;
using quillbank::testing::TScriptedUserInterface;
using Lines = std::vector<std::string>;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const std::string FirefoxDir = "/usr/lib/firefox-esr";
const std::string ThunderbirdDir = "/usr/lib/thunderbird";

template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

/// The [App] Version of an installation's "application.ini"; empty when there is none.
std::string InstalledVersion(const std::string& installDir)
{
    std::istringstream in(ReadFileForTest(installDir + "/application.ini"));
    std::string line;
    std::string section;
    while (std::getline(in, line)) {
        if (line.ends_with('\r'))
            line.pop_back();
        if (line.starts_with('['))
            section = line;
        else if (section == "[App]" && line.starts_with("Version="))
            return line.substr(8);
    }
    return {};
}

/// The processes, other than this one, that were started with `home` as HOME.
std::vector<pid_t> ProcessesOfHome(const std::string& home)
{
    std::vector<pid_t> found;
    std::error_code error;
    for (auto it = fs::directory_iterator("/proc", error); !error && it != fs::directory_iterator();
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos || std::stoi(name) == getpid())
            continue;
        std::istringstream environment(ReadFileForTest(it->path().string() + "/environ"));
        for (std::string variable; std::getline(environment, variable, '\0');)
            if (variable == "HOME=" + home)
                found.push_back(std::stoi(name));
    }
    return found;
}

/// Kills whatever still runs with `home` as HOME: programs started detached,
/// and helpers that left the process group of the program that started them.
void EndProcessesOfHome(const std::string& home)
{
    const bool ended = WaitUntil(
        [&home] {
            const auto processes = ProcessesOfHome(home);
            for (pid_t pid : processes)
                kill(pid, SIGKILL);
            return processes.empty();
        },
        10s);
    EXPECT_TRUE(ended) << "processes of the fake home outlived the test";
}

/// Serialises the tests that start real applications, also across test
/// processes run side by side: the running check looks at every process.
class TRealAppsLock
{
public:
    TRealAppsLock()
        : fd_(open((fs::temp_directory_path() / "quillbank-real-apps.lock").c_str(),
                   O_RDWR | O_CREAT | O_CLOEXEC, 0666))
    {
        if (fd_ >= 0)
            flock(fd_, LOCK_EX);
    }
    ~TRealAppsLock()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    TRealAppsLock(const TRealAppsLock&) = delete;
    TRealAppsLock& operator=(const TRealAppsLock&) = delete;

private:
    int fd_;
};

/// A program started in a process group of its own, killed with its group
/// when it is not waited for.
class TAppProcess
{
public:
    /// `arguments` start with the program, looked up on PATH; its output goes to `logFile`.
    TAppProcess(std::vector<std::string> arguments, const std::string& logFile)
    {
        std::vector<char*> argv;
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, logFile.c_str(),
                                         O_WRONLY | O_CREAT | O_APPEND, 0644);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attributes, 0);
        if (posix_spawnp(&pid_, argv[0], &actions, &attributes, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
    }
    ~TAppProcess() { Kill(); }
    TAppProcess(const TAppProcess&) = delete;
    TAppProcess& operator=(const TAppProcess&) = delete;

    /// Whether the program has ended. It stays unreaped until waited for, so
    /// its process group number cannot be taken by another process.
    bool Ended() const
    {
        siginfo_t info{};
        return pid_ <= 0 ||
               (waitid(P_PID, pid_, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid_);
    }

    /// The exit code once the program ended by itself; -1 when it could not
    /// be started or had to be killed after `timeout`.
    int WaitForExit(std::chrono::milliseconds timeout)
    {
        if (pid_ <= 0 || !WaitUntil([this] { return Ended(); }, timeout)) {
            Kill();
            return -1;
        }
        kill(-pid_, SIGKILL); // what it left behind in its group
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    void Kill()
    {
        if (pid_ <= 0)
            return;
        kill(-pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
};

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

class RealAppsTest : public ::testing::Test
{
protected:
    TRealAppsLock lock; // declared first: held until the home and its processes are gone
    TFakeHome home;
    Tl10n l10n{home.Path() + "/Default.lng"};
    TScriptedUserInterface ui;

    void SetUp() override
    {
        if (InstalledVersion(FirefoxDir).empty() || InstalledVersion(ThunderbirdDir).empty())
            GTEST_SKIP()
                << "firefox-esr or thunderbird is not installed (scripts/install-deps.sh installs them)";
        // There is no display here; -CreateProfile started without -headless needs this too.
        home.SetEnv("MOZ_HEADLESS", "1");
    }
    void TearDown() override { EndProcessesOfHome(home.Path()); }

    // Where today's applications put their profiles in a fresh home.
    std::string FirefoxRoot() const { return home.Path() + "/.config/mozilla/firefox/"; }
    std::string ThunderbirdRoot() const { return home.Path() + "/.thunderbird/"; }
    std::string LogFile() const { return home.Path() + "/apps.log"; }

    /// Runs an application that ends by itself, and expects it to succeed.
    void RunToEnd(const std::vector<std::string>& arguments)
    {
        TAppProcess app(arguments, LogFile());
        EXPECT_EQ(app.WaitForExit(60s), 0) << arguments.front() << " failed:\n" << ReadFileForTest(LogFile());
    }

    std::vector<TProfileEntry> ListedProfiles(AppType type)
    {
        TWizardState state;
        state.SelectedAppType = type;
        ListProfiles(state, l10n);
        return state.ProfileEntries;
    }
};

} // namespace

TEST_F(RealAppsTest, DetectionListsTheInstalledApplications)
{
    const std::string firefoxVersion = InstalledVersion(FirefoxDir);
    const std::string thunderbirdVersion = InstalledVersion(ThunderbirdDir);
    TAppStatusTable status;
    Lines lines;
    TInstallationDetection(*CreateRegistryReader(), l10n, status, lines).DetectApplications();

    auto position = [&lines](const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) - lines.begin();
    };
    const auto firefoxLine = position("Mozilla Firefox " + firefoxVersion);
    const auto thunderbirdLine = position("Mozilla Thunderbird " + thunderbirdVersion);
    ASSERT_FALSE(lines.empty());
    EXPECT_LT(firefoxLine, thunderbirdLine) << ::testing::PrintToString(lines);
    EXPECT_LT(thunderbirdLine, std::ssize(lines) - 1) << ::testing::PrintToString(lines);
    EXPECT_EQ(lines.back(), "Portable applications");

    EXPECT_TRUE(status[2].Installed);
    EXPECT_EQ(status[2].Version, firefoxVersion);
    EXPECT_EQ(status[2].InstallDir, FirefoxDir);
    EXPECT_TRUE(status[3].Installed);
    EXPECT_EQ(status[3].Version, thunderbirdVersion);
    EXPECT_EQ(status[3].InstallDir, ThunderbirdDir);
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
    const TMozManager manager(l10n, status);
    const TMozApp* firefox = manager.FindApp("fire");
    ASSERT_NE(firefox, nullptr);
    EXPECT_EQ(firefox->InstallDir(), FirefoxDir);
    const TAppProfile* alpha = firefox->FindProfile("alpha");
    ASSERT_NE(alpha, nullptr);
    EXPECT_EQ(alpha->Directory(), folder + "/");
    EXPECT_EQ(alpha->RelativePath(), folder.substr(FirefoxRoot().size()));

    // A short run that visits a local page fills the listed folder.
    home.WriteFile("page.html", "<title>page</title>text");
    RunToEnd({"firefox-esr", "-headless", "-P", "Alpha", "--screenshot", home.Path() + "/shot.png",
              "file://" + home.Path() + "/page.html"});
    ASSERT_TRUE(fs::exists(folder + "/prefs.js"));
    const TComponentBoxes boxes = CheckProfileFolder(folder, l10n, ui);
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
    const TMozManager manager(l10n, status);
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
    TInstallationDetection(*CreateRegistryReader(), l10n, status, lines).DetectApplications();
    ASSERT_EQ(status[2].InstallDir, FirefoxDir);
    TWizardState state;
    state.SelectedAppType = 2;
    state.ProfileDir = FirefoxRoot();

    // The profile shows up at a refresh once the started Firefox has made it.
    auto listedOnceMade = [&](const std::string& name) {
        std::optional<TProfileEntry> found;
        WaitUntil(
            [&] {
                ListProfiles(state, l10n);
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

    ASSERT_TRUE(CreateNewProfile({true, "Work", ""}, state, status, l10n, ui));
    const auto work = listedOnceMade("work");
    ASSERT_TRUE(work) << "Firefox did not add the profile";
    EXPECT_EQ(state.ProfileDir, FirefoxRoot());
    EXPECT_TRUE(work->Path.starts_with(FirefoxRoot()) && fs::is_directory(work->Path)) << work->Path;

    // A chosen location, with a blank in it, reaches Firefox as one argument with the name.
    const std::string location = home.Path() + "/my profiles/away";
    ASSERT_TRUE(CreateNewProfile({true, "Away", location}, state, status, l10n, ui));
    const auto away = listedOnceMade("away");
    ASSERT_TRUE(away) << "Firefox did not add the profile";
    EXPECT_EQ(away->Path, location);
    EXPECT_TRUE(fs::is_directory(location));
    EXPECT_TRUE(ui.calls.empty()) << ::testing::PrintToString(ui.calls);

    // Once listed, the name is taken, whatever its letter case; nothing is started.
    ui.QueueAnswer(TBoxAnswer::Ok);
    EXPECT_FALSE(CreateNewProfile({true, "WORK", ""}, state, status, l10n, ui));
    EXPECT_EQ(ui.calls, Lines{"box ok warning|Warning|A profile with this name already exists."});
}

TEST_F(RealAppsTest, WaitForAppExitFollowsARealFirefox)
{
    // An application ended by another test may linger until it is reaped.
    if (!WaitUntil([] { return !IsAppRunning(2); }, 15s))
        GTEST_SKIP() << "a Firefox this test did not start is running";
    TAppProcess firefox(
        {"firefox-esr", "--headless", "--no-remote", "--profile", home.MakeDir("running"), "about:blank"},
        LogFile());
    ASSERT_TRUE(WaitUntil([] { return IsAppRunning(2); }, 30s)) << ReadFileForTest(LogFile());
    const Lines oneBox{
        "box retrycancel stop|Warning|Firefox is running. Exit it and click the Retry button."};

    ui.QueueAnswer(TBoxAnswer::Cancel);
    EXPECT_FALSE(WaitForAppExit(2, l10n, ui));
    EXPECT_EQ(ui.calls, oneBox);
    EXPECT_FALSE(firefox.Ended()) << ReadFileForTest(LogFile());

    // The user quits Firefox while the box is up, then presses Retry.
    TActingUserInterface quitting([&firefox] {
        firefox.Kill();
        EXPECT_TRUE(WaitUntil([] { return !IsAppRunning(2); }, 30s));
    });
    quitting.script.QueueAnswer(TBoxAnswer::Retry);
    EXPECT_TRUE(WaitForAppExit(2, l10n, quitting));
    EXPECT_EQ(quitting.script.calls, oneBox);
}
