// The `backup` command: backs a profile up into a backup file, then prunes older backups if asked.

#include "apps/ProfileDiscovery.h"
#include "cli/AccountJson.h"
#include "cli/Clock.h"
#include "cli/CommandContext.h"
#include "cli/Commands.h"
#include "cli/ComponentNames.h"
#include "cli/ExitCodes.h"
#include "cli/Messages.h"
#include "cli/Options.h"
#include "cli/Password.h"
#include "cli/Pruning.h"
#include "cli/RunSummary.h"
#include "cli/Targets.h"
#include "config/FileNameTemplate.h"
#include "engine/BackupRun.h"
#include "engine/KnownFiles.h"
#include "platform/FileSystem.h"

#include <array>
#include <chrono>
#include <ostream>

namespace quillbank::cli {

namespace {

constexpr std::string_view Usage =
    "Usage: quillbank-cli backup --app NAME [--profile NAME | --profile-dir DIR]\n"
    "                            --output PATH [OPTIONS]\n"
    "\n"
    "Backs a profile up into a backup file. NAMEs match in any letter case; a\n"
    "profile's whole name wins over names it is part of, and a part of a name\n"
    "(\"fire\", \"esr\") must fit one application or profile.\n"
    "\n"
    "Options:\n"
    "  --app NAME              the application: firefox or thunderbird\n"
    "  --profile NAME          the profile, by its name (default: the profile the\n"
    "                          installation starts with, named on standard error)\n"
    "  --profile-dir DIR       the profile folder itself (a portable profile)\n"
    "  --output PATH           the backup file to write; it may hold the file-name\n"
    "                          template's placeholders (<application>, <version>,\n"
    "                          <profile>, <year>, <month>, <day>, <hour>, <minute>,\n"
    "                          <second>, <millisecond>, <dayOfWeek>); an older file\n"
    "                          there is replaced once the new one is complete; missing\n"
    "                          folders are made (mode 0700)\n"
    "  --components LIST       comma-separated components to back up (default: all\n"
    "                          that the profile holds, the cache excepted)\n"
    "  --no-unknown            leave out the entries no component the profile offers\n"
    "                          covers (default: all of them are backed up)\n"
    "  --level 0-9             compression level (default: Backup.ini, else 9)\n"
    "  --encryption METHOD     aes256 or zipcrypto (default: Backup.ini, else aes256);\n"
    "                          needs a password\n"
    "  --password-file FILE    protect the backup with the first line of FILE\n"
    "  --password-stdin        protect it with the first line of standard input\n"
    "  --password-command CMD  the password is the first line CMD prints (run by\n"
    "                          the shell; its failure is exit code 4)\n"
    "  --password-prompt       protect it with a password typed (twice) at the terminal\n"
    "  --force                 go on while the application is using the profile\n"
    "  --dry-run               write nothing; print what the backup would take and\n"
    "                          leave out\n"
    "  --keep-last N           once the new backup is written and checked, remove\n"
    "  --keep-daily N          the older backups of the profile in its folder that\n"
    "  --keep-weekly N         none of these rules keeps: the last N, the newest of\n"
    "  --keep-monthly N        each of the last N days, ISO weeks, months\n"
    "  --json                  print one JSON object instead of text\n"
    "  --no-clobber            refuse to replace a file at the backup's path\n"
    "  -v, --verbose           name every file as it is written, and the older\n"
    "                          backups the keep rules keep\n"
    "  -q, --quiet             print nothing but errors\n"
    "\n"
    "Components: general-settings, emails, accounts-settings-only, address-books,\n"
    "bookmarks, history, sidebars, user-styles, saved-passwords, cookies,\n"
    "saved-form-details, downloaded-file-list, certificates, extensions, cache.\n"
    "\n"
    "Prints the path of the backup file written, and on standard error what became\n"
    "of every file: the entries by component, the files left out by a rule (each\n"
    "rule with its count) and by a fault. With --dry-run that account is what is\n"
    "printed. Exit codes: 0 success, 1 the run failed, 2 bad usage, 3 the profile\n"
    "is in use, 4 missing password, 5 the backup was written without files that\n"
    "could not be read (each is named).\n";

constexpr std::array<TOptionDefinition, 23> Accepted = {{
    {"app", true},
    {"profile", true},
    {"profile-dir", true},
    {"output", true},
    {"components", true},
    {"no-unknown", false},
    {"level", true},
    {"encryption", true},
    {"password-file", true},
    {"password-stdin", false},
    {"password-command", true},
    {"password-prompt", false},
    {"force", false},
    {"dry-run", false},
    {"keep-last", true},
    {"keep-daily", true},
    {"keep-weekly", true},
    {"keep-monthly", true},
    {"json", false},
    {"verbose", false},
    {"no-clobber", false},
    {"quiet", false},
}};

/// The password that protects the new backup, if any.
std::optional<std::string> BackupPassword(const TOptions& options, const TConsole& console)
{
    if (!options.Has("password-prompt"))
        return ReadGivenPassword(options, console);
    if (options.Has("password-file") || options.Has("password-stdin") || options.Has("password-command"))
        throw EUsageError(
            "give one of --password-file, --password-stdin, --password-command and --password-prompt");
    if (!console.InputIsTerminal)
        throw ECommandError(ExitPassword, "--password-prompt needs a terminal on standard input");
    const auto first = PromptForPassword(console, "Password for the backup: ");
    if (!first || first->empty())
        throw ECommandError(ExitPassword, "no password typed");
    const auto second = PromptForPassword(console, "The same password again: ");
    if (second != first)
        throw ECommandError(ExitPassword, "the two passwords differ");
    return first;
}

std::string Joined(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text.empty() ? "(none)" : text;
}

/// One line when a backup without a password holds what opens the user's
/// accounts: saved passwords, cookies, key stores.
void WarnOfUnprotectedSecrets(std::ostream& err, const std::string& archive, const TBackupAccount& account)
{
    std::vector<std::string> held;
    for (TComponentBox box : {SavedPasswordsBox, CookiesBox, CertificatesBox})
        if (account.Components[box].Files > 0)
            held.emplace_back(ComponentName(box));
    if (!held.empty())
        Warn(err, archive + " holds " + Joined(held) +
                      " without a password: anyone who can read it can use them (protect it with "
                      "--password-file or "
                      "--password-command)");
}

/// What the backup did, for --json.
TRunSummary Summary(const TBackupRequest& request, const TProfileTarget& target,
                    const TBackupOutcome& outcome, std::chrono::steady_clock::time_point start)
{
    TRunSummary summary;
    summary.Archive = request.ArchivePath;
    summary.Application = target.Type;
    summary.ProfileName = target.ProfileName;
    summary.ProfileFolder = target.ProfileDir;
    summary.Components = TickedComponentNames(request.Boxes);
    summary.Files = static_cast<std::uint64_t>(outcome.Account.Entries().Files);
    summary.Bytes = static_cast<std::uint64_t>(outcome.Account.Entries().Bytes);
    summary.LeftOut = outcome.Run.LeftOut;
    summary.Seconds = SecondsSince(start);
    summary.Status = outcome.Run.Status;
    summary.Failure = outcome.Run.Failure;
    return summary;
}

/// The result on standard output: the summary and the account as JSON, or
/// as lines for people (on standard error after a backup, whose result is
/// its file).
void PrintResult(const TCommandContext& context, const TBackupRequest& request, const TRunSummary& summary,
                 const TBackupAccount& account, const std::vector<TPrunedBackup>& pruned, bool json)
{
    if (json) {
        TJsonWriter writer;
        writer.BeginObject();
        WriteRunSummary(writer, summary);
        writer.Key("dryRun").Bool(request.DryRun);
        WriteAccountJson(writer.Key("account"), account);
        writer.Key("removed").BeginArray();
        for (const TPrunedBackup& backup : pruned)
            if (!backup.Kept && backup.RemovalFailure.empty())
                writer.String(backup.Path);
        context.Console().Out << writer.EndArray().EndObject().Text() << "\n";
        return;
    }
    if (context.Quiet())
        return;
    for (const std::string& line : AccountReportLines(account, context.Texts(), request.DryRun))
        (request.DryRun ? context.Console().Out : context.Console().Err) << line << "\n";
    if (!request.DryRun)
        context.Console().Out << request.ArchivePath << "\n";
}

} // namespace

int BackupCommand(const std::vector<std::string>& arguments, const TConsole& console)
{
    const auto parsed = ParseOptionsOnly(arguments, Accepted, Usage, console.Out);
    if (!parsed)
        return ExitSuccess;
    const TOptions& options = *parsed;
    const TProfileOptions chosen = ReadProfileOptions(options);
    const auto output = options.Value("output");
    if (!chosen.App)
        throw EUsageError("--app is missing");
    if (chosen.Profile && chosen.ProfileDir)
        throw EUsageError("give either --profile or --profile-dir");
    if (!output || output->empty())
        throw EUsageError("--output is missing");
    TBackupRequest request;
    if (const auto level = options.Value("level"))
        request.CompressionLevel = ParseIntegerOption("level", *level, 0, 9);
    if (const auto encryption = options.Value("encryption")) {
        if (*encryption == "aes256")
            request.Encryption = TZipEncryption::Aes256;
        else if (*encryption == "zipcrypto")
            request.Encryption = TZipEncryption::ZipCrypto;
        else
            throw EUsageError("--encryption must be aes256 or zipcrypto, not \"" + *encryption + "\"");
    }
    const bool hasPasswordOption = options.Has("password-file") || options.Has("password-stdin") ||
                                   options.Has("password-command") || options.Has("password-prompt");
    if (request.Encryption && !hasPasswordOption)
        throw EUsageError(
            "--encryption needs a password (--password-file, --password-stdin, --password-command or "
            "--password-prompt)");
    // A wrong name is bad usage, before anything runs.
    std::vector<TComponentBox> wanted;
    if (const auto list = options.Value("components"))
        wanted = ParseComponentList(*list);
    const TRetentionPolicy policy = ParseRetentionOptions(options);

    const auto password = BackupPassword(options, console);
    TCommandContext context(console, options.Has("quiet"), std::nullopt, options.Has("verbose"));
    context.RequireWorkingFiles();
    const TProfileTarget target = FindProfileTarget(context, chosen);
    RefuseWhileInUse(target.Type, target.ProfileDir, options.Has("force"));

    TWizardState& state = context.State();
    state.Operation = TOperation::Backup;
    state.SelectedAppType = target.Type;
    state.SelectedProfileLine = target.ProfileName;
    request.Application = target.Type;
    request.ProfileDir = IncludeTrailingSeparator(target.ProfileDir);
    request.Password = password.value_or(std::string());
    // An unusable profile ends the run here, as it ends a batch run.
    const TComponentBoxes offered = CheckProfileFolder(target.ProfileDir, context.Texts(), context.Ui());
    request.Boxes = ChooseComponents(offered, wanted, "the profile");
    try {
        request.UnknownEntries = TKnownFiles(context.ProgramDir()).FindUnknown(request.ProfileDir, offered);
    } catch (const EKnownFilesError& error) {
        throw ECommandError(ExitFailure, error.what());
    }
    request.UnknownTicks.assign(request.UnknownEntries.size(), !options.Has("no-unknown"));

    const std::string archive = AbsolutePath(
        ExpandFileNameTemplate(*output, {target.Type, target.Version, target.ProfileName, false}));
    if (DirectoryExists(archive))
        throw ECommandError(ExitFailure, archive + ": a folder is there");
    if (options.Has("no-clobber") && FileExists(archive))
        throw ECommandError(ExitFailure, archive + ": a file is there, and --no-clobber keeps it");
    request.ArchivePath = archive;
    state.ArchivePath = archive;
    state.BackupPassword = request.Password;

    request.DryRun = options.Has("dry-run");
    // A scheduled backup's first run, or its first in a new month's folder,
    // finds no folder: it is made, readable by its owner only.
    if (!request.DryRun)
        if (const auto problem = MakeFolders(ExtractFileDir(archive), 0700))
            throw ECommandError(ExitFailure, archive + ": cannot make its folder: " + *problem);
    request.Identity = TBackupIdentity{target.ProfileName, IdentityFolder(target.ProfileDir), CurrentTime()};

    Say(context, (request.DryRun ? "Dry run, writing nothing: backing up " : "Backing up ") +
                     target.ProfileDir + " into " + archive);
    Say(context, "Components: " + Joined(TickedComponentNames(request.Boxes)));
    const auto start = std::chrono::steady_clock::now();
    const TBackupOutcome outcome = RunBackup(request, state, context.Environment());
    const bool json = options.Has("json");
    if (outcome.Run.Status == TRunStatus::Failed) {
        context.Progress().Finish();
        if (json)
            PrintResult(context, request, Summary(request, target, outcome, start), outcome.Account, {},
                        json);
        throw ECommandError(
            ExitFailure, archive + (request.DryRun ? ": no backup can be made: " : ": no backup written: ") +
                             outcome.Run.Failure);
    }
    if (request.DryRun)
        context.Progress().Finish();
    else
        context.Progress().Complete();
    for (const TLeftOutFile& file : outcome.Run.LeftOut)
        console.Err << "quillbank-cli backup: " << archive
                    << ": incomplete, not backed up: " << LeftOutText(file) << "\n";
    if (!request.DryRun && request.Password.empty() && !context.Quiet())
        WarnOfUnprotectedSecrets(console.Err, archive, outcome.Account);
    std::vector<TPrunedBackup> pruned;
    bool removedAll = true;
    // Older backups go only once a complete new one is in place.
    if (!request.DryRun && !policy.IsEmpty() && outcome.Run.Status != TRunStatus::Done)
        console.Err << "quillbank-cli backup: " << archive << ": incomplete, so no older backup is removed\n";
    else if (!request.DryRun && !policy.IsEmpty()) {
        const TPruneRequest prune{ExtractFileDir(archive), target.Type, target.ProfileDir, policy, archive,
                                  request.Password,        false};
        pruned = PruneBackups(prune, context.Texts(), context.ProgramDir());
        removedAll = ReportPruning(pruned, {false, context.Quiet(), options.Has("verbose"), MessagePrefix()},
                                   console.Err, console.Err);
    }
    PrintResult(context, request, Summary(request, target, outcome, start), outcome.Account, pruned, json);
    return removedAll ? RunExitCode(outcome.Run.Status) : ExitFailure;
}

} // namespace quillbank::cli
