// Finds the blocks of a raw deflate stream with zlib, to check the block walker against.

#pragma once

#include "engine/DeflateBlocks.h"

#include <cstddef>
#include <optional>

namespace quillbank::testing {

/// What zlib finds when it decodes `data` block by block: nothing unless the
/// data holds one complete, valid stream (bytes after its end are allowed).
std::optional<TDeflateBlocks> ZlibDeflateBlocks(const unsigned char* data, std::size_t size);

} // namespace quillbank::testing
