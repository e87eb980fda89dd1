// Buffers, sizes and offsets for reads and writes that go straight between the disk and memory.

#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace quillbank {

/// What the offsets, lengths and addresses of reads and writes through a
/// descriptor opened with O_DIRECT must be multiples of.
constexpr std::size_t DirectIoAlignment = 4096;

/// `size` rounded up to whole blocks of DirectIoAlignment.
constexpr std::size_t WholeDirectBlocks(std::size_t size)
{
    return (size + DirectIoAlignment - 1) / DirectIoAlignment * DirectIoAlignment;
}

/// Gives a mapped buffer back to the system.
struct TUnmap
{
    std::size_t Size;
    void operator()(std::uint8_t* buffer) const;
};

/// A buffer mapped from the system, page-aligned for direct reads and writes.
/// Large buffers are mapped rather than taken from the heap: one kept at the
/// top of the heap would keep it from giving back what is freed below.
using TMappedBuffer = std::unique_ptr<std::uint8_t, TUnmap>;

/// A new buffer of `size` bytes; throws std::bad_alloc when there is no memory.
TMappedBuffer MapBuffer(std::size_t size);

} // namespace quillbank
