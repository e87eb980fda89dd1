// quillbank-cli: the command-line face of Quillbank, for scripts and terminals.

#include "config/AppSettings.h"
#include "config/FileNameTemplate.h"
#include "config/WorkingFiles.h"
#include "config/errorlog.h"
#include "config/l10n.h"
#include "platform/SpecialFolders.h"
#include "platform/UserStore.h"

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <string_view>

namespace {

using namespace quillbank;

constexpr int ExitSuccess = 0;
constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;

void PrintUsage(std::ostream& out)
{
    out << "Usage: quillbank-cli COMMAND\n"
           "\n"
           "Back up and restore the profiles of Mozilla-family applications.\n"
           "\n"
           "Commands:\n"
           "  info        show the working files, settings and folders the program uses\n"
           "\n"
           "Options:\n"
           "  -h, --help  show this help\n"
           "  --version   show the version\n"
           "\n"
           "Exit codes: 0 success, 1 failure, 2 bad usage.\n";
}

int ShowInfo()
{
    const std::string programDir = ExecutableDir();
    const Tl10n l10n(programDir + "/Default.lng");
    const TAppSettings settings = LoadSettings(programDir, l10n);

    std::cout << "Program folder:     " << programDir << "\n";
    const auto missing = MissingWorkingFiles(programDir);
    for (std::string_view name : RequiredWorkingFiles) {
        const bool absent = std::find(missing.begin(), missing.end(), name) != missing.end();
        std::cout << "  " << name << (absent ? ": missing" : ": present") << "\n";
    }
    std::cout << "Settings:           " << SettingsFilePath(programDir) << "\n"
              << "  file-name template: " << settings.FileNameTemplate << "\n"
              << "  backup directory:   " << (settings.BackupDir.empty() ? "(none)" : settings.BackupDir)
              << "\n"
              << "  monitor:            " << settings.MonitorNumber << "\n"
              << "  ask for password:   " << (settings.AskForPassword ? "yes" : "no") << "\n"
              << "Documents folder:   " << DocumentsDir() << "\n"
              << "Error log:          " << ErrorLogPath() << "\n"
              << "User store:         " << UserStorePath() << "\n"
              << "Example backup:     "
              << ExpandFileNameTemplate(settings.FileNameTemplate, {2, "", std::nullopt, false}) << "\n";
    if (!missing.empty()) {
        std::cerr << "quillbank-cli: " << l10n.GetText("TForm1", "LANG_NO_FILES") << "\n";
        return ExitFailure;
    }
    return ExitSuccess;
}

} // namespace

int main(int argc, char* argv[])
{
    const std::string_view command = argc > 1 ? argv[1] : "";
    if (argc == 2 && (command == "-h" || command == "--help")) {
        PrintUsage(std::cout);
        return ExitSuccess;
    }
    if (argc == 2 && command == "--version") {
        std::cout << "quillbank-cli " QUILLBANK_VERSION "\n";
        return ExitSuccess;
    }
    if (argc == 2 && command == "info")
        return ShowInfo();
    PrintUsage(std::cerr);
    return ExitUsage;
}
