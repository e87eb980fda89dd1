#include "config/WorkingFiles.h"

#include "platform/FileSystem.h"

namespace quillbank {

std::vector<std::string> MissingWorkingFiles(const std::string& programDir)
{
    std::vector<std::string> missing;
    for (std::string_view name : RequiredWorkingFiles) {
        const auto found = FindEntryIgnoreCase(programDir, name);
        if (!found || !FileExists(IncludeTrailingSeparator(programDir) + *found))
            missing.emplace_back(name);
    }
    return missing;
}

} // namespace quillbank
