// The time a backup records as its own (which tests can set through QUILLBANK_NOW) and its local day.

#pragma once

#include "platform/CivilDate.h"

#include <cstdint>

namespace quillbank::cli {

/// The time a backup records as its own, in seconds since 1970 UTC: that of
/// the environment variable QUILLBANK_NOW when it holds
/// "YYYY-MM-DDTHH:MM:SSZ" (so tests can make backups on any day), else the
/// system clock's.
std::int64_t CurrentTime();

/// The calendar day `seconds` falls on in the local time zone.
TCivilDate LocalDay(std::int64_t seconds);

} // namespace quillbank::cli
