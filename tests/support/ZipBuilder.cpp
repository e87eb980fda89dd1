// Writes ZIP headers, directories and Zip64 records by hand, and flips or marks fields of AES entries.

#include "tests/support/ZipBuilder.h"

#include <algorithm>
#include <stdexcept>
#include <zip.h>
#include <zlib.h>

namespace quillbank::testing {

namespace {

void Put(std::string& out, std::uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

/// Raw deflate of the chunks `next` gives until it gives an empty one.
template <typename Next>
std::string Deflate(Next next)
{
    z_stream stream{};
    if (deflateInit2(&stream, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2 failed");
    std::string out;
    std::string chunk;
    char buffer[1 << 16];
    do {
        chunk = next();
        stream.next_in = reinterpret_cast<Bytef*>(chunk.data());
        stream.avail_in = static_cast<uInt>(chunk.size());
        const int flush = chunk.empty() ? Z_FINISH : Z_NO_FLUSH;
        do {
            stream.next_out = reinterpret_cast<Bytef*>(buffer);
            stream.avail_out = sizeof buffer;
            deflate(&stream, flush);
            out.append(buffer, sizeof buffer - stream.avail_out);
        } while (stream.avail_out == 0);
    } while (!chunk.empty());
    deflateEnd(&stream);
    return out;
}

} // namespace

std::string DeflateRun(char byte, std::uint64_t count)
{
    return Deflate([&count, byte] {
        constexpr std::uint64_t piece = 1 << 20;
        const std::uint64_t size = std::min(count, piece);
        count -= size;
        return std::string(size, byte);
    });
}

std::string BuildZip(const std::vector<TZipEntrySpec>& entries, bool zip64End)
{
    constexpr std::uint32_t Escaped = 0xffffffff;
    std::string zip;
    std::string directory;
    for (const TZipEntrySpec& entry : entries) {
        bool given = false;
        const std::string stored = entry.Deflate ? Deflate([&] {
            const bool first = !given;
            given = true;
            return first ? entry.Data : std::string();
        })
                                                 : entry.Data;
        const auto crc = entry.DeclaredCrc.value_or(static_cast<std::uint32_t>(crc32(
            0L, reinterpret_cast<const Bytef*>(entry.Data.data()), static_cast<uInt>(entry.Data.size()))));
        const auto size = entry.DeclaredSize.value_or(static_cast<std::uint32_t>(entry.Data.size()));
        const auto offset = static_cast<std::uint32_t>(zip.size());
        const std::uint32_t compression = entry.Deflate ? 8 : 0;
        std::string localExtra;
        if (entry.AesVersion) {
            Put(localExtra, 0x9901, 2), Put(localExtra, 7, 2), Put(localExtra, *entry.AesVersion, 2);
            localExtra += "AE";
            Put(localExtra, 3, 1), Put(localExtra, compression, 2);
        }
        std::string centralExtra = localExtra;
        if (entry.OffsetInZip64)
            Put(centralExtra, 1, 2), Put(centralExtra, 8, 2),
                Put(centralExtra, entry.LocalOffset.value_or(offset), 8);
        auto fields = [&](std::string& out, std::size_t extraSize) {
            Put(out, 20, 2), Put(out, entry.Utf8Flag ? 0x800 : 0, 2),
                Put(out, entry.AesVersion ? 99 : compression, 2);
            Put(out, 0, 2), Put(out, 0x5021, 2);
            Put(out, crc, 4), Put(out, static_cast<std::uint32_t>(stored.size()), 4), Put(out, size, 4);
            Put(out, static_cast<std::uint32_t>(entry.Name.size()), 2), Put(out, extraSize, 2);
        };
        Put(zip, 0x04034b50, 4);
        fields(zip, localExtra.size());
        zip += entry.Name + localExtra + stored;
        Put(directory, 0x02014b50, 4);
        Put(directory, 0x0314, 2); // made by Unix
        fields(directory, centralExtra.size());
        Put(directory, 0, 2), Put(directory, 0, 2), Put(directory, 0, 2);
        Put(directory, entry.UnixMode << 16, 4);
        Put(directory, entry.OffsetInZip64 ? Escaped : entry.LocalOffset.value_or(offset), 4);
        directory += entry.Name + centralExtra;
    }
    const std::size_t directoryOffset = zip.size();
    zip += directory;
    if (zip64End) {
        const std::size_t zip64EndOffset = zip.size();
        Put(zip, 0x06064b50, 4), Put(zip, 44, 8), Put(zip, 45, 2), Put(zip, 45, 2), Put(zip, 0, 4),
            Put(zip, 0, 4);
        Put(zip, entries.size(), 8), Put(zip, entries.size(), 8);
        Put(zip, directory.size(), 8), Put(zip, directoryOffset, 8);
        Put(zip, 0x07064b50, 4), Put(zip, 0, 4), Put(zip, zip64EndOffset, 8), Put(zip, 1, 4);
    }
    Put(zip, 0x06054b50, 4), Put(zip, 0, 2), Put(zip, 0, 2);
    Put(zip, zip64End ? 0xffff : entries.size(), 2), Put(zip, zip64End ? 0xffff : entries.size(), 2);
    Put(zip, zip64End ? Escaped : directory.size(), 4), Put(zip, zip64End ? Escaped : directoryOffset, 4);
    Put(zip, 0, 2);
    return zip;
}

std::uint32_t FieldAt(const std::string& bytes, std::size_t at, int size)
{
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | static_cast<std::uint8_t>(bytes.at(at + static_cast<std::size_t>(i)));
    return value;
}

void SetFieldAt(std::string& bytes, std::size_t at, std::uint32_t value, int size)
{
    std::string field;
    Put(field, value, size);
    if (at + field.size() > bytes.size())
        throw std::out_of_range("a field beyond the end of the data");
    std::copy(field.begin(), field.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
}

std::map<std::string, TEntryLayout> EntryLayouts(const std::string& zip)
{
    std::map<std::string, TEntryLayout> layouts;
    const std::size_t end = zip.size() - 22;
    std::size_t at = FieldAt(zip, end + 16, 4);
    for (std::uint32_t entry = 0; entry < FieldAt(zip, end + 10, 2); ++entry) {
        if (FieldAt(zip, at, 4) != 0x02014b50)
            throw std::runtime_error("no directory record where expected");
        const std::size_t nameSize = FieldAt(zip, at + 28, 2);
        const std::size_t extraSize = FieldAt(zip, at + 30, 2);
        const std::size_t local = FieldAt(zip, at + 42, 4);
        const std::size_t localNameSize = FieldAt(zip, local + 26, 2);
        const std::size_t localExtraSize = FieldAt(zip, local + 28, 2);
        // The vendor version of the AES extra field among the extra fields at `extra`.
        auto aesVersionAt = [&zip](std::size_t extra, std::size_t size) -> std::size_t {
            for (std::size_t field = extra; field + 4 <= extra + size;
                 field += 4 + FieldAt(zip, field + 2, 2))
                if (FieldAt(zip, field, 2) == 0x9901)
                    return field + 4;
            return 0;
        };
        TEntryLayout& layout = layouts[zip.substr(at + 46, nameSize)];
        layout.LocalCrcAt = local + 14;
        layout.CentralCrcAt = at + 16;
        layout.DataAt = local + 30 + localNameSize + localExtraSize;
        layout.DataSize = FieldAt(zip, at + 20, 4);
        layout.LocalAesVersionAt = aesVersionAt(local + 30 + localNameSize, localExtraSize);
        layout.CentralAesVersionAt = aesVersionAt(at + 46 + nameSize, extraSize);
        at += 46 + nameSize + extraSize + FieldAt(zip, at + 32, 2);
    }
    return layouts;
}

void MarkAesEntryWithChecksum(std::string& zip, const std::string& name, const std::string& content)
{
    const TEntryLayout layout = EntryLayouts(zip).at(name);
    const auto crc = static_cast<std::uint32_t>(
        crc32(0L, reinterpret_cast<const Bytef*>(content.data()), static_cast<uInt>(content.size())));
    SetFieldAt(zip, layout.LocalCrcAt, crc, 4);
    SetFieldAt(zip, layout.CentralCrcAt, crc, 4);
    SetFieldAt(zip, layout.LocalAesVersionAt, 1, 2);
    SetFieldAt(zip, layout.CentralAesVersionAt, 1, 2);
}

std::string FlipAesEntryBit(std::string& zip, const std::string& name, std::string content, bool deflated,
                            std::size_t saltSize)
{
    constexpr std::size_t VerifierSize = 2;
    constexpr std::size_t Depth = 1000;
    constexpr char Bit = 0x20;
    zip.at(EntryLayouts(zip).at(name).DataAt + saltSize + VerifierSize + Depth) ^= Bit;
    content.at(Depth - (deflated ? 5 : 0)) ^= Bit;
    return content;
}

std::vector<std::string> ZipEntryNames(const std::string& path)
{
    std::vector<std::string> names;
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &error);
    if (archive == nullptr)
        return names;
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i)
        names.emplace_back(zip_get_name(archive, static_cast<zip_uint64_t>(i), 0));
    zip_discard(archive);
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace quillbank::testing
