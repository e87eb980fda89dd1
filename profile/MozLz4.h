// The applications' LZ4 framing of compressed JSON files ("mozLz40"): reading and writing it.

#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quillbank {

/**
 * The LZ4 framing the applications use for their compressed JSON files
 * ("addonStartup.json.lz4", "*.jsonlz4", "*.mozlz4"): the magic "mozLz40"
 * and a zero byte, the decompressed size as 4 bytes little-endian, then one
 * LZ4 block.
 */

/// A file that is not in this framing, or whose block does not decompress to
/// the size it announces.
class EMozLz4Error : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

/// The largest decompressed size accepted: far above any real file, and a
/// bound on what a damaged or hostile size field can make us allocate.
inline constexpr std::size_t MozLz4MaxSize = 64u << 20;

/// The content of a framed file. Throws EMozLz4Error.
std::string DecodeMozLz4(std::string_view file);
/// A framed file holding `content`. Throws EMozLz4Error when it is larger
/// than MozLz4MaxSize.
std::string EncodeMozLz4(std::string_view content);

} // namespace quillbank
