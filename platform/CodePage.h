// Windows code pages: the one a language file's character set implies, and text converted from them to UTF-8.

#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillbank {

/// The code page that a Windows character set of a language file
/// ("DefaultCharset": 238 Central European, 204 Cyrillic, ...) implies, as
/// iconv names it ("CP1250"); "CP1252" for the western and unknown ones.
std::string CodePageOfCharset(int charset);

/// The iconv name of a code page given as "1250", "cp1250" or "windows-1250";
/// nothing when iconv does not know it.
std::optional<std::string> KnownCodePage(std::string_view name);

/// `bytes` converted from `codePage` to UTF-8; nothing when they hold a
/// sequence the code page does not define, or a NUL.
std::optional<std::string> DecodeCodePage(std::string_view bytes, const std::string& codePage);

/// Whether `text` is well-formed UTF-8.
bool IsUtf8(std::string_view text);

/// A text written on Windows in UTF-8: as it is when it is UTF-8 already,
/// else read in `codePage`; as it is when the code page does not define it.
std::string Utf8FromCodePage(std::string_view text, const std::string& codePage);

} // namespace quillbank
