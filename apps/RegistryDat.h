// Reading the profiles listed in a legacy binary profile registry ("registry.dat", "appreg").

#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quillbank {

/// One profile of a legacy binary profile registry ("registry.dat" on
/// Windows, "appreg" on Unix).
struct TRegistryDatProfile
{
    std::string Name;      ///< the node's name bytes with every byte 0 dropped
    std::string Directory; ///< the profile folder found by the node's directory scan
};

/// At most this many nodes of the profile chain are looked at (listed or
/// skipped); a chain that goes on is cut there. Real registries hold a handful.
inline constexpr std::size_t RegistryDatMaxProfileNodes = 1000;

/// The directory scan of a node takes at most this many bytes; a scan that
/// has not met the node's offset by then skips the node. A real value is a
/// path of a few hundred bytes.
inline constexpr std::size_t RegistryDatMaxScanBytes = 64 * 1024;

/// A name longer than this is taken as damage and read as empty.
inline constexpr std::size_t RegistryDatMaxNameBytes = 64 * 1024;

/**
 * The profiles that a legacy binary profile registry lists, in sibling-chain
 * order. The file is untrusted: every read is bounds-checked and the work is
 * capped, so this never fails. A damaged file yields the profiles read so
 * far, or none. Text is kept as bytes (the system code page is UTF-8).
 */
std::vector<TRegistryDatProfile> ReadRegistryDatProfiles(std::string_view bytes);

} // namespace quillbank
