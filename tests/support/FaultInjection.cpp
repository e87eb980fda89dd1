// Preloaded (LD_PRELOAD) into a program under test: from the Nth write-like
// call on, every write fails with ENOSPC (a disk that has filled up), and
// from the Nth read-like call on, every read fails with EIO. N comes from
// QUILLBANK_FAIL_WRITE_AT and QUILLBANK_FAIL_READ_AT (unset or 0: never).
// Standard input, output and error are neither counted nor failed, nor are
// files below /proc (the running check reads as many of them as the machine
// has processes, which would make N depend on the machine).
//
// Opening files fails too, by name: a path holding QUILLBANK_DENY_OPEN is
// never opened and never readable to faccessat() (EACCES, as for a file its
// user may not read, which root could read all the same), and one holding
// QUILLBANK_VANISH_OPEN is there for the backup's listing, which asks
// faccessat() or opens without blocking, and gone (ENOENT) when opened to be
// read: removed between the listing and the add.
// write()/pwrite()/read() and stdio's fwrite()/fread() are interposed:
// libzip writes and reads its archives through stdio, the program through the
// system calls.
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
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

/// The descriptors open on files below /proc.
constexpr int TrackedDescriptors = 1 << 16;
std::atomic<bool> procFiles[TrackedDescriptors];

void Track(int fd, const char* path)
{
    if (fd >= 0 && fd < TrackedDescriptors)
        procFiles[fd] = path != nullptr && std::strncmp(path, "/proc/", 6) == 0;
}

bool Watched(int fd)
{
    return fd > STDERR_FILENO && !(fd < TrackedDescriptors && procFiles[fd]);
}

bool Holds(const char* path, const char* variable)
{
    const char* part = std::getenv(variable);
    return path != nullptr && part != nullptr && *part != '\0' && std::strstr(path, part) != nullptr;
}

/// The error an open of `path` with `flags` fails with, or 0.
int OpenError(const char* path, int flags)
{
    if (Holds(path, "QUILLBANK_DENY_OPEN"))
        return EACCES;
    if (Holds(path, "QUILLBANK_VANISH_OPEN") && (flags & O_NONBLOCK) == 0)
        return ENOENT;
    return 0;
}

/// Marks a stream as failed, as stdio does after a failed system call.
std::size_t FailStream(FILE* stream, int error)
{
    stream->_flags |= _IO_ERR_SEEN;
    errno = error;
    return 0;
}

/// fopen and fopen64 (which C++ streams use) alike.
FILE* OpenStream(FILE* (*next)(const char*, const char*), const char* path, const char* mode)
{
    if (const int error = OpenError(path, 0)) {
        errno = error;
        return nullptr;
    }
    FILE* stream = next(path, mode);
    if (stream != nullptr)
        Track(fileno(stream), path);
    return stream;
}

} // namespace

extern "C" {

int open(const char* path, int flags, ...)
{
    static const auto next = Next<int (*)(const char*, int, ...)>("open");
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = (flags & (O_CREAT | O_TMPFILE)) != 0 ? va_arg(arguments, mode_t) : 0;
    va_end(arguments);
    if (const int error = OpenError(path, flags)) {
        errno = error;
        return -1;
    }
    const int fd = next(path, flags, mode);
    Track(fd, path);
    return fd;
}

int faccessat(int folder, const char* path, int mode, int flags)
{
    static const auto next = Next<int (*)(int, const char*, int, int)>("faccessat");
    if (Holds(path, "QUILLBANK_DENY_OPEN")) {
        errno = EACCES;
        return -1;
    }
    return next(folder, path, mode, flags);
}

FILE* fopen(const char* path, const char* mode)
{
    static const auto next = Next<FILE* (*)(const char*, const char*)>("fopen");
    return OpenStream(next, path, mode);
}

FILE* fopen64(const char* path, const char* mode)
{
    static const auto next = Next<FILE* (*)(const char*, const char*)>("fopen64");
    return OpenStream(next, path, mode);
}

int close(int fd)
{
    static const auto next = Next<int (*)(int)>("close");
    Track(fd, nullptr);
    return next(fd);
}

int fclose(FILE* stream)
{
    static const auto next = Next<int (*)(FILE*)>("fclose");
    Track(fileno(stream), nullptr);
    return next(stream);
}

ssize_t write(int fd, const void* buffer, size_t count)
{
    static const auto next = Next<ssize_t (*)(int, const void*, size_t)>("write");
    if (Watched(fd) && writes.Fails()) {
        errno = ENOSPC;
        return -1;
    }
    return next(fd, buffer, count);
}

ssize_t pwrite(int fd, const void* buffer, size_t count, off_t offset)
{
    static const auto next = Next<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite");
    if (Watched(fd) && writes.Fails()) {
        errno = ENOSPC;
        return -1;
    }
    return next(fd, buffer, count, offset);
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
