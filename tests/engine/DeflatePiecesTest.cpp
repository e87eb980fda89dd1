// Files compressed in pieces on several threads must still form one deflate
// stream that any decoder reads back whole, whatever the pieces hold.

#include "engine/DeflateChunk.h"
#include "engine/ParallelDeflate.h"
#include "tests/support/FakeHome.h"
#include "tests/support/TestData.h"

#include <array>
#include <deque>
#include <filesystem>
#include <zlib.h>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::NoiseBytes;
using quillbank::testing::TFakeHome;
using quillbank::testing::WordText;

namespace {

/// Decodes a raw deflate stream; fails the test when it is not one complete stream.
std::string Inflate(const std::vector<unsigned char>& stream, std::size_t expectedSize)
{
    z_stream z{};
    EXPECT_EQ(inflateInit2(&z, -MAX_WBITS), Z_OK);
    std::string out(expectedSize + 1, '\0');
    z.next_in = const_cast<Bytef*>(stream.data());
    z.avail_in = static_cast<uInt>(stream.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int status = inflate(&z, Z_FINISH);
    EXPECT_EQ(status, Z_STREAM_END);
    EXPECT_EQ(z.avail_in, 0u) << "bytes after the end of the stream";
    out.resize(z.total_out);
    inflateEnd(&z);
    return out;
}

/// Compresses `data` in pieces of `pieceSize` the way the workers do and joins them.
std::vector<unsigned char> CompressInPieces(const std::string& data, std::size_t pieceSize, int level)
{
    TDeflateChunkCompressor compressor(level);
    std::vector<unsigned char> joined;
    std::vector<unsigned char> piece;
    std::size_t offset = 0;
    do {
        const std::size_t size = std::min(pieceSize, data.size() - offset);
        const bool last = offset + size == data.size();
        compressor.Compress(reinterpret_cast<const unsigned char*>(data.data()) + offset, size, last, piece);
        joined.insert(joined.end(), piece.begin(), piece.end());
        offset += size;
    } while (offset < data.size());
    return joined;
}

} // namespace

TEST(DeflatePieces, JoinIntoOneStreamForTextNoiseAndTheirMixtureAtEveryLevel)
{
    const std::string mixed =
        WordText(300'000, 1) + NoiseBytes(200'000, 2) + WordText(250'000, 3) + std::string(90'000, 'x');
    for (int level : {1, 5, 9}) {
        for (std::size_t pieceSize : {std::size_t{70'000}, std::size_t{262'144}, mixed.size()}) {
            SCOPED_TRACE("level " + std::to_string(level) + ", pieces of " + std::to_string(pieceSize));
            const auto stream = CompressInPieces(mixed, pieceSize, level);
            EXPECT_TRUE(Inflate(stream, mixed.size()) == mixed);
        }
    }
}

TEST(DeflatePieces, TextShrinksAndNoiseCostsOnlyTheStoredBlockHeaders)
{
    const std::string text = WordText(500'000, 4);
    EXPECT_LT(CompressInPieces(text, 100'000, 9).size(), text.size() / 3);
    const std::string noise = NoiseBytes(500'000, 5);
    const auto stored = CompressInPieces(noise, 100'000, 9);
    EXPECT_LE(stored.size(), noise.size() + 5 * 20);
    EXPECT_TRUE(Inflate(stored, noise.size()) == noise);
}

TEST(DeflatePieces, EmptyAndTinyInputsStillEndTheStream)
{
    EXPECT_EQ(Inflate(CompressInPieces("", 1'000, 9), 0), "");
    EXPECT_EQ(Inflate(CompressInPieces("a", 1'000, 9), 1), "a");
    // Pieces that came back empty (a file that shrank) add nothing.
    TDeflateChunkCompressor compressor(6);
    std::vector<unsigned char> joined;
    std::vector<unsigned char> piece;
    const std::string text = WordText(50'000, 6);
    compressor.Compress(reinterpret_cast<const unsigned char*>(text.data()), text.size(), false, piece);
    joined.insert(joined.end(), piece.begin(), piece.end());
    compressor.Compress(nullptr, 0, false, piece);
    EXPECT_TRUE(piece.empty());
    compressor.Compress(nullptr, 0, true, piece);
    joined.insert(joined.end(), piece.begin(), piece.end());
    EXPECT_TRUE(Inflate(joined, text.size()) == text);
}

TEST(DeflatePieces, EverySettingsLevelMapsOntoItsCompressorLevel)
{
    // Store, then the fast levels one to one; the middle settings share
    // level 4 and the best ones level 5, beyond which the compressor buys
    // tenths of a percent with several times the time.
    const std::array<int, 10> expected = {0, 1, 2, 3, 4, 4, 4, 5, 5, 5};
    for (int level = 0; level < 10; ++level)
        EXPECT_EQ(DeflateEngineLevel(level), expected[static_cast<std::size_t>(level)]) << "level " << level;
    EXPECT_EQ(DeflateEngineLevel(42), 5);
    EXPECT_EQ(DeflateEngineLevel(-3), 0);
}

class ParallelDeflateTest : public ::testing::Test
{
protected:
    TFakeHome home;
    const std::string folder = home.Path() + "/";
    /// Names of the files written, kept for the jobs that refer to them.
    std::deque<std::string> names;

    /// A job for a new file `name` holding `content`, listed with `listedSize`.
    TDeflateJob Write(const std::string& name, const std::string& content, std::uint64_t listedSize)
    {
        home.WriteFile(name, content);
        names.push_back(name);
        return {folder, names.back(), listedSize};
    }

    /// Takes every piece of every job in order and decodes each file.
    std::vector<std::string> TakeAll(TParallelDeflate& pipeline, const std::vector<TDeflateJob>& jobs,
                                     std::vector<std::string>& failures)
    {
        std::vector<std::string> files;
        for (std::size_t job = 0; job < jobs.size(); ++job) {
            std::vector<unsigned char> stream;
            std::uint32_t crc = 0;
            std::uint64_t size = 0;
            for (;;) {
                TDeflatePiece piece = pipeline.Take(job, [] {});
                failures.push_back(piece.Failure);
                stream.insert(stream.end(), piece.Data.begin(), piece.Data.end());
                crc = static_cast<std::uint32_t>(
                    crc32_combine(crc, piece.Crc, static_cast<z_off_t>(piece.InputSize)));
                size += piece.InputSize;
                if (piece.Last || !piece.Failure.empty())
                    break;
            }
            std::string content = failures.back().empty() ? Inflate(stream, size) : std::string();
            EXPECT_EQ(
                crc32(0, reinterpret_cast<const Bytef*>(content.data()), static_cast<uInt>(content.size())),
                failures.back().empty() ? crc : 0u);
            files.push_back(std::move(content));
        }
        return files;
    }
};

TEST_F(ParallelDeflateTest, ManyFilesOfEverySizeComeBackInOrderWithTheirChecksums)
{
    std::vector<std::string> contents;
    std::vector<TDeflateJob> jobs;
    for (int i = 0; i < 60; ++i) {
        const std::size_t size =
            i % 10 == 0 ? TParallelDeflate::PieceSize * 2 + 17 : static_cast<std::size_t>(i * 997);
        contents.push_back(i % 3 == 0 ? NoiseBytes(size, i) : WordText(size, i));
        std::string name = "f";
        name += std::to_string(i);
        jobs.push_back(Write(name, contents.back(), size));
    }
    for (unsigned threads : {1u, 2u, 4u}) {
        SCOPED_TRACE(std::to_string(threads) + " threads");
        TParallelDeflate pipeline(jobs, 9, {}, threads);
        std::vector<std::string> failures;
        const auto files = TakeAll(pipeline, jobs, failures);
        for (std::size_t i = 0; i < files.size(); ++i)
            EXPECT_TRUE(files[i] == contents[i]) << "file " << i;
    }
}

// Small files are claimed in batches, and far more of them than the workers
// may run ahead: the workers must wait for room and be woken when it opens.
TEST_F(ParallelDeflateTest, ThousandsOfTinyAndEmptyFilesComeBackInOrder)
{
    std::vector<std::string> contents;
    std::vector<TDeflateJob> jobs;
    for (int i = 0; i < 1500; ++i) {
        contents.push_back(WordText(static_cast<std::size_t>(i % 7 == 0 ? 0 : i % 90), i));
        jobs.push_back(Write("t" + std::to_string(i), contents.back(), contents.back().size()));
    }
    for (unsigned threads : {1u, 2u, 4u}) {
        SCOPED_TRACE(std::to_string(threads) + " threads");
        TParallelDeflate pipeline(jobs, 6, {}, threads);
        std::vector<std::string> failures;
        const auto files = TakeAll(pipeline, jobs, failures);
        EXPECT_TRUE(files == contents);
    }
}

TEST_F(ParallelDeflateTest, AFileIsTakenAsItWasListedAndAMissingOneFails)
{
    const std::vector<TDeflateJob> jobs = {
        Write("grown", WordText(400'000, 7), 100'000), // listed smaller than it is now
        // Large enough to be read in whole disk blocks, past what was listed.
        Write("grown large", WordText(700'000, 9), 300'001),
        Write("shrunk", WordText(TParallelDeflate::PieceSize + 10, 8), TParallelDeflate::PieceSize * 3),
        {folder, "vanished", 10},
        Write("level0", "stored as it is", 15),
    };
    TParallelDeflate pipeline(jobs, 9, {}, 2);
    std::vector<std::string> failures;
    const auto files = TakeAll(pipeline, jobs, failures);
    EXPECT_TRUE(files[0] == WordText(400'000, 7).substr(0, 100'000));
    EXPECT_TRUE(files[1] == WordText(700'000, 9).substr(0, 300'001));
    EXPECT_TRUE(files[2] == WordText(TParallelDeflate::PieceSize + 10, 8));
    EXPECT_TRUE(files[3].empty());
    EXPECT_NE(std::find_if(failures.begin(), failures.end(), [](const auto& f) { return !f.empty(); }),
              failures.end());
    EXPECT_EQ(files[4], "stored as it is");
}

TEST_F(ParallelDeflateTest, LevelZeroHandsOutTheBytesAsTheyAreAndOrderIsEnforced)
{
    const std::vector<TDeflateJob> jobs = {Write("a", "first", 5), Write("b", "second", 6)};
    TParallelDeflate pipeline(jobs, 0, {}, 2);
    EXPECT_THROW(pipeline.Take(1, [] {}), std::logic_error);
    const TDeflatePiece first = pipeline.Take(0, [] {});
    EXPECT_EQ(std::string(first.Data.begin(), first.Data.end()), "first");
    EXPECT_TRUE(first.Last);
    // Leaving pieces untaken still stops the workers.
}

// Files of exactly one, two and five pieces, and a byte either side of each
// (databases grow in whole pages, so such sizes are common): each comes back
// in as many pieces as planned, in order, full but the last, with the last
// one marked as such and nothing after it.
TEST_F(ParallelDeflateTest, FilesAroundPieceBoundariesComeBackInTheirPlannedPieces)
{
    constexpr std::uint64_t P = TParallelDeflate::PieceSize;
    const std::vector<std::pair<std::uint64_t, std::size_t>> sizesAndPieces = {
        {0, 1},     {1, 1},         {P - 1, 1},     {P, 1},     {P + 1, 2},     {2 * P - 1, 2},
        {2 * P, 2}, {2 * P + 1, 3}, {5 * P - 1, 5}, {5 * P, 5}, {5 * P + 1, 6}, {3, 1},
    };
    std::vector<std::string> contents;
    std::vector<TDeflateJob> jobs;
    for (const auto& [size, pieces] : sizesAndPieces) {
        const auto seed = static_cast<std::uint32_t>(contents.size());
        contents.push_back(seed % 2 == 0 ? WordText(size, seed) : NoiseBytes(size, seed));
        jobs.push_back(Write("f" + std::to_string(seed), contents.back(), size));
    }
    for (const int level : {0, 9}) {
        TParallelDeflate pipeline(jobs, level, {}, 2);
        for (std::size_t job = 0; job < jobs.size(); ++job) {
            const std::string& content = contents[job];
            const std::size_t planned = sizesAndPieces[job].second;
            SCOPED_TRACE("level " + std::to_string(level) + ", file of " + std::to_string(content.size()));
            EXPECT_EQ(TParallelDeflate::PieceCount(content.size()), planned);
            std::vector<unsigned char> stream;
            for (std::size_t i = 0; i < planned; ++i) {
                const TDeflatePiece piece = pipeline.Take(job, [] {});
                const std::string expected = content.substr(i * P, P);
                EXPECT_TRUE(piece.Failure.empty()) << piece.Failure;
                EXPECT_EQ(piece.Last, i + 1 == planned) << "piece " << i;
                EXPECT_EQ(piece.InputSize, expected.size()) << "piece " << i;
                EXPECT_EQ(piece.Crc, crc32(0, reinterpret_cast<const Bytef*>(expected.data()),
                                           static_cast<uInt>(expected.size())))
                    << "piece " << i;
                if (level == 0) {
                    EXPECT_TRUE(std::string(piece.Data.begin(), piece.Data.end()) == expected)
                        << "piece " << i;
                }
                stream.insert(stream.end(), piece.Data.begin(), piece.Data.end());
            }
            if (level != 0) {
                EXPECT_TRUE(Inflate(stream, content.size()) == content);
            }
        }
        EXPECT_THROW(pipeline.Take(jobs.size() - 1, [] {}), std::logic_error) << "a piece after the last";
    }
}
