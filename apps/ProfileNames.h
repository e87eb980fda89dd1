// Which profiles a name given by the user means: the names equal to it first, else the names that contain it.

#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quillbank {

/**
 * Which of `names` the name `wanted` means: the positions of the names equal
 * to it, letter case ignored in every script; when none is, of those that
 * contain it. Empty for an empty `wanted`. An exact name thus always wins
 * over names it is only part of ("default" over "default-esr").
 */
std::vector<std::size_t> MatchProfileNames(const std::vector<std::string>& names, std::string_view wanted);

} // namespace quillbank
