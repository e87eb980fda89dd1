// Finds the blocks of a raw deflate stream with zlib, to check the block walker against.

#include "tests/support/ZlibBlocks.h"

#include <array>
#include <zlib.h>

namespace quillbank::testing {

std::optional<TDeflateBlocks> ZlibDeflateBlocks(const unsigned char* data, std::size_t size)
{
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
        return std::nullopt;
    std::array<unsigned char, 64 * 1024> scratch{};
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = static_cast<uInt>(size);
    TDeflateBlocks blocks;
    int status = Z_OK;
    while (status == Z_OK) {
        z.next_out = scratch.data();
        z.avail_out = static_cast<uInt>(scratch.size());
        status = inflate(&z, Z_BLOCK);
        // At the end of a block (bit 7 of data_type), the next one starts
        // after the unused bits of the last byte read (its lowest three);
        // after the final block (bit 6), the stream ends there.
        if (status == Z_OK && (z.data_type & 128) != 0) {
            const std::uint64_t boundary = static_cast<std::uint64_t>(z.total_in) * 8 - (z.data_type & 7);
            ((z.data_type & 64) != 0 ? blocks.EndBit : blocks.FinalStartBit) = boundary;
        }
    }
    blocks.DecodedSize = z.total_out;
    inflateEnd(&z);
    if (status != Z_STREAM_END)
        return std::nullopt;
    return blocks;
}

} // namespace quillbank::testing
