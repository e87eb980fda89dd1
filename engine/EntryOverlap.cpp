// Reads the archive's directory and local headers and compares the byte ranges the entries take in the file.

#include "engine/EntryOverlap.h"

#include "engine/ZipDirectory.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace quillbank {

namespace {

using namespace zip_directory;

/// The bytes an entry takes in the file, from its local header to the end of its data.
struct TStoredRange
{
    std::uint64_t Begin = 0;
    std::uint64_t End = 0;
    std::string Name;
};

} // namespace

std::string OverlappingEntriesError(const std::string& path)
{
    TArchiveFile file(path, false);
    TBytes entries;
    std::vector<TStoredRange> ranges;
    ReadDirectory(file, entries, [&](const TDirectoryRecord& record) {
        const TBytes local = file.Read(record.LocalOffset, LocalHeaderSize);
        if (file.Failed())
            return;
        if (Little(local.data(), 4) != LocalHeaderSignature) {
            file.Fail("the local header of the entry \"" + record.Name + "\" is missing");
            return;
        }
        // Sizes come from 16-bit fields and the file's size: no sum overflows.
        const std::uint64_t begin = record.LocalOffset;
        const std::uint64_t headerEnd =
            begin + LocalHeaderSize + Little(local.data() + 26, 2) + Little(local.data() + 28, 2);
        if (record.CompressedSize > file.Size()) {
            file.Fail("the entry \"" + record.Name + "\" is said to be larger than the archive");
            return;
        }
        ranges.push_back({begin, headerEnd + record.CompressedSize, record.Name});
    });
    if (file.Failed())
        return file.Error();
    std::ranges::stable_sort(ranges, {}, &TStoredRange::Begin);
    // The entry reaching furthest so far: every later one must start after it.
    std::size_t furthest = 0;
    for (std::size_t i = 1; i < ranges.size(); ++i) {
        if (ranges[i].Begin < ranges[furthest].End)
            return "the entries \"" + ranges[furthest].Name + "\" and \"" + ranges[i].Name +
                   "\" overlap in the file";
        if (ranges[i].End > ranges[furthest].End)
            furthest = i;
    }
    return {};
}

} // namespace quillbank
