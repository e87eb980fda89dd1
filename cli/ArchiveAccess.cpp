// Recognises a backup file (ZIP or legacy container) and reads its header for inspect, verify and restore.

#include "cli/ArchiveAccess.h"

#include "cli/CommandContext.h"
#include "cli/ExitCodes.h"
#include "engine/ArchiveHeader.h"
#include "platform/FileSystem.h"

namespace quillbank::cli {

namespace {

bool Recognise(TCommandContext& context)
{
    TWizardState& state = context.State();
    if (DetectBackupFile(state.ArchivePath, state, context.Environment()))
        return true;
    if (state.SelectedAppType != NoAppType)
        return false;
    // Not a ZIP archive: a legacy container names its type, which must be
    // the one asked for; ask for each in turn.
    for (AppType type = FirstAppType; type <= LastAppType; ++type) {
        if (context.Ui().PasswordProblem() != TTerminalUserInterface::TPasswordProblem::None)
            break;
        state.SelectedAppType = type;
        if (DetectBackupFile(state.ArchivePath, state, context.Environment()))
            return true;
    }
    state.SelectedAppType = NoAppType;
    return false;
}

} // namespace

TArchiveContents ReadBackupFile(TCommandContext& context)
{
    TWizardState& state = context.State();
    const std::string& path = state.ArchivePath;
    if (DirectoryExists(path))
        throw ECommandError(ExitFailure, path + ": a folder, not a backup file");
    if (!FileExists(path))
        throw ECommandError(ExitFailure, path + ": no such file");
    context.Ui().SetPasswordSubject(path);
    if (!Recognise(context)) {
        context.ThrowOnPasswordProblem(path);
        throw ECommandError(ExitFailure, path +
                                             ": not a backup file (neither a ZIP archive with a header nor a "
                                             "legacy container)");
    }
    TArchiveContents contents;
    contents.Type = ReadArchiveHeader(state, contents.Boxes, context.Environment());
    return contents;
}

} // namespace quillbank::cli
