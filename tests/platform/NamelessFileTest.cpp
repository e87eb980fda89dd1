// Tests of new files written under no name and named only once complete.

#include "platform/NamelessFile.h"

#include "tests/support/FakeHome.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::ReadFileForTest;
using quillbank::testing::TFakeHome;
namespace fs = std::filesystem;

namespace {

std::size_t EntriesIn(const std::string& folder)
{
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

void Write(TNamelessFile& file, const std::string& text)
{
    ASSERT_EQ(write(file.Fd(), text.data(), text.size()), static_cast<ssize_t>(text.size()));
}

} // namespace

TEST(NamelessFile, IsSeenOnlyOncePublishedWhetherTheTargetIsNewOrReplaced)
{
    TFakeHome home;
    const std::string folder = home.MakeDir("p");
    const std::string fresh = folder + "/Inbox";
    const std::string existing = home.WriteFile("p/prefs.js", "old");
    {
        TNamelessFile file;
        ASSERT_TRUE(file.Open(fresh));
        Write(file, "mail");
        EXPECT_EQ(EntriesIn(folder), 1u); // nothing under any name yet
        ASSERT_TRUE(file.Publish());
    }
    EXPECT_EQ(ReadFileForTest(fresh), "mail");
    EXPECT_EQ(fs::status(fresh).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    {
        TNamelessFile file;
        ASSERT_TRUE(file.Open(existing));
        Write(file, "new");
        EXPECT_EQ(ReadFileForTest(existing), "old");
        ASSERT_TRUE(file.Publish());
    }
    EXPECT_EQ(ReadFileForTest(existing), "new");
    EXPECT_EQ(EntriesIn(folder), 2u); // no temporary left beside them
}

TEST(NamelessFile, LeavesNothingWhenDroppedOrWhenItsFolderIsGone)
{
    TFakeHome home;
    const std::string folder = home.MakeDir("p");
    {
        TNamelessFile file;
        ASSERT_TRUE(file.Open(folder + "/Inbox"));
        Write(file, "half a file");
    }
    EXPECT_EQ(EntriesIn(folder), 0u);
    TNamelessFile orphan;
    EXPECT_FALSE(orphan.Open(folder + "/missing/Inbox"));
}

TEST(NamelessFile, DirectWritesLandInTheReservedFileAndGoWithIt)
{
    TFakeHome home;
    const std::string target = home.Path() + "/Inbox";
    TNamelessFile file;
    ASSERT_TRUE(file.Open(target));
    const int direct = file.DirectFd(3 * DirectIoAlignment);
    if (direct < 0)
        GTEST_SKIP() << "this file system takes no direct writes";
    struct stat info = {};
    ASSERT_EQ(fstat(file.Fd(), &info), 0);
    EXPECT_EQ(info.st_size, static_cast<off_t>(3 * DirectIoAlignment)) << "reserved in full";
    EXPECT_EQ(file.DirectFd(3 * DirectIoAlignment), direct) << "one descriptor for the file";
    // Whole aligned blocks, written out of order.
    void* block = std::aligned_alloc(DirectIoAlignment, DirectIoAlignment);
    std::memset(block, 'b', DirectIoAlignment);
    EXPECT_EQ(pwrite(direct, block, DirectIoAlignment, static_cast<off_t>(DirectIoAlignment)),
              static_cast<ssize_t>(DirectIoAlignment));
    std::memset(block, 'a', DirectIoAlignment);
    EXPECT_EQ(pwrite(direct, block, DirectIoAlignment, 0), static_cast<ssize_t>(DirectIoAlignment));
    std::free(block);
    ASSERT_EQ(ftruncate(file.Fd(), static_cast<off_t>(2 * DirectIoAlignment - 5)), 0);
    ASSERT_TRUE(file.Publish());
    EXPECT_EQ(fcntl(direct, F_GETFD), -1) << "closed with the file";
    EXPECT_EQ(ReadFileForTest(target),
              std::string(DirectIoAlignment, 'a') + std::string(DirectIoAlignment - 5, 'b'));
}
