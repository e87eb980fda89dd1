// The executable names of this user's running processes, or a fixed list that tests put in their place.

#pragma once

#include <string>
#include <vector>

namespace quillbank {

/// The executable file name (no folder) of every running process of the
/// user this program runs as, in the order the system lists them, duplicates
/// kept: the name /proc/PID/exe points at, or the process's "comm" name when
/// that link cannot be read. Processes that have ended and wait to be reaped
/// are not listed. While a TProcessListOverride lives, its names instead.
std::vector<std::string> ListOwnProcessNames();

/// Puts a fixed list of process names in place of the system's while it
/// lives, so that what depends on running processes can be tried whatever
/// runs on the machine.
class TProcessListOverride
{
public:
    explicit TProcessListOverride(std::vector<std::string> names);
    ~TProcessListOverride();
    TProcessListOverride(const TProcessListOverride&) = delete;
    TProcessListOverride& operator=(const TProcessListOverride&) = delete;
};

} // namespace quillbank
