// Decodes and encodes "mozLz40" framed files, checking their magic and the size they announce.

#include "profile/MozLz4.h"

#include <array>
#include <cstdint>
#include <lz4.h>

namespace quillbank {

namespace {

constexpr std::string_view Magic{"mozLz40\0", 8};
constexpr std::size_t SizeFieldLength = 4;
constexpr std::size_t HeaderLength = Magic.size() + SizeFieldLength;

} // namespace

std::string DecodeMozLz4(std::string_view file)
{
    if (file.size() < HeaderLength || file.substr(0, Magic.size()) != Magic)
        throw EMozLz4Error("not an LZ4 file of the applications (no \"mozLz40\" header)");
    std::uint32_t size = 0;
    for (std::size_t i = 0; i < SizeFieldLength; ++i)
        size |= static_cast<std::uint32_t>(static_cast<unsigned char>(file[Magic.size() + i])) << (8 * i);
    if (size > MozLz4MaxSize)
        throw EMozLz4Error("announced size " + std::to_string(size) + " exceeds the limit of " +
                           std::to_string(MozLz4MaxSize) + " bytes");
    const std::string_view block = file.substr(HeaderLength);
    if (block.size() > static_cast<std::size_t>(LZ4_MAX_INPUT_SIZE))
        throw EMozLz4Error("compressed block too large");
    std::string content(size, '\0');
    const int produced = LZ4_decompress_safe(block.data(), content.data(), static_cast<int>(block.size()),
                                             static_cast<int>(size));
    if (produced < 0 || static_cast<std::uint32_t>(produced) != size)
        throw EMozLz4Error("damaged LZ4 block, or one that does not hold the announced " +
                           std::to_string(size) + " bytes");
    return content;
}

std::string EncodeMozLz4(std::string_view content)
{
    if (content.size() > MozLz4MaxSize)
        throw EMozLz4Error("content of " + std::to_string(content.size()) + " bytes exceeds the limit of " +
                           std::to_string(MozLz4MaxSize) + " bytes");
    const int bound = LZ4_compressBound(static_cast<int>(content.size()));
    std::string file(Magic);
    for (std::size_t i = 0; i < SizeFieldLength; ++i)
        file += static_cast<char>((content.size() >> (8 * i)) & 0xFF);
    file.resize(HeaderLength + static_cast<std::size_t>(bound));
    const int written = LZ4_compress_default(content.data(), file.data() + HeaderLength,
                                             static_cast<int>(content.size()), bound);
    if (written <= 0 && !content.empty())
        throw EMozLz4Error("LZ4 compression failed");
    file.resize(HeaderLength + static_cast<std::size_t>(written > 0 ? written : 0));
    return file;
}

} // namespace quillbank
