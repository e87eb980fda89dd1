// The Quillbank wizard: backs up and restores the profiles of Mozilla-family
// applications.

#include "app/ApplicationIdentity.h"
#include "app/TForm1.h"
#include "app/WizardDialogs.h"
#include "config/WorkingFiles.h"
#include "config/l10n.h"
#include "engine/ArchiveHeader.h"
#include "platform/Locale.h"
#include "platform/SpecialFolders.h"

#include <QApplication>
#include <filesystem>

namespace {

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
    // One argument naming a backup file (by its content, a file manager
    // opening it) is restored in the wizard; any other names a task file.
    const bool opensBackup = argc == 2 && quillbank::IsBackupFile(argv[1]);
    const bool batch = IsBatchMode(argc) && !opensBackup;
    if (batch)
        UseOffscreenWithoutDisplay();
    QApplication application(argc, argv);
    quillbank::SetApplicationIdentity();
    // Lets the desktop match the windows to the installed desktop file and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(QUILLBANK_APP_ID));

    const std::string programDir = quillbank::ProgramDataDir();
    const quillbank::Tl10n l10n(programDir + "/Default.lng");
    quillbank::TQtWizardDialogs dialogs(l10n);
    quillbank::TForm1 form1(l10n, programDir, dialogs,
                            batch ? std::optional<std::string>(argv[1]) : std::nullopt);
    dialogs.CreateDialogs(&form1);
    if (opensBackup)
        form1.OpenBackupFile(std::filesystem::absolute(argv[1]).string());
    form1.show();
    return QApplication::exec();
}
