// The "did you mean" hint for a mistyped command, option or name.

#pragma once

#include <span>
#include <string>
#include <string_view>

namespace quillbank::cli {

/// The number of single-character insertions, deletions and substitutions
/// that turn `a` into `b`.
std::size_t EditDistance(std::string_view a, std::string_view b);

/**
 * " (did you mean \"NAME\"?)" for the candidate closest to what was typed,
 * when a slip of the fingers explains the difference (at most one edit per
 * three characters, and at least one); else nothing. Ties go to the first
 * candidate.
 */
std::string DidYouMean(std::string_view typed, std::span<const std::string_view> candidates);

} // namespace quillbank::cli
