// The `list` command: the applications found and their profiles, and which restores can be undone.

#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/Json.h"
#include "cli/ListedApps.h"
#include "cli/Options.h"
#include "config/InterfaceTexts.h"
#include "config/WorkingFiles.h"
#include "engine/RollbackStore.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

#include <algorithm>
#include <array>
#include <ostream>

namespace quillbank::cli {

namespace {

constexpr std::string_view Usage =
    "Usage: quillbank-cli list [--json]\n"
    "\n"
    "Lists the applications found (as the wizard's application list shows them)\n"
    "and the profiles of each, from every folder that holds profiles; when they\n"
    "come from several, each profile names its folder. A profile whose last\n"
    "restore can be undone says from when.\n"
    "\n"
    "Options:\n"
    "  --json      print one JSON object instead of text\n";

constexpr std::array<TOptionDefinition, 1> Accepted = {{{"json"}}};

/// The time of the restore into `profile` that an undo would take back,
/// among the rollback archives `stored`.
std::optional<std::int64_t> UndoableSince(const std::vector<TStoredRollback>& stored,
                                          const TProfileEntry& profile)
{
    const std::optional<TStoredRollback> rollback = UndoableRollback(stored, profile.Path);
    return rollback ? std::optional(rollback->Manifest.Time) : std::nullopt;
}

void PrintJson(const std::vector<TListedApp>& apps, const std::vector<TStoredRollback>& stored,
               std::ostream& out)
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
        for (const TProfileEntry& profile : app.Profiles) {
            const auto undoable = UndoableSince(stored, profile);
            json.BeginObject()
                .Key("name")
                .String(profile.Name)
                .Key("folder")
                .String(profile.Path)
                .Key("root")
                .String(WithoutTrailingSeparators(profile.Root))
                .Key("undoable")
                .Bool(undoable.has_value());
            if (undoable)
                json.Key("lastRestore").String(RollbackTimeText(*undoable));
            json.EndObject();
        }
        json.EndArray().EndObject();
    }
    json.EndArray().EndObject();
    out << json.Text() << "\n";
}

/// Where the profiles of an application were found: its profile root, or the
/// roots its profiles come from when there are several.
std::string ProfileFolders(const TListedApp& app)
{
    std::vector<std::string> roots;
    for (const TProfileEntry& profile : app.Profiles)
        if (!profile.Root.empty() && std::find(roots.begin(), roots.end(), profile.Root) == roots.end())
            roots.push_back(profile.Root);
    if (roots.size() < 2)
        return app.ProfileRoot;
    std::string folders;
    for (const std::string& root : roots)
        folders += (folders.empty() ? "" : ", ") + root;
    return folders;
}

void PrintText(const std::vector<TListedApp>& apps, const std::vector<TStoredRollback>& stored,
               std::ostream& out)
{
    if (apps.empty())
        out << "No application found.\n";
    for (const TListedApp& app : apps) {
        out << app.Line << "  [" << ToLowerAscii(AppShortName(app.Type)) << ", type "
            << static_cast<int>(app.Type) << "]\n";
        if (!app.Status.InstallDir.empty())
            out << "  installed in " << app.Status.InstallDir << "\n";
        out << "  profiles in " << ProfileFolders(app) << (app.Profiles.empty() ? ": none" : ":") << "\n";
        for (const TProfileEntry& profile : app.Profiles) {
            out << "    " << profile.ListLine() << "  " << profile.Path << "\n";
            if (const auto undoable = UndoableSince(stored, profile))
                out << "      undo possible: the restore of " << RollbackTimeText(*undoable) << "\n";
        }
    }
}

} // namespace

int ListCommand(const std::vector<std::string>& arguments, const TConsole& console)
{
    const auto options = ParseOptionsOnly(arguments, Accepted, Usage, console.Out);
    if (!options)
        return ExitSuccess;
    const std::string programDir = ProgramDataDir();
    const TInterfaceTexts texts(programDir + "/Default.lng");
    const auto apps = FindListedApps(texts);
    // Each rollback archive is read once, whatever the number of profiles.
    const std::vector<TStoredRollback> stored = StoredRollbacks(RollbackFolder());
    if (options->Has("json"))
        PrintJson(apps, stored, console.Out);
    else
        PrintText(apps, stored, console.Out);
    return ExitSuccess;
}

} // namespace quillbank::cli
