// Tests of direct reads started ahead and waited for later.

#include "platform/ReadAhead.h"

#include "platform/DirectIo.h"
#include "platform/FileDescriptor.h"
#include "tests/support/FakeHome.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::TFakeHome;

namespace {

/// Opens `path` for direct reads where the file system allows them.
TFileDescriptor OpenDirect(const std::string& path)
{
    TFileDescriptor file(open(path.c_str(), O_RDONLY | O_DIRECT | O_CLOEXEC));
    return file.IsOpen() ? std::move(file) : TFileDescriptor(open(path.c_str(), O_RDONLY | O_CLOEXEC));
}

} // namespace

TEST(ReadAhead, ReadsWholeBlocksTheShortEndOfAFileAndNothingPastIt)
{
    TFakeHome home;
    std::string content(3 * DirectIoAlignment + 100, '\0');
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>('a' + i % 23);
    const std::string path = home.WriteFile("p/places.sqlite", content);
    const TFileDescriptor file = OpenDirect(path);
    ASSERT_TRUE(file.IsOpen());
    const TMappedBuffer buffer = MapBuffer(4 * DirectIoAlignment);
    TReadAhead readAhead;

    ASSERT_TRUE(readAhead.Start(file.Get(), DirectIoAlignment, 2 * DirectIoAlignment, buffer.get()));
    EXPECT_TRUE(readAhead.Started());
    EXPECT_FALSE(readAhead.Start(file.Get(), 0, DirectIoAlignment, buffer.get())); // one at a time
    ASSERT_EQ(readAhead.Finish(), static_cast<std::int64_t>(2 * DirectIoAlignment));
    EXPECT_EQ(std::memcmp(buffer.get(), content.data() + DirectIoAlignment, 2 * DirectIoAlignment), 0);

    ASSERT_TRUE(readAhead.Start(file.Get(), 3 * DirectIoAlignment, DirectIoAlignment, buffer.get()));
    ASSERT_EQ(readAhead.Finish(), 100);
    EXPECT_EQ(std::memcmp(buffer.get(), content.data() + 3 * DirectIoAlignment, 100), 0);

    ASSERT_TRUE(readAhead.Start(file.Get(), 8 * DirectIoAlignment, DirectIoAlignment, buffer.get()));
    EXPECT_EQ(readAhead.Finish(), 0);
    EXPECT_FALSE(readAhead.Started());
    EXPECT_EQ(readAhead.Finish(), -1); // nothing started
}

TEST(ReadAhead, AFailedReadReportsItsErrorAndAPendingOneIsWaitedForOnDestruction)
{
    TFakeHome home;
    const std::string path = home.WriteFile("p/Inbox", std::string(2 * DirectIoAlignment, 'm'));
    const TMappedBuffer buffer = MapBuffer(2 * DirectIoAlignment);
    const TFileDescriptor writeOnly(open(path.c_str(), O_WRONLY | O_CLOEXEC));
    TReadAhead failing;
    if (failing.Start(writeOnly.Get(), 0, DirectIoAlignment, buffer.get())) {
        EXPECT_EQ(failing.Finish(), -1);
        EXPECT_EQ(errno, EBADF);
    } else {
        EXPECT_FALSE(failing.Started());
    }
    {
        const TFileDescriptor file = OpenDirect(path);
        TReadAhead pending;
        ASSERT_TRUE(pending.Start(file.Get(), 0, 2 * DirectIoAlignment, buffer.get()));
    }
    EXPECT_EQ(buffer.get()[2 * DirectIoAlignment - 1], 'm');
}
