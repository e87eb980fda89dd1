#pragma once

#include <string>

namespace quillbank {

/// The full name of a weekday (0 Sunday .. 6 Saturday) in the language of the
/// user's regional settings (LC_ALL, LC_TIME, LANG); English for the "C" locale.
std::string LongDayName(int dayOfWeek);

} // namespace quillbank
