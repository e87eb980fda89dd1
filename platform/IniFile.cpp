// Parses INI text line by line into sections and keys, with its quoting, comment and duplicate rules.

#include "platform/IniFile.h"

#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace quillbank {

namespace {

std::string StripOneQuotePair(std::string value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

std::string_view NextLine(std::string_view& text)
{
    const auto end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.ends_with('\r'))
        line.remove_suffix(1);
    return line;
}

} // namespace

TIniFile TIniFile::FromText(std::string_view rawText)
{
    const std::string decoded = DecodeTextFile(rawText);
    std::string_view text = decoded;
    TIniFile ini;
    TSection* current = nullptr;
    while (!text.empty()) {
        const std::string line = Trim(NextLine(text));
        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            const auto close = line.find(']');
            const std::string name =
                Trim(std::string_view(line).substr(1, close == std::string::npos ? close : close - 1));
            ini.sections_.push_back({name, {}});
            current = &ini.sections_.back();
            continue;
        }
        const auto equals = line.find('=');
        if (current == nullptr || equals == std::string::npos)
            continue;
        current->entries.emplace_back(Trim(std::string_view(line).substr(0, equals)),
                                      StripOneQuotePair(Trim(std::string_view(line).substr(equals + 1))));
    }
    return ini;
}

std::optional<TIniFile> TIniFile::Load(const std::string& path)
{
    const auto bytes = ReadWholeFile(path);
    if (!bytes)
        return std::nullopt;
    return FromText(*bytes);
}

const TIniFile::TSection* TIniFile::FindSection(std::string_view name) const
{
    for (const TSection& section : sections_)
        if (EqualsIgnoreCase(section.name, name))
            return &section;
    return nullptr;
}

std::optional<std::string> TIniFile::FindString(std::string_view section, std::string_view key) const
{
    if (const TSection* found = FindSection(section))
        for (const auto& [name, value] : found->entries)
            if (EqualsIgnoreCase(name, key))
                return value;
    return std::nullopt;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view fallback) const
{
    return FindString(section, key).value_or(std::string(fallback));
}

bool TIniFile::HasSection(std::string_view section) const
{
    return FindSection(section) != nullptr;
}

std::vector<std::string> TIniFile::SectionNames() const
{
    std::vector<std::string> names;
    for (const TSection& section : sections_)
        if (FindSection(section.name) == &section)
            names.push_back(section.name);
    return names;
}

std::vector<std::pair<std::string, std::string>> TIniFile::ReadSection(std::string_view section) const
{
    const TSection* found = FindSection(section);
    return found ? found->entries : std::vector<std::pair<std::string, std::string>>();
}

std::string ReadProfileString(const std::string& path, std::string_view section, std::string_view key,
                              std::string_view fallback)
{
    const auto ini = TIniFile::Load(path);
    return ini ? ini->ReadString(section, key, fallback) : std::string(fallback);
}

} // namespace quillbank
