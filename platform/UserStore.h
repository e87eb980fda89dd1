// The small per-user store the program writes itself, such as the remembered backup folders.

#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillbank {

/**
 * The small per-user store that the program writes itself (the remembered
 * backup directories): the file "Quillbank/UserStore.ini" in the per-user
 * configuration folder, one value per name in its section [Quillbank].
 */
std::string UserStorePath();

/// The stored value, or nothing when the file or the value is missing.
std::optional<std::string> ReadUserValue(std::string_view name);

/// Stores a value, replacing an earlier one; the file is replaced as a whole,
/// so a failed write leaves the old file intact. False when it could not be written.
bool WriteUserValue(std::string_view name, std::string_view value);

} // namespace quillbank
