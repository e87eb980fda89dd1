// Expands the file-name template's placeholders from the selection and the local date and time.

#include "config/FileNameTemplate.h"

#include "platform/Locale.h"
#include "platform/Text.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace quillbank {

namespace {

/// A value that a placeholder inserts: it may never add a folder level.
std::string InsertedValue(std::string_view value)
{
    return ReplaceAll(value, "/", "-");
}

/// One "0" in front of a single digit: 5 -> "05", 45 -> "45", 345 -> "345".
std::string TwoDigits(int value)
{
    char digits[16];
    const int length = std::snprintf(digits, sizeof digits, "%02d", value);
    return std::string(digits, static_cast<std::size_t>(length));
}

} // namespace

TLocalDateTime CurrentLocalDateTime()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    const auto sinceEpoch = now.time_since_epoch();
    const auto millisecond = std::chrono::duration_cast<std::chrono::milliseconds>(
        sinceEpoch - std::chrono::floor<std::chrono::seconds>(sinceEpoch));
    return {local.tm_year + 1900,
            local.tm_mon + 1,
            local.tm_mday,
            local.tm_hour,
            local.tm_min,
            local.tm_sec,
            static_cast<int>(millisecond.count()),
            local.tm_wday};
}

std::string ExpandFileNameTemplate(std::string_view fileTemplate, const TTemplateSelection& selection,
                                   const TLocalDateTime& now)
{
    std::string name(fileTemplate);
    name = ReplaceAll(name, "<application>", InsertedValue(AppShortName(selection.Application)));
    name = ReplaceAll(name, "<version>", InsertedValue(selection.Version));
    if (selection.ProfileName)
        name = ReplaceAll(name, "<profile>", InsertedValue(*selection.ProfileName));
    if (selection.IsRestore)
        name = ReplaceAll(name, "<profile>", "");
    name = ReplaceAll(name, "<year>", std::to_string(now.Year));
    name = ReplaceAll(name, "<month>", TwoDigits(now.Month));
    name = ReplaceAll(name, "<day>", TwoDigits(now.Day));
    name = ReplaceAll(name, "<hour>", TwoDigits(now.Hour));
    name = ReplaceAll(name, "<minute>", TwoDigits(now.Minute));
    name = ReplaceAll(name, "<second>", TwoDigits(now.Second));
    name = ReplaceAll(name, "<millisecond>", TwoDigits(now.Millisecond));
    name = ReplaceAll(name, "<dayOfWeek>", InsertedValue(LongDayName(now.DayOfWeek)));
    return name;
}

std::string ExpandFileNameTemplate(std::string_view fileTemplate, const TTemplateSelection& selection)
{
    return ExpandFileNameTemplate(fileTemplate, selection, CurrentLocalDateTime());
}

} // namespace quillbank
