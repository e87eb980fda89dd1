// Adds the confirmation field, and answers OK with an information box unless the password passes.

#include "wizard/BackupPasswordDialog.h"

#include "config/InterfaceTexts.h"
#include "wizard/MessageBoxes.h"

#include <QLabel>
#include <QLineEdit>

namespace quillbank {

namespace {

constexpr QSize ClientSize(275, 181);
constexpr int MinPasswordLength = 3;

} // namespace

TPasswordCheck CheckBackupPassword(const QString& password, const QString& confirmation)
{
    if (password != confirmation)
        return TPasswordCheck::Mismatch;
    if (password.size() < MinPasswordLength)
        return TPasswordCheck::TooShort;
    return TPasswordCheck::Accepted;
}

TBackupPasswordDialog::TBackupPasswordDialog(const TInterfaceTexts& texts, TMessageBoxes& messageBoxes,
                                             QWidget* parent)
    : TPasswordDialog(texts, "TForm4", "LANG_TEXT", ClientSize, parent), messageBoxes_(messageBoxes)
{
    setObjectName("backupPasswordDialog");
    confirmationEdit_ = NewPasswordField("confirmationEdit");
    confirmationLabel_ = NewFieldLabel("confirmationLabel", confirmationEdit_);
    AddSeparator();
    AddRow(passwordLabel_, passwordEdit_);
    AddRow(confirmationLabel_, confirmationEdit_);
    FinishLayout();
    Prepare();
}

void TBackupPasswordDialog::Prepare()
{
    TPasswordDialog::Prepare();
    confirmationEdit_->clear();
    confirmationLabel_->setText(QString::fromStdString(texts_.GetText("TForm4", "LANG_HESLO2")));
}

void TBackupPasswordDialog::OnOk()
{
    const char* problem = nullptr;
    switch (CheckBackupPassword(passwordEdit_->text(), confirmationEdit_->text())) {
    case TPasswordCheck::Mismatch:
        problem = "LANG_NO_STEJ";
        break;
    case TPasswordCheck::TooShort:
        problem = "LANG_NO_PASS";
        break;
    case TPasswordCheck::Accepted:
        AcceptPassword();
        return;
    }
    messageBoxes_.ShowMessageBox(texts_.GetText("TForm1", "LANG_WARNING"), texts_.GetText("TForm4", problem),
                                 TBoxButtons::Ok, TBoxIcon::Information);
}

} // namespace quillbank
