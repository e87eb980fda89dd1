// The INI reader every INI-style file goes through: settings, language file, task files, "profiles.ini".

#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillbank {

/**
 * An INI text read with the platform's profile-string rules, the way every
 * INI-style file of the program is read (settings, language file, task files,
 * profiles.ini):
 *
 * - section and key names match without regard to ASCII letter case, and blanks
 *   around them are dropped;
 * - blanks around a value are dropped, and then one pair of matching double or
 *   single quotes around the whole value is removed, which is how a value keeps
 *   a leading or trailing blank;
 * - lines starting with ";" are comments; lines without "=" and key lines
 *   before the first section are ignored;
 * - when a section name appears twice, only the first section of that name is
 *   read; when a key appears twice in it, the first one wins;
 * - CR LF and LF line ends, a UTF-8 or UTF-16 byte-order mark, and NUL bytes
 *   and bytes that are not valid UTF-8 inside values are all accepted.
 */
class TIniFile
{
public:
    static TIniFile FromText(std::string_view text);
    /// Nothing when the file cannot be read.
    static std::optional<TIniFile> Load(const std::string& path);

    /// The value of `key` in `section`, or nothing when either is absent.
    std::optional<std::string> FindString(std::string_view section, std::string_view key) const;
    /// The value of `key` in `section`, or `fallback` when either is absent.
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view fallback = {}) const;
    bool HasSection(std::string_view section) const;
    /// The names of the sections, in file order, each once.
    std::vector<std::string> SectionNames() const;
    /// Every name=value line of `section`, in file order, duplicates included.
    std::vector<std::pair<std::string, std::string>> ReadSection(std::string_view section) const;

private:
    struct TSection
    {
        std::string name;
        std::vector<std::pair<std::string, std::string>> entries;
    };
    const TSection* FindSection(std::string_view name) const;

    std::vector<TSection> sections_;
};

/// Reads one value straight from a file, opened and closed on every call;
/// `fallback` when the file, the section or the key is missing.
std::string ReadProfileString(const std::string& path, std::string_view section, std::string_view key,
                              std::string_view fallback = {});

} // namespace quillbank
