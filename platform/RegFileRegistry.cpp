// Parses a ".reg" export line by line: its keys, quoted and hex values, deletions below HKEY_LOCAL_MACHINE.

#include "platform/RegFileRegistry.h"

#include "platform/FileSystem.h"
#include "platform/Text.h"

#include <cstdint>
#include <vector>

namespace quillbank {

namespace {

constexpr std::string_view UnicodeHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view AnsiHeader = "REGEDIT4";

std::string_view NextLine(std::string_view& text)
{
    const auto end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    return line;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

void SkipBlanks(std::string_view text, std::size_t& pos)
{
    while (pos < text.size() && IsBlank(text[pos]))
        ++pos;
}

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool IsHexNumber(std::string_view text, std::size_t maxDigits)
{
    if (text.empty() || text.size() > maxDigits)
        return false;
    for (const char c : text) {
        if (HexDigitValue(c) < 0)
            return false;
    }
    return true;
}

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

/// Reads a double-quoted text starting at `pos` (which must hold the opening
/// quote), undoing the escapes \\ and \". Any other backslash stays as it is.
/// Leaves `pos` after the closing quote; nothing when the quote is not closed.
std::optional<std::string> ReadQuoted(std::string_view line, std::size_t& pos)
{
    if (pos >= line.size() || line[pos] != '"')
        return std::nullopt;
    std::string out;
    for (std::size_t i = pos + 1; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') {
            pos = i + 1;
            return out;
        }
        if (c == '\\' && i + 1 < line.size() && (line[i + 1] == '\\' || line[i + 1] == '"')) {
            out += line[i + 1];
            ++i;
            continue;
        }
        out += c;
    }
    return std::nullopt;
}

/// The bytes of a comma-separated list of two-digit hex numbers; nothing when
/// the list is malformed. A trailing comma (and blanks after it) is tolerated.
std::optional<std::string> ParseHexBytes(std::string_view data)
{
    std::string bytes;
    std::size_t start = 0;
    while (start < data.size()) {
        auto end = data.find(',', start);
        if (end == std::string_view::npos)
            end = data.size();
        const std::string token = Trim(data.substr(start, end - start));
        if (token.empty() && end != data.size())
            return std::nullopt;
        if (!token.empty()) {
            if (!IsHexNumber(token, 2))
                return std::nullopt;
            int value = 0;
            for (const char c : token)
                value = value * 16 + HexDigitValue(c);
            bytes += static_cast<char>(value);
        }
        start = end + 1;
    }
    return bytes;
}

/// What a value line sets: a text, a value without text, or a deletion.
struct TValueData
{
    enum class EKind
    {
        Text,
        NonText,
        Delete,
    };
    EKind kind = EKind::NonText;
    std::string text;
};

std::optional<TValueData> ParseHexValue(std::string_view data, bool unicodeFile)
{
    // data starts with "hex"; an optional "(type)" in hex digits follows.
    std::size_t pos = 3;
    std::uint32_t type = 3; // plain "hex:" is binary data
    if (pos < data.size() && data[pos] == '(') {
        const auto close = data.find(')', pos);
        if (close == std::string_view::npos || !IsHexNumber(data.substr(pos + 1, close - pos - 1), 8))
            return std::nullopt;
        type = 0;
        for (const char c : data.substr(pos + 1, close - pos - 1))
            type = type * 16 + static_cast<std::uint32_t>(HexDigitValue(c));
        pos = close + 1;
    }
    if (pos >= data.size() || data[pos] != ':')
        return std::nullopt;
    const auto bytes = ParseHexBytes(data.substr(pos + 1));
    if (!bytes)
        return std::nullopt;

    TValueData value;
    // Plain strings (1) and strings with unexpanded variables (2) hold text;
    // Version 5 files store them as UTF-16LE, REGEDIT4 files in the ANSI code page.
    if (type == 1 || type == 2) {
        std::string text = unicodeFile ? DecodeTextFile("\xFF\xFE" + *bytes) : AnsiToUtf8(*bytes);
        const auto terminator = text.find('\0');
        if (terminator != std::string::npos)
            text.resize(terminator);
        value.kind = TValueData::EKind::Text;
        value.text = std::move(text);
    }
    return value;
}

std::optional<TValueData> ParseValueData(std::string_view data, bool unicodeFile)
{
    TValueData value;
    if (data == "-") {
        value.kind = TValueData::EKind::Delete;
        return value;
    }
    if (data.starts_with('"')) {
        std::size_t pos = 0;
        auto text = ReadQuoted(data, pos);
        if (!text)
            return std::nullopt;
        SkipBlanks(data, pos);
        if (pos < data.size() && data[pos] != ';')
            return std::nullopt;
        value.kind = TValueData::EKind::Text;
        value.text = std::move(*text);
        return value;
    }
    if (StartsWithIgnoreCase(data, "dword:")) {
        if (!IsHexNumber(Trim(data.substr(6)), 8))
            return std::nullopt;
        return value;
    }
    if (StartsWithIgnoreCase(data, "hex"))
        return ParseHexValue(data, unicodeFile);
    return std::nullopt;
}

} // namespace

TRegFileRegistry TRegFileRegistry::FromFile(const std::string& path)
{
    const auto bytes = ReadWholeFile(path);
    return bytes ? FromText(*bytes) : TRegFileRegistry();
}

TRegFileRegistry TRegFileRegistry::FromText(std::string_view rawText)
{
    const std::string decoded = DecodeTextFile(rawText);
    std::string_view text = decoded;
    TRegFileRegistry registry;

    std::string header;
    while (!text.empty() && header.empty())
        header = Trim(NextLine(text));
    if (header != UnicodeHeader && header != AnsiHeader)
        return registry;
    const bool unicodeFile = header == UnicodeHeader;

    // The key that value lines belong to; none before the first key, inside
    // keys of other hives and after a malformed or deleting key line.
    TKey* current = nullptr;
    while (!text.empty()) {
        std::string line = Trim(NextLine(text));
        if (line.empty() || line.front() == ';')
            continue;

        if (line.front() == '[') {
            current = nullptr;
            if (line.back() != ']' || line.size() < 2)
                continue;
            std::string_view path = std::string_view(line).substr(1, line.size() - 2);
            const bool deleteKey = path.starts_with('-');
            if (deleteKey)
                path.remove_prefix(1);
            const auto separator = path.find('\\');
            const std::string_view hive = path.substr(0, separator);
            if (!EqualsIgnoreCase(hive, "HKEY_LOCAL_MACHINE") && !EqualsIgnoreCase(hive, "HKLM"))
                continue;
            const std::string_view key =
                separator == std::string_view::npos ? std::string_view() : path.substr(separator);
            if (deleteKey)
                registry.DeleteKeyTree(key);
            else
                current = &registry.OpenOrCreateKey(key);
            continue;
        }

        std::size_t pos = 0;
        std::string name;
        if (line.front() == '@') {
            pos = 1;
        } else if (auto quoted = ReadQuoted(line, pos)) {
            name = std::move(*quoted);
        } else {
            continue;
        }
        SkipBlanks(line, pos);
        if (pos >= line.size() || line[pos] != '=')
            continue;
        ++pos;
        SkipBlanks(line, pos);
        std::string data = line.substr(pos);
        // Hex data may go on over several lines, each but the last ending in a backslash.
        if (StartsWithIgnoreCase(data, "hex")) {
            while (!data.empty() && data.back() == '\\' && !text.empty()) {
                data.pop_back();
                data += Trim(NextLine(text));
            }
        }
        const auto value = ParseValueData(data, unicodeFile);
        if (current == nullptr || !value)
            continue;
        switch (value->kind) {
        case TValueData::EKind::Delete:
            DeleteValue(*current, name);
            break;
        case TValueData::EKind::Text:
            SetValue(*current, name, value->text);
            break;
        case TValueData::EKind::NonText:
            SetValue(*current, name, std::nullopt);
            break;
        }
    }
    return registry;
}

} // namespace quillbank
