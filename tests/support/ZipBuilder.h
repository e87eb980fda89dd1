// Builds ZIP archives byte by byte for tests, hostile ones included, and finds or alters their fields.

#pragma once

#include <cstdint>
#include <map>
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
    /// ZIP's flag saying the name is UTF-8; archives made on Windows store
    /// names in the system's code page without it.
    bool Utf8Flag = true;
    /// The size and checksum the headers declare; the true ones when unset.
    std::optional<std::uint32_t> DeclaredSize;
    std::optional<std::uint32_t> DeclaredCrc;
    /// The Unix file type and mode (a link: 0120777).
    std::uint32_t UnixMode = 0100644;
    /// The central directory sends the entry to this offset instead of its
    /// own local header (overlapping entries).
    std::optional<std::uint32_t> LocalOffset;
    /// The central directory gives the local header's offset in a Zip64
    /// extra field, as for an entry beyond 4 GiB.
    bool OffsetInZip64 = false;
    /// Marks the entry as WinZip AES-256 encrypted, with this vendor version
    /// (1 or 2); its data stays as it is.
    std::optional<std::uint16_t> AesVersion;
};

/// A ZIP archive of the entries, in this order; with `zip64End`, the
/// directory is placed by Zip64 end records, the classic one escaped.
std::string BuildZip(const std::vector<TZipEntrySpec>& entries, bool zip64End = false);

/// Where an entry's fields lie in the bytes of an archive (one without Zip64
/// records or an archive comment), for tests that alter them.
struct TEntryLayout
{
    std::size_t LocalCrcAt = 0;
    std::size_t CentralCrcAt = 0;
    /// The entry's data as stored (encrypted, compressed).
    std::size_t DataAt = 0;
    std::size_t DataSize = 0;
    /// The vendor version of the AES extra field, in the local header and in
    /// the directory; 0 when the entry has none.
    std::size_t LocalAesVersionAt = 0;
    std::size_t CentralAesVersionAt = 0;
};

/// The layout of every entry, by name.
std::map<std::string, TEntryLayout> EntryLayouts(const std::string& zip);

/// Makes an AES entry of `zip` one of the first kind ("AE-1"), which
/// carries the checksum of its content, here of `content`.
void MarkAesEntryWithChecksum(std::string& zip, const std::string& name, const std::string& content);

/// Alters an AES entry of `zip` as anyone without its password can: flips a
/// bit of its data 1000 bytes past its salt (of `saltSize` bytes, half its
/// key) and password verifier, which counter mode passes on to the same bit
/// of its content (at once when it is stored; when it is deflated into
/// stored blocks, as noise is, after 5 bytes of block header). Returns
/// `content` so altered.
std::string FlipAesEntryBit(std::string& zip, const std::string& name, std::string content, bool deflated,
                            std::size_t saltSize = 16);

/// The little-endian number of `size` bytes at `at`.
std::uint32_t FieldAt(const std::string& bytes, std::size_t at, int size);
void SetFieldAt(std::string& bytes, std::size_t at, std::uint32_t value, int size);

/// Raw deflate of `count` bytes of `byte`, made in pieces, without holding them.
std::string DeflateRun(char byte, std::uint64_t count);

/// The entry names of the archive at `path`, in name order, as the ZIP
/// library reads them; none when it does not open.
std::vector<std::string> ZipEntryNames(const std::string& path);

} // namespace quillbank::testing
