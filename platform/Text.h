// Text helpers: trimming, case folding, wildcards, replacing, parsing numbers, display escapes, encodings.

#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillbank {

/// Removes leading and trailing blanks and control characters (every byte up
/// to and including the space).
std::string Trim(std::string_view text);

/// ASCII letter case folding; other bytes, UTF-8 sequences included, pass unchanged.
std::string ToLowerAscii(std::string_view text);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
/// Unicode full case folding of UTF-8 text, for comparing names without
/// regard to letter case in every script ("STRASSE" and "Straße" fold alike,
/// as do "ΣΟΦΊΑ" and "σοφία"); bytes that are not valid UTF-8 fold to U+FFFD.
std::string FoldCase(std::string_view text);

/// Whether `text` matches a wildcard pattern: "*" any run of characters
/// (folder separators included), "?" exactly one; ASCII letters without
/// regard to case.
bool MatchesWildcard(std::string_view text, std::string_view pattern);

/// An extraction spec as archive entries are matched against it: "/" between
/// folders, and a final "*.*" meaning every name (names without a dot too),
/// as the file-name wildcards it comes from meant it.
std::string NormalizedSpec(std::string_view spec);

/**
 * Extraction specs, normalized by NormalizedSpec and grouped by their first
 * character, so that a name is tried only against the specs that can match
 * it: a restore matches every one of a hundred thousand entry names against
 * each component's specs, tens of millions of tries.
 */
class TSpecSet
{
public:
    explicit TSpecSet(const std::vector<std::string>& specs);
    /// Whether `name` matches any of the specs.
    bool Matches(std::string_view name) const;

private:
    /// Specs that start with a character, by that character in lower case.
    std::array<std::vector<std::string>, 256> byFirst_;
    /// Specs that start with a wildcard, and the empty spec.
    std::vector<std::string> anyFirst_;
};

/// Replaces every occurrence of `from` (case-sensitive, left to right, never
/// rescanning inserted text).
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);
/// Replaces the first occurrence of `from` only.
std::string ReplaceFirst(std::string_view text, std::string_view from, std::string_view to);
/// The lines of `text`, split at "\n", each without its "\r" before the
/// break; a final line break starts no further line.
std::vector<std::string_view> SplitLines(std::string_view text);

/// Parses a whole signed decimal 32-bit integer: an optional sign and digits,
/// nothing else. False for anything else, overflow included.
bool TryParseInt(std::string_view text, int& value);

/// `text` as it may be shown to a person or written as one line of a log:
/// control characters (C0, DEL and C1), the line and paragraph separators and
/// the marks that reorder text (bidirectional overrides, embeddings and
/// isolates) are written as escapes ("\n", "\r", "\t", "\x1b", "\u202e"), and
/// bytes that are not valid UTF-8 as "\xNN". Anything else, backslashes
/// included, passes unchanged, so a text escaped once does not change when it
/// is escaped again.
std::string VisibleText(std::string_view text);

/// A byte count for people: "512 B", "12.3 KiB", "4.0 MiB", "1.2 GiB".
std::string HumanBytes(std::int64_t bytes);

/// The system's ANSI code page is UTF-8 here: both conversions are the
/// identity, and bytes that are not valid UTF-8 pass through unchanged.
std::string AnsiToUtf8(std::string_view text);
std::string Utf8ToAnsi(std::string_view text);

/// The text of a file as UTF-8: a UTF-8 byte-order mark is dropped, UTF-16
/// (little- or big-endian, recognised by its byte-order mark) is converted, and
/// anything else passes unchanged.
std::string DecodeTextFile(std::string_view bytes);

} // namespace quillbank
