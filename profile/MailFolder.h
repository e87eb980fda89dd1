#pragma once

#include <string>

namespace quillbank {

/// A mail account folder outside the profile that a backup holds.
struct TMailFolder
{
    /// The folder's absolute path when the backup was made.
    std::string Path;
    /// The top-level folder of the archive that holds its files: the folder's
    /// own name, unless another folder of the backup already goes by that name.
    std::string ArchiveFolder;

    bool operator==(const TMailFolder&) const = default;
};

} // namespace quillbank
