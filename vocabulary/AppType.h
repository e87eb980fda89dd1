// The application types (Firefox, Thunderbird, SeaMonkey, ...), the index of every per-application table.

#pragma once

#include <cstdint>
#include <string_view>

namespace quillbank {

/// The application types: 1 SeaMonkey (and the older Mozilla suite), 2 Firefox,
/// 3 Thunderbird, 4 Sunbird, 5 Flock, 6 Netscape, 7 Netscape Messenger,
/// 8 Spicebird, 9 Songbird; 0 while none is chosen. Every per-application
/// table is indexed by it.
using AppType = std::uint8_t;

inline constexpr AppType NoAppType = 0;
inline constexpr AppType SeaMonkeyAppType = 1;
inline constexpr AppType FirefoxAppType = 2;
inline constexpr AppType ThunderbirdAppType = 3;
inline constexpr AppType SunbirdAppType = 4;
inline constexpr AppType FlockAppType = 5;
inline constexpr AppType NetscapeAppType = 6;
inline constexpr AppType NetscapeMessengerAppType = 7;
inline constexpr AppType SpicebirdAppType = 8;
inline constexpr AppType SongbirdAppType = 9;
inline constexpr AppType FirstAppType = SeaMonkeyAppType;
inline constexpr AppType LastAppType = SongbirdAppType;

inline constexpr bool IsKnownAppType(unsigned type)
{
    return type >= FirstAppType && type <= LastAppType;
}

/// The application's short name, which the file-name template puts for
/// "<application>" and the messages name it by; empty for 0.
constexpr std::string_view AppShortName(AppType type)
{
    constexpr std::string_view names[] = {"",      "SeaMonkey", "Firefox",   "Thunderbird", "Sunbird",
                                          "Flock", "Netscape",  "Messanger", "Spicebird",   "Songbird"};
    return IsKnownAppType(type) ? names[type] : std::string_view();
}

} // namespace quillbank
