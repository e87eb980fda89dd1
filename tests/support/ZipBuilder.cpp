#include "tests/support/ZipBuilder.h"

#include <stdexcept>
#include <zlib.h>

namespace quillbank::testing {

namespace {

void Put(std::string& out, std::uint32_t value, int bytes)
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

std::string BuildZip(const std::vector<TZipEntrySpec>& entries)
{
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
        const std::uint32_t method = entry.Deflate ? 8 : 0;
        auto fields = [&](std::string& out) {
            Put(out, 20, 2), Put(out, 0x800, 2), Put(out, method, 2), Put(out, 0, 2), Put(out, 0x5021, 2);
            Put(out, crc, 4), Put(out, static_cast<std::uint32_t>(stored.size()), 4), Put(out, size, 4);
            Put(out, static_cast<std::uint32_t>(entry.Name.size()), 2), Put(out, 0, 2);
        };
        Put(zip, 0x04034b50, 4);
        fields(zip);
        zip += entry.Name + stored;
        Put(directory, 0x02014b50, 4);
        Put(directory, 0x0314, 2); // made by Unix
        fields(directory);
        Put(directory, 0, 2), Put(directory, 0, 2), Put(directory, 0, 2);
        Put(directory, entry.UnixMode << 16, 4);
        Put(directory, entry.LocalOffset.value_or(offset), 4);
        directory += entry.Name;
    }
    const auto directoryOffset = static_cast<std::uint32_t>(zip.size());
    zip += directory;
    Put(zip, 0x06054b50, 4), Put(zip, 0, 2), Put(zip, 0, 2);
    Put(zip, static_cast<std::uint32_t>(entries.size()), 2),
        Put(zip, static_cast<std::uint32_t>(entries.size()), 2);
    Put(zip, static_cast<std::uint32_t>(directory.size()), 4), Put(zip, directoryOffset, 4), Put(zip, 0, 2);
    return zip;
}

} // namespace quillbank::testing
