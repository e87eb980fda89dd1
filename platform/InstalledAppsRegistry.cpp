// Finds each application's installation in its candidate folders and on PATH, and fills in its registry keys.

#include "platform/InstalledAppsRegistry.h"

#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "platform/Text.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

namespace quillbank {

namespace {

struct TInstallation
{
    std::string folder;
    std::string version;
};

std::optional<TInstallation> InstallationIn(const std::string& folder, const std::vector<std::string>& names)
{
    const auto ini = TIniFile::Load(IncludeTrailingSeparator(folder) + "application.ini");
    if (!ini)
        return std::nullopt;
    const std::string name = ini->ReadString("App", "Name");
    const bool belongs = std::any_of(names.begin(), names.end(), [&name](const std::string& known) {
        return EqualsIgnoreCase(known, name);
    });
    const std::string version = ini->ReadString("App", "Version");
    if (!belongs || version.empty())
        return std::nullopt;
    return TInstallation{folder, version};
}

std::optional<TInstallation> FindInstallation(const TInstallationSource& source)
{
    for (const std::string& folder : source.Folders)
        if (auto found = InstallationIn(folder, source.ApplicationIniNames))
            return found;
    for (const std::string& command : source.Commands)
        if (const auto folder = ResolveCommandFolder(command))
            if (auto found = InstallationIn(*folder, source.ApplicationIniNames))
                return found;
    return std::nullopt;
}

} // namespace

TInstalledAppsRegistry::TInstalledAppsRegistry(const std::vector<TInstallationSource>& sources)
{
    for (const TInstallationSource& source : sources) {
        const auto installation = FindInstallation(source);
        if (!installation)
            continue;
        SetValue(OpenOrCreateKey(source.VersionKey), "CurrentVersion", installation->version);
        const std::string installKey = source.InstallKeyStem + "\\" + installation->version + "\\Main";
        SetValue(OpenOrCreateKey(installKey), "Install Directory", installation->folder);
    }
}

std::optional<std::string> ResolveCommandFolder(const std::string& command)
{
    const char* path = std::getenv("PATH");
    if (path == nullptr || command.empty() || command.find('/') != std::string::npos)
        return std::nullopt;
    std::string_view rest = path;
    while (true) {
        const auto end = rest.find(':');
        const std::string folder(rest.substr(0, end));
        if (!folder.empty()) {
            const std::string candidate = folder + "/" + command;
            std::error_code error;
            if (FileExists(candidate) && access(candidate.c_str(), X_OK) == 0) {
                const fs::path resolved = fs::canonical(candidate, error);
                if (!error)
                    return resolved.parent_path().string();
            }
        }
        if (end == std::string_view::npos)
            return std::nullopt;
        rest.remove_prefix(end + 1);
    }
}

} // namespace quillbank
