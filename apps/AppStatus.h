// What installation detection found of each application type: installed or not, its version and its folder.

#pragma once

#include "vocabulary/AppType.h"

#include <array>
#include <string>

namespace quillbank {

/// What installation detection found of one application type.
struct TAppStatus
{
    /// Set when the registry holds the type's version; never cleared during a run.
    bool Installed = false;
    /// The "CurrentVersion" value exactly as read.
    std::string Version;
    /// The "Install Directory" value exactly as read.
    std::string InstallDir;
};

/// One record per type, indexed by AppType (index 0 stays empty). Lives for
/// the whole run of the program.
using TAppStatusTable = std::array<TAppStatus, LastAppType + 1>;

} // namespace quillbank
