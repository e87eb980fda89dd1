// The application table's rows for the nine types, and its places with "[Home]" and "[AppData]" expanded.

#include "apps/AppTable.h"

#include "platform/SpecialFolders.h"
#include "platform/Text.h"

#include <array>
#include <cassert>

namespace quillbank {

namespace {

const std::array<TAppInfo, LastAppType + 1>& Table()
{
    static const auto table = [] {
        std::array<TAppInfo, LastAppType + 1> rows;
        rows[SeaMonkeyAppType] = {
            .SelectionName = "Mozilla",
            .RunningName = "SeaMonkey",
            .LegacyRestoreName = "SeaMonkey",
            .ListPrefix = "SeaMonkey",
            .ProfilesOnlyPrefix = "SeaMonkey/Mozilla ",
            .VersionKeys = {"SOFTWARE\\mozilla\\SeaMonkey\\", "SOFTWARE\\mozilla.org\\SeaMonkey"},
            .WindowsProfileRoot = "[AppData]\\Mozilla\\SeaMonkey\\",
            .WindowsProfileFolders = {"[AppData]\\Mozilla\\Profiles", "[WinDir]\\Mozilla\\Profiles"},
            .WindowsExecutable = "\\mozilla.exe",
            .WindowsProcessNames = {"mozilla.exe", "seamonkey.exe", "Netscp.exe"},
            .ProfileRoots = {"[Home]/.mozilla/seamonkey"},
            .FallbackProfileRoot = "[Home]/.mozilla",
            .ProfileFolders = {"[Home]/.mozilla/seamonkey"},
            .Executables = {"seamonkey"},
            .ProcessNames = {"seamonkey", "seamonkey-bin", "mozilla-bin"},
            .ApplicationIniNames = {"SeaMonkey"},
            .InstallFolders = {"/usr/lib/seamonkey", "/usr/lib64/seamonkey", "/usr/local/lib/seamonkey",
                               "/opt/seamonkey"},
            .Commands = {"seamonkey"},
        };
        rows[FirefoxAppType] = {
            .SelectionName = "Firefox",
            .RunningName = "Firefox",
            .LegacyRestoreName = "Mozilla Firefox",
            .ListPrefix = "Mozilla Firefox ",
            .ProfilesOnlyPrefix = "Mozilla Firefox ",
            .VersionKeys = {"SOFTWARE\\mozilla\\Mozilla Firefox", "SOFTWARE\\mozilla.org\\Mozilla Firefox"},
            .WindowsProfileRoot = "[AppData]\\Mozilla\\Firefox\\",
            .WindowsProfileFolders = {"[AppData]\\Mozilla\\Firefox\\Profiles", "[AppData]\\Firefox\\Profiles",
                                      "[AppData]\\Phoenix\\Profiles", "[WinDir]\\Phoenix\\Profiles"},
            .WindowsExecutable = "\\firefox.exe",
            .WindowsProcessNames = {"MozillaFirebird", "MozillaFirebird.exe", "MOZILL~1.EXE", "firefox.exe"},
            .ProfileRoots = {"[Home]/.mozilla/firefox", "[AppData]/mozilla/firefox",
                             "[Home]/snap/firefox/common/.mozilla/firefox",
                             "[Home]/.var/app/org.mozilla.firefox/.mozilla/firefox",
                             "[Home]/.var/app/org.mozilla.firefox/config/mozilla/firefox"},
            .ProfileFolders = {"[Home]/.mozilla/firefox", "[AppData]/mozilla/firefox",
                               "[Home]/snap/firefox/common/.mozilla/firefox",
                               "[Home]/.var/app/org.mozilla.firefox/.mozilla/firefox",
                               "[Home]/.var/app/org.mozilla.firefox/config/mozilla/firefox"},
            .Executables = {"firefox-esr", "firefox"},
            .ProcessNames = {"firefox", "firefox-esr", "firefox-bin"},
            .ApplicationIniNames = {"Firefox"},
            .InstallFolders =
                {"/usr/lib/firefox-esr", "/usr/lib/firefox", "/usr/lib64/firefox-esr", "/usr/lib64/firefox",
                 "/usr/local/lib/firefox", "/opt/firefox", "/opt/firefox-esr",
                 "/snap/firefox/current/usr/lib/firefox",
                 "/var/lib/flatpak/app/org.mozilla.firefox/current/active/files/lib/firefox",
                 "[Home]/.local/share/flatpak/app/org.mozilla.firefox/current/active/files/lib/firefox"},
            .Commands = {"firefox-esr", "firefox"},
        };
        rows[ThunderbirdAppType] = {
            .SelectionName = "Thunderbird",
            .RunningName = "Thunderbird",
            .LegacyRestoreName = "Mozilla Thunderbird",
            .ListPrefix = "Mozilla Thunderbird ",
            .ProfilesOnlyPrefix = "Mozilla Thunderbird ",
            .VersionKeys = {"SOFTWARE\\mozilla\\Mozilla Thunderbird",
                            "SOFTWARE\\mozilla.org\\Mozilla Thunderbird"},
            .WindowsProfileRoot = "[AppData]\\Thunderbird\\",
            .WindowsProfileFolders = {"[AppData]\\Thunderbird\\Profiles", "[WinDir]\\Thunderbird\\Profiles"},
            .WindowsExecutable = "\\thunderbird.exe",
            .WindowsProcessNames = {"thunderbird.exe"},
            .ProfileRoots = {"[Home]/.thunderbird", "[AppData]/thunderbird",
                             "[Home]/snap/thunderbird/common/.thunderbird",
                             "[Home]/.var/app/org.mozilla.Thunderbird/.thunderbird",
                             "[Home]/.var/app/org.mozilla.Thunderbird/config/thunderbird",
                             "[Home]/.var/app/net.thunderbird.Thunderbird/.thunderbird",
                             "[Home]/.var/app/net.thunderbird.Thunderbird/config/thunderbird",
                             "[Home]/.icedove", "[Home]/.mozilla-thunderbird"},
            .ProfileFolders = {"[Home]/.thunderbird", "[AppData]/thunderbird",
                               "[Home]/snap/thunderbird/common/.thunderbird",
                               "[Home]/.var/app/org.mozilla.Thunderbird/.thunderbird",
                               "[Home]/.var/app/org.mozilla.Thunderbird/config/thunderbird",
                               "[Home]/.var/app/net.thunderbird.Thunderbird/.thunderbird",
                               "[Home]/.var/app/net.thunderbird.Thunderbird/config/thunderbird",
                               "[Home]/.icedove", "[Home]/.mozilla-thunderbird"},
            .Executables = {"thunderbird"},
            .ProcessNames = {"thunderbird", "thunderbird-bin", "icedove", "icedove-bin"},
            .ApplicationIniNames = {"Thunderbird", "Icedove"},
            .InstallFolders =
                {"/usr/lib/thunderbird", "/usr/lib64/thunderbird", "/usr/local/lib/thunderbird",
                 "/opt/thunderbird", "/snap/thunderbird/current/usr/lib/thunderbird",
                 "/var/lib/flatpak/app/org.mozilla.Thunderbird/current/active/files/lib/thunderbird",
                 "/var/lib/flatpak/app/net.thunderbird.Thunderbird/current/active/files/lib/thunderbird",
                 "[Home]/.local/share/flatpak/app/org.mozilla.Thunderbird/current/active/files/lib/"
                 "thunderbird",
                 "[Home]/.local/share/flatpak/app/net.thunderbird.Thunderbird/current/active/files/lib/"
                 "thunderbird"},
            .Commands = {"thunderbird"},
        };
        rows[SunbirdAppType] = {
            .SelectionName = "Sunbird",
            .RunningName = "Sunbird",
            .LegacyRestoreName = "Mozilla Sunbird",
            .ListPrefix = "Mozilla Sunbird ",
            .ProfilesOnlyPrefix = "Mozilla Sunbird ",
            .VersionKeys = {"SOFTWARE\\mozilla\\Mozilla Sunbird"},
            .WindowsProfileRoot = "[AppData]\\Mozilla\\Sunbird\\",
            .WindowsProfileFolders = {"[AppData]\\Mozilla\\Sunbird\\Profiles", "[WinDir]\\Sunbird\\Profiles"},
            .WindowsExecutable = "\\sunbird.exe",
            .WindowsProcessNames = {"sunbird.exe"},
            .ProfileRoots = {"[Home]/.mozilla/sunbird"},
            .ProfileFolders = {"[Home]/.mozilla/sunbird"},
            .Executables = {"sunbird"},
            .ProcessNames = {"sunbird", "sunbird-bin"},
            .ApplicationIniNames = {"Sunbird"},
            .InstallFolders = {"/usr/lib/sunbird", "/usr/local/lib/sunbird", "/opt/sunbird"},
            .Commands = {"sunbird"},
        };
        rows[FlockAppType] = {
            .SelectionName = "Flock",
            .RunningName = "Flock",
            .LegacyRestoreName = "Flock",
            .ListPrefix = "Flock ",
            .ProfilesOnlyPrefix = "Flock ",
            .VersionKeys = {"SOFTWARE\\Flock"},
            .InstallKeyStem = "SOFTWARE\\Flock\\Flock",
            .WindowsProfileRoot = "[AppData]\\Flock\\Browser\\",
            .WindowsProfileFolders = {"[AppData]\\Flock\\Browser\\Profiles"},
            .WindowsExecutable = "\\flock.exe",
            .WindowsProcessNames = {"flock.exe"},
            .ProfileRoots = {"[Home]/.flock/browser"},
            .ProfileFolders = {"[Home]/.flock/browser"},
            .Executables = {"flock"},
            .ProcessNames = {"flock", "flock-bin"},
            .ApplicationIniNames = {"Flock"},
            .InstallFolders = {"/usr/lib/flock", "/usr/local/lib/flock", "/opt/flock"},
            .Commands = {"flock"},
        };
        rows[NetscapeAppType] = {
            .SelectionName = "Netscape",
            .RunningName = "Netscape",
            .LegacyRestoreName = "Netscape Navigator",
            .ListPrefix = "Netscape ",
            .ProfilesOnlyPrefix = "Netscape ",
            .VersionKeys = {"SOFTWARE\\mozilla\\Netscape Navigator"},
            .WindowsProfileRoot = "[AppData]\\Netscape\\Navigator\\",
            .WindowsProfileFolders = {"[AppData]\\Netscape\\Navigator\\Profiles"},
            .WindowsExecutable = "\\netscape.exe",
            .WindowsProcessNames = {"navigator.exe"},
            .ProfileRoots = {"[Home]/.netscape/navigator"},
            .ProfileFolders = {"[Home]/.netscape/navigator"},
            .Executables = {"navigator", "netscape"},
            .ProcessNames = {"navigator", "navigator-bin", "netscape", "netscape-bin"},
            .ApplicationIniNames = {"Navigator", "Netscape"},
            .InstallFolders = {"/usr/lib/navigator", "/usr/local/lib/navigator", "/opt/navigator",
                               "/opt/netscape"},
            .Commands = {"navigator", "netscape"},
        };
        rows[NetscapeMessengerAppType] = {
            .SelectionName = "Netscape Messenger",
            .RunningName = "Netscape Messenger",
            .LegacyRestoreName = "Netscape Messenger",
            .ListPrefix = "Netscape Messenger ",
            .ProfilesOnlyPrefix = "Netscape Messenger ",
            .VersionKeys = {"SOFTWARE\\mozilla\\Netscape Messenger"},
            .WindowsProfileRoot = "[AppData]\\Netscape\\Messenger\\",
            .WindowsProfileFolders = {"[AppData]\\Netscape\\Messenger\\Profiles"},
            .WindowsExecutable = "\\messenger.exe",
            .WindowsProcessNames = {"messenger.exe"},
            .ProfileRoots = {"[Home]/.netscape/messenger"},
            .ProfileFolders = {"[Home]/.netscape/messenger"},
            .Executables = {"messenger"},
            .ProcessNames = {"messenger", "messenger-bin"},
            .ApplicationIniNames = {"Messenger"},
            .InstallFolders = {"/usr/lib/messenger", "/usr/local/lib/messenger", "/opt/messenger"},
        };
        rows[SpicebirdAppType] = {
            .SelectionName = "Spicebird",
            .RunningName = "Spicebird",
            .LegacyRestoreName = "Spicebird",
            .ListPrefix = "Spicebird ",
            .ProfilesOnlyPrefix = "Spicebird ",
            .VersionKeys = {"SOFTWARE\\mozilla\\Spicebird"},
            .WindowsProfileRoot = "[AppData]\\Spicebird\\",
            .WindowsProfileFolders = {"[AppData]\\Spicebird\\Profiles"},
            .WindowsExecutable = "\\spicebird.exe",
            .WindowsProcessNames = {"spicebird.exe"},
            .ProfileRoots = {"[Home]/.spicebird"},
            .ProfileFolders = {"[Home]/.spicebird"},
            .Executables = {"spicebird"},
            .ProcessNames = {"spicebird", "spicebird-bin"},
            .ApplicationIniNames = {"Spicebird"},
            .InstallFolders = {"/usr/lib/spicebird", "/usr/local/lib/spicebird", "/opt/spicebird"},
            .Commands = {"spicebird"},
        };
        rows[SongbirdAppType] = {
            .SelectionName = "Songbird",
            .RunningName = "Songbird",
            .LegacyRestoreName = "Songbird",
            .ListPrefix = "Songbird ",
            .ProfilesOnlyPrefix = "Songbird ",
            .VersionKeys = {"SOFTWARE\\Songbird"},
            .WindowsProfileRoot = "[AppData]\\Songbird2\\",
            .WindowsProfileFolders = {"[AppData]\\Songbird2\\Profiles"},
            .WindowsExecutable = "\\songbird.exe",
            .WindowsProcessNames = {"songbird.exe"},
            .ProfileRoots = {"[Home]/.songbird2"},
            .ProfileFolders = {"[Home]/.songbird2"},
            .Executables = {"songbird"},
            .ProcessNames = {"songbird", "songbird-bin"},
            .ApplicationIniNames = {"Songbird"},
            .InstallFolders = {"/usr/lib/songbird", "/usr/local/lib/songbird", "/opt/songbird",
                               "/opt/Songbird"},
            .Commands = {"songbird"},
        };
        return rows;
    }();
    return table;
}

} // namespace

const TAppInfo& AppInfo(AppType type)
{
    assert(IsKnownAppType(type));
    return Table()[type];
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
