// One read from the disk started now and waited for later, so that the disk works while the caller computes.

#pragma once

#include <cstddef>
#include <cstdint>

namespace quillbank {

/**
 * One read at a time of a file opened for direct reads (O_DIRECT), handed
 * to the kernel to do on its own: the caller starts it, goes on computing,
 * and waits for it only when it needs the bytes. Where the system offers no
 * such reads, Start() says so and the caller reads as usual.
 *
 * The descriptor and the buffer of a started read must stay valid until it
 * is finished or this object is gone; the destructor waits for it.
 */
class TReadAhead
{
public:
    TReadAhead();
    ~TReadAhead();
    TReadAhead(const TReadAhead&) = delete;
    TReadAhead& operator=(const TReadAhead&) = delete;

    /// Starts reading `size` bytes at `offset` of `fd` into `buffer` (all
    /// three aligned as direct reads need); false when it could not start.
    bool Start(int fd, std::uint64_t offset, std::size_t size, std::uint8_t* buffer);
    bool Started() const { return started_; }
    /// Waits for the started read: the bytes it read (fewer at the end of
    /// the file), or -1 with errno set when it failed.
    std::int64_t Finish();

private:
    unsigned long context_ = 0;
    bool started_ = false;
};

} // namespace quillbank
