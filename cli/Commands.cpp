// The table of commands: each name with its function and the one-line summary the help shows.

#include "cli/Commands.h"

#include <array>

namespace quillbank::cli {

namespace {

constexpr std::array<TCommandEntry, 7> Commands = {{
    {"list", ListCommand, "list the applications found and their profiles"},
    {"backup", BackupCommand, "back a profile up into a backup file"},
    {"restore", RestoreCommand, "restore a backup file into a profile"},
    {"inspect", InspectCommand, "show what a backup file holds"},
    {"verify", VerifyCommand, "read every entry of a backup file back and check it"},
    {"prune", PruneCommand, "remove the older backups of a profile that a policy does not keep"},
    {"info", InfoCommand, "show the working files, settings and folders the program uses"},
}};

} // namespace

const TCommandEntry* FindCommand(std::string_view name)
{
    for (const TCommandEntry& command : Commands)
        if (command.Name == name)
            return &command;
    return nullptr;
}

std::vector<TCommandEntry> AllCommands()
{
    return {Commands.begin(), Commands.end()};
}

} // namespace quillbank::cli
