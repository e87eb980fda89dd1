// A mail account folder outside the profile that a backup holds, and the archive folder that keeps its files.

#pragma once

#include <string>
#include <utility>

namespace quillbank {

/// A mail account folder outside the profile that a backup holds.
struct TMailFolder
{
    TMailFolder() = default;
    TMailFolder(std::string path, std::string archiveFolder, std::string place = {})
        : Path(std::move(path)), ArchiveFolder(std::move(archiveFolder)), Place(std::move(place))
    {}

    /// The folder's absolute path when the backup was made.
    std::string Path;
    /// The top-level folder of the archive that holds its files: the folder's
    /// own name, unless another folder of the backup already goes by that name.
    std::string ArchiveFolder;
    /// Where the user chose to put a folder recorded as a Windows path;
    /// empty for its default place inside the profile.
    std::string Place;

    bool operator==(const TMailFolder&) const = default;
};

} // namespace quillbank
