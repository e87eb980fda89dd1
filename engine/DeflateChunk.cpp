// Deflates a piece with libdeflate (stored when it would not shrink); all but the last leave the stream open.

#include "engine/DeflateChunk.h"

#include "engine/DeflateBlocks.h"

#include <algorithm>
#include <array>
#include <libdeflate.h>
#include <optional>
#include <stdexcept>

namespace quillbank {

namespace {

constexpr std::size_t MaxStoredBlock = 65535;

/// Turns a complete stream into one that continues: the final block loses
/// its final mark, and an empty stored block after it brings the stream to a
/// byte boundary.
void MakeContinuable(std::vector<unsigned char>& stream, std::size_t inputSize)
{
    // Fails only on a stream the compressor should never have produced.
    const std::optional<TDeflateBlocks> final = WalkDeflateBlocks(stream.data(), stream.size());
    if (!final || final->DecodedSize != inputSize || final->EndBit <= final->FinalStartBit)
        throw std::runtime_error("deflate: a compressed piece does not decode");
    stream[final->FinalStartBit / 8] &= static_cast<unsigned char>(~(1u << (final->FinalStartBit % 8)));
    // The empty stored block: three zero bits (not final, type 0), zero bits
    // to the byte boundary, then LEN 0 and NLEN 0xFFFF.
    const std::uint64_t end = final->EndBit;
    stream.resize(static_cast<std::size_t>((end + 3 + 7) / 8));
    if (end % 8 != 0)
        stream[end / 8] &= static_cast<unsigned char>((1u << (end % 8)) - 1);
    std::fill(stream.begin() + static_cast<std::ptrdiff_t>((end + 7) / 8), stream.end(), 0);
    stream.insert(stream.end(), {0x00, 0x00, 0xFF, 0xFF});
}

/// Whether a piece looks like data compressed already (images, add-on
/// packages, cache entries): samples from its start, middle and end do not
/// get smaller at the fastest level. Trying the whole piece at a high level
/// would cost the most time for nothing.
bool LooksIncompressible(libdeflate_compressor* fastest, const unsigned char* data, std::size_t size,
                         std::vector<unsigned char>& scratch)
{
    constexpr std::size_t Sample = 4096;
    if (size < 16 * Sample)
        return false;
    scratch.resize(libdeflate_deflate_compress_bound(fastest, Sample));
    for (const std::size_t offset : {std::size_t{0}, size / 2, size - Sample}) {
        const std::size_t written =
            libdeflate_deflate_compress(fastest, data + offset, Sample, scratch.data(), scratch.size());
        if (written != 0 && written < Sample - Sample / 32)
            return false;
    }
    return true;
}

} // namespace

int DeflateEngineLevel(int settingsLevel)
{
    static constexpr std::array<int, 10> Levels = {0, 1, 2, 3, 4, 4, 4, 5, 5, 5};
    return Levels[static_cast<std::size_t>(std::clamp(settingsLevel, 0, 9))];
}

void AppendStoredBlocks(const unsigned char* data, std::size_t size, bool last,
                        std::vector<unsigned char>& out)
{
    out.reserve(out.size() + size + 5 * (size / MaxStoredBlock + 1));
    std::size_t done = 0;
    do {
        const std::size_t length = std::min(MaxStoredBlock, size - done);
        const bool final = last && done + length == size;
        const auto len = static_cast<std::uint16_t>(length);
        const auto nlen = static_cast<std::uint16_t>(~len);
        out.insert(out.end(),
                   {static_cast<unsigned char>(final ? 1 : 0), static_cast<unsigned char>(len & 0xFF),
                    static_cast<unsigned char>(len >> 8), static_cast<unsigned char>(nlen & 0xFF),
                    static_cast<unsigned char>(nlen >> 8)});
        out.insert(out.end(), data + done, data + done + length);
        done += length;
    } while (done < size);
}

struct TDeflateChunkCompressor::TState
{
    libdeflate_compressor* compressor = nullptr;
    libdeflate_compressor* fastest = nullptr;
    std::vector<unsigned char> scratch;
    ~TState()
    {
        if (compressor != nullptr)
            libdeflate_free_compressor(compressor);
        if (fastest != nullptr)
            libdeflate_free_compressor(fastest);
    }
};

TDeflateChunkCompressor::TDeflateChunkCompressor(int settingsLevel) : state_(std::make_unique<TState>())
{
    state_->compressor = libdeflate_alloc_compressor(std::max(1, DeflateEngineLevel(settingsLevel)));
    state_->fastest = libdeflate_alloc_compressor(1);
    if (state_->compressor == nullptr || state_->fastest == nullptr)
        throw std::bad_alloc();
}

TDeflateChunkCompressor::~TDeflateChunkCompressor() = default;

void TDeflateChunkCompressor::Compress(const unsigned char* data, std::size_t size, bool last,
                                       std::vector<unsigned char>& out)
{
    out.clear();
    if (size == 0) {
        // An empty piece adds nothing; an empty last piece still ends the stream.
        if (last)
            AppendStoredBlocks(data, 0, true, out);
        return;
    }
    if (LooksIncompressible(state_->fastest, data, size, state_->scratch)) {
        AppendStoredBlocks(data, size, last, out);
        return;
    }
    // Compressed into working memory kept by the compressor, so that the
    // piece holds only what it needs while it waits for its turn.
    std::vector<unsigned char>& scratch = state_->scratch;
    scratch.resize(libdeflate_deflate_compress_bound(state_->compressor, size));
    const std::size_t written =
        libdeflate_deflate_compress(state_->compressor, data, size, scratch.data(), scratch.size());
    // Stored blocks cost five bytes per 64 KiB: whatever does not get smaller
    // than that is kept as it is and costs no decoding time on restore.
    if (written == 0 || written + 5 * (size / MaxStoredBlock + 1) >= size) {
        AppendStoredBlocks(data, size, last, out);
        return;
    }
    out.reserve(written + 8);
    out.assign(scratch.begin(), scratch.begin() + static_cast<std::ptrdiff_t>(written));
    if (!last)
        MakeContinuable(out, size);
}

} // namespace quillbank
