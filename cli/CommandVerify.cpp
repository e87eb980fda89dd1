#include "cli/CommandContext.h"
#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/Options.h"
#include "cli/Password.h"
#include "engine/ArchiveHeader.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <array>
#include <iostream>

namespace quillbank::cli {

namespace {

constexpr std::string_view Usage =
    "Usage: quillbank-cli verify ARCHIVE [--password-file FILE | --password-stdin] [--quiet]\n"
    "\n"
    "Reads every entry of a backup file to its end, decrypting it, and checks its\n"
    "size and checksum (an encrypted entry's authentication code), as a restore\n"
    "would read it; nothing is written.\n"
    "\n"
    "Options:\n"
    "  --password-file FILE    the password is the first line of FILE\n"
    "  --password-stdin        the password is the first line of standard input\n"
    "                          (without either, it is asked for when standard input\n"
    "                          is a terminal)\n"
    "  -q, --quiet             print nothing but errors\n"
    "\n"
    "Exit codes: 0 every entry passed, 1 an entry is damaged or the file is no\n"
    "backup archive, 2 bad usage, 4 wrong or missing password.\n";

constexpr std::array<TOptionDefinition, 3> Accepted = {{
    {"password-file", true},
    {"password-stdin", false},
    {"quiet", false},
}};

} // namespace

int VerifyCommand(const std::vector<std::string>& arguments)
{
    const auto parsed = ParseCommandLine(arguments, Accepted, Usage);
    if (!parsed)
        return ExitSuccess;
    const TOptions& options = *parsed;
    if (options.Arguments().size() != 1)
        throw EUsageError(options.Arguments().empty() ? "ARCHIVE is missing" : "give one ARCHIVE");

    TCommandContext context(options.Has("quiet"), ReadGivenPassword(options));
    context.RequireWorkingFiles();
    const std::string path = AbsolutePath(options.Arguments().front());
    if (DirectoryExists(path))
        throw ECommandError(ExitFailure, path + ": a folder, not a backup file");
    if (!FileExists(path))
        throw ECommandError(ExitFailure, path + ": no such file");
    context.Ui().SetPasswordSubject(path);

    std::string password = context.State().BackupPassword;
    TArchiveCheck check;
    while (true) {
        check = TZipFactory(path, password, context.Environment()).CheckArchive();
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
    switch (check.Outcome) {
    case TArchiveCheck::TOutcome::CannotOpen:
        throw ECommandError(ExitFailure, path + ": not a readable ZIP archive: " + check.Failure);
    case TArchiveCheck::TOutcome::Damaged:
        throw ECommandError(ExitFailure, path + ": entry \"" + check.Failure +
                                             "\" is damaged: it does not read back to its size and checksum "
                                             "or authentication code");
    default:
        break;
    }
    const auto entries = TZipFactory(path, password, context.Environment()).ListEntries();
    const bool hasHeader =
        entries && std::any_of(entries->begin(), entries->end(),
                               [](const TArchiveEntry& e) { return e.Name == ArchiveHeaderName; });
    if (!hasHeader)
        throw ECommandError(ExitFailure, path + ": every entry reads back, but it holds no \"" +
                                             std::string(ArchiveHeaderName) + "\": not a backup file");
    if (!context.Quiet())
        std::cout << path << ": OK, " << check.EntriesRead << " entries, " << check.BytesRead << " bytes\n";
    return ExitSuccess;
}

} // namespace quillbank::cli
