// Scans prefs.js line by line by its quotes, commas and parentheses to collect accounts and values.

#include "profile/PrefsParser.h"

#include "config/InterfaceTexts.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

#include <algorithm>

namespace quillbank {

namespace {

constexpr std::string_view ServerPrefix = "mail.server.server";

std::string_view AfterQuote(std::string_view s)
{
    const auto quote = s.find('"');
    return quote == std::string_view::npos ? std::string_view() : s.substr(quote + 1);
}

std::string_view BeforeQuote(std::string_view s)
{
    const auto quote = s.find('"');
    return quote == std::string_view::npos ? std::string_view() : s.substr(0, quote);
}

std::string_view BetweenCommaAndParen(std::string_view s)
{
    const auto comma = s.find(',');
    const auto paren = s.find(')');
    if (comma == std::string_view::npos || paren == std::string_view::npos || paren < comma)
        return {};
    return s.substr(comma + 1, paren - comma - 1);
}

bool Contains(std::string_view text, std::string_view part)
{
    return text.find(part) != std::string_view::npos;
}

/// Calls `onLine` for every line of `content`; a line ends at LF or CR LF.
template <typename OnLine>
void ForEachLine(std::string_view content, OnLine onLine)
{
    while (!content.empty()) {
        const auto end = content.find('\n');
        std::string_view line = content.substr(0, end);
        content.remove_prefix(end == std::string_view::npos ? content.size() : end + 1);
        if (end != std::string_view::npos && line.ends_with('\r'))
            line.remove_suffix(1);
        if (onLine(line))
            return;
    }
}

std::string ReadPrefsFile(const std::string& path)
{
    auto content = ReadWholeFile(path);
    if (!content)
        throw EPrefsReadError("Cannot read " + path);
    return std::move(*content);
}

/// Sets the fields of `account` that a "mail.server.serverN" preference names;
/// `remainder` is the name after the prefix.
void ApplyAccountLine(TPrefsParserAccount& account, std::string_view remainder, const std::string& value)
{
    // Independent tests: one preference name may set more than one field.
    if (Contains(remainder, ".type"))
        account.ServerType = value;
    if (Contains(remainder, ".directory") && !Contains(remainder, ".directory-rel"))
        account.Directory = Utf8ToAnsi(ReplaceAll(value, "\\\\", "\\"));
    if (Contains(remainder, ".directory-rel"))
        account.DirectoryRel = Utf8ToAnsi(value);
    if (Contains(remainder, ".charset"))
        account.Charset = value;
    if (Contains(remainder, ".newsrc.file"))
        account.NewsrcFile = value;
}

} // namespace

TPrefsParser::TPrefsParser(std::string fileName, const TInterfaceTexts& texts, bool loadNow)
    : fileName_(std::move(fileName)), texts_(texts)
{
    if (loadNow)
        Load();
}

void TPrefsParser::Load()
{
    if (!FileExists(fileName_))
        throw EPrefsNotFound(texts_.GetText("LANG_DIRECTORY", "LANG_PREFS_JS_NOT_FOUND"));
    const std::string content = ReadPrefsFile(fileName_);
    ForEachLine(content, [&](std::string_view line) {
        const std::string name = PrefName(line);
        const std::string value = PrefValue(line);
        if (name.empty() || value.empty() || !name.starts_with(ServerPrefix))
            return false;
        const std::string_view remainder = std::string_view(name).substr(ServerPrefix.size());
        const auto dot = remainder.find('.');
        int number = 0;
        if (dot == std::string_view::npos || !TryParseInt(remainder.substr(0, dot), number) || number <= 0)
            return false;
        ApplyAccountLine(AccountNumber(number), remainder, value);
        return false;
    });
}

TPrefsParserAccount& TPrefsParser::AccountNumber(int number)
{
    const auto found =
        std::find_if(accounts_.begin(), accounts_.end(),
                     [number](const TPrefsParserAccount& account) { return account.Number == number; });
    if (found != accounts_.end())
        return *found;
    accounts_.push_back({});
    accounts_.back().Number = number;
    return accounts_.back();
}

std::string PrefName(std::string_view line)
{
    return std::string(BeforeQuote(AfterQuote(line)));
}

std::string PrefValue(std::string_view line)
{
    const std::string_view rest = AfterQuote(AfterQuote(line));
    const std::string_view quoted = BeforeQuote(AfterQuote(rest));
    return std::string(quoted.empty() ? BetweenCommaAndParen(rest) : quoted);
}

std::string ReplaceStringValue(std::string_view line, std::string_view newValue)
{
    const auto comma = line.find(',');
    // Up to and including the first comma (nothing when there is none) ...
    const std::size_t headLength = comma == std::string_view::npos ? 0 : comma + 1;
    std::string result(line.substr(0, headLength));
    // ... then what lies before the line's last character, up to and
    // including the value's opening quote.
    const std::size_t restEnd = line.empty() ? 0 : line.size() - 1;
    const std::string_view rest = restEnd > headLength ? line.substr(headLength, restEnd - headLength) : "";
    const auto quote = rest.find('"');
    if (quote != std::string_view::npos)
        result.append(rest.substr(0, quote + 1));
    result.append(newValue);
    result.append("\");");
    return result;
}

bool HasMailSettings(const std::string& profileDir)
{
    const std::string content = ReadPrefsFile(profileDir + "prefs.js");
    bool found = false;
    // Any server counts: mail, news, feeds, and "Local Folders" (type "none").
    ForEachLine(content, [&found](std::string_view line) {
        found =
            Contains(line, "user_pref(\"mail.identity.") || Contains(line, "user_pref(\"mail.server.server");
        return found;
    });
    return found;
}

} // namespace quillbank
