#include "platform/RegistryReader.h"

#include "platform/InstalledAppsRegistry.h"
#include "platform/RegFileRegistry.h"

#include <cstdlib>

namespace quillbank {

std::unique_ptr<TRegistryReader> CreateRegistryReader()
{
    const char* exportFile = std::getenv("QUILLBANK_REGISTRY");
    if (exportFile != nullptr && exportFile[0] != '\0')
        return std::make_unique<TRegFileRegistry>(TRegFileRegistry::FromFile(exportFile));
    return std::make_unique<TInstalledAppsRegistry>();
}

} // namespace quillbank
