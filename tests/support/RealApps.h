// Helpers for tests that start the real firefox-esr and thunderbird in a fake home and end them afterwards.

#pragma once

#include "tests/support/FakeHome.h"

#include <chrono>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace quillbank::testing {

/// Where Debian installs the real applications the integration tests start.
inline const std::string FirefoxInstallDir = "/usr/lib/firefox-esr";
inline const std::string ThunderbirdInstallDir = "/usr/lib/thunderbird";

/// Polls `condition` until it holds or `timeout` has passed; whether it held.
template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

/// The [App] Version of an installation's "application.ini"; empty when there is none.
std::string InstalledVersion(const std::string& installDir);

/// The processes, other than this one, that were started with `home` as HOME.
std::vector<pid_t> ProcessesOfHome(const std::string& home);

/// Kills whatever still runs with `home` as HOME: programs started detached,
/// and helpers that left the process group of the program that started them.
/// Fails the test when they do not end.
void EndProcessesOfHome(const std::string& home);

/// Keeps the tests that start applications (real ones, or programs under
/// their names) apart from each other and from the tests that need none
/// running, also across test processes run side by side: the running check
/// looks at every process. Tests of the second kind share the lock.
class TRealAppsLock
{
public:
    enum class EUse
    {
        StartsApps,
        NeedsNoneRunning
    };

    explicit TRealAppsLock(EUse use = EUse::StartsApps);
    ~TRealAppsLock();
    /// From now on held alone: for a test that shared it and starts an application after all.
    void HoldAlone();
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
    TAppProcess(std::vector<std::string> arguments, const std::string& logFile);
    ~TAppProcess() { Kill(); }
    TAppProcess(const TAppProcess&) = delete;
    TAppProcess& operator=(const TAppProcess&) = delete;

    /// Whether the program has ended. It stays unreaped until waited for, so
    /// its process group number cannot be taken by another process.
    bool Ended() const;

    /// The exit code once the program ended by itself; -1 when it could not
    /// be started or had to be killed after `timeout`.
    int WaitForExit(std::chrono::milliseconds timeout);

    void Kill();

private:
    pid_t pid_ = -1;
};

/**
 * A test that starts real applications in a fake home: it holds the lock
 * that serialises such tests, runs them headless, and ends whatever still
 * runs with the home as HOME when it finishes.
 */
class TRealAppsTest : public ::testing::Test
{
protected:
    TRealAppsLock lock; // declared first: held until the home and its processes are gone
    TFakeHome home;

    void SetUp() override;
    void TearDown() override;

    /// Where the programs started by `RunToEnd` write their output.
    std::string LogFile() const { return home.Path() + "/apps.log"; }

    /// Runs a program that ends by itself, and expects it to succeed.
    void RunToEnd(const std::vector<std::string>& arguments);
};

/**
 * Runs a privileged script in Firefox on `profile`, whose user.js sets
 * "marionette.port" to 0, through its remote control (tests/support/
 * marionette.py), and gives what the script gave back with a line end.
 * Firefox is asked to quit afterwards and expected to end normally; its
 * output goes to `logFile`.
 */
std::string RunInFirefox(const std::string& profile, const std::string& script, const std::string& logFile);

} // namespace quillbank::testing
