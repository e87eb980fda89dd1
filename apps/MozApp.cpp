#include "apps/MozApp.h"

#include "apps/AppTable.h"
#include "apps/Detection.h"
#include "apps/Installations.h"
#include "apps/ProfileDiscovery.h"
#include "apps/RegistryDat.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "platform/Text.h"

namespace quillbank {

TMozApp::TMozApp(const Tl10n& l10n, TAppStatusTable& status) : l10n_(l10n), status_(status) {}

void TMozApp::Initialise()
{
    SetupIdentity();
    DetectInstallation();
    LoadProfiles();
}

void TMozApp::SetupIdentityOf(::quillbank::AppType type)
{
    const TAppInfo& info = AppInfo(type);
    appType_ = type;
    displayName_ = Trim(info.ListPrefix);
    shortName_ = ToLowerAscii(info.ShortName);
    profileRoots_.assign(info.ProfileRoots.begin(), info.ProfileRoots.end());
    exeNames_.assign(info.Executables.begin(), info.Executables.end());
}

void TMozApp::DetectInstallationOfOwnType()
{
    const auto type = static_cast<::quillbank::AppType>(appType_);
    // The reader lives only while detection runs; the lines it would list
    // are not shown anywhere.
    const auto registry = CreateRegistryReader();
    std::vector<std::string> unusedLines;
    TInstallationDetection(*registry, l10n_, status_, unusedLines).DetectType(type);
    installed_ = status_[type].Installed;
    if (installed_) {
        version_ = status_[type].Version;
        installDir_ = status_[type].InstallDir;
    }
}

void TMozApp::LoadProfiles()
{
    const std::vector<std::string_view> roots(profileRoots_.begin(), profileRoots_.end());
    const auto root = FindProfileRegistryRoot(roots);
    if (!root)
        return;
    profiles_.emplace();
    const std::string ini = *root + std::string(ProfilesIniName);
    if (FileExists(ini))
        ReadProfilesIni(ini);
    else if (const auto legacy = LegacyRegistryFile(*root))
        ReadRegistryDat(*legacy);
}

void TMozApp::ReadProfilesIni(const std::string& file)
{
    const auto ini = TIniFile::Load(file);
    if (!ini)
        return;
    const std::string root = ExtractFileDir(file);
    for (int n = 0;; ++n) {
        const std::string section = "Profile" + std::to_string(n);
        if (!ini->HasSection(section))
            break;
        const auto name = ini->FindString(section, "name");
        const auto path = ini->FindString(section, "path");
        if (!name || !path)
            continue;
        int isRelative = 0;
        TryParseInt(Trim(ini->ReadString(section, "IsRelative")), isRelative);
        if (isRelative == 1)
            profiles_->emplace_back(AnsiToUtf8(*name), *path, root + *path + PathSeparator);
        else
            profiles_->emplace_back(AnsiToUtf8(*name), ReplaceFirst(*path, root, ""), *path + PathSeparator);
    }
}

void TMozApp::ReadRegistryDat(const std::string& file)
{
    const auto bytes = ReadWholeFile(file);
    if (!bytes)
        return;
    const std::string root = ExtractFileDir(file);
    for (const TRegistryDatProfile& profile : ReadRegistryDatProfiles(*bytes))
        profiles_->emplace_back(profile.Name, ReplaceFirst(profile.Directory, root, ""), profile.Directory);
}

const TAppProfile* TMozApp::FindProfile(std::string_view lowerName) const
{
    if (!profiles_ || lowerName.empty())
        return nullptr;
    const TAppProfile* found = nullptr;
    for (const TAppProfile& profile : *profiles_)
        if (ToLowerAscii(profile.Name()).find(lowerName) != std::string::npos)
            found = &profile;
    return found;
}

} // namespace quillbank
