#include "apps/MozApp.h"

#include "apps/AppTable.h"
#include "apps/Detection.h"
#include "apps/Installations.h"
#include "apps/ProfileDiscovery.h"
#include "apps/ProfileNames.h"
#include "apps/RegistryDat.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "platform/Text.h"

#include <algorithm>

namespace quillbank {

TMozApp::TMozApp(const TInterfaceTexts& l10n, TAppStatusTable& status) : l10n_(l10n), status_(status) {}

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
    const std::vector<std::string_view> places(profileRoots_.begin(), profileRoots_.end());
    const auto roots = FindProfileRegistryRoots(places);
    if (roots.empty())
        return;
    profiles_.emplace();
    for (const std::string& root : roots) {
        earlierRoots_ = profiles_->size();
        const std::string ini = root + std::string(ProfilesIniName);
        if (FileExists(ini))
            ReadProfilesIni(ini);
        else if (const auto legacy = LegacyRegistryFile(root))
            ReadRegistryDat(*legacy);
        if (!defaultFolder_)
            defaultFolder_ = DefaultProfileFolder(root);
    }
}

void TMozApp::AddProfile(TAppProfile profile)
{
    const auto earlier = profiles_->begin() + static_cast<std::ptrdiff_t>(earlierRoots_);
    if (std::none_of(profiles_->begin(), earlier, [&profile](const TAppProfile& listed) {
            return SameFolder(listed.Directory(), profile.Directory());
        }))
        profiles_->push_back(std::move(profile));
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
            AddProfile({AnsiToUtf8(*name), *path, root + *path + PathSeparator});
        else
            AddProfile({AnsiToUtf8(*name), ReplaceFirst(*path, root, ""), *path + PathSeparator});
    }
}

void TMozApp::ReadRegistryDat(const std::string& file)
{
    const auto bytes = ReadWholeFile(file);
    if (!bytes)
        return;
    const std::string root = ExtractFileDir(file);
    for (const TRegistryDatProfile& profile : ReadRegistryDatProfiles(*bytes))
        AddProfile({profile.Name, ReplaceFirst(profile.Directory, root, ""), profile.Directory});
}

std::vector<const TAppProfile*> TMozApp::MatchProfiles(std::string_view name) const
{
    std::vector<const TAppProfile*> matches;
    if (!profiles_)
        return matches;
    std::vector<std::string> names;
    for (const TAppProfile& profile : *profiles_)
        names.push_back(profile.Name());
    for (std::size_t index : MatchProfileNames(names, name))
        matches.push_back(&(*profiles_)[index]);
    return matches;
}

const TAppProfile* TMozApp::FindProfile(std::string_view name) const
{
    const auto matches = MatchProfiles(name);
    return matches.empty() ? nullptr : matches.back();
}

const TAppProfile* TMozApp::DefaultProfile() const
{
    if (!profiles_)
        return nullptr;
    // An installation with a single profile starts with that one, whether or
    // not its registry marks it.
    if (!defaultFolder_)
        return profiles_->size() == 1 ? &profiles_->front() : nullptr;
    const auto found = std::find_if(profiles_->begin(), profiles_->end(), [this](const TAppProfile& profile) {
        return SameFolder(profile.Directory(), *defaultFolder_);
    });
    return found == profiles_->end() ? nullptr : &*found;
}

} // namespace quillbank
