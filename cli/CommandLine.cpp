// Runs the help, the version or the command named first, and turns its failures into messages and exit codes.

#include "cli/CommandLine.h"

#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/Messages.h"
#include "cli/Suggestion.h"
#include "config/errorlog.h"
#include "platform/Text.h"

#include <exception>
#include <string_view>

namespace quillbank::cli {

namespace {

void PrintUsage(std::ostream& out)
{
    out << "Usage: quillbank-cli COMMAND [OPTIONS]\n"
           "\n"
           "Back up and restore the profiles of Mozilla-family applications.\n"
           "\n"
           "Commands:\n";
    for (const TCommandEntry& command : AllCommands()) {
        std::string name(command.Name);
        name.resize(10, ' ');
        out << "  " << name << command.Summary << "\n";
    }
    out << "\n"
           "Options:\n"
           "  -h, --help  show this help; COMMAND --help shows a command's options\n"
           "  --version   show the version\n"
           "\n"
           "Every command also takes --options-file FILE: the options FILE holds, one a\n"
           "line (\"--output Backups/<profile>.qkz\"; \"#\" starts a comment), in its place.\n"
           "\n"
           "Exit codes: 0 success, 1 the run failed, 2 bad usage, 3 the profile is in\n"
           "use, 4 wrong or missing password, 5 the run went to its end without files\n"
           "or entries it could not read or write (a backup without unreadable files,\n"
           "a partly restored profile).\n";
}

} // namespace

int RunCommandLine(const std::vector<std::string>& arguments, const TConsole& console)
{
    const std::string_view name =
        arguments.empty() ? std::string_view() : std::string_view(arguments.front());
    if (arguments.size() == 1 && (name == "-h" || name == "--help" || name == "help")) {
        PrintUsage(console.Out);
        return ExitSuccess;
    }
    if (arguments.size() == 1 && name == "--version") {
        console.Out << "quillbank-cli " QUILLBANK_VERSION "\n";
        return ExitSuccess;
    }
    const TCommandEntry hidden = {CompleteCommandName, CompleteCommand, ""};
    const TCommandEntry* command = name == CompleteCommandName ? &hidden : FindCommand(name);
    if (command == nullptr) {
        if (!name.empty()) {
            std::vector<std::string_view> names;
            for (const TCommandEntry& entry : AllCommands())
                names.push_back(entry.Name);
            console.Err << "quillbank-cli: unknown command \"" << name << "\"" << DidYouMean(name, names)
                        << "\n\n";
        }
        PrintUsage(console.Err);
        return ExitUsage;
    }
    // Each problem of the command goes to the error log once.
    const quillbank::TErrorLogRun logRun;
    SetCommandName(name);
    try {
        return command->Run(std::vector<std::string>(arguments.begin() + 1, arguments.end()), console);
    } catch (const ECommandError& error) {
        console.Err << "quillbank-cli " << name << ": " << VisibleText(error.what()) << "\n";
        if (error.ExitCode() == ExitUsage)
            console.Err << "Try \"quillbank-cli " << name << " --help\".\n";
        return error.ExitCode();
    } catch (const std::exception& error) {
        console.Err << "quillbank-cli " << name << ": " << VisibleText(error.what()) << "\n";
        return ExitFailure;
    }
}

} // namespace quillbank::cli
