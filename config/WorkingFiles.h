#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace quillbank {

/// The working files that lie beside the program: the language file, the
/// settings and the list of files a profile is known to hold. (The ZIP engine
/// is a system library and needs no file of its own.)
inline constexpr std::array<std::string_view, 3> RequiredWorkingFiles = {"Default.lng", "Backup.ini",
                                                                         "Profilefiles.txt"};

/// The working files missing from `programDir`, in the order above. Names
/// match without regard to letter case.
std::vector<std::string> MissingWorkingFiles(const std::string& programDir);

} // namespace quillbank
