// Tests of telling that a profile is in use from its lock files: the fcntl lock and the lock link.

#include "apps/ProfileLock.h"

#include "apps/RunningCheck.h"
#include "tests/support/FakeHome.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::TFakeHome;
namespace fs = std::filesystem;

namespace {

/// A child process holding an fcntl lock on a file, as a running
/// application holds its profile's ".parentlock".
class TLockHolder
{
public:
    explicit TLockHolder(const std::string& path)
    {
        int ready[2];
        if (::pipe(ready) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            const int fd = ::open(path.c_str(), O_RDWR | O_CREAT, 0600);
            struct flock lock = {};
            lock.l_type = F_WRLCK;
            lock.l_whence = SEEK_SET;
            const char done = ::fcntl(fd, F_SETLK, &lock) == 0 ? '1' : '0';
            [[maybe_unused]] const auto written = ::write(ready[1], &done, 1);
            ::pause();
            ::_exit(0);
        }
        char done = '0';
        [[maybe_unused]] const auto read = ::read(ready[0], &done, 1);
        locked_ = done == '1';
        ::close(ready[0]);
        ::close(ready[1]);
    }
    ~TLockHolder()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    TLockHolder(const TLockHolder&) = delete;
    TLockHolder& operator=(const TLockHolder&) = delete;

    bool Locked() const { return locked_; }

private:
    pid_t pid_ = -1;
    bool locked_ = false;
};

} // namespace

TEST(ProfileLock, TheFcntlLockOfAnotherProcessMeansInUse)
{
    TFakeHome home;
    const std::string profile = home.MakeDir("profile");
    EXPECT_EQ(ReadProfileLock(profile), TProfileLock::Unknown);
    home.WriteFile("profile/.parentlock", "");
    EXPECT_EQ(ReadProfileLock(profile), TProfileLock::Free);
    {
        TLockHolder holder(profile + "/.parentlock");
        ASSERT_TRUE(holder.Locked());
        EXPECT_EQ(ReadProfileLock(profile + "/"), TProfileLock::InUse);
        // Whatever runs, only this profile's lock counts.
        EXPECT_TRUE(IsProfileInUse(FirefoxAppType, profile));
    }
    EXPECT_EQ(ReadProfileLock(profile), TProfileLock::Free);
    EXPECT_FALSE(IsProfileInUse(FirefoxAppType, profile));
}

TEST(ProfileLock, TheLockLinkCountsOnlyWhileItsProcessRuns)
{
    TFakeHome home;
    const std::string profile = home.MakeDir("profile");
    const std::string link = profile + "/lock";
    fs::create_symlink("127.0.0.1:+" + std::to_string(::getpid()), link);
    EXPECT_EQ(ReadProfileLock(profile), TProfileLock::InUse);
    // Written by an instance that got no fcntl lock.
    fs::remove(link);
    fs::create_symlink("127.0.0.1:" + std::to_string(::getpid()), link);
    EXPECT_EQ(ReadProfileLock(profile), TProfileLock::InUse);
    // Left behind by an instance that has ended, held by another machine
    // sharing the home, or not of the form at all.
    for (const std::string& target :
         std::vector<std::string>{"127.0.0.1:+2147483647", "192.0.2.7:+" + std::to_string(::getpid()), ":+1",
                                  "127.0.0.1:+0", "127.0.0.1:+12x", "127.0.0.1:", "garbage",
                                  "127.0.0.1:+99999999999999999999", std::string(300, '9')}) {
        fs::remove(link);
        fs::create_symlink(target, link);
        EXPECT_EQ(ReadProfileLock(profile), TProfileLock::Free) << target;
    }
}
