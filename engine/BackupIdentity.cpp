// Writes and parses the identity's header lines and their UTC times, and puts profile folders in one form.

#include "engine/BackupIdentity.h"

#include "platform/CivilDate.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

#include <cstdio>

namespace quillbank {

namespace {

constexpr std::string_view ProfilePrefix = "Profile: ";
constexpr std::string_view FolderPrefix = "Folder: ";
constexpr std::string_view MadePrefix = "Made: ";

/// The digits of `text` at `at` as a number; nothing when one is not a digit.
std::optional<int> Digits(std::string_view text, std::size_t at, std::size_t count)
{
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

} // namespace

std::vector<std::string> IdentityLines(const TBackupIdentity& identity)
{
    std::vector<std::string> lines = {std::string(ProfilePrefix) + Utf8ToAnsi(identity.ProfileName),
                                      std::string(FolderPrefix) + Utf8ToAnsi(identity.ProfileFolder)};
    if (identity.MadeAt)
        lines.push_back(std::string(MadePrefix) + FormatUtcTime(*identity.MadeAt));
    return lines;
}

std::optional<TBackupIdentity> ParseIdentityLines(const std::vector<std::string>& lines)
{
    TBackupIdentity identity;
    for (const std::string& line : lines) {
        const std::string_view text = line;
        if (text.starts_with(ProfilePrefix))
            identity.ProfileName = AnsiToUtf8(text.substr(ProfilePrefix.size()));
        else if (text.starts_with(FolderPrefix))
            identity.ProfileFolder = AnsiToUtf8(text.substr(FolderPrefix.size()));
        else if (text.starts_with(MadePrefix))
            identity.MadeAt = ParseUtcTime(text.substr(MadePrefix.size()));
    }
    if (identity.ProfileFolder.empty())
        return std::nullopt;
    return identity;
}

std::string FormatUtcTime(std::int64_t seconds)
{
    const std::int64_t days = (seconds >= 0 ? seconds : seconds - 86399) / 86400;
    const std::int64_t inDay = seconds - days * 86400;
    const TCivilDate date = CivilFromDays(days);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", date.Year, date.Month, date.Day,
                  static_cast<int>(inDay / 3600), static_cast<int>(inDay / 60 % 60),
                  static_cast<int>(inDay % 60));
    return text;
}

std::optional<std::int64_t> ParseUtcTime(std::string_view text)
{
    // YYYY-MM-DDTHH:MM:SSZ
    if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
        text[16] != ':' || text[19] != 'Z')
        return std::nullopt;
    const auto year = Digits(text, 0, 4), month = Digits(text, 5, 2), day = Digits(text, 8, 2);
    const auto hour = Digits(text, 11, 2), minute = Digits(text, 14, 2), second = Digits(text, 17, 2);
    if (!year || !month || !day || !hour || !minute || !second || *hour > 23 || *minute > 59 || *second > 59)
        return std::nullopt;
    const TCivilDate date{*year, *month, *day};
    if (!IsValidDate(date))
        return std::nullopt;
    return DaysFromCivil(date) * 86400 + *hour * 3600 + *minute * 60 + *second;
}

std::string IdentityFolder(std::string_view folder)
{
    return WithoutTrailingSeparators(LexicallyNormal(folder));
}

} // namespace quillbank
