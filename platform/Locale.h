// What the program takes from the user's regional settings: weekday names and the local time zone.

#pragma once

#include <string>

namespace quillbank {

/// The full name of a weekday (0 Sunday .. 6 Saturday) in the language of the
/// user's regional settings (LC_ALL, LC_TIME, LANG); English for the "C" locale.
std::string LongDayName(int dayOfWeek);

/// Names the local time zone file in TZ when TZ is unset, which means the
/// same zone. Without it the C library checks that file again on every
/// local-time conversion, and the archive library converts every entry's
/// time: one file status call per entry and per conversion. Programs call it
/// first thing in main, before any other thread starts.
void KeepLocalTimeZoneLoaded();

} // namespace quillbank
