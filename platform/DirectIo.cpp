// Buffers mapped from the system for reads and writes straight between the disk and memory.

#include "platform/DirectIo.h"

#include <new>
#include <sys/mman.h>

namespace quillbank {

void TUnmap::operator()(std::uint8_t* buffer) const
{
    munmap(buffer, Size);
}

TMappedBuffer MapBuffer(std::size_t size)
{
    void* memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
        throw std::bad_alloc();
    return TMappedBuffer(static_cast<std::uint8_t*>(memory), {size});
}

} // namespace quillbank
