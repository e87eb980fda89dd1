// Direct reads handed to the kernel's asynchronous I/O and waited for later.

#include "platform/ReadAhead.h"

#include <cerrno>
#include <linux/aio_abi.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace quillbank {

TReadAhead::TReadAhead()
{
    aio_context_t context = 0;
    if (syscall(SYS_io_setup, 1, &context) == 0)
        context_ = context;
}

TReadAhead::~TReadAhead()
{
    if (started_)
        Finish();
    if (context_ != 0)
        syscall(SYS_io_destroy, static_cast<aio_context_t>(context_));
}

bool TReadAhead::Start(int fd, std::uint64_t offset, std::size_t size, std::uint8_t* buffer)
{
    if (context_ == 0 || started_)
        return false;
    iocb request{};
    request.aio_fildes = static_cast<std::uint32_t>(fd);
    request.aio_lio_opcode = IOCB_CMD_PREAD;
    request.aio_buf = reinterpret_cast<std::uint64_t>(buffer);
    request.aio_nbytes = size;
    request.aio_offset = static_cast<std::int64_t>(offset);
    iocb* requests[] = {&request};
    started_ = syscall(SYS_io_submit, static_cast<aio_context_t>(context_), 1, requests) == 1;
    return started_;
}

std::int64_t TReadAhead::Finish()
{
    if (!started_) {
        errno = EINVAL;
        return -1;
    }
    io_event event{};
    long got = 0;
    do
        got = syscall(SYS_io_getevents, static_cast<aio_context_t>(context_), 1, 1, &event, nullptr);
    while (got < 0 && errno == EINTR);
    started_ = false;
    if (got != 1) {
        // Never seen; the context is dropped, which waits for the read, so
        // that nothing writes to the buffer once the caller reads again.
        const int error = errno;
        syscall(SYS_io_destroy, static_cast<aio_context_t>(context_));
        context_ = 0;
        errno = error;
        return -1;
    }
    if (event.res < 0) {
        errno = static_cast<int>(-event.res);
        return -1;
    }
    return event.res;
}

} // namespace quillbank
