// Pieces handed to the direct writer land at their places, a refused one goes the other way, and a
// failed write is told.

#include "engine/DirectWriter.h"

#include "platform/FileDescriptor.h"
#include "platform/NamelessFile.h"
#include "tests/support/FakeHome.h"
#include "tests/support/TestData.h"

#include <cstring>
#include <fcntl.h>
#include <string>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::NoiseBytes;
using quillbank::testing::ReadFileForTest;
using quillbank::testing::TFakeHome;

namespace {

constexpr std::size_t Piece = 4 * DirectWriteAlignment;

/// Hands `content` to `writer` in pieces, the last first, padded to whole blocks.
void WritePieces(TDirectWriter& writer, const std::string& content)
{
    for (std::size_t start = (content.size() - 1) / Piece * Piece;; start -= Piece) {
        const std::size_t size = std::min(Piece, content.size() - start);
        TDirectWriter::TBuffer buffer = writer.Buffer();
        std::memset(buffer.get(), 0, Piece);
        std::memcpy(buffer.get(), content.data() + start, size);
        writer.Write(std::move(buffer), start,
                     (size + DirectWriteAlignment - 1) / DirectWriteAlignment * DirectWriteAlignment, size);
        if (start == 0)
            break;
    }
}

} // namespace

TEST(DirectWriter, PiecesOfFileAfterFileLandInPlaceAndARefusedOneGoesTheOtherWay)
{
    TFakeHome home;
    for (const std::size_t size : {Piece, 2 * Piece, 7 * Piece + 5, std::size_t{100}}) {
        SCOPED_TRACE(size);
        const std::string path = home.Path() + "/f" + std::to_string(size);
        const std::string content = NoiseBytes(size, static_cast<std::uint32_t>(size));
        TFileDescriptor file(open(path.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600));
        ASSERT_TRUE(file.IsOpen());
        TDirectWriter writer(file.Get(), Piece, (size + Piece - 1) / Piece,
                             [](std::uint64_t, const std::uint8_t*, std::size_t) { return false; });
        WritePieces(writer, content);
        ASSERT_TRUE(writer.Finish());
        ASSERT_EQ(ftruncate(file.Get(), static_cast<off_t>(size)), 0);
        EXPECT_TRUE(ReadFileForTest(path) == content);
    }

    // A descriptor that takes no direct write of this alignment refuses
    // it (EINVAL): the piece, at its own size, goes to the other way.
    const std::string path = home.Path() + "/refused";
    TFileDescriptor file(open(path.c_str(), O_CREAT | O_RDWR | O_DIRECT | O_CLOEXEC, 0600));
    if (!file.IsOpen())
        GTEST_SKIP() << "no direct writes here";
    std::string received;
    TDirectWriter writer(
        file.Get(), Piece, 1, [&](std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
            received = std::to_string(offset) + ":" + std::string(reinterpret_cast<const char*>(data), size);
            return true;
        });
    TDirectWriter::TBuffer buffer = writer.Buffer();
    std::memcpy(buffer.get(), "abc", 3);
    writer.Write(std::move(buffer), 1, 3, 3);
    EXPECT_TRUE(writer.Finish());
    EXPECT_EQ(received, "1:abc");
}

TEST(DirectWriter, AWriteThatFailsIsToldAndTheRestAreOnlyGivenBack)
{
    TFakeHome home;
    const std::string path = home.WriteFile("read-only", "x");
    TFileDescriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    TDirectWriter writer(file.Get(), Piece, 3,
                         [](std::uint64_t, const std::uint8_t*, std::size_t) { return true; });
    for (int piece = 0; piece < 3; ++piece)
        writer.Write(writer.Buffer(), static_cast<std::uint64_t>(piece) * Piece, Piece, Piece);
    EXPECT_FALSE(writer.Finish());
    EXPECT_EQ(ReadFileForTest(path), "x");
}
