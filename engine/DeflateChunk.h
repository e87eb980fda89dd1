// Compresses a file in pieces that join into one deflate stream, so the pieces can be compressed at once.

#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace quillbank {

/// Compressor level for a compression level of the settings (0 store .. 9
/// best). The whole-buffer compressor reaches at its level 5 a smaller output
/// than zlib at level 9 on mail and databases, at three to six times its
/// speed; its higher levels cost far more time for a few tenths of a percent.
int DeflateEngineLevel(int settingsLevel);

/**
 * Compresses a file piece by piece into one raw deflate stream, so that the
 * pieces can be compressed at the same time and joined in order: every piece
 * but the last ends byte-aligned with non-final blocks, the last one ends the
 * stream. A piece that does not get smaller is written as stored blocks.
 *
 * One compressor per thread; it keeps its working memory between pieces.
 */
class TDeflateChunkCompressor
{
public:
    explicit TDeflateChunkCompressor(int settingsLevel);
    ~TDeflateChunkCompressor();
    TDeflateChunkCompressor(const TDeflateChunkCompressor&) = delete;
    TDeflateChunkCompressor& operator=(const TDeflateChunkCompressor&) = delete;

    /// Replaces `out` with the deflate blocks for `data`.
    void Compress(const unsigned char* data, std::size_t size, bool last, std::vector<unsigned char>& out);

private:
    struct TState;
    std::unique_ptr<TState> state_;
};

/// Appends `data` as stored blocks (each up to 65,535 bytes); the last one is
/// marked final when `last` is set.
void AppendStoredBlocks(const unsigned char* data, std::size_t size, bool last,
                        std::vector<unsigned char>& out);

} // namespace quillbank
