// The file-name template: its placeholders ("<application>", "<year>", ...) expanded into a backup's name.

#pragma once

#include "vocabulary/AppType.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillbank {

/// What the file-name template is expanded for.
struct TTemplateSelection
{
    AppType Application = NoAppType;
    /// The installed version text of the application; empty when none was found.
    std::string Version;
    /// The profile selected in the profile list, when one is selected.
    std::optional<std::string> ProfileName;
    /// True for a restore, false for a backup.
    bool IsRestore = false;
};

/// A local date and time, as the template's placeholders use it.
struct TLocalDateTime
{
    int Year = 0;
    int Month = 0;
    int Day = 0;
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
    int Millisecond = 0;
    /// 0 Sunday .. 6 Saturday.
    int DayOfWeek = 0;
};

TLocalDateTime CurrentLocalDateTime();

/**
 * Expands the placeholders of a file-name template (or of any path holding
 * them): "<application>", "<version>", "<profile>", "<year>", "<month>",
 * "<day>", "<hour>", "<minute>", "<second>", "<millisecond>", "<dayOfWeek>".
 * Each is replaced everywhere, in that order, so a value may itself hold a
 * later placeholder. A "/" in the application, version or profile text becomes
 * "-", so that a value never adds a folder level; a "/" of the template stays
 * a separator. "<profile>" without a selected profile stays for a backup and
 * becomes empty for a restore.
 */
std::string ExpandFileNameTemplate(std::string_view fileTemplate, const TTemplateSelection& selection,
                                   const TLocalDateTime& now);
std::string ExpandFileNameTemplate(std::string_view fileTemplate, const TTemplateSelection& selection);

} // namespace quillbank
