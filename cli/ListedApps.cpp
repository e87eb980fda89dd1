// Finds the installed applications and their profiles as the wizard's first pages do.

#include "cli/ListedApps.h"

#include "apps/Detection.h"
#include "apps/Installations.h"
#include "apps/ProfileDiscovery.h"
#include "platform/RegistryReader.h"

#include <algorithm>

namespace quillbank::cli {

std::vector<TListedApp> FindListedApps(const TInterfaceTexts& texts)
{
    TAppStatusTable status{};
    std::vector<std::string> lines;
    const auto registry = CreateRegistryReader();
    TInstallationDetection(*registry, texts, status, lines).DetectApplications();
    std::vector<TListedApp> apps;
    for (const std::string& line : lines) {
        TWizardState state;
        SelectApplication(state, line);
        // The last line, "Portable applications", names none.
        if (!IsKnownAppType(state.SelectedAppType))
            continue;
        ListProfiles(state, texts);
        TListedApp app{line, state.SelectedAppType, status[state.SelectedAppType], state.ProfileDir, {}};
        // Only the profiles the wizard would offer.
        for (const TProfileEntry& entry : state.ProfileEntries)
            if (std::find(state.ProfileList.begin(), state.ProfileList.end(), entry.ListLine()) !=
                state.ProfileList.end())
                app.Profiles.push_back(entry);
        apps.push_back(std::move(app));
    }
    return apps;
}

} // namespace quillbank::cli
