// The `info` command: shows the working files, settings and folders the program uses.

#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/Messages.h"
#include "cli/Options.h"
#include "config/AppSettings.h"
#include "config/FileNameTemplate.h"
#include "config/InterfaceTexts.h"
#include "config/WorkingFiles.h"
#include "config/errorlog.h"
#include "engine/RollbackStore.h"
#include "platform/SpecialFolders.h"
#include "platform/UserStore.h"

#include <algorithm>
#include <ostream>

namespace quillbank::cli {

namespace {

constexpr std::string_view Usage =
    "Usage: quillbank-cli info\n"
    "\n"
    "Shows the working files, settings and folders the program uses. Fails (exit\n"
    "code 1) when a working file is missing.\n";

} // namespace

int InfoCommand(const std::vector<std::string>& arguments, const TConsole& console)
{
    if (!ParseOptionsOnly(arguments, {}, Usage, console.Out))
        return ExitSuccess;

    const std::string programDir = ProgramDataDir();
    const TInterfaceTexts texts(programDir + "/Default.lng");
    const TAppSettings settings = LoadSettings(programDir, texts);

    console.Out << "Program folder:     " << programDir << "\n";
    const auto missing = MissingWorkingFiles(programDir);
    for (std::string_view name : RequiredWorkingFiles) {
        const bool absent = std::find(missing.begin(), missing.end(), name) != missing.end();
        console.Out << "  " << name << (absent ? ": missing" : ": present") << "\n";
    }
    console.Out << "Settings:           " << SettingsFilePath(programDir) << "\n"
                << "  file-name template: " << settings.FileNameTemplate << "\n"
                << "  backup directory:   " << (settings.BackupDir.empty() ? "(none)" : settings.BackupDir)
                << "\n"
                << "  monitor:            " << settings.MonitorNumber << "\n"
                << "  ask for password:   " << (settings.AskForPassword ? "yes" : "no") << "\n"
                << "  rollback archives:  " << (settings.Rollback ? "yes" : "no") << "\n"
                << "Documents folder:   " << DocumentsDir() << "\n"
                << "Error log:          " << ErrorLogPath() << "\n"
                << "User store:         " << UserStorePath() << "\n"
                << "Rollback archives:  " << RollbackFolder() << "\n"
                << "Example backup:     "
                << ExpandFileNameTemplate(settings.FileNameTemplate, {2, "", std::nullopt, false}) << "\n";
    if (!missing.empty()) {
        console.Err << MessagePrefix() << texts.GetText("TForm1", "LANG_NO_FILES") << "\n";
        return ExitFailure;
    }
    return ExitSuccess;
}

} // namespace quillbank::cli
