#pragma once

#include <string>
#include <vector>

namespace quillbank {

/// The executable file name (no folder) of every running process, in the order
/// the system lists them, duplicates kept: the name /proc/PID/exe points at,
/// or the process's "comm" name when that link cannot be read. Processes that
/// have ended and wait to be reaped are not listed.
std::vector<std::string> ListProcessNames();

} // namespace quillbank
