// The block walker must find the same final block, end and size as zlib does
// when it decodes, on every kind of block, and reject what zlib rejects.

#include "engine/DeflateBlocks.h"

#include "engine/DeflateChunk.h"
#include "tests/support/TestData.h"
#include "tests/support/ZlibBlocks.h"

#include <string>
#include <vector>
#include <zlib.h>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::NoiseBytes;
using quillbank::testing::WordText;
using quillbank::testing::ZlibDeflateBlocks;

namespace {

using TBytes = std::vector<unsigned char>;

/// A whole stream from the backup's compressor at a level of the settings.
TBytes BackupStream(const std::string& data, int level)
{
    TDeflateChunkCompressor compressor(level);
    TBytes out;
    compressor.Compress(reinterpret_cast<const unsigned char*>(data.data()), data.size(), true, out);
    return out;
}

/// A zlib stream: `strategy` picks fixed codes, codes without matches or
/// stored blocks (level 0); full flushes add empty stored blocks between.
TBytes ZlibStream(const std::string& data, int level, int strategy, std::size_t flushEvery)
{
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, strategy), Z_OK);
    TBytes out(deflateBound(&z, data.size()) + 6 * (data.size() / flushEvery + 1));
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    std::size_t offset = 0;
    int status = Z_OK;
    while (status == Z_OK) {
        const std::size_t size = std::min(flushEvery, data.size() - offset);
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data() + offset));
        z.avail_in = static_cast<uInt>(size);
        offset += size;
        status = deflate(&z, offset == data.size() ? Z_FINISH : Z_FULL_FLUSH);
    }
    EXPECT_EQ(status, Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

void ExpectSameAsZlib(const TBytes& stream)
{
    const auto walked = WalkDeflateBlocks(stream.data(), stream.size());
    const auto decoded = ZlibDeflateBlocks(stream.data(), stream.size());
    ASSERT_EQ(walked.has_value(), decoded.has_value());
    if (!walked)
        return;
    EXPECT_EQ(walked->FinalStartBit, decoded->FinalStartBit);
    EXPECT_EQ(walked->EndBit, decoded->EndBit);
    EXPECT_EQ(walked->DecodedSize, decoded->DecodedSize);
}

const std::string Mixed =
    WordText(400'000, 11) + NoiseBytes(100'000, 12) + std::string(70'000, 'q') + WordText(200'000, 13);

} // namespace

TEST(DeflateBlocks, FindTheFinalBlockAtEveryLevel)
{
    for (int level = 1; level <= 9; ++level) {
        SCOPED_TRACE("level " + std::to_string(level));
        const TBytes stream = BackupStream(Mixed, level);
        ExpectSameAsZlib(stream);
        const auto walked = WalkDeflateBlocks(stream.data(), stream.size());
        ASSERT_TRUE(walked);
        EXPECT_EQ(walked->DecodedSize, Mixed.size());
        EXPECT_GT(walked->FinalStartBit, 0u) << "the mixture spans several blocks";
    }
}

TEST(DeflateBlocks, FollowFixedStoredLiteralOnlyAndEmptyBlocks)
{
    const std::string text = WordText(150'000, 14);
    ExpectSameAsZlib(ZlibStream(text, 6, Z_FIXED, 40'000));
    ExpectSameAsZlib(ZlibStream(text, 6, Z_HUFFMAN_ONLY, 70'000));
    ExpectSameAsZlib(ZlibStream(text, 0, Z_DEFAULT_STRATEGY, 30'000));
    ExpectSameAsZlib(ZlibStream(Mixed, 9, Z_DEFAULT_STRATEGY, 100'000));
    ExpectSameAsZlib(ZlibStream(std::string(), 6, Z_DEFAULT_STRATEGY, 1));
    ExpectSameAsZlib(BackupStream(std::string(), 6));
    // One byte repeated: a block with a single distance code.
    ExpectSameAsZlib(ZlibStream(std::string(100'000, 'z'), 9, Z_DEFAULT_STRATEGY, 100'000));
}

TEST(DeflateBlocks, RejectEveryTruncationAndAgreeWithZlibOnEveryFlippedBit)
{
    const TBytes fixed = ZlibStream(WordText(3'000, 15), 6, Z_FIXED, 1'000);
    const TBytes dynamic = BackupStream(WordText(6'000, 16) + std::string(500, 'a'), 6);
    for (const TBytes* stream : {&fixed, &dynamic}) {
        for (std::size_t size = 0; size < stream->size(); ++size)
            EXPECT_FALSE(WalkDeflateBlocks(stream->data(), size)) << "cut to " << size << " bytes";
        // Flipped bits make bad code sets, bad symbols, distances too far
        // back and streams that end early or decode to other sizes.
        for (std::size_t bit = 0; bit < stream->size() * 8; bit += 3) {
            TBytes damaged = *stream;
            damaged[bit / 8] ^= static_cast<unsigned char>(1u << (bit % 8));
            SCOPED_TRACE("bit " + std::to_string(bit));
            ExpectSameAsZlib(damaged);
        }
    }
}

TEST(DeflateBlocks, RejectCraftedHostileBlocks)
{
    // Reserved block type 3, final.
    const TBytes reserved = {0x07};
    // A stored block whose length check does not match.
    const TBytes badStored = {0x01, 0x05, 0x00, 0xFA, 0xEF, 'h', 'e', 'l', 'l', 'o'};
    // A stored block that claims more bytes than follow.
    const TBytes shortStored = {0x01, 0x05, 0x00, 0xFA, 0xFF, 'h', 'e'};
    // Fixed codes: a match of length 3 at distance 1 before any output.
    const TBytes tooFarBack = {0x03, 0x02, 0x00};
    for (const TBytes* stream : {&reserved, &badStored, &shortStored, &tooFarBack}) {
        EXPECT_FALSE(WalkDeflateBlocks(stream->data(), stream->size()));
        EXPECT_FALSE(ZlibDeflateBlocks(stream->data(), stream->size()));
    }
    // Nothing at all is no stream either.
    EXPECT_FALSE(WalkDeflateBlocks(nullptr, 0));
}
