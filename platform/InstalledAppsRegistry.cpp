#include "platform/InstalledAppsRegistry.h"

namespace quillbank {

// Installations are looked for by the application model, which teaches this
// reader the places of each application; until then it knows of none.

bool TInstalledAppsRegistry::KeyExists(std::string_view) const
{
    return false;
}

std::optional<std::string> TInstalledAppsRegistry::ReadString(std::string_view, std::string_view) const
{
    return std::nullopt;
}

} // namespace quillbank
