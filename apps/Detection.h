// Finds the installed applications and those known only by their profiles, and builds the application list.

#pragma once

#include "apps/AppStatus.h"

#include <string>
#include <string_view>
#include <vector>

namespace quillbank {

class TRegistryReader;
class TInterfaceTexts;
struct TWizardState;

/**
 * Finds the installed applications in the installers' registry keys, and
 * the applications known only by their profile folders, and builds the
 * lines of the application list. What it finds lands in the status table.
 */
class TInstallationDetection
{
public:
    TInstallationDetection(const TRegistryReader& registry, const TInterfaceTexts& texts,
                           TAppStatusTable& status, std::vector<std::string>& appList);

    /// Rebuilds the application list for all nine types, the line
    /// "Portable applications" last.
    void DetectApplications();
    /// The detection steps of one type, adding its list lines.
    void DetectType(AppType type);

    /// Reads "CurrentVersion" of `key`: found, the type is installed and its
    /// line is listed; not found, with `fallback`, its profiles-only line may be.
    void ReadAppVersion(std::string_view key, AppType type, bool fallback);
    /// Reads "Install Directory" of `key` into the type's status, when present.
    void ReadInstallDir(std::string_view key, AppType type);
    /// Lists "<prefix>(profiles only)" when a profile folder of the type
    /// exists and the type is not installed.
    void AddProfilesOnlyEntry(AppType type);

private:
    const TRegistryReader& registry_;
    const TInterfaceTexts& texts_;
    TAppStatusTable& status_;
    std::vector<std::string>& appList_;
};

/// Sets the selected type and name from the text of an application-list
/// line; a line naming no application leaves both as they were.
void SelectApplication(TWizardState& state, std::string_view line);

} // namespace quillbank
