// The Quillbank wizard: backs up and restores the profiles of Mozilla-family
// applications.

#include "config/InterfaceTexts.h"
#include "config/WorkingFiles.h"
#include "engine/ArchiveHeader.h"
#include "platform/Locale.h"
#include "platform/SpecialFolders.h"
#include "platform/Text.h"
#include "wizard/ApplicationIdentity.h"
#include "wizard/WizardDialogs.h"
#include "wizard/WizardWindow.h"

#include <QApplication>
#include <filesystem>
#include <iostream>
#include <string_view>

namespace {

/// Exit code of a command line the program does not understand.
constexpr int ExitUsage = 2;

void PrintUsage(std::ostream& out)
{
    out << "Usage: quillbank [TASK-FILE]\n"
           "\n"
           "Back up and restore the profiles of Mozilla-family applications, step by step.\n"
           "With one TASK-FILE (taken relative to the folder of the settings file), make\n"
           "the backup it describes unattended and end: 0 when the backup was made, 5\n"
           "when it lacks files that could not be read, 1 when no backup was made (the\n"
           "error log says why).\n"
           "\n"
           "Options:\n"
           "  -h, --help  show this help\n"
           "  --version   show the version\n";
}

/// Exactly one argument names a task file for an unattended backup.
bool IsBatchMode(int argc)
{
    return argc == 2;
}

/// An unattended backup may run where there is no display at all.
void UseOffscreenWithoutDisplay()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

} // namespace

int main(int argc, char* argv[])
{
    // Before any thread starts: it sets an environment variable.
    quillbank::KeepLocalTimeZoneLoaded();
    // Every argument that begins with "-" is an option, never a task file;
    // they are answered before Qt starts, so they work without a display.
    for (int at = 1; at < argc; ++at) {
        const std::string_view argument = argv[at];
        if (!argument.starts_with('-'))
            continue;
        if (argument == "-h" || argument == "--help") {
            PrintUsage(std::cout);
            return 0;
        }
        if (argument == "--version") {
            std::cout << "quillbank " QUILLBANK_VERSION "\n";
            return 0;
        }
        std::cerr << "quillbank: unknown option " << quillbank::VisibleText(argument) << "\n\n";
        PrintUsage(std::cerr);
        return ExitUsage;
    }
    // One argument naming a backup file (by its content, a file manager
    // opening it) is restored in the wizard; any other names a task file.
    const bool opensBackup = argc == 2 && quillbank::IsBackupFile(argv[1]);
    const bool batch = IsBatchMode(argc) && !opensBackup;
    if (batch)
        UseOffscreenWithoutDisplay();
    // Qt sees no argument of ours: none of them may be taken for one of its options.
    int qtArgc = 1;
    QApplication application(qtArgc, argv);
    quillbank::SetApplicationIdentity();
    // Lets the desktop match the windows to the installed desktop file and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(QUILLBANK_APP_ID));

    const std::string programDir = quillbank::ProgramDataDir();
    const quillbank::TInterfaceTexts texts(programDir + "/Default.lng");
    quillbank::TQtWizardDialogs dialogs(texts);
    quillbank::TWizardWindow window(texts, programDir, dialogs,
                                    batch ? std::optional<std::string>(argv[1]) : std::nullopt);
    dialogs.CreateDialogs(&window);
    if (opensBackup)
        window.OpenBackupFile(std::filesystem::absolute(argv[1]).string());
    window.show();
    return QApplication::exec();
}
