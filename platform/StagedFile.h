// Writing a file safely: new content goes beside it and takes its place in one rename once complete on disk.

#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace quillbank {

/// Raised when a file cannot be written; the message names the file and the reason.
class EFileWriteError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

/**
 * New content for a file, written beside it and put in its place in one
 * rename only once it is complete and on disk: until Commit the file stays
 * as it was, and content dropped without Commit leaves nothing behind. This
 * is how every file the program rewrites in place is written.
 */
class TStagedFile
{
public:
    /// Throws EFileWriteError when no file can be made beside `target`.
    explicit TStagedFile(std::string target);
    ~TStagedFile();
    TStagedFile(const TStagedFile&) = delete;
    TStagedFile& operator=(const TStagedFile&) = delete;

    void Write(std::string_view data);
    /// The access rights the file gets; by default those of the file it
    /// replaces, or the owner's only when there is none.
    void SetMode(mode_t mode) { mode_ = mode; }
    /// Flushes everything to disk and renames the file over its target.
    void Commit();

private:
    void Flush();

    std::string target_;
    std::string temporary_;
    std::string buffer_;
    int fd_ = -1;
    mode_t mode_ = 0;
    bool modeSet_ = false;
    bool committed_ = false;
};

/// Makes the renames and new entries of `folder` survive a crash. False when
/// the file system cannot.
bool SyncFolder(const std::string& folder);

} // namespace quillbank
