// Names for files written beside their target, shortened to fit the longest name the file system allows.

#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillbank {

/// The longest file name `folder` can hold, as its file system says; 255
/// when it does not say.
std::size_t MaxFileNameLength(const std::string& folder);

/**
 * The path of a file beside `target`, in the same folder: `prefix`, the
 * target's name and `suffix`. Every file written before it replaces another
 * (or is renamed into place) is named this way, so that a target whose name
 * is as long as the folder allows still gets one: when the name, with
 * `reserve` more bytes that someone else appends later, would be longer than
 * MaxFileNameLength, the target's name is cut to fit (never inside a UTF-8
 * sequence) and "~" with a hash of the whole name is put after it, so that
 * long names beginning alike still get names of their own.
 */
std::string NameBeside(const std::string& target, std::string_view prefix, std::string_view suffix,
                       std::size_t reserve = 0);

/// The mkstemp template of a temporary for `target`:
/// "<name>.qbpart-XXXXXX" beside it, shortened as NameBeside shortens.
std::string TemporaryTemplateBeside(const std::string& target);

/// Whether `name` (a file name without its folder) is one that
/// TemporaryTemplateBeside makes: ".qbpart-" and the six letters or digits
/// that replaced "XXXXXX", at its end.
bool IsTemporaryBesideName(std::string_view name);

} // namespace quillbank
