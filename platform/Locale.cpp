// Weekday names from the user's locale, and TZ pinned so local-time conversions stop rereading the zone file.

#include "platform/Locale.h"

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <langinfo.h>
#include <locale.h>

namespace quillbank {

std::string LongDayName(int dayOfWeek)
{
    static constexpr nl_item days[] = {DAY_1, DAY_2, DAY_3, DAY_4, DAY_5, DAY_6, DAY_7};
    if (dayOfWeek < 0 || dayOfWeek > 6)
        return {};
    // The user's own settings from the environment, whatever the program's
    // global locale is; "C" when they name a locale that is not installed.
    locale_t userLocale = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(0));
    if (userLocale == static_cast<locale_t>(0))
        userLocale = newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(0));
    std::string name = nl_langinfo_l(days[dayOfWeek], userLocale);
    freelocale(userLocale);
    return name;
}

void KeepLocalTimeZoneLoaded()
{
    setenv("TZ", ":/etc/localtime", 0);
    tzset();
}

} // namespace quillbank
