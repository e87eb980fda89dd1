// Builds legacy binary profile registries (registry.dat) byte by byte, for tests of their reader.

#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace quillbank::testing {

/// A legacy binary profile registry built byte by byte; writing past the end
/// grows it with zeros.
class TRegistryDatImage
{
public:
    void Put32(std::uint32_t offset, std::uint32_t value)
    {
        for (int i = 0; i < 4; ++i)
            Put(offset + i, std::string(1, static_cast<char>((value >> (8 * i)) & 0xFF)));
    }
    void Put(std::uint32_t offset, const std::string& part)
    {
        if (bytes_.size() < offset + part.size())
            bytes_.resize(offset + part.size(), '\0');
        bytes_.replace(offset, part.size(), part);
    }
    std::uint32_t Size() const { return static_cast<std::uint32_t>(bytes_.size()); }
    const std::string& Bytes() const { return bytes_; }

private:
    std::string bytes_;
};

/// A well-formed registry listing the profiles (name, folder) in this order.
inline TRegistryDatImage
RegistryDatWithProfiles(const std::vector<std::pair<std::string, std::string>>& profiles)
{
    TRegistryDatImage image;
    // The fixed walk: root -> first child -> its sibling -> its first child
    // -> that node's own offset -> first child = the first profile node.
    constexpr std::uint32_t root = 0x20, a = 0x40, b = 0x60, c = 0x80;
    image.Put32(12, root);
    image.Put32(root + 16, a);
    image.Put32(a + 12, b);
    image.Put32(b + 16, c);
    image.Put32(c + 0, c);
    std::uint32_t previous = c, link = 16, next = 0x100;
    for (const auto& [name, folder] : profiles) {
        const std::uint32_t node = next + static_cast<std::uint32_t>(name.size());
        image.Put(next, name);
        image.Put32(node + 0, node);
        image.Put32(node + 4, next);
        const std::uint32_t value = node + 24;
        const std::string text = "directory" + folder;
        image.Put32(value, node);
        image.Put(value + 4, text);
        image.Put32(node + 20, value + 4 + static_cast<std::uint32_t>(text.size()));
        image.Put32(previous + link, node);
        previous = node;
        link = 12;
        next = value + 4 + static_cast<std::uint32_t>(text.size()) + 16;
    }
    return image;
}

} // namespace quillbank::testing
