// Test contents made from a seed: bytes that do not compress and mail-like text that does.

#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillbank::testing {

/// `size` bytes that do not compress, the same for the same seed.
std::string NoiseBytes(std::size_t size, std::uint32_t seed);

/// `size` bytes of mail-like words that compress well, the same for the same seed.
std::string WordText(std::size_t size, std::uint32_t seed);

} // namespace quillbank::testing
