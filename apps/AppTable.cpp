#include "apps/AppType.h"

#include <array>

namespace quillbank {

namespace {

constexpr std::array<std::string_view, LastAppType + 1> ShortNames = {
    "",      "SeaMonkey", "Firefox",   "Thunderbird", "Sunbird",
    "Flock", "Netscape",  "Messanger", "Spicebird",   "Songbird",
};

} // namespace

std::string_view AppShortName(AppType type)
{
    return IsKnownAppType(type) ? ShortNames[type] : std::string_view();
}

} // namespace quillbank
