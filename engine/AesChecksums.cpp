// Finds each AES entry with a checksum in the archive's directory; zeroes it there and in its local header.

#include "engine/AesChecksums.h"

#include "engine/ZipDirectory.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace quillbank {

namespace {

using namespace zip_directory;

constexpr std::size_t LocalCrcAt = 14;
constexpr std::size_t CentralCrcAt = 16;

} // namespace

bool ClearAesChecksums(const std::string& path, std::string& error)
{
    TArchiveFile file(path, true);
    TBytes entries;
    // The whole directory is read, and every local header found, before
    // anything is written: an archive found damaged stays as it was.
    std::vector<std::uint64_t> localHeaders;
    const TDirectory directory = ReadDirectory(file, entries, [&](const TDirectoryRecord& record) {
        if (!record.Aes || Little(record.Header + CentralCrcAt, 4) == 0)
            return;
        const TBytes local = file.Read(record.LocalOffset, LocalHeaderSize);
        if (!file.Failed() && Little(local.data(), 4) != LocalHeaderSignature)
            file.Fail("a local header is missing");
        localHeaders.push_back(record.LocalOffset);
        std::fill_n(record.Header + CentralCrcAt, 4, 0);
    });
    // libzip writes no data descriptors: the two fields are all there is.
    constexpr unsigned char empty[4] = {};
    for (const std::uint64_t local : localHeaders)
        file.Write(local + LocalCrcAt, empty, sizeof empty);
    if (!localHeaders.empty())
        file.Write(directory.Offset, entries.data(), entries.size());
    if (!file.Failed())
        file.Close();
    error = file.Error();
    return !file.Failed();
}

} // namespace quillbank
