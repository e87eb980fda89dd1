#include "apps/RunningCheck.h"

#include "config/l10n.h"
#include "tests/support/FakeHome.h"
#include "tests/support/ScriptedUserInterface.h"

#include <chrono>
#include <filesystem>
#include <signal.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::TFakeHome;
using quillbank::testing::TScriptedUserInterface;
using Names = std::vector<std::string>;

TEST(RunningCheck, NamesCompareExactly)
{
    EXPECT_TRUE(IsAppRunning(2, Names{"bash", "firefox-esr"}));
    EXPECT_TRUE(IsAppRunning(3, Names{"thunderbird-bin"}));
    EXPECT_TRUE(IsAppRunning(1, Names{"seamonkey"}));
    EXPECT_FALSE(IsAppRunning(2, Names{"thunderbird"}));
    EXPECT_FALSE(IsAppRunning(2, Names{"Firefox-esr", "firefox.exe", "firefox-esr "}));
    EXPECT_FALSE(IsAppRunning(0, Names{"firefox"}));
}

namespace {

/// A copy of "sleep" running under the name of a Thunderbird executable.
class TFakeThunderbird
{
public:
    explicit TFakeThunderbird(const TFakeHome& home)
    {
        const std::string program = home.Path() + "/thunderbird-bin";
        std::filesystem::copy_file("/bin/sleep", program);
        pid_ = fork();
        if (pid_ == 0) {
            execl(program.c_str(), program.c_str(), "30", static_cast<char*>(nullptr));
            _exit(127);
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!IsAppRunning(3) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ~TFakeThunderbird() { Stop(); }

    void Stop()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }

private:
    pid_t pid_ = -1;
};

} // namespace

// A profile without lock files is in use while its application runs.
TEST(RunningCheck, WaitingForAProfileWithoutLocksAsksUntilTheApplicationIsGone)
{
    TFakeHome home;
    const std::string profile = home.MakeDir("profile");
    Tl10n l10n(home.Path() + "/Default.lng");
    TFakeThunderbird thunderbird(home);
    ASSERT_TRUE(IsAppRunning(3));

    TScriptedUserInterface ui;
    ui.QueueAnswer(TBoxAnswer::Cancel);
    EXPECT_FALSE(WaitForProfileFree(3, profile, l10n, ui));
    ui.QueueAnswer(TBoxAnswer::Retry);
    ui.QueueAnswer(TBoxAnswer::Cancel);
    EXPECT_FALSE(WaitForProfileFree(3, profile, l10n, ui)); // still running after the Retry
    const std::string box =
        "box retrycancel stop|Warning|Thunderbird is running. Exit it and click the Retry button.";
    EXPECT_EQ(ui.calls, Names(3, box));

    thunderbird.Stop();
    EXPECT_TRUE(WaitForProfileFree(3, profile, l10n, ui)); // no box once it is gone
    EXPECT_EQ(ui.calls.size(), 3u);
    EXPECT_TRUE(WaitForProfileFree(0, profile, l10n, ui));
}
