// A new file written under no name at all and given its target's name in one step once it is complete.

#pragma once

#include "platform/DirectIo.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillbank {

/**
 * A new file for `target` that has no name while it is written: if the
 * program ends, however abruptly, before Publish(), the file is gone with it
 * and the target is as it was; after, the target is the complete new file.
 * Where the file system cannot make a file without a name, it is a
 * temporary beside the target instead, removed at an abrupt end of the
 * program (see LiveTemporaries).
 */
class TNamelessFile
{
public:
    TNamelessFile() = default;
    /// Removes the file when it was not published.
    ~TNamelessFile();
    TNamelessFile(const TNamelessFile&) = delete;
    TNamelessFile& operator=(const TNamelessFile&) = delete;

    /// Makes the file in the folder of `target` (which exists); false with
    /// errno set when it cannot be made.
    bool Open(const std::string& target);
    int Fd() const { return fd_; }
    /// A second descriptor of the file whose writes skip the page cache and
    /// go straight to the disk, -1 where the file system cannot. The file
    /// first gets `size` bytes with their blocks reserved, so that aligned
    /// writes anywhere in it can run at the same time. Closed with the file.
    int DirectFd(std::uint64_t size);
    /// Closes the file and gives it the target's name, in place of whatever
    /// has it; false with errno set when that fails, and the file is gone.
    bool Publish();
    /// Closes the file under a temporary name beside the target instead,
    /// for the caller to rename or remove (and then to forget, see
    /// LiveTemporaries); false with errno set when that fails.
    bool NameTemporarily(std::string& temporary);

private:
    /// Gives the file a fresh temporary name beside the target.
    bool LinkToTemporary();
    void CloseDirect();

    std::string target_;
    /// The temporary's name, when the file has one.
    std::string temporary_;
    int fd_ = -1;
    int directFd_ = -1;
};

} // namespace quillbank
