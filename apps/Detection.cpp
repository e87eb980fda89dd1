// Reads each type's installer keys and profile folders into the status table and the application list.

#include "apps/Detection.h"

#include "apps/AppTable.h"
#include "apps/WizardState.h"
#include "config/InterfaceTexts.h"
#include "platform/FileSystem.h"
#include "platform/RegistryReader.h"

namespace quillbank {

TInstallationDetection::TInstallationDetection(const TRegistryReader& registry, const TInterfaceTexts& texts,
                                               TAppStatusTable& status, std::vector<std::string>& appList)
    : registry_(registry), texts_(texts), status_(status), appList_(appList)
{}

void TInstallationDetection::DetectApplications()
{
    for (AppType type : {SeaMonkeyAppType, FirefoxAppType, ThunderbirdAppType})
        status_[type].InstallDir.clear();
    appList_.clear();
    for (AppType type = FirstAppType; type <= LastAppType; ++type)
        DetectType(type);
    appList_.push_back(texts_.GetText("Quillbank14", "LANG_PORTABLE_APPS"));
}

void TInstallationDetection::DetectType(AppType type)
{
    const TAppInfo& info = AppInfo(type);
    const auto& keys = info.VersionKeys;
    // The first root is tried without the profiles-only fallback; the second
    // root, only when the first gave no installation folder, with it. A type
    // with one root has one attempt, with the fallback.
    for (std::size_t attempt = 0; attempt < keys.size(); ++attempt) {
        const bool last = attempt + 1 == keys.size();
        if (attempt > 0 && !status_[type].InstallDir.empty())
            break;
        ReadAppVersion(keys[attempt], type, last);
        // Without a version there is no installation key: "...\\Main" is not one.
        if (status_[type].Version.empty())
            continue;
        const std::string_view stem = info.InstallKeyStem.empty() ? keys[attempt] : info.InstallKeyStem;
        ReadInstallDir(InstallationKey(stem, status_[type].Version), type);
    }
}

void TInstallationDetection::ReadAppVersion(std::string_view key, AppType type, bool fallback)
{
    if (const auto version = registry_.ReadString(key, "CurrentVersion")) {
        status_[type].Installed = true;
        status_[type].Version = *version;
        appList_.push_back(std::string(AppInfo(type).ListPrefix) + *version);
    } else if (fallback) {
        AddProfilesOnlyEntry(type);
    }
}

void TInstallationDetection::ReadInstallDir(std::string_view key, AppType type)
{
    if (const auto folder = registry_.ReadString(key, "Install Directory"))
        status_[type].InstallDir = *folder;
}

void TInstallationDetection::AddProfilesOnlyEntry(AppType type)
{
    bool found = false;
    for (std::string_view folder : AppInfo(type).ProfileFolders)
        if (DirectoryExists(ExpandPlace(folder))) {
            found = true;
            break;
        }
    if (!found || status_[type].Installed)
        return;
    appList_.push_back(std::string(AppInfo(type).ProfilesOnlyPrefix) +
                       texts_.GetText("TForm1", "LANG_ONLYPROFIL"));
}

void SelectApplication(TWizardState& state, std::string_view line)
{
    struct TWordRule
    {
        std::string_view word;
        AppType type;
        std::string_view unless;
    };
    // Tested in this order, each hit overwriting the earlier ones.
    static constexpr TWordRule rules[] = {
        {"SeaMonkey", SeaMonkeyAppType, {}},
        {"Firefox", FirefoxAppType, {}},
        {"Thunderbird", ThunderbirdAppType, {}},
        {"Sunbird", SunbirdAppType, {}},
        {"Flock", FlockAppType, {}},
        {"Netscape Messenger", NetscapeMessengerAppType, {}},
        {"Netscape", NetscapeAppType, "Netscape Messenger"},
        {"Spicebird", SpicebirdAppType, {}},
        {"Songbird", SongbirdAppType, {}},
    };
    auto contains = [line](std::string_view word) { return line.find(word) != std::string_view::npos; };
    for (const TWordRule& rule : rules)
        if (contains(rule.word) && (rule.unless.empty() || !contains(rule.unless))) {
            state.SelectedAppType = rule.type;
            state.SelectedAppName = AppInfo(rule.type).SelectionName;
        }
}

} // namespace quillbank
