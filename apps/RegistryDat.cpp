// Walks the node chain of a legacy binary profile registry, every read bounds-checked and the work capped.

#include "apps/RegistryDat.h"

#include <cstdint>
#include <optional>
#include <unordered_set>
#include <utility>

namespace quillbank {

namespace {

// Layout of the file: every number is an unsigned 32-bit little-endian file
// offset. The header holds the root node's offset; a node starts with its own
// offset and carries the fields below.
constexpr std::uint32_t RootOffsetField = 12;
constexpr std::uint32_t OwnOffsetField = 0;
constexpr std::uint32_t NameField = 4;
constexpr std::uint32_t NextSiblingField = 12;
constexpr std::uint32_t FirstChildField = 16;
constexpr std::uint32_t ValueField = 20;

// The text of a directory value names the folder after this word; a value
// without it carries a fixed-length prefix instead.
constexpr std::string_view DirectoryWord = "directory";
constexpr std::size_t ValuePrefixLength = 11;

/// The 32-bit number at `offset`, or nothing when its four bytes are not all
/// inside the file. The sum is formed in 64 bits so that offsets near the
/// top of the 32-bit range cannot wrap.
std::optional<std::uint32_t> ReadU32(std::string_view bytes, std::uint64_t offset)
{
    if (offset + 4 > bytes.size())
        return std::nullopt;
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[offset + i]);
    return value;
}

/// The field at `node + field`, with 0 also standing for "unreadable": for
/// the walk to the profile nodes both mean that there is nothing to follow.
std::uint32_t Link(std::string_view bytes, std::uint32_t node, std::uint32_t field)
{
    return ReadU32(bytes, std::uint64_t{node} + field).value_or(0);
}

void AppendWithoutNuls(std::string& out, std::string_view part)
{
    for (char c : part)
        if (c != '\0')
            out += c;
}

/// The name runs from the name offset up to the node. A name offset beyond
/// the node, or a name longer than the cap, is damage confined to the name:
/// the name reads as empty and the node is kept, because its folder is what
/// a backup needs. Since the node lies inside the file, a name offset below
/// it does too.
std::string NodeName(std::string_view bytes, std::uint32_t node)
{
    std::string name;
    const auto nameOffset = ReadU32(bytes, std::uint64_t{node} + NameField);
    if (!nameOffset || *nameOffset > node || node - *nameOffset > RegistryDatMaxNameBytes)
        return name;
    AppendWithoutNuls(name, bytes.substr(*nameOffset, node - *nameOffset));
    return name;
}

/// The directory scan: from the value offset step back one byte at a time
/// until the 32-bit number at the position equals the node's offset; the
/// bytes passed, NULs dropped, form the value text. Positions whose four
/// bytes run past the end of the file hold no number and never match.
///
/// Nothing is returned, and the node is skipped, when the value offset lies
/// beyond the file, when the scan reaches the start of the file without a
/// match, or when it passes RegistryDatMaxScanBytes bytes: the text found
/// there would be arbitrary file content, not a folder.
std::optional<std::string> ScanDirectory(std::string_view bytes, std::uint32_t node)
{
    const auto valueOffset = ReadU32(bytes, std::uint64_t{node} + ValueField);
    if (!valueOffset || *valueOffset > bytes.size())
        return std::nullopt;

    const std::size_t end = *valueOffset;
    std::size_t position = end;
    bool found = false;
    while (position > 0 && end - position < RegistryDatMaxScanBytes) {
        --position;
        if (ReadU32(bytes, position) == node) {
            found = true;
            break;
        }
    }
    if (!found)
        return std::nullopt;

    std::string text;
    AppendWithoutNuls(text, bytes.substr(position, end - position));
    if (const auto word = text.find(DirectoryWord); word != std::string::npos)
        return text.substr(word + DirectoryWord.size());
    if (text.size() <= ValuePrefixLength)
        return std::string();
    return text.substr(ValuePrefixLength);
}

/// The first profile node: root, its first child, that node's next sibling,
/// its first child, the offset stored in that node, its first child. The
/// walk is a fixed number of reads, so a loop among these nodes cannot make
/// it endless; a 0 or an unreadable field at any step means no profiles.
std::uint32_t FirstProfileNode(std::string_view bytes)
{
    std::uint32_t node = ReadU32(bytes, RootOffsetField).value_or(0);
    for (const std::uint32_t field :
         {FirstChildField, NextSiblingField, FirstChildField, OwnOffsetField, FirstChildField}) {
        if (node == 0)
            return 0;
        node = Link(bytes, node, field);
    }
    return node;
}

} // namespace

std::vector<TRegistryDatProfile> ReadRegistryDatProfiles(std::string_view bytes)
{
    std::vector<TRegistryDatProfile> profiles;
    std::unordered_set<std::uint32_t> visited;

    // The chain ends at a 0 or an unreadable next-sibling field, at a node met
    // before (a cycle), and after RegistryDatMaxProfileNodes nodes, whether
    // they were listed or skipped.
    for (std::uint32_t node = FirstProfileNode(bytes); node != 0;
         node = Link(bytes, node, NextSiblingField)) {
        if (visited.size() == RegistryDatMaxProfileNodes || !visited.insert(node).second)
            break;
        if (auto directory = ScanDirectory(bytes, node))
            profiles.push_back({NodeName(bytes, node), std::move(*directory)});
    }
    return profiles;
}

} // namespace quillbank
