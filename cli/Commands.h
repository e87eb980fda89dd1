// The commands of quillbank-cli, one function each, and the table that finds them by name.

#pragma once

#include "cli/Console.h"

#include <string>
#include <string_view>
#include <vector>

namespace quillbank::cli {

/// One command of quillbank-cli: given the arguments after its name, it
/// does its work on the console's files and returns the exit code, or throws
/// ECommandError.
using TCommand = int (*)(const std::vector<std::string>& arguments, const TConsole& console);

int InfoCommand(const std::vector<std::string>& arguments, const TConsole& console);
int ListCommand(const std::vector<std::string>& arguments, const TConsole& console);
int BackupCommand(const std::vector<std::string>& arguments, const TConsole& console);
int RestoreCommand(const std::vector<std::string>& arguments, const TConsole& console);
int InspectCommand(const std::vector<std::string>& arguments, const TConsole& console);
int VerifyCommand(const std::vector<std::string>& arguments, const TConsole& console);
int PruneCommand(const std::vector<std::string>& arguments, const TConsole& console);

/// The hidden command "__complete" of the shell completions: prints, one a
/// line, the commands, a command's options (as ListOptionsArgument does), the
/// component names, or the applications and profiles `list` finds (their
/// names as `list --json` gives them).
int CompleteCommand(const std::vector<std::string>& arguments, const TConsole& console);
/// The name of the hidden command; no help lists it.
inline constexpr std::string_view CompleteCommandName = "__complete";

/// The command of that name, with its one-line summary; nullptr when there is none.
struct TCommandEntry
{
    std::string_view Name;
    TCommand Run;
    std::string_view Summary;
};
const TCommandEntry* FindCommand(std::string_view name);
std::vector<TCommandEntry> AllCommands();

} // namespace quillbank::cli
