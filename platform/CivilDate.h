// Calendar arithmetic without time zones: days since 1970, valid dates and ISO 8601 weeks.

#pragma once

#include <cstdint>

namespace quillbank {

/// A day of the proleptic Gregorian calendar.
struct TCivilDate
{
    int Year = 1970;
    int Month = 1;
    int Day = 1;

    bool operator==(const TCivilDate&) const = default;
};

/// The days from 1970-01-01 to `date` (negative before it).
std::int64_t DaysFromCivil(const TCivilDate& date);
/// The date `days` after 1970-01-01.
TCivilDate CivilFromDays(std::int64_t days);
/// Whether `date` names a day that exists (31 April does not).
bool IsValidDate(const TCivilDate& date);

/// An ISO 8601 week: weeks start on Monday, and week 1 holds the year's first Thursday.
struct TIsoWeek
{
    int Year = 0;
    int Week = 0;

    bool operator==(const TIsoWeek&) const = default;
};
TIsoWeek IsoWeekOf(const TCivilDate& date);

} // namespace quillbank
