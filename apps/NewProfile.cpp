#include "apps/NewProfile.h"

#include "apps/AppTable.h"
#include "apps/WizardState.h"
#include "config/l10n.h"
#include "platform/FileSystem.h"
#include "platform/ShellExecute.h"
#include "platform/Text.h"
#include "platform/UserInterface.h"

#include <algorithm>
#include <unistd.h>

namespace quillbank {

namespace {

constexpr std::string_view CharactersNotInProfileNames = "\\/!?<>*:\"";

bool ProfileExists(const std::string& name, const TWizardState& state)
{
    // The folder an application of the Windows layout would have made, and
    // any listed profile of that name: here the applications give a new
    // profile's folder a random prefix, so the name is what identifies it.
    return DirectoryExists(state.ProfileDir + "Profiles" + PathSeparator + name) ||
           std::any_of(state.ProfileEntries.begin(), state.ProfileEntries.end(),
                       [&name](const TProfileEntry& entry) { return EqualsIgnoreCase(entry.Name, name); });
}

/// The application's executable in its installation folder: the first of
/// the table's names that can be run.
std::optional<std::string> ExecutableOf(AppType type, const std::string& installDir)
{
    for (std::string_view name : AppInfo(type).Executables) {
        const std::string candidate = IncludeTrailingSeparator(installDir) + std::string(name);
        if (FileExists(candidate) && access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return std::nullopt;
}

} // namespace

std::string CreateProfileParameters(std::string_view name, std::string_view location)
{
    if (location.empty())
        return "-CreateProfile " + std::string(name);
    return "-CreateProfile \"" + std::string(name) + " " + std::string(location) + "\"";
}

bool CreateNewProfile(const TNewProfileAnswer& answer, const TWizardState& state,
                      const TAppStatusTable& status, const Tl10n& l10n, TUserInterface& ui)
{
    const std::string name = ToLowerAscii(answer.Name);
    if (!answer.NameAccepted)
        return false;
    const std::string warning = l10n.GetText("TForm1", "LANG_WARNING");
    if (name.empty() || name.find_first_of(CharactersNotInProfileNames) != std::string::npos) {
        ui.ShowWarning(warning, l10n.GetText("TForm1", "LANG_NO_NAME"));
        return false;
    }
    if (ProfileExists(name, state)) {
        ui.ShowWarning(warning, l10n.GetText("TForm1", "LANG_PROFIL_EXIST"));
        return false;
    }
    const AppType type = state.SelectedAppType;
    const auto executable = IsKnownAppType(type) ? ExecutableOf(type, status[type].InstallDir) : std::nullopt;
    if (!executable || !StartDetached(*executable, CreateProfileParameters(name, answer.LocationPath))) {
        ui.ShowWarning(warning, l10n.GetText("TForm1", "LANG_NO_PROGRAM"));
        return false;
    }
    return true;
}

std::string ShortenPathForDisplay(std::string_view path)
{
    if (path.size() <= 31)
        return std::string(path);
    return std::string(path.substr(0, 3)) + "..." + std::string(path.substr(path.size() - 31));
}

} // namespace quillbank
