#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillbank::cli {

/// One command of quillbank-cli: given the arguments after its name, it
/// does its work and returns the exit code, or throws ECommandError.
using TCommand = int (*)(const std::vector<std::string>& arguments);

int InfoCommand(const std::vector<std::string>& arguments);
int ListCommand(const std::vector<std::string>& arguments);
int BackupCommand(const std::vector<std::string>& arguments);
int RestoreCommand(const std::vector<std::string>& arguments);
int InspectCommand(const std::vector<std::string>& arguments);
int VerifyCommand(const std::vector<std::string>& arguments);
int PruneCommand(const std::vector<std::string>& arguments);

/// The hidden command "__complete" of the shell completions: prints, one a
/// line, the commands, a command's options (as ListOptionsArgument does), the
/// component names, or the applications and profiles `list` finds (their
/// names as `list --json` gives them).
int CompleteCommand(const std::vector<std::string>& arguments);
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
