// The real dialogs: made once over the main window, with the platform's file and folder choosers.

#include "wizard/WizardDialogs.h"

#include "wizard/BackupPasswordDialog.h"
#include "wizard/NewProfileDialog.h"
#include "wizard/RestorePasswordDialog.h"
#include "wizard/UnknownFilesDialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

namespace quillbank {

namespace {

/// "Quillbank (*.qkz) | *.qkz" as Qt writes a filter: "Quillbank (*.qkz)".
QString QtFilter(const std::string& filter)
{
    const auto bar = filter.find('|');
    const std::string description = filter.substr(0, bar);
    return QString::fromStdString(description).trimmed();
}

std::optional<std::string> Chosen(const QString& path)
{
    if (path.isEmpty())
        return std::nullopt;
    return path.toStdString();
}

} // namespace

TQtWizardDialogs::TQtWizardDialogs(const TInterfaceTexts& texts)
    : texts_(texts), messageBoxes_(std::make_unique<TQtMessageBoxes>())
{}

TQtWizardDialogs::~TQtWizardDialogs() = default;

void TQtWizardDialogs::CreateDialogs(QWidget* mainWindow)
{
    mainWindow_ = mainWindow;
    messageBoxes_ = std::make_unique<TQtMessageBoxes>(mainWindow);
    newProfileDialog_ = new TNewProfileDialog(
        texts_,
        [this](const std::string& caption, const std::string& folder) {
            return ChooseFolder(caption, folder);
        },
        mainWindow);
    backupPasswordDialog_ = new TBackupPasswordDialog(texts_, *messageBoxes_, mainWindow);
    restorePasswordDialog_ = new TRestorePasswordDialog(texts_, mainWindow);
}

std::optional<std::string> TQtWizardDialogs::AskBackupPassword()
{
    if (!backupPasswordDialog_->Execute())
        return std::nullopt;
    return backupPasswordDialog_->Password();
}

std::optional<std::string> TQtWizardDialogs::AskRestorePassword()
{
    return restorePasswordDialog_->AskRestorePassword();
}

TNewProfileAnswer TQtWizardDialogs::AskNewProfile()
{
    newProfileDialog_->Execute();
    return newProfileDialog_->Answer();
}

void TQtWizardDialogs::ShowUnknownFiles(TUnknownFilesChoice& model)
{
    // The main window holds the one model the dialog shows.
    if (unknownFilesDialog_ == nullptr)
        unknownFilesDialog_ = new TUnknownFilesDialog(model, texts_, mainWindow_);
    unknownFilesDialog_->Execute();
}

std::optional<std::string> TQtWizardDialogs::ChooseFolder(const std::string& caption,
                                                          const std::string& initialFolder)
{
    return Chosen(QFileDialog::getExistingDirectory(mainWindow_, QString::fromStdString(caption),
                                                    QString::fromStdString(initialFolder)));
}

std::optional<std::string> TQtWizardDialogs::ChooseBackupFileToSave(const std::string& filter,
                                                                    const std::string& folder,
                                                                    const std::string& name)
{
    // The wizard asks about an existing file itself when the page is left.
    return Chosen(QFileDialog::getSaveFileName(mainWindow_, {}, QString::fromStdString(folder + name),
                                               QtFilter(filter), nullptr, QFileDialog::DontConfirmOverwrite));
}

std::optional<std::string> TQtWizardDialogs::ChooseBackupFileToOpen(const std::string& filter,
                                                                    const std::string& folder,
                                                                    const std::string& name)
{
    return Chosen(QFileDialog::getOpenFileName(mainWindow_, {}, QString::fromStdString(folder + name),
                                               QtFilter(filter)));
}

void TQtWizardDialogs::RequestEnd(int exitCode)
{
    QTimer::singleShot(0, qApp, [exitCode] { QCoreApplication::exit(exitCode); });
}

void TQtWizardDialogs::EndProgram(int exitCode)
{
    std::fflush(nullptr);
    std::_Exit(exitCode);
}

} // namespace quillbank
