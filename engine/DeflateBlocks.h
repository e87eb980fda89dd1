// Walks the blocks of a raw deflate stream without producing its output, to find where the final block
// starts.

#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace quillbank {

/// Where the final block of a complete raw deflate stream starts and where
/// the stream ends, in bits from its first byte, and how many bytes the
/// stream decodes to.
struct TDeflateBlocks
{
    std::uint64_t FinalStartBit = 0;
    std::uint64_t EndBit = 0;
    std::uint64_t DecodedSize = 0;
};

/**
 * Decodes every code of the stream (literals, lengths, distances) to follow
 * it from block to block, without writing what it stands for, so it costs
 * less than decoding the stream. Nothing is returned for a stream that is
 * not valid deflate: a bad block type or code set, a distance before the
 * start of the output, a stored block whose length check fails, or a stream
 * that ends before its final block does.
 */
std::optional<TDeflateBlocks> WalkDeflateBlocks(const unsigned char* data, std::size_t size);

} // namespace quillbank
