// An open file descriptor that is closed when it goes out of scope.

#pragma once

#include <unistd.h>

namespace quillbank {

/// Owns a descriptor (or -1) and closes it when it goes out of scope.
class TFileDescriptor
{
public:
    explicit TFileDescriptor(int fd) : fd_(fd) {}
    ~TFileDescriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    TFileDescriptor(const TFileDescriptor&) = delete;
    TFileDescriptor& operator=(const TFileDescriptor&) = delete;

    int Get() const { return fd_; }

private:
    int fd_;
};

} // namespace quillbank
