// One file of a backup that lies outside the profile, and the name it takes in the archive.

#pragma once

#include <string>

namespace quillbank {

/// One file of a backup that lies outside the profile, such as a mail folder
/// kept elsewhere.
struct TBackupTaskExternal
{
    /// The folder that RelativeName is relative to; it ends with "/".
    std::string SourceDir;
    /// The file's path below SourceDir. Its first component is the external
    /// folder's own name.
    std::string RelativeName;
    /// The top-level archive folder the file is stored under instead of that
    /// name; empty when the folder keeps its own name in the archive.
    std::string ArchiveFolder;

    /// The file's name in the archive.
    std::string EntryName() const
    {
        if (ArchiveFolder.empty())
            return RelativeName;
        const auto slash = RelativeName.find('/');
        return ArchiveFolder + (slash == std::string::npos ? std::string() : RelativeName.substr(slash));
    }

    bool operator==(const TBackupTaskExternal&) const = default;
};

} // namespace quillbank
