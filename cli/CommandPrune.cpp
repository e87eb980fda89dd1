// The `prune` command: removes the older backups of a profile in a folder that no keep rule keeps.

#include "cli/CommandContext.h"
#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/Json.h"
#include "cli/Options.h"
#include "cli/Password.h"
#include "cli/Pruning.h"
#include "cli/Targets.h"
#include "engine/BackupIdentity.h"
#include "platform/FileSystem.h"

#include <array>
#include <ostream>

namespace quillbank::cli {

namespace {

constexpr std::string_view Usage =
    "Usage: quillbank-cli prune --app NAME (--profile NAME | --profile-dir DIR)\n"
    "                           --folder DIR KEEP-RULES [OPTIONS]\n"
    "\n"
    "Removes the backups of a profile in a folder that none of the keep rules\n"
    "keeps. A backup belongs to the profile when its header names the application\n"
    "and the profile's folder; its date is the one its header records. Backups\n"
    "made by the wizard record no profile and are never removed.\n"
    "\n"
    "Options:\n"
    "  --app NAME              the application: firefox or thunderbird\n"
    "  --profile NAME          the profile, by its name\n"
    "  --profile-dir DIR       the profile folder itself (a portable profile)\n"
    "  --folder DIR            the folder holding the backups\n"
    "  --keep-last N           keep the N newest backups\n"
    "  --keep-daily N          keep the newest backup of each of the last N days\n"
    "  --keep-weekly N         ... of each of the last N ISO weeks\n"
    "  --keep-monthly N        ... of each of the last N months\n"
    "  --password-file FILE    read the headers of protected backups with the first\n"
    "                          line of FILE\n"
    "  --password-stdin        ... with the first line of standard input\n"
    "  --password-command CMD  the password is the first line CMD prints (run by\n"
    "                          the shell; its failure is exit code 4)\n"
    "  --dry-run               remove nothing; print what would be removed\n"
    "  --json                  print one JSON object instead of text\n"
    "  -v, --verbose           name the backups kept too\n"
    "  -q, --quiet             print nothing but errors\n"
    "\n"
    "Prints a line per backup removed. Exit codes: 0 success, 1 a backup could not\n"
    "be removed or the folder cannot be read, 2 bad usage.\n";

constexpr std::array<TOptionDefinition, 15> Accepted = {{
    {"app", true},
    {"profile", true},
    {"profile-dir", true},
    {"folder", true},
    {"keep-last", true},
    {"keep-daily", true},
    {"keep-weekly", true},
    {"keep-monthly", true},
    {"password-file", true},
    {"password-stdin", false},
    {"password-command", true},
    {"dry-run", false},
    {"json", false},
    {"verbose", false},
    {"quiet", false},
}};

void PrintJson(const TPruneRequest& request, const std::vector<TPrunedBackup>& backups, bool removedAll,
               std::ostream& out)
{
    TJsonWriter writer;
    writer.BeginObject()
        .Key("folder")
        .String(request.Folder)
        .Key("application")
        .String(AppShortName(request.Application))
        .Key("profile")
        .String(request.ProfileFolder)
        .Key("dryRun")
        .Bool(request.DryRun)
        .Key("backups")
        .BeginArray();
    for (const TPrunedBackup& backup : backups) {
        writer.BeginObject()
            .Key("archive")
            .String(backup.Path)
            .Key("made")
            .String(FormatUtcTime(backup.MadeAt))
            .Key("kept")
            .Bool(backup.Kept)
            .Key("removed")
            .Bool(!backup.Kept && !request.DryRun && backup.RemovalFailure.empty());
        if (!backup.RemovalFailure.empty())
            writer.Key("error").String(backup.RemovalFailure);
        writer.EndObject();
    }
    writer.EndArray().Key("outcome").String(removedAll ? "done" : "failed");
    out << writer.EndObject().Text() << "\n";
}

} // namespace

int PruneCommand(const std::vector<std::string>& arguments, const TConsole& console)
{
    const auto parsed = ParseOptionsOnly(arguments, Accepted, Usage, console.Out);
    if (!parsed)
        return ExitSuccess;
    const TOptions& options = *parsed;
    const TProfileOptions chosen = ReadProfileOptions(options);
    const auto folder = options.Value("folder");
    if (!chosen.App)
        throw EUsageError("--app is missing");
    if (chosen.Profile.has_value() == chosen.ProfileDir.has_value())
        throw EUsageError("give either --profile or --profile-dir");
    if (!folder || folder->empty())
        throw EUsageError("--folder is missing");
    TPruneRequest request;
    request.Policy = ParseRetentionOptions(options);
    if (request.Policy.IsEmpty())
        throw EUsageError("give at least one of --keep-last, --keep-daily, --keep-weekly and --keep-monthly "
                          "with a count above 0");
    request.Password = ReadGivenPassword(options, console).value_or(std::string());
    request.DryRun = options.Has("dry-run");

    TCommandContext context(console, options.Has("quiet"), std::nullopt);
    context.RequireWorkingFiles();
    const TProfileTarget target = FindProfileTarget(context, chosen);
    request.Folder = AbsolutePath(*folder);
    if (!DirectoryExists(request.Folder))
        throw ECommandError(ExitFailure, request.Folder + ": no such folder");
    request.Application = target.Type;
    request.ProfileFolder = IdentityFolder(target.ProfileDir);

    const std::vector<TPrunedBackup> backups = PruneBackups(request, context.Texts(), context.ProgramDir());
    const bool json = options.Has("json");
    const bool removedAll =
        ReportPruning(backups, {request.DryRun, context.Quiet() || json, options.Has("verbose"), ""},
                      console.Out, console.Err);
    if (json)
        PrintJson(request, backups, removedAll, console.Out);
    return removedAll ? ExitSuccess : ExitFailure;
}

} // namespace quillbank::cli
