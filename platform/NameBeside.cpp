// Builds names beside a target: cut at a UTF-8 boundary and marked with a hash when they would be too long.

#include "platform/NameBeside.h"

#include "platform/FileSystem.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <unistd.h>

namespace quillbank {

namespace {

constexpr std::size_t DefaultNameMax = 255;
/// A temporary's name: the target's, this mark, and what mkstemp puts in
/// place of the placeholder.
constexpr std::string_view TemporaryMark = ".qbpart-";
constexpr std::string_view TemporaryPlaceholder = "XXXXXX";
/// What a shortened name gets after its kept part: "~" and eight hex digits.
constexpr std::size_t HashMarkLength = 9;

std::string HashMark(std::string_view name)
{
    // FNV-1a: stable across runs, so a pending name is found again.
    std::uint32_t hash = 2166136261u;
    for (const char c : name)
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    char mark[HashMarkLength + 1];
    std::snprintf(mark, sizeof mark, "~%08x", hash);
    return mark;
}

/// `length` moved back to the start of the UTF-8 sequence it falls in; a
/// name that is not UTF-8 is cut at most three bytes earlier.
std::size_t SequenceStart(std::string_view name, std::size_t length)
{
    for (int step = 0; step < 3 && length > 0 && length < name.size() &&
                       (static_cast<unsigned char>(name[length]) & 0xC0) == 0x80;
         ++step)
        --length;
    return length;
}

} // namespace

std::size_t MaxFileNameLength(const std::string& folder)
{
    const long limit = pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    return limit > 0 ? static_cast<std::size_t>(limit) : DefaultNameMax;
}

std::string NameBeside(const std::string& target, std::string_view prefix, std::string_view suffix,
                       std::size_t reserve)
{
    const std::string folder = ExtractFileDir(target);
    const std::string name = ExtractFileName(target);
    const std::size_t limit = MaxFileNameLength(folder);
    const std::size_t fixed = prefix.size() + suffix.size() + reserve;
    if (fixed + name.size() <= limit)
        return folder + std::string(prefix) + name + std::string(suffix);
    const std::size_t room = limit > fixed + HashMarkLength ? limit - fixed - HashMarkLength : 0;
    const std::string_view kept = std::string_view(name).substr(0, SequenceStart(name, room));
    return folder + std::string(prefix) + std::string(kept) + HashMark(name) + std::string(suffix);
}

std::string TemporaryTemplateBeside(const std::string& target)
{
    return NameBeside(target, "", std::string(TemporaryMark) + std::string(TemporaryPlaceholder));
}

bool IsTemporaryBesideName(std::string_view name)
{
    const std::size_t markAt = name.size() - std::min(name.size(), TemporaryPlaceholder.size());
    if (name.size() <= TemporaryMark.size() + TemporaryPlaceholder.size() ||
        name.substr(markAt - TemporaryMark.size(), TemporaryMark.size()) != TemporaryMark)
        return false;
    // mkstemp's letters and digits, whatever the locale says.
    return std::ranges::all_of(name.substr(markAt), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    });
}

} // namespace quillbank
