#include "apps/Detection.h"
#include "apps/Installations.h"
#include "apps/ProfileDiscovery.h"
#include "apps/WizardState.h"
#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/Json.h"
#include "cli/Options.h"
#include "config/WorkingFiles.h"
#include "config/l10n.h"
#include "engine/RollbackStore.h"
#include "platform/RegistryReader.h"
#include "platform/Text.h"

#include <algorithm>
#include <array>
#include <iostream>

namespace quillbank::cli {

namespace {

constexpr std::string_view Usage =
    "Usage: quillbank-cli list [--json]\n"
    "\n"
    "Lists the applications found (as the wizard's application list shows them)\n"
    "and the profiles of each, with the time of the last restore into a profile\n"
    "when it can be undone (quillbank-cli restore --undo).\n"
    "\n"
    "Options:\n"
    "  --json      print one JSON object instead of text\n";

constexpr std::array<TOptionDefinition, 1> Accepted = {{{"json"}}};

/// A profile as listed: its entry, and the time of the restore an undo
/// would take back, if any.
struct TListedProfile
{
    TProfileEntry Entry;
    std::optional<std::int64_t> UndoableSince;
};

struct TListedApp
{
    std::string Line;
    AppType Type = NoAppType;
    TAppStatus Status;
    std::string ProfileRoot;
    std::vector<TListedProfile> Profiles;
};

std::vector<TListedApp> FindApplications(const Tl10n& l10n)
{
    const std::string rollbacks = RollbackFolder();
    TAppStatusTable status{};
    std::vector<std::string> lines;
    const auto registry = CreateRegistryReader();
    TInstallationDetection(*registry, l10n, status, lines).DetectApplications();
    std::vector<TListedApp> apps;
    for (const std::string& line : lines) {
        TWizardState state;
        SelectApplication(state, line);
        // The last line, "Portable applications", names none.
        if (!IsKnownAppType(state.SelectedAppType))
            continue;
        ListProfiles(state, l10n);
        TListedApp app{line, state.SelectedAppType, status[state.SelectedAppType], state.ProfileDir, {}};
        // Only the profiles the wizard would offer.
        for (const TProfileEntry& entry : state.ProfileEntries)
            if (std::find(state.ProfileList.begin(), state.ProfileList.end(), entry.Name) !=
                state.ProfileList.end()) {
                const std::optional<TStoredRollback> rollback = UndoableRollback(rollbacks, entry.Path);
                app.Profiles.push_back(
                    {entry, rollback ? std::optional(rollback->Manifest.Time) : std::nullopt});
            }
        apps.push_back(std::move(app));
    }
    return apps;
}

void PrintJson(const std::vector<TListedApp>& apps)
{
    TJsonWriter json;
    json.BeginObject().Key("applications").BeginArray();
    for (const TListedApp& app : apps) {
        json.BeginObject()
            .Key("line")
            .String(app.Line)
            .Key("type")
            .Number(app.Type)
            .Key("name")
            .String(ToLowerAscii(AppShortName(app.Type)))
            .Key("installed")
            .Bool(app.Status.Installed)
            .Key("version")
            .String(app.Status.Version)
            .Key("installDir")
            .String(app.Status.InstallDir)
            .Key("profileRoot")
            .String(app.ProfileRoot)
            .Key("profiles")
            .BeginArray();
        for (const TListedProfile& profile : app.Profiles) {
            json.BeginObject()
                .Key("name")
                .String(profile.Entry.Name)
                .Key("folder")
                .String(profile.Entry.Path)
                .Key("undoable")
                .Bool(profile.UndoableSince.has_value());
            if (profile.UndoableSince)
                json.Key("lastRestore").String(RollbackTimeText(*profile.UndoableSince));
            json.EndObject();
        }
        json.EndArray().EndObject();
    }
    json.EndArray().EndObject();
    std::cout << json.Text() << "\n";
}

void PrintText(const std::vector<TListedApp>& apps)
{
    if (apps.empty())
        std::cout << "No application found.\n";
    for (const TListedApp& app : apps) {
        std::cout << app.Line << "  [" << ToLowerAscii(AppShortName(app.Type)) << ", type "
                  << static_cast<int>(app.Type) << "]\n";
        if (!app.Status.InstallDir.empty())
            std::cout << "  installed in " << app.Status.InstallDir << "\n";
        std::cout << "  profiles in " << app.ProfileRoot << (app.Profiles.empty() ? ": none" : ":") << "\n";
        for (const TListedProfile& profile : app.Profiles) {
            std::cout << "    " << profile.Entry.Name << "  " << profile.Entry.Path << "\n";
            if (profile.UndoableSince)
                std::cout << "      undo possible: the restore of "
                          << RollbackTimeText(*profile.UndoableSince) << "\n";
        }
    }
}

} // namespace

int ListCommand(const std::vector<std::string>& arguments)
{
    const auto options = ParseCommandLine(arguments, Accepted, Usage);
    if (!options)
        return ExitSuccess;
    if (!options->Arguments().empty())
        throw EUsageError("unexpected argument \"" + options->Arguments().front() + "\"");
    const std::string programDir = ProgramDataDir();
    const Tl10n l10n(programDir + "/Default.lng");
    const auto apps = FindApplications(l10n);
    if (options->Has("json"))
        PrintJson(apps);
    else
        PrintText(apps);
    return ExitSuccess;
}

} // namespace quillbank::cli
