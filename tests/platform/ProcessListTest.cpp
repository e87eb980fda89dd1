// Tests of the list of this user's running processes and its override.

#include "platform/ProcessList.h"

#include "tests/support/FakeHome.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace quillbank {
namespace {

using ::quillbank::testing::TFakeHome;

std::size_t CountListed(const std::string& name)
{
    const auto names = ListOwnProcessNames();
    return static_cast<std::size_t>(std::count(names.begin(), names.end(), name));
}

/// Polls the process list until `name` shows up at least `count` times.
bool WaitUntilListed(const std::string& name, std::size_t count = 1)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        if (CountListed(name) >= count)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

/// Longer than the 15 characters that the kernel keeps as a process's "comm"
/// name, so only the executable's own name matches it. Unique per test
/// process, in its first 15 characters too: ctest runs tests in parallel,
/// each in its own process.
const std::string SleeperName = std::to_string(getpid()) + "-quillbank-sleeper";

std::string ReadFileForTestTrimmed(const std::string& path)
{
    std::string text = ::quillbank::testing::ReadFileForTest(path);
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
}

/// A copy of the system's "sleep" under a distinctive name, run as a child
/// process for as long as the object lives.
class TSleeper
{
public:
    explicit TSleeper(const std::string& program, std::optional<uid_t> user = std::nullopt)
    {
        pid_ = fork();
        if (pid_ == 0) {
            if (user && setuid(*user) != 0)
                _exit(126);
            execl(program.c_str(), program.c_str(), "30", static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~TSleeper()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    TSleeper(const TSleeper&) = delete;
    TSleeper& operator=(const TSleeper&) = delete;

    bool Started() const { return pid_ > 0; }
    /// Whether it runs the program by now (its "comm" name is the program's).
    bool RunsProgram() const
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            if (ReadFileForTestTrimmed("/proc/" + std::to_string(pid_) + "/comm") ==
                SleeperName.substr(0, 15))
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

private:
    pid_t pid_ = -1;
};

std::string CopySleep(const TFakeHome& home)
{
    const std::string copy = home.Path() + "/" + SleeperName;
    fs::copy_file("/bin/sleep", copy);
    fs::permissions(copy, fs::perms::owner_all);
    return copy;
}

TEST(ProcessListTest, ListsTheTestProgramItself)
{
    const std::string self = fs::read_symlink("/proc/self/exe").filename().string();
    EXPECT_GE(CountListed(self), 1u);
}

TEST(ProcessListTest, FindsAStartedProcessByItsFullExecutableName)
{
    TFakeHome home;
    const std::string program = CopySleep(home);
    {
        TSleeper sleeper(program);
        ASSERT_TRUE(sleeper.Started());
        EXPECT_TRUE(WaitUntilListed(SleeperName));
        // Names carry no folder and no truncated "comm" form.
        EXPECT_EQ(CountListed(program), 0u);
        EXPECT_EQ(CountListed(SleeperName.substr(0, 15)), 0u);
    }
    EXPECT_EQ(CountListed(SleeperName), 0u);
}

TEST(ProcessListTest, KeepsDuplicateNames)
{
    TFakeHome home;
    const std::string program = CopySleep(home);
    TSleeper first(program);
    TSleeper second(program);
    ASSERT_TRUE(first.Started() && second.Started());
    EXPECT_TRUE(WaitUntilListed(SleeperName, 2));
}

TEST(ProcessListTest, DeletedExecutableKeepsItsName)
{
    TFakeHome home;
    const std::string program = CopySleep(home);
    TSleeper sleeper(program);
    ASSERT_TRUE(sleeper.Started());
    ASSERT_TRUE(WaitUntilListed(SleeperName));
    fs::remove(program);
    EXPECT_EQ(CountListed(SleeperName), 1u);
    EXPECT_EQ(CountListed(SleeperName + " (deleted)"), 0u);
}

// Another user's processes never use this user's profiles.
TEST(ProcessListTest, ListsOnlyTheProcessesOfThisUser)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "starting a process as another user needs root";
    TFakeHome home;
    const std::string program = CopySleep(home);
    fs::permissions(home.Path(), fs::perms::all);
    fs::permissions(program, fs::perms::all);
    TSleeper own(program);
    TSleeper others(program, 65534);
    ASSERT_TRUE(own.Started() && others.Started());
    ASSERT_TRUE(WaitUntilListed(SleeperName));
    ASSERT_TRUE(others.RunsProgram());
    // The other user's copy runs too but is not listed.
    EXPECT_EQ(CountListed(SleeperName), 1u);
}

TEST(ProcessListTest, AnOverrideTakesThePlaceOfTheSystemsList)
{
    {
        const TProcessListOverride fixed({"firefox", "firefox"});
        EXPECT_EQ(ListOwnProcessNames(), (std::vector<std::string>{"firefox", "firefox"}));
    }
    EXPECT_GE(CountListed(fs::read_symlink("/proc/self/exe").filename().string()), 1u);
}

TEST(ProcessListTest, AnEndedProcessIsNotListed)
{
    // A zombie has ended but waits to be reaped: it runs nothing any more.
    const std::string zombieName = "qb-zombie-" + std::to_string(getpid() % 100000);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        prctl(PR_SET_NAME, zombieName.c_str(), 0, 0, 0);
        _exit(0);
    }
    siginfo_t info{};
    // Wait for the exit but leave the child unreaped.
    ASSERT_EQ(waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT), 0);
    const std::size_t listed = CountListed(zombieName);
    waitpid(pid, nullptr, 0);
    EXPECT_EQ(listed, 0u);
}

} // namespace
} // namespace quillbank
