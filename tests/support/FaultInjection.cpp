// Preloaded (LD_PRELOAD) into a program under test: from the Nth write-like
// call on, every write fails with ENOSPC (a disk that has filled up), and
// from the Nth read-like call on, every read fails with EIO. N comes from
// QUILLBANK_FAIL_WRITE_AT and QUILLBANK_FAIL_READ_AT (unset or 0: never).
// Standard input, output and error are neither counted nor failed.
// write()/read() and stdio's fwrite()/fread() are both interposed: libzip
// writes and reads its archives through stdio, the program through the
// system calls.
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <unistd.h>

namespace {

struct TFault
{
    const char* variable;
    std::atomic<long> calls{0};

    /// Whether this call is the Nth or a later one.
    bool Fails()
    {
        static_assert(std::atomic<long>::is_always_lock_free);
        const char* value = std::getenv(variable);
        const long at = value != nullptr ? std::strtol(value, nullptr, 10) : 0;
        return at > 0 && ++calls >= at;
    }
};

TFault writes{"QUILLBANK_FAIL_WRITE_AT"};
TFault reads{"QUILLBANK_FAIL_READ_AT"};

template <typename Function>
Function Next(const char* name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

bool Watched(int fd)
{
    return fd > STDERR_FILENO;
}

/// Marks a stream as failed, as stdio does after a failed system call.
std::size_t FailStream(FILE* stream, int error)
{
    stream->_flags |= _IO_ERR_SEEN;
    errno = error;
    return 0;
}

} // namespace

extern "C" {

ssize_t write(int fd, const void* buffer, size_t count)
{
    static const auto next = Next<ssize_t (*)(int, const void*, size_t)>("write");
    if (Watched(fd) && writes.Fails()) {
        errno = ENOSPC;
        return -1;
    }
    return next(fd, buffer, count);
}

ssize_t read(int fd, void* buffer, size_t count)
{
    static const auto next = Next<ssize_t (*)(int, void*, size_t)>("read");
    if (Watched(fd) && reads.Fails()) {
        errno = EIO;
        return -1;
    }
    return next(fd, buffer, count);
}

size_t fwrite(const void* buffer, size_t size, size_t count, FILE* stream)
{
    static const auto next = Next<size_t (*)(const void*, size_t, size_t, FILE*)>("fwrite");
    if (Watched(fileno(stream)) && writes.Fails())
        return FailStream(stream, ENOSPC);
    return next(buffer, size, count, stream);
}

size_t fread(void* buffer, size_t size, size_t count, FILE* stream)
{
    static const auto next = Next<size_t (*)(void*, size_t, size_t, FILE*)>("fread");
    if (Watched(fileno(stream)) && reads.Fails())
        return FailStream(stream, EIO);
    return next(buffer, size, count, stream);
}
}
