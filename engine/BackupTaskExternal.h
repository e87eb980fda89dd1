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
    /// folder's own name, so the archive entry keeps that name.
    std::string RelativeName;

    bool operator==(const TBackupTaskExternal&) const = default;
};

} // namespace quillbank
