// Buffers handed to the writer thread land at their places in order, a direct write the device refuses
// goes the other way, and a failed write is told.

#include "engine/WriterThread.h"

#include "engine/EntryParts.h"
#include "platform/FileDescriptor.h"
#include "platform/NamelessFile.h"
#include "tests/support/FakeHome.h"
#include "tests/support/TestData.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::NoiseBytes;
using quillbank::testing::ReadFileForTest;
using quillbank::testing::TFakeHome;

namespace {

constexpr std::size_t Piece = 4 * DirectIoAlignment;

/// Hands `content` to `writer` in pieces, the last first.
void WritePieces(TWriterThread& writer, const std::string& content)
{
    for (std::size_t start = (content.size() - 1) / Piece * Piece;; start -= Piece) {
        const std::size_t size = std::min(Piece, content.size() - start);
        TWriterThread::TBuffer buffer = writer.Buffer(start);
        std::memcpy(buffer.get(), content.data() + start, size);
        writer.Write(std::move(buffer), start, size);
        if (start == 0)
            break;
    }
}

TWriterThread::TWriteAt WriteTo(int fd)
{
    return [fd](std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
        return pwrite(fd, data, size, static_cast<off_t>(offset)) == static_cast<ssize_t>(size);
    };
}

/// Writes nothing, but notes where each write went, in their order.
TWriterThread::TWriteAt RecordOffsets(std::vector<std::uint64_t>& offsets)
{
    return [&offsets](std::uint64_t offset, const std::uint8_t*, std::size_t) {
        offsets.push_back(offset);
        return true;
    };
}

} // namespace

TEST(WriterThread, PiecesOfFileAfterFileLandInPlaceAndLaterWritesWin)
{
    TFakeHome home;
    for (const std::size_t size : {Piece, 2 * Piece, 7 * Piece + 5, std::size_t{100}}) {
        SCOPED_TRACE(size);
        const std::string path = home.Path() + "/f" + std::to_string(size);
        const std::string content = NoiseBytes(size, static_cast<std::uint32_t>(size));
        TFileDescriptor file(open(path.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600));
        ASSERT_TRUE(file.IsOpen());
        TWriterThread writer(Piece, (size + Piece - 1) / Piece, WriteTo(file.Get()));
        WritePieces(writer, content);
        ASSERT_TRUE(writer.Finish());
        EXPECT_TRUE(ReadFileForTest(path) == content);
    }

    // Without a known number of pieces, writes go on until the finish, and
    // one over an earlier one (a header written again) lands after it.
    const std::string path = home.Path() + "/rewritten";
    TFileDescriptor file(open(path.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600));
    ASSERT_TRUE(file.IsOpen());
    TWriterThread writer(Piece, TWriterThread::UnknownPieces, WriteTo(file.Get()));
    for (const char* text : {"first", "second", "third", "XY"}) {
        TWriterThread::TBuffer buffer = writer.Buffer(0);
        std::memcpy(buffer.get(), text, std::strlen(text));
        writer.Write(std::move(buffer), text[0] == 'X' ? 2 : 0, std::strlen(text));
    }
    ASSERT_TRUE(writer.Finish());
    EXPECT_EQ(ReadFileForTest(path), "thXYdd");
}

TEST(WriterThread, PiecesFinishedOutOfOrderAreWrittenInTheFilesOrder)
{
    // Two workers take the pieces in turn and finish them in any order,
    // more pieces than there are buffers; the writes still go one after the
    // other, and none waits for a buffer forever.
    constexpr std::size_t Pieces = 40;
    std::vector<std::uint64_t> offsets;
    TWriterThread writer(Piece, Pieces, RecordOffsets(offsets));
    std::atomic<std::size_t> next{0};
    const auto work = [&](unsigned seed) {
        for (std::size_t piece; (piece = next++) < Pieces;) {
            TWriterThread::TBuffer buffer = writer.Buffer(piece * Piece);
            std::this_thread::sleep_for(std::chrono::microseconds((piece * seed) % 7 * 100));
            writer.Write(std::move(buffer), piece * Piece, Piece);
        }
    };
    std::thread other(work, 3);
    work(5);
    other.join();
    ASSERT_TRUE(writer.Finish());
    ASSERT_EQ(offsets.size(), Pieces);
    for (std::size_t piece = 0; piece < Pieces; ++piece)
        EXPECT_EQ(offsets[piece], piece * Piece);
}

TEST(WriterThread, APieceGivenBackLetsTheOthersBeWrittenAsTheyCome)
{
    // The first piece failed to decode: the ones after it do not wait for it.
    constexpr std::size_t Pieces = 20;
    std::vector<std::uint64_t> offsets;
    TWriterThread writer(Piece, Pieces, RecordOffsets(offsets));
    writer.GiveBack(writer.Buffer(0));
    for (std::size_t piece = 1; piece < Pieces; ++piece)
        writer.Write(writer.Buffer(piece * Piece), piece * Piece, Piece);
    ASSERT_TRUE(writer.Finish());
    EXPECT_EQ(offsets.size(), Pieces - 1);
}

TEST(WriterThread, AWriteStraightToDiskThatTheDeviceRefusesGoesThroughTheCache)
{
    // A descriptor that takes no direct write of this alignment refuses
    // it (EINVAL): the piece, at its own size, goes the other way.
    TFakeHome home;
    const std::string path = home.Path() + "/refused";
    TFileDescriptor file(open(path.c_str(), O_CREAT | O_RDWR | O_DIRECT | O_CLOEXEC, 0600));
    if (!file.IsOpen())
        GTEST_SKIP() << "no direct writes here";
    std::string received;
    TWriterThread writer(Piece, 1, [&](std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
        return WriteStraightToDisk(file.Get(), offset, data, size,
                                   [&](std::uint64_t at, const std::uint8_t* bytes, std::size_t count) {
                                       received = std::to_string(at) + ":" +
                                                  std::string(reinterpret_cast<const char*>(bytes), count);
                                       return true;
                                   });
    });
    TWriterThread::TBuffer buffer = writer.Buffer(1);
    std::memcpy(buffer.get(), "abc", 3);
    writer.Write(std::move(buffer), 1, 3);
    EXPECT_TRUE(writer.Finish());
    EXPECT_EQ(received, "1:abc");
}

TEST(WriterThread, AWriteThatFailsIsToldAndTheRestAreOnlyGivenBack)
{
    TFakeHome home;
    const std::string path = home.WriteFile("read-only", "x");
    TFileDescriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    TWriterThread writer(Piece, 3, WriteTo(file.Get()));
    for (std::size_t piece = 0; piece < 3; ++piece)
        writer.Write(writer.Buffer(piece * Piece), piece * Piece, Piece);
    EXPECT_FALSE(writer.Finish());
    EXPECT_TRUE(writer.Failed());
    EXPECT_EQ(ReadFileForTest(path), "x");
}
