#include "apps/AppTable.h"

#include "platform/SpecialFolders.h"
#include "platform/Text.h"

#include <array>
#include <cassert>

namespace quillbank {

namespace {

const std::array<TAppInfo, LastAppType + 1>& Table()
{
    static const std::array<TAppInfo, LastAppType + 1> table = {{
        {},
        {
            "SeaMonkey",
            "Mozilla",
            "SeaMonkey",
            "SeaMonkey",
            "SeaMonkey/Mozilla ",
            {"SOFTWARE\\mozilla\\SeaMonkey\\", "SOFTWARE\\mozilla.org\\SeaMonkey"},
            "",
            "[AppData]\\Mozilla\\SeaMonkey\\",
            {"[AppData]\\Mozilla\\Profiles", "[WinDir]\\Mozilla\\Profiles"},
            "\\mozilla.exe",
            {"mozilla.exe", "seamonkey.exe", "Netscp.exe"},
            {"[Home]/.mozilla/seamonkey"},
            "[Home]/.mozilla",
            {"[Home]/.mozilla/seamonkey"},
            {"seamonkey"},
            {"seamonkey", "seamonkey-bin", "mozilla-bin"},
            {"SeaMonkey"},
            {"/usr/lib/seamonkey", "/usr/lib64/seamonkey", "/usr/local/lib/seamonkey", "/opt/seamonkey"},
            {"seamonkey"},
        },
        {
            "Firefox",
            "Firefox",
            "Firefox",
            "Mozilla Firefox ",
            "Mozilla Firefox ",
            {"SOFTWARE\\mozilla\\Mozilla Firefox", "SOFTWARE\\mozilla.org\\Mozilla Firefox"},
            "",
            "[AppData]\\Mozilla\\Firefox\\",
            {"[AppData]\\Mozilla\\Firefox\\Profiles", "[AppData]\\Firefox\\Profiles",
             "[AppData]\\Phoenix\\Profiles", "[WinDir]\\Phoenix\\Profiles"},
            "\\firefox.exe",
            {"MozillaFirebird", "MozillaFirebird.exe", "MOZILL~1.EXE", "firefox.exe"},
            {"[Home]/.mozilla/firefox", "[AppData]/mozilla/firefox",
             "[Home]/snap/firefox/common/.mozilla/firefox",
             "[Home]/.var/app/org.mozilla.firefox/.mozilla/firefox",
             "[Home]/.var/app/org.mozilla.firefox/config/mozilla/firefox"},
            "",
            {"[Home]/.mozilla/firefox", "[AppData]/mozilla/firefox",
             "[Home]/snap/firefox/common/.mozilla/firefox",
             "[Home]/.var/app/org.mozilla.firefox/.mozilla/firefox",
             "[Home]/.var/app/org.mozilla.firefox/config/mozilla/firefox"},
            {"firefox-esr", "firefox"},
            {"firefox", "firefox-esr", "firefox-bin"},
            {"Firefox"},
            {"/usr/lib/firefox-esr", "/usr/lib/firefox", "/usr/lib64/firefox-esr", "/usr/lib64/firefox",
             "/usr/local/lib/firefox", "/opt/firefox", "/opt/firefox-esr",
             "/snap/firefox/current/usr/lib/firefox",
             "/var/lib/flatpak/app/org.mozilla.firefox/current/active/files/lib/firefox",
             "[Home]/.local/share/flatpak/app/org.mozilla.firefox/current/active/files/lib/firefox"},
            {"firefox-esr", "firefox"},
        },
        {
            "Thunderbird",
            "Thunderbird",
            "Thunderbird",
            "Mozilla Thunderbird ",
            "Mozilla Thunderbird ",
            {"SOFTWARE\\mozilla\\Mozilla Thunderbird", "SOFTWARE\\mozilla.org\\Mozilla Thunderbird"},
            "",
            "[AppData]\\Thunderbird\\",
            {"[AppData]\\Thunderbird\\Profiles", "[WinDir]\\Thunderbird\\Profiles"},
            "\\thunderbird.exe",
            {"thunderbird.exe"},
            {"[Home]/.thunderbird", "[AppData]/thunderbird", "[Home]/snap/thunderbird/common/.thunderbird",
             "[Home]/.var/app/org.mozilla.Thunderbird/.thunderbird",
             "[Home]/.var/app/org.mozilla.Thunderbird/config/thunderbird",
             "[Home]/.var/app/net.thunderbird.Thunderbird/.thunderbird",
             "[Home]/.var/app/net.thunderbird.Thunderbird/config/thunderbird", "[Home]/.icedove",
             "[Home]/.mozilla-thunderbird"},
            "",
            {"[Home]/.thunderbird", "[AppData]/thunderbird", "[Home]/snap/thunderbird/common/.thunderbird",
             "[Home]/.var/app/org.mozilla.Thunderbird/.thunderbird",
             "[Home]/.var/app/org.mozilla.Thunderbird/config/thunderbird",
             "[Home]/.var/app/net.thunderbird.Thunderbird/.thunderbird",
             "[Home]/.var/app/net.thunderbird.Thunderbird/config/thunderbird", "[Home]/.icedove",
             "[Home]/.mozilla-thunderbird"},
            {"thunderbird"},
            {"thunderbird", "thunderbird-bin", "icedove", "icedove-bin"},
            {"Thunderbird", "Icedove"},
            {"/usr/lib/thunderbird", "/usr/lib64/thunderbird", "/usr/local/lib/thunderbird",
             "/opt/thunderbird", "/snap/thunderbird/current/usr/lib/thunderbird",
             "/var/lib/flatpak/app/org.mozilla.Thunderbird/current/active/files/lib/thunderbird",
             "/var/lib/flatpak/app/net.thunderbird.Thunderbird/current/active/files/lib/thunderbird",
             "[Home]/.local/share/flatpak/app/org.mozilla.Thunderbird/current/active/files/lib/thunderbird",
             "[Home]/.local/share/flatpak/app/net.thunderbird.Thunderbird/current/active/files/lib/"
             "thunderbird"},
            {"thunderbird"},
        },
        {
            "Sunbird",
            "Sunbird",
            "Sunbird",
            "Mozilla Sunbird ",
            "Mozilla Sunbird ",
            {"SOFTWARE\\mozilla\\Mozilla Sunbird"},
            "",
            "[AppData]\\Mozilla\\Sunbird\\",
            {"[AppData]\\Mozilla\\Sunbird\\Profiles", "[WinDir]\\Sunbird\\Profiles"},
            "\\sunbird.exe",
            {"sunbird.exe"},
            {"[Home]/.mozilla/sunbird"},
            "",
            {"[Home]/.mozilla/sunbird"},
            {"sunbird"},
            {"sunbird", "sunbird-bin"},
            {"Sunbird"},
            {"/usr/lib/sunbird", "/usr/local/lib/sunbird", "/opt/sunbird"},
            {"sunbird"},
        },
        {
            "Flock",
            "Flock",
            "Flock",
            "Flock ",
            "Flock ",
            {"SOFTWARE\\Flock"},
            "SOFTWARE\\Flock\\Flock",
            "[AppData]\\Flock\\Browser\\",
            {"[AppData]\\Flock\\Browser\\Profiles"},
            "\\flock.exe",
            {"flock.exe"},
            {"[Home]/.flock/browser"},
            "",
            {"[Home]/.flock/browser"},
            {"flock"},
            {"flock", "flock-bin"},
            {"Flock"},
            {"/usr/lib/flock", "/usr/local/lib/flock", "/opt/flock"},
            {"flock"},
        },
        {
            "Netscape",
            "Netscape",
            "Netscape",
            "Netscape ",
            "Netscape ",
            {"SOFTWARE\\mozilla\\Netscape Navigator"},
            "",
            "[AppData]\\Netscape\\Navigator\\",
            {"[AppData]\\Netscape\\Navigator\\Profiles"},
            "\\netscape.exe",
            {"navigator.exe"},
            {"[Home]/.netscape/navigator"},
            "",
            {"[Home]/.netscape/navigator"},
            {"navigator", "netscape"},
            {"navigator", "navigator-bin", "netscape", "netscape-bin"},
            {"Navigator", "Netscape"},
            {"/usr/lib/navigator", "/usr/local/lib/navigator", "/opt/navigator", "/opt/netscape"},
            {"navigator", "netscape"},
        },
        {
            "Messanger",
            "Netscape Messenger",
            "Netscape Messenger",
            "Netscape Messenger ",
            "Netscape Messenger ",
            {"SOFTWARE\\mozilla\\Netscape Messenger"},
            "",
            "[AppData]\\Netscape\\Messenger\\",
            {"[AppData]\\Netscape\\Messenger\\Profiles"},
            "\\messenger.exe",
            {"messenger.exe"},
            {"[Home]/.netscape/messenger"},
            "",
            {"[Home]/.netscape/messenger"},
            {"messenger"},
            {"messenger", "messenger-bin"},
            {"Messenger"},
            {"/usr/lib/messenger", "/usr/local/lib/messenger", "/opt/messenger"},
            {},
        },
        {
            "Spicebird",
            "Spicebird",
            "Spicebird",
            "Spicebird ",
            "Spicebird ",
            {"SOFTWARE\\mozilla\\Spicebird"},
            "",
            "[AppData]\\Spicebird\\",
            {"[AppData]\\Spicebird\\Profiles"},
            "\\spicebird.exe",
            {"spicebird.exe"},
            {"[Home]/.spicebird"},
            "",
            {"[Home]/.spicebird"},
            {"spicebird"},
            {"spicebird", "spicebird-bin"},
            {"Spicebird"},
            {"/usr/lib/spicebird", "/usr/local/lib/spicebird", "/opt/spicebird"},
            {"spicebird"},
        },
        {
            "Songbird",
            "Songbird",
            "Songbird",
            "Songbird ",
            "Songbird ",
            {"SOFTWARE\\Songbird"},
            "",
            "[AppData]\\Songbird2\\",
            {"[AppData]\\Songbird2\\Profiles"},
            "\\songbird.exe",
            {"songbird.exe"},
            {"[Home]/.songbird2"},
            "",
            {"[Home]/.songbird2"},
            {"songbird"},
            {"songbird", "songbird-bin"},
            {"Songbird"},
            {"/usr/lib/songbird", "/usr/local/lib/songbird", "/opt/songbird", "/opt/Songbird"},
            {"songbird"},
        },
    }};
    return table;
}

} // namespace

const TAppInfo& AppInfo(AppType type)
{
    assert(IsKnownAppType(type));
    return Table()[type];
}

std::string_view AppShortName(AppType type)
{
    return IsKnownAppType(type) ? AppInfo(type).ShortName : std::string_view();
}

std::string ExpandPlace(std::string_view place)
{
    std::string expanded = ReplaceFirst(place, "[Home]", HomeDir());
    return ReplaceFirst(expanded, "[AppData]", AppDataDir());
}

std::string InstallationKey(std::string_view keyStem, std::string_view version)
{
    std::string key(keyStem);
    if (!key.ends_with('\\'))
        key += '\\';
    return key + std::string(version) + "\\Main";
}

} // namespace quillbank
