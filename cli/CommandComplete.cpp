// The hidden `__complete` command: the words the shell completions offer, one a line.

#include "cli/Commands.h"
#include "cli/ComponentNames.h"
#include "cli/ExitCodes.h"
#include "cli/ListedApps.h"
#include "cli/Options.h"
#include "config/InterfaceTexts.h"
#include "config/WorkingFiles.h"
#include "platform/Text.h"

#include <ostream>

namespace quillbank::cli {

namespace {

constexpr std::string_view Usage =
    "usage: quillbank-cli __complete commands | options COMMAND | components | applications | profiles [APP]";

/// The applications found, as `list --json` names them, and their profiles.
void PrintApplicationsOrProfiles(bool profiles, const std::optional<std::string>& app, std::ostream& out)
{
    const TInterfaceTexts texts(ProgramDataDir() + "/Default.lng");
    for (const TListedApp& listed : FindListedApps(texts)) {
        const std::string name = ToLowerAscii(AppShortName(listed.Type));
        if (!profiles) {
            out << name << "\n";
            continue;
        }
        // The application as --app matches it: any part of the name, in any letter case.
        if (app && name.find(ToLowerAscii(Trim(*app))) == std::string::npos)
            continue;
        for (const TProfileEntry& profile : listed.Profiles)
            out << VisibleText(profile.Name) << "\n";
    }
}

} // namespace

int CompleteCommand(const std::vector<std::string>& arguments, const TConsole& console)
{
    const std::string subject = arguments.empty() ? "" : arguments.front();
    const std::size_t count = arguments.size();
    if (subject == "commands" && count == 1) {
        for (const TCommandEntry& command : AllCommands())
            console.Out << command.Name << "\n";
    } else if (subject == "options" && count == 2) {
        const TCommandEntry* command = FindCommand(arguments[1]);
        if (command == nullptr)
            throw EUsageError("unknown command \"" + arguments[1] + "\"");
        return command->Run({std::string(ListOptionsArgument)}, console);
    } else if (subject == "components" && count == 1) {
        for (const TComponentName& component : ComponentNames())
            console.Out << component.Name << "\n";
    } else if ((subject == "applications" && count == 1) || (subject == "profiles" && count <= 2)) {
        PrintApplicationsOrProfiles(subject == "profiles",
                                    count == 2 ? std::optional(arguments[1]) : std::nullopt, console.Out);
    } else {
        throw EUsageError(std::string(Usage));
    }
    return ExitSuccess;
}

} // namespace quillbank::cli
