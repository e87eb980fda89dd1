// The `restore` command: restores a backup file into a profile, or with --undo takes the last restore back.

#include "cli/ArchiveAccess.h"
#include "cli/CommandContext.h"
#include "cli/Commands.h"
#include "cli/ComponentNames.h"
#include "cli/ExitCodes.h"
#include "cli/Json.h"
#include "cli/Options.h"
#include "cli/Password.h"
#include "cli/RunSummary.h"
#include "cli/Targets.h"
#include "engine/Catalogue.h"
#include "engine/KeyStore.h"
#include "engine/PlacesOutsideProfile.h"
#include "engine/RestoreRun.h"
#include "engine/UndoRestore.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "profile/WindowsPaths.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <ostream>

namespace quillbank::cli {

namespace {

constexpr std::string_view Usage =
    "Usage: quillbank-cli restore ARCHIVE\n"
    "                             (--app NAME [--profile NAME] | --profile-dir DIR)\n"
    "                             [OPTIONS]\n"
    "       quillbank-cli restore --undo\n"
    "                             (--app NAME [--profile NAME] | --profile-dir DIR)\n"
    "                             [--force] [--quiet]\n"
    "\n"
    "Restores a backup file into a profile; what the profile held of the restored\n"
    "components is replaced. NAMEs match in any letter case; a profile's whole name\n"
    "wins over names it is part of, and a part of a name must fit one application\n"
    "or profile. Before a restore replaces anything, it keeps what it replaces in a\n"
    "rollback archive in $XDG_STATE_HOME/quillbank/rollback/\n"
    "(~/.local/state/quillbank/rollback/); the last three of each profile are kept.\n"
    "\n"
    "Options:\n"
    "  --archive PATH          the backup file, when not given as ARCHIVE\n"
    "  --app NAME              the application: firefox or thunderbird\n"
    "  --profile NAME          the profile of that application, by its name\n"
    "                          (default: the profile the installation starts with)\n"
    "  --profile-dir DIR       the profile folder itself (a portable profile); the\n"
    "                          application is then --app, or the one the backup\n"
    "                          was made from\n"
    "  --components LIST       comma-separated components to restore (default: all\n"
    "                          that the backup holds, and its unknown entries);\n"
    "                          those that do not belong in the application's\n"
    "                          profiles are skipped\n"
    "  --unknown               restore the backup's unknown entries too (without\n"
    "                          --components, they always are)\n"
    "  --no-unknown            leave the backup's unknown entries out\n"
    "  --password-file FILE    the backup's password is the first line of FILE\n"
    "  --password-stdin        the backup's password is the first line of standard\n"
    "                          input (without either, it is asked for when standard\n"
    "                          input is a terminal)\n"
    "  --password-command CMD  the password is the first line CMD prints (run by\n"
    "                          the shell; its failure is exit code 4)\n"
    "  --outside-profile       let the restore write the mail folders that the\n"
    "                          backup keeps outside the profile, and keep settings\n"
    "                          naming places outside it (both listed first);\n"
    "                          without it, such a restore of emails is refused and\n"
    "                          such settings are left out\n"
    "  --replace-key           let the restore replace the profile's key database\n"
    "                          although files of the profile that it protects are\n"
    "                          not in the backup (listed first): their saved\n"
    "                          passwords, OpenPGP passphrase or client certificate\n"
    "                          keys no longer open; without it, such a restore is\n"
    "                          refused\n"
    "  --no-rollback           write no rollback archive: the restore cannot be\n"
    "                          undone (Backup.ini: rollback=false does the same)\n"
    "  --undo                  take back the profile's last restore instead: its\n"
    "                          files as they were before it, the files it created\n"
    "                          removed; once only\n"
    "  --map-folder 'WINDOWS=DIR'\n"
    "                          put the mail folder that a backup made on Windows\n"
    "                          recorded as WINDOWS into the absolute folder DIR\n"
    "                          (repeatable; without it, such a folder goes into\n"
    "                          the profile's Mail folder, under its own name)\n"
    "  --codepage PAGE         read the names of a backup made on Windows that are\n"
    "                          not marked as UTF-8 in this code page (1250,\n"
    "                          windows-1252, ...; default: Backup.ini's codePage,\n"
    "                          else the one of the language file)\n"
    "  --force                 go on while the application is using the profile\n"
    "  --json                  print one JSON object instead of the profile's folder\n"
    "  -v, --verbose           name every component as it is restored, on a line of\n"
    "                          its own\n"
    "  -q, --quiet             print nothing but errors\n"
    "\n"
    "Components: general-settings, emails, address-books, bookmarks, history,\n"
    "sidebars, user-styles, saved-passwords, cookies, saved-form-details,\n"
    "downloaded-file-list, certificates, extensions, cache.\n"
    "\n"
    "Exit codes: 0 success, 1 the run failed (nothing restored whole), 2 bad usage,\n"
    "3 the profile is in use, 4 wrong or missing password, 5 partly restored: entries\n"
    "that were refused or could not be written are left out (each is named).\n";

constexpr std::array<TOptionDefinition, 20> Accepted = {{
    {"archive", true},          {"app", true},
    {"profile", true},          {"profile-dir", true},
    {"components", true},       {"unknown", false},
    {"no-unknown", false},      {"password-file", true},
    {"password-stdin", false},  {"password-command", true},
    {"outside-profile", false}, {"replace-key", false},
    {"no-rollback", false},     {"undo", false},
    {"map-folder", true, true}, {"codepage", true},
    {"force", false},           {"json", false},
    {"verbose", false},         {"quiet", false},
}};

/// Gives the mail folders of the backup that --map-folder names ('C:\Mail=/home/bob/Mail') their places.
void MapFolders(const std::vector<std::string>& mappings, std::vector<TMailFolder>& folders)
{
    for (const std::string& mapping : mappings) {
        // The place is an absolute path of this machine: it starts at the first "=/".
        const auto equals = mapping.find("=/");
        const std::string windows = mapping.substr(0, equals);
        if (equals == std::string::npos || !IsWindowsAbsolutePath(windows))
            throw EUsageError("--map-folder takes a Windows folder, \"=\" and an absolute folder, not \"" +
                              mapping + "\"");
        const auto folder = std::ranges::find_if(folders, [&windows](const TMailFolder& recorded) {
            return WindowsPathBelow(recorded.Path, windows) == "";
        });
        if (folder == folders.end())
            throw EUsageError("--map-folder: the backup records no mail folder " + windows);
        folder->Place = LexicallyNormal(mapping.substr(equals + 1));
    }
}

/// What the restore writes or points at outside the profile, listed on
/// standard error before anything is written. The mail folders are written
/// only when the user said so; the preferences naming places outside are
/// kept only then, and dropped otherwise.
void ListPlacesOutsideProfile(std::ostream& err, const TPlacesOutsideProfile& places, bool allowed)
{
    if (!places.Preferences.empty()) {
        err << "quillbank-cli restore: the settings of this backup name places outside the profile ("
            << (allowed ? "kept" : "left out; give --outside-profile to keep them") << "):\n";
        for (const TPathOutsideProfile& preference : places.Preferences)
            err << "  " << VisibleText(preference.Description()) << "\n";
    }
    if (places.MailFolders.empty())
        return;
    err << "quillbank-cli restore: the emails of this backup go to folders outside the profile:\n";
    for (const std::string& folder : places.MailFolders)
        err << "  " << VisibleText(folder) << "\n";
    if (!allowed)
        throw EUsageError(
            "give --outside-profile to restore into them, or leave emails out with --components");
}

/// The files of the profile that the key database the restore replaces
/// protects and that the backup lacks: listed on standard error before
/// anything is written, and left behind, no longer opening, only when the
/// user said so.
void ListFilesLosingTheirKey(const TCommandContext& context, const std::vector<TOrphanedFile>& orphaned,
                             bool allowed)
{
    if (orphaned.empty())
        return;
    context.Console().Err
        << "quillbank-cli restore: the restore replaces the profile's key database; these files of the "
           "profile are not in the backup and would no longer open:\n";
    for (const TOrphanedFile& file : orphaned)
        context.Console().Err << "  " << OrphanedFileLine(file, context.Texts()) << "\n";
    if (!allowed)
        throw EUsageError("give --replace-key to restore anyway, or leave the components that hold the key "
                          "database out with --components");
}

/// Options that make no sense with --undo.
constexpr std::array<std::string_view, 13> NotWithUndo = {
    "archive",        "components", "unknown",          "no-unknown",      "password-file",
    "password-stdin", "json",       "password-command", "outside-profile", "replace-key",
    "no-rollback",    "map-folder", "codepage"};

/// Takes back the last restore into the profile that the options name.
int UndoCommand(const TOptions& options, const TProfileOptions& chosen, const TConsole& console)
{
    for (std::string_view name : NotWithUndo)
        if (options.Has(name))
            throw EUsageError("--" + std::string(name) + " cannot go with --undo");
    if (!options.Arguments().empty())
        throw EUsageError("--undo takes no backup file");
    TCommandContext context(console, options.Has("quiet"), std::nullopt);
    context.RequireWorkingFiles();
    const TProfileTarget target = FindProfileTarget(context, chosen);
    const std::optional<TStoredRollback> rollback = UndoableRollback(RollbackFolder(), target.ProfileDir);
    if (!rollback)
        throw ECommandError(ExitFailure, target.ProfileDir + ": no restore to undo");
    RefuseWhileInUse(target.Type != NoAppType ? target.Type : rollback->Manifest.App, target.ProfileDir,
                     options.Has("force"));
    Say(context,
        "Undoing the restore of " + RollbackTimeText(rollback->Manifest.Time) + " into " + target.ProfileDir);
    try {
        UndoRestore(*rollback);
    } catch (const ERollbackError& error) {
        throw ECommandError(ExitFailure, std::string(error.what()) + "; the profile is as it was");
    }
    if (!context.Quiet())
        console.Out << target.ProfileDir << "\n";
    return ExitSuccess;
}

} // namespace

int RestoreCommand(const std::vector<std::string>& arguments, const TConsole& console)
{
    const auto parsed = ParseCommandLine(arguments, Accepted, Usage, console.Out);
    if (!parsed)
        return ExitSuccess;
    const TOptions& options = *parsed;
    const TProfileOptions chosen = ReadProfileOptions(options);
    if (chosen.ProfileDir ? chosen.Profile.has_value() : !chosen.App)
        throw EUsageError("give either --app (and --profile), or --profile-dir");
    if (options.Has("undo"))
        return UndoCommand(options, chosen, console);
    const std::string archive = ArchiveArgument(options);
    if (options.Has("unknown") && options.Has("no-unknown"))
        throw EUsageError("give either --unknown or --no-unknown");
    std::vector<TComponentBox> wanted;
    if (const auto list = options.Value("components")) {
        wanted = ParseComponentList(*list);
        for (TComponentBox box : wanted)
            if (FindRestoreComponent(box) == nullptr)
                throw EUsageError(std::string(ComponentName(box)) + " applies to backups only");
    }

    TCommandContext context(console, options.Has("quiet"), ReadGivenPassword(options, console),
                            options.Has("verbose"));
    context.RequireWorkingFiles();
    const TProfileTarget target = FindProfileTarget(context, chosen);

    TWizardState& state = context.State();
    state.Operation = TOperation::Restore;
    state.SelectedAppType = target.Type;
    if (!chosen.ProfileDir) {
        state.ProfileEntries = {{target.ProfileName, target.ProfileDir}};
        state.SelectedProfileLine = target.ProfileName;
    } else {
        state.PortableProfileDir = target.ProfileDir;
    }
    state.ArchivePath = AbsolutePath(archive);
    if (const auto codePage = options.Value("codepage")) {
        const auto known = KnownCodePage(*codePage);
        if (!known)
            throw EUsageError("--codepage: the code page \"" + *codePage + "\" is not known");
        state.CodePage = *known;
    }
    // The application's running check comes first when it is known.
    if (target.Type != NoAppType)
        RefuseWhileInUse(target.Type, target.ProfileDir, options.Has("force"));
    const TArchiveContents contents = ReadBackupFile(context);
    if (state.SelectedAppType == NoAppType)
        state.SelectedAppType = contents.Type;
    if (state.SelectedAppType == NoAppType)
        throw ECommandError(ExitFailure, state.ArchivePath + ": the backup names no application; give --app");
    // Otherwise, as soon as the backup names it.
    if (target.Type == NoAppType)
        RefuseWhileInUse(state.SelectedAppType, target.ProfileDir, options.Has("force"));

    TRestoreRequest request;
    request.Boxes = ChooseComponents(contents.Boxes, wanted, "the backup");
    // Chosen components are all that is restored, unless the unknown entries are asked for too.
    const bool restoreUnknown =
        options.Has("components") ? options.Has("unknown") : !options.Has("no-unknown");
    request.UnknownTicks.assign(state.UnknownEntries.size(), restoreUnknown);
    for (const TComponentName& name : ComponentNames())
        if (request.Boxes[name.Box].Checked && IsSkippedOnRestore(name.Box, state.SelectedAppType))
            Say(context,
                "skipped " + std::string(name.Name) + ": not restored into this application's profiles");

    MapFolders(options.Values("map-folder"), state.MailFolders);
    request.KeepPathsOutsideProfile = options.Has("outside-profile");
    request.Force = options.Has("force");
    request.Rollback = !options.Has("no-rollback") && context.Settings().Rollback;
    ListPlacesOutsideProfile(console.Err, PlacesOutsideProfile(request, state, context.Environment()),
                             request.KeepPathsOutsideProfile);
    ListFilesLosingTheirKey(context, OrphanedByRestore(state, request.Boxes, context.Environment()),
                            options.Has("replace-key"));

    Say(context, "Restoring " + state.ArchivePath + " into " + target.ProfileDir);
    const auto start = std::chrono::steady_clock::now();
    const TRunOutcome outcome = RunRestore(request, state, context.Environment());
    context.Progress().Finish();
    if (options.Has("json")) {
        TRunSummary summary{state.ArchivePath,
                            state.SelectedAppType,
                            target.ProfileName,
                            target.ProfileDir,
                            TickedComponentNames(request.Boxes),
                            outcome.EntriesWritten,
                            outcome.BytesWritten,
                            outcome.LeftOut,
                            SecondsSince(start),
                            outcome.Status,
                            outcome.Failure};
        TJsonWriter json;
        WriteRunSummary(json.BeginObject(), summary);
        console.Out << json.EndObject().Text() << "\n";
    }
    for (const TLeftOutFile& entry : outcome.LeftOut)
        console.Err << "quillbank-cli restore: " << state.ArchivePath
                    << ": not restored: " << LeftOutText(entry) << "\n";
    if (outcome.Status != TRunStatus::Done)
        context.ThrowOnPasswordProblem(state.ArchivePath);
    if (outcome.Status == TRunStatus::Failed)
        throw ECommandError(ExitFailure,
                            "the restore into " + target.ProfileDir + " failed: " + outcome.Failure);
    if (outcome.Status == TRunStatus::Done)
        context.Progress().Complete();
    else
        console.Err << "quillbank-cli restore: " << target.ProfileDir << ": partly restored\n";
    if (!context.Quiet() && !options.Has("json"))
        console.Out << target.ProfileDir << "\n";
    return RunExitCode(outcome.Status);
}

} // namespace quillbank::cli
