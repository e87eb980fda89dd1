// Starts, waits for and kills the real applications, serialises their tests, finds what they left running.

#include "tests/support/RealApps.h"

#include "tests/support/FakeHome.h"

#include <fcntl.h>
#include <filesystem>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace quillbank::testing {

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

TRealAppsLock::TRealAppsLock(EUse use)
    : fd_(open((fs::temp_directory_path() / "quillbank-real-apps.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC,
               0666))
{
    if (fd_ >= 0)
        flock(fd_, use == EUse::StartsApps ? LOCK_EX : LOCK_SH);
}

void TRealAppsLock::HoldAlone()
{
    if (fd_ >= 0)
        flock(fd_, LOCK_EX);
}

TRealAppsLock::~TRealAppsLock()
{
    if (fd_ >= 0)
        close(fd_);
}

TAppProcess::TAppProcess(std::vector<std::string> arguments, const std::string& logFile)
{
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0644);
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

bool TAppProcess::Ended() const
{
    siginfo_t info{};
    return pid_ <= 0 || (waitid(P_PID, pid_, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid_);
}

int TAppProcess::WaitForExit(std::chrono::milliseconds timeout)
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

void TAppProcess::Kill()
{
    if (pid_ <= 0)
        return;
    kill(-pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

void TRealAppsTest::SetUp()
{
    // There is no display here.
    home.SetEnv("MOZ_HEADLESS", "1");
}

void TRealAppsTest::TearDown()
{
    EndProcessesOfHome(home.Path());
}

void TRealAppsTest::RunToEnd(const std::vector<std::string>& arguments)
{
    TAppProcess app(arguments, LogFile());
    EXPECT_EQ(app.WaitForExit(60s), 0) << arguments.front() << " failed:\n" << ReadFileForTest(LogFile());
}

std::string RunInFirefox(const std::string& profile, const std::string& script, const std::string& logFile)
{
    TAppProcess firefox({"firefox-esr", "--headless", "--no-remote", "--marionette",
                         "--remote-allow-system-access", "--profile", profile},
                        logFile);
    const std::string output = logFile + ".script";
    fs::remove(output);
    TAppProcess({"python3", QUILLBANK_SOURCE_DIR "/tests/support/marionette.py", profile, script}, output)
        .WaitForExit(60s);
    EXPECT_EQ(firefox.WaitForExit(60s), 0) << ReadFileForTest(logFile);
    return ReadFileForTest(output);
}

} // namespace quillbank::testing
