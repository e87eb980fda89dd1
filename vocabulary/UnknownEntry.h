// A file or folder at a profile's root that no component covers.

#pragma once

#include <string>

namespace quillbank {

/// One entry of a profile root that no component covers: a file or a folder
/// name relative to the profile root.
struct TUnknownEntry
{
    std::string Name;
    bool IsDirectory = false;

    bool operator==(const TUnknownEntry&) const = default;
};

} // namespace quillbank
