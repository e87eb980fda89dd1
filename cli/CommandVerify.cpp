// The `verify` command: reads every entry of a backup file back and checks it, writing nothing.

#include "cli/CommandContext.h"
#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/Json.h"
#include "cli/Options.h"
#include "cli/Password.h"
#include "cli/RunSummary.h"
#include "engine/ArchiveHeader.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <ostream>

namespace quillbank::cli {

namespace {

constexpr std::string_view Usage =
    "Usage: quillbank-cli verify ARCHIVE [--password-file FILE | --password-stdin] [--json]\n"
    "                            [--quiet]\n"
    "\n"
    "Reads every entry of a backup file to its end, decrypting it, and checks its\n"
    "size and checksum (an encrypted entry's authentication code), as a restore\n"
    "would read it; nothing is written.\n"
    "\n"
    "Options:\n"
    "  --archive PATH          the backup file, when not given as ARCHIVE\n"
    "  --password-file FILE    the password is the first line of FILE\n"
    "  --password-stdin        the password is the first line of standard input\n"
    "                          (without either, it is asked for when standard input\n"
    "                          is a terminal)\n"
    "  --password-command CMD  the password is the first line CMD prints (run by\n"
    "                          the shell; its failure is exit code 4)\n"
    "  --json                  print one JSON object instead of text\n"
    "  -q, --quiet             print nothing but errors\n"
    "\n"
    "Exit codes: 0 every entry passed, 1 an entry is damaged or the file is no\n"
    "backup archive, 2 bad usage, 4 wrong or missing password.\n";

constexpr std::array<TOptionDefinition, 6> Accepted = {{
    {"archive", true},
    {"password-file", true},
    {"password-stdin", false},
    {"password-command", true},
    {"json", false},
    {"quiet", false},
}};

/// Prints what verify found as JSON: the entries and bytes read back, and
/// the outcome; when the check failed, why.
void PrintJson(TCommandContext& context, const std::string& path, const TArchiveCheck& check,
               const std::string& failure, std::chrono::steady_clock::time_point start)
{
    TRunSummary summary;
    summary.Archive = path;
    if (const auto header = ReadHeaderSummary(path, context.Environment()))
        summary.Application = header->Type;
    summary.Files = check.EntriesRead;
    summary.Bytes = check.BytesRead;
    summary.Seconds = SecondsSince(start);
    summary.Status = failure.empty() ? TRunStatus::Done : TRunStatus::Failed;
    summary.Failure = failure;
    TJsonWriter json;
    WriteRunSummary(json.BeginObject(), summary);
    context.Console().Out << json.EndObject().Text() << "\n";
}

} // namespace

int VerifyCommand(const std::vector<std::string>& arguments, const TConsole& console)
{
    const auto parsed = ParseCommandLine(arguments, Accepted, Usage, console.Out);
    if (!parsed)
        return ExitSuccess;
    const TOptions& options = *parsed;
    const std::string archive = ArchiveArgument(options);

    TCommandContext context(console, options.Has("quiet"), ReadGivenPassword(options, console));
    context.RequireWorkingFiles();
    const std::string path = AbsolutePath(archive);
    if (DirectoryExists(path))
        throw ECommandError(ExitFailure, path + ": a folder, not a backup file");
    if (!FileExists(path))
        throw ECommandError(ExitFailure, path + ": no such file");
    context.Ui().SetPasswordSubject(path);

    const auto start = std::chrono::steady_clock::now();
    std::string password = context.State().BackupPassword;
    TArchiveCheck check;
    while (true) {
        check = TArchive(path, password, context.Environment()).CheckArchive();
        if (check.Outcome != TArchiveCheck::TOutcome::WrongPassword)
            break;
        // Protected, and the password in hand does not open it: ask for one
        // (at the terminal), or stop.
        const auto typed = context.Ui().AskRestorePassword();
        if (!typed) {
            context.ThrowOnPasswordProblem(path);
            throw ECommandError(ExitPassword, path + ": entry \"" + check.Failure + "\": wrong password");
        }
        password = *typed;
    }
    context.State().BackupPassword = password;
    std::string failure;
    switch (check.Outcome) {
    case TArchiveCheck::TOutcome::CannotOpen:
        failure = path + ": not a readable ZIP archive: " + check.Failure;
        break;
    case TArchiveCheck::TOutcome::Damaged:
        failure = path + ": entry \"" + check.Failure +
                  "\" is damaged: it does not read back to its size and checksum or authentication code";
        break;
    default: {
        const auto entries = TArchive(path, password, context.Environment()).ListEntries();
        const bool hasHeader =
            entries && std::any_of(entries->begin(), entries->end(),
                                   [](const TArchiveEntry& e) { return e.Name == ArchiveHeaderName; });
        if (!hasHeader)
            failure = path + ": every entry reads back, but it holds no \"" + std::string(ArchiveHeaderName) +
                      "\": not a backup file";
    }
    }
    if (options.Has("json"))
        PrintJson(context, path, check, failure, start);
    if (!failure.empty())
        throw ECommandError(ExitFailure, failure);
    if (!context.Quiet() && !options.Has("json"))
        console.Out << path << ": OK, " << check.EntriesRead << " entries, " << check.BytesRead << " bytes\n";
    return ExitSuccess;
}

} // namespace quillbank::cli
