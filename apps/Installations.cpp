// Builds the installation sources from the application table, and makes the registry reader the program uses.

#include "apps/Installations.h"

#include "apps/AppTable.h"
#include "platform/FileSystem.h"
#include "platform/RegFileRegistry.h"

#include <cstdlib>

namespace quillbank {

std::vector<TInstallationSource> InstallationSources()
{
    std::vector<TInstallationSource> sources;
    for (AppType type = FirstAppType; type <= LastAppType; ++type) {
        const TAppInfo& info = AppInfo(type);
        TInstallationSource source;
        source.VersionKey = info.VersionKeys.front();
        source.InstallKeyStem = info.InstallKeyStem.empty() ? info.VersionKeys.front() : info.InstallKeyStem;
        source.ApplicationIniNames.assign(info.ApplicationIniNames.begin(), info.ApplicationIniNames.end());
        for (std::string_view folder : info.InstallFolders)
            source.Folders.push_back(ExpandPlace(folder));
        source.Commands.assign(info.Commands.begin(), info.Commands.end());
        sources.push_back(std::move(source));
    }
    return sources;
}

std::unique_ptr<TRegistryReader> CreateRegistryReader()
{
    const char* exportFile = std::getenv("QUILLBANK_REGISTRY");
    if (exportFile != nullptr && exportFile[0] != '\0') {
        if (!FileExists(exportFile))
            throw ERegistryFileError(std::string(exportFile) +
                                     ": the registry file named by QUILLBANK_REGISTRY is not there");
        return std::make_unique<TRegFileRegistry>(TRegFileRegistry::FromFile(exportFile));
    }
    return std::make_unique<TInstalledAppsRegistry>(InstallationSources());
}

} // namespace quillbank
