// Converts between calendar dates and day counts, and finds the ISO 8601 week of a date.

#include "platform/CivilDate.h"

namespace quillbank {

// The day counts follow the era arithmetic of the Gregorian calendar: 400
// years are 146097 days, and counting from 1 March puts the leap day last.

std::int64_t DaysFromCivil(const TCivilDate& date)
{
    const std::int64_t year = date.Month <= 2 ? date.Year - 1 : date.Year;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t month = date.Month;
    const std::int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + date.Day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

TCivilDate CivilFromDays(std::int64_t days)
{
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
    const int day = static_cast<int>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
    const int month = static_cast<int>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
    const int year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
    return {year, month, day};
}

bool IsValidDate(const TCivilDate& date)
{
    return date.Month >= 1 && date.Month <= 12 && date.Day >= 1 && CivilFromDays(DaysFromCivil(date)) == date;
}

TIsoWeek IsoWeekOf(const TCivilDate& date)
{
    const std::int64_t days = DaysFromCivil(date);
    // 1970-01-01 was a Thursday; Monday is 0.
    const std::int64_t weekday = ((days + 3) % 7 + 7) % 7;
    // The week belongs to the year its Thursday lies in.
    const TCivilDate thursday = CivilFromDays(days - weekday + 3);
    const std::int64_t firstDay = DaysFromCivil({thursday.Year, 1, 1});
    return {thursday.Year, static_cast<int>((DaysFromCivil(thursday) - firstDay) / 7 + 1)};
}

} // namespace quillbank
