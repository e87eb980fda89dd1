// An open file descriptor that is closed when it goes out of scope.

#pragma once

#include <unistd.h>
#include <utility>

namespace quillbank {

/// Owns a descriptor (or -1) and closes it when it goes out of scope.
class TFileDescriptor
{
public:
    TFileDescriptor() = default;
    explicit TFileDescriptor(int fd) : fd_(fd) {}
    ~TFileDescriptor() { Close(); }
    TFileDescriptor(const TFileDescriptor&) = delete;
    TFileDescriptor& operator=(const TFileDescriptor&) = delete;
    TFileDescriptor(TFileDescriptor&& other) noexcept : fd_(other.Release()) {}
    TFileDescriptor& operator=(TFileDescriptor&& other) noexcept
    {
        if (this != &other) {
            Close();
            fd_ = other.Release();
        }
        return *this;
    }

    int Get() const { return fd_; }
    bool IsOpen() const { return fd_ >= 0; }

    /// Gives the descriptor up without closing it.
    int Release() { return std::exchange(fd_, -1); }

private:
    void Close()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }

    int fd_ = -1;
};

} // namespace quillbank
