// Writes and reads the piece map field, trusting a map only when it adds up to the entry it describes.

#include "engine/PieceMap.h"

namespace quillbank {

namespace {

constexpr std::uint8_t Version = 1;
constexpr std::size_t FixedPart = 5;

void AppendLittleEndian(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

std::uint32_t LittleEndianAt(const std::uint8_t* data)
{
    return static_cast<std::uint32_t>(data[0]) | static_cast<std::uint32_t>(data[1]) << 8 |
           static_cast<std::uint32_t>(data[2]) << 16 | static_cast<std::uint32_t>(data[3]) << 24;
}

} // namespace

std::vector<std::uint8_t> EncodePieceMap(const TPieceMap& map)
{
    std::vector<std::uint8_t> field;
    field.reserve(FixedPart + 4 * map.Count());
    field.push_back(Version);
    AppendLittleEndian(field, map.PieceSize);
    for (const std::uint32_t size : map.CompressedSizes)
        AppendLittleEndian(field, size);
    return field;
}

std::optional<TPieceMap> DecodePieceMap(const std::uint8_t* data, std::size_t length, std::uint64_t size,
                                        std::uint64_t compressedSize)
{
    if (data == nullptr || length < FixedPart + 2 * 4 || (length - FixedPart) % 4 != 0 || data[0] != Version)
        return std::nullopt;
    TPieceMap map;
    map.PieceSize = LittleEndianAt(data + 1);
    const std::size_t count = (length - FixedPart) / 4;
    // Every piece but the last is full, and the last holds at least a byte.
    if (map.PieceSize == 0 || count > MaxMappedPieces || size <= (count - 1) * std::uint64_t{map.PieceSize} ||
        size > count * std::uint64_t{map.PieceSize})
        return std::nullopt;
    std::uint64_t total = 0;
    map.CompressedSizes.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t piece = LittleEndianAt(data + FixedPart + 4 * i);
        if (piece == 0)
            return std::nullopt;
        total += piece;
        map.CompressedSizes.push_back(piece);
    }
    if (total != compressedSize)
        return std::nullopt;
    return map;
}

std::optional<TPieceMap> ReadPieceMap(zip_t* archive, zip_uint64_t index, std::uint64_t size,
                                      std::uint64_t compressedSize)
{
    zip_uint16_t length = 0;
    const zip_uint8_t* field =
        zip_file_extra_field_get_by_id(archive, index, PieceMapFieldId, 0, &length, ZIP_FL_CENTRAL);
    return DecodePieceMap(field, length, size, compressedSize);
}

} // namespace quillbank
