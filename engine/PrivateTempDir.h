// A temporary folder readable by the user only, removed with everything in it.

#pragma once

#include <string>

namespace quillbank {

/**
 * A folder of the program's own for short-lived copies (an archive header
 * read back, for one): created readable by the user only, below
 * $XDG_RUNTIME_DIR or the system's temporary folder, and removed with
 * everything in it when the object goes.
 */
class TPrivateTempDir
{
public:
    /// Throws std::runtime_error when no such folder can be made.
    TPrivateTempDir();
    ~TPrivateTempDir();
    TPrivateTempDir(const TPrivateTempDir&) = delete;
    TPrivateTempDir& operator=(const TPrivateTempDir&) = delete;

    /// The folder, ending with a separator.
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

} // namespace quillbank
