// The Quillbank wizard: backs up and restores the profiles of Mozilla-family
// applications.

#include "app/TForm1.h"
#include "app/WizardDialogs.h"
#include "config/errorlog.h"
#include "config/l10n.h"
#include "platform/SpecialFolders.h"

#include <QApplication>
#include <QIcon>

namespace {

/// Exactly one argument names a task file for an unattended backup.
bool IsBatchMode(int argc)
{
    return argc == 2;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillbank"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quillbank"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/quillbank/quillbank.png")));

    const std::string programDir = quillbank::ExecutableDir();
    const quillbank::Tl10n l10n(programDir + "/Default.lng");
    if (IsBatchMode(argc)) {
        quillbank::WriteErrorLog("Unattended backups from a task file are not available in this release.");
        return 0;
    }
    quillbank::TQtWizardDialogs dialogs(l10n);
    quillbank::TForm1 form1(l10n, programDir, dialogs);
    dialogs.CreateDialogs(&form1);
    form1.show();
    return QApplication::exec();
}
