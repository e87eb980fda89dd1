// Reads the time from QUILLBANK_NOW or the system clock, and finds the local calendar day of a time.

#include "cli/Clock.h"

#include "engine/BackupIdentity.h"

#include <cstdlib>
#include <ctime>

namespace quillbank::cli {

std::int64_t CurrentTime()
{
    if (const char* given = std::getenv("QUILLBANK_NOW"))
        if (const auto seconds = ParseUtcTime(given))
            return *seconds;
    return static_cast<std::int64_t>(std::time(nullptr));
}

TCivilDate LocalDay(std::int64_t seconds)
{
    const auto time = static_cast<std::time_t>(seconds);
    std::tm local{};
    localtime_r(&time, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

} // namespace quillbank::cli
