// Reads "profiles.ini", "installs.ini" or the legacy registry of a profile root into profiles and defaults.

#include "apps/ProfileRegistry.h"

#include "apps/RegistryDat.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "platform/Text.h"

namespace quillbank {

namespace {

/// The integer of a profiles.ini value; 0 when it is not one.
int ProfileInteger(const std::string& value)
{
    int number = 0;
    return TryParseInt(Trim(value), number) ? number : 0;
}

bool IsRelative(const std::string& value, TIsRelativeRule rule)
{
    const int number = ProfileInteger(value);
    return rule == TIsRelativeRule::OnlyOne ? number == 1 : number % 256 != 0;
}

/// The folders that the sections of `ini` accepted by `isInstallation` name
/// as "Default": relative to the root unless they start with a separator.
std::vector<std::string> InstallationDefaults(const TIniFile& ini, const std::string& root,
                                              bool (*isInstallation)(const std::string&))
{
    std::vector<std::string> folders;
    for (const std::string& section : ini.SectionNames())
        if (isInstallation(section))
            if (const auto path = ini.FindString(section, "Default"); path && !path->empty())
                folders.push_back(
                    WithoutTrailingSeparators(path->starts_with(PathSeparator) ? *path : root + *path));
    return folders;
}

bool IsInstallSection(const std::string& section)
{
    return section.size() > 7 && EqualsIgnoreCase(section.substr(0, 7), "Install");
}

TProfileRegistry ReadProfilesIni(const TIniFile& ini, const std::string& root, TIsRelativeRule rule)
{
    TProfileRegistry registry;
    registry.InstallationDefaults = InstallationDefaults(ini, root, IsInstallSection);
    for (int n = 0;; ++n) {
        const std::string section = "Profile" + std::to_string(n);
        if (!ini.HasSection(section))
            break;
        const auto name = ini.FindString(section, "name");
        const auto path = ini.FindString(section, "path");
        if (!path)
            continue;
        const bool relative = IsRelative(ini.ReadString(section, "IsRelative"), rule);
        if (!registry.MarkedDefault && ProfileInteger(ini.ReadString(section, "Default")) == 1)
            registry.MarkedDefault = WithoutTrailingSeparators(relative ? root + *path : *path);
        if (!name)
            continue;
        registry.Profiles.emplace_back(AnsiToUtf8(*name), root, *path,
                                       relative ? TAppProfile::TFolderKind::RelativeInProfilesIni
                                                : TAppProfile::TFolderKind::AbsoluteInProfilesIni);
    }
    return registry;
}

TProfileRegistry ReadLegacyRegistry(const std::string& file, const std::string& root)
{
    TProfileRegistry registry;
    const auto bytes = ReadWholeFile(file);
    for (TRegistryDatProfile& profile : ReadRegistryDatProfiles(bytes.value_or(std::string())))
        registry.Profiles.emplace_back(std::move(profile.Name), root, std::move(profile.Directory),
                                       TAppProfile::TFolderKind::InLegacyRegistry);
    return registry;
}

} // namespace

std::optional<std::string> LegacyRegistryFile(const std::string& root)
{
    for (std::string_view name : LegacyRegistryNames)
        if (FileExists(root + std::string(name)))
            return root + std::string(name);
    return std::nullopt;
}

bool HoldsProfileRegistry(const std::string& root)
{
    return FileExists(root + std::string(ProfilesIniName)) || LegacyRegistryFile(root).has_value();
}

TProfileRegistry ReadProfileRegistry(const std::string& root, TIsRelativeRule rule)
{
    const std::string profilesIni = root + std::string(ProfilesIniName);
    if (FileExists(profilesIni)) {
        const auto ini = TIniFile::Load(profilesIni);
        return ini ? ReadProfilesIni(*ini, root, rule) : TProfileRegistry();
    }
    if (const auto legacy = LegacyRegistryFile(root))
        return ReadLegacyRegistry(*legacy, root);
    return {};
}

std::vector<std::string> InstallsIniDefaults(const std::string& root)
{
    const auto installs = TIniFile::Load(root + "installs.ini");
    return installs ? InstallationDefaults(*installs, root, [](const std::string&) { return true; })
                    : std::vector<std::string>();
}

} // namespace quillbank
