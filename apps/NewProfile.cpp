// Checks a new profile's name, starts the application (snaps and flatpaks too) to make it, and checks it did.

#include "apps/NewProfile.h"

#include "apps/AppTable.h"
#include "apps/ProfileDiscovery.h"
#include "apps/WizardState.h"
#include "config/InterfaceTexts.h"
#include "platform/FileSystem.h"
#include "platform/ShellExecute.h"
#include "platform/Text.h"
#include "platform/UserInterface.h"

#include <algorithm>
#include <unistd.h>
#include <vector>

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

std::vector<std::string> LaunchCommand(const std::string& executable, const std::string& installDir)
{
    // A snap is started as "snap run NAME" from "/snap/NAME/...", a flatpak
    // as "flatpak run ID" from ".../flatpak/app/ID/...".
    const std::string folder = IncludeTrailingSeparator(installDir);
    if (folder.starts_with("/snap/")) {
        const std::string name = folder.substr(6, folder.find('/', 6) - 6);
        return {"snap", "run", name};
    }
    constexpr std::string_view flatpak = "/flatpak/app/";
    if (const auto at = folder.find(flatpak); at != std::string::npos) {
        const std::size_t start = at + flatpak.size();
        return {"flatpak", "run", folder.substr(start, folder.find('/', start) - start)};
    }
    return {executable};
}

bool ProfileListed(AppType type, std::string_view name)
{
    TWizardState listed;
    listed.SelectedAppType = type;
    for (const std::string& root : FindProfileRegistryRoots(AppInfo(type).ProfileRoots)) {
        ReadProfileList(listed, root);
        if (std::any_of(
                listed.ProfileEntries.begin(), listed.ProfileEntries.end(),
                [name](const TProfileEntry& entry) { return FoldCase(entry.Name) == FoldCase(name); }))
            return true;
    }
    return false;
}

bool CreateNewProfile(const TNewProfileAnswer& answer, const TWizardState& state,
                      const TAppStatusTable& status, const TInterfaceTexts& texts, TUserInterface& ui)
{
    const std::string name = ToLowerAscii(answer.Name);
    if (!answer.NameAccepted)
        return false;
    const std::string warning = texts.GetText("TForm1", "LANG_WARNING");
    if (name.empty() || name.find_first_of(CharactersNotInProfileNames) != std::string::npos) {
        ui.ShowWarning(warning, texts.GetText("TForm1", "LANG_NO_NAME"));
        return false;
    }
    // The applications split "name location" at its first blank.
    if (!answer.LocationPath.empty() && name.find(' ') != std::string::npos) {
        ui.ShowWarning(warning, texts.GetText("Quillbank14", "LANG_NAME_BLANK_LOCATION"));
        return false;
    }
    if (ProfileExists(name, state)) {
        ui.ShowWarning(warning, texts.GetText("TForm1", "LANG_PROFIL_EXIST"));
        return false;
    }
    const AppType type = state.SelectedAppType;
    const auto executable = IsKnownAppType(type) ? ExecutableOf(type, status[type].InstallDir) : std::nullopt;
    std::vector<std::string> command;
    if (executable) {
        command = LaunchCommand(*executable, status[type].InstallDir);
        for (std::string& argument :
             SplitWindowsCommandLine(CreateProfileParameters(name, answer.LocationPath)))
            command.push_back(std::move(argument));
    }
    // The application makes the profile and ends; only then does the
    // profile registry say whether it did.
    if (!executable || !RunAndWait(command, [&ui] { ui.ProcessEvents(); })) {
        ui.ShowWarning(warning, texts.GetText("TForm1", "LANG_NO_PROGRAM"));
        return false;
    }
    if (!ProfileListed(type, name)) {
        ui.ShowWarning(warning, texts.GetTextFmt("Quillbank14", "LANG_PROFILE_NOT_MADE", VisibleText(name)));
        return false;
    }
    return true;
}

std::string ShortenPathForDisplay(std::string_view path)
{
    // Counted in characters: a UTF-8 sequence is never cut.
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < path.size(); ++i)
        if ((static_cast<unsigned char>(path[i]) & 0xC0) != 0x80)
            starts.push_back(i);
    if (starts.size() <= 31)
        return std::string(path);
    return std::string(path.substr(0, starts[3])) + "..." +
           std::string(path.substr(starts[starts.size() - 31]));
}

} // namespace quillbank
