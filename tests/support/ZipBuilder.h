#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quillbank::testing {

/// One entry of an archive built byte by byte; everything a hostile archive
/// may lie about can be set.
struct TZipEntrySpec
{
    TZipEntrySpec(std::string name, std::string data, bool deflate = false)
        : Name(std::move(name)), Data(std::move(data)), Deflate(deflate)
    {}

    /// The name's raw bytes, NUL and control characters included.
    std::string Name;
    /// The content before compression.
    std::string Data;
    bool Deflate = false;
    /// The size and checksum the headers declare; the true ones when unset.
    std::optional<std::uint32_t> DeclaredSize;
    std::optional<std::uint32_t> DeclaredCrc;
    /// The Unix file type and mode (a link: 0120777).
    std::uint32_t UnixMode = 0100644;
    /// The central directory sends the entry to this offset instead of its
    /// own local header (overlapping entries).
    std::optional<std::uint32_t> LocalOffset;
};

/// A ZIP archive of the entries, in this order.
std::string BuildZip(const std::vector<TZipEntrySpec>& entries);

/// Raw deflate of `count` bytes of `byte`, made in pieces, without holding them.
std::string DeflateRun(char byte, std::uint64_t count);

} // namespace quillbank::testing
