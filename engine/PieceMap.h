// Where the compressed pieces of a large entry lie, kept in a private extra field so that readers can decode
// them at once.

#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>
#include <zip.h>

namespace quillbank {

/**
 * Where each compressed piece of a large entry lies. A backup compresses a
 * file in pieces that join into one deflate stream, every piece but the last
 * ending on a byte boundary; with their lengths recorded, a reader can decode
 * the pieces of one entry on every core at once.
 *
 * The map is kept in the central directory as a private extra field, which
 * other ZIP readers skip: the ID "QB" (0x4251), then a version byte (1), the
 * bytes of the file in every piece but the last, and each piece's
 * compressed length, all 32-bit little-endian.
 */
struct TPieceMap
{
    /// Bytes of the file in every piece but the last.
    std::uint32_t PieceSize = 0;
    /// The compressed length of each piece, in order (before encryption).
    std::vector<std::uint32_t> CompressedSizes;

    std::size_t Count() const { return CompressedSizes.size(); }
};

inline constexpr zip_uint16_t PieceMapFieldId = 0x4251;
/// The most pieces one map holds: an extra field holds less than 64 KiB.
inline constexpr std::size_t MaxMappedPieces = 16000;

std::vector<std::uint8_t> EncodePieceMap(const TPieceMap& map);
/// The map in `data`, when it is well formed and fits an entry of `size`
/// bytes whose deflate data is `compressedSize` bytes long (encryption's
/// header and code not counted); nothing otherwise.
std::optional<TPieceMap> DecodePieceMap(const std::uint8_t* data, std::size_t length, std::uint64_t size,
                                        std::uint64_t compressedSize);
/// The map of entry `index`, as DecodePieceMap takes it.
std::optional<TPieceMap> ReadPieceMap(zip_t* archive, zip_uint64_t index, std::uint64_t size,
                                      std::uint64_t compressedSize);

} // namespace quillbank
