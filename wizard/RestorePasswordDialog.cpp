// Builds the restore password prompt, which accepts OK only with a password typed.

#include "wizard/RestorePasswordDialog.h"

#include <QLineEdit>

namespace quillbank {

namespace {

constexpr QSize ClientSize(290, 135);

} // namespace

TRestorePasswordDialog::TRestorePasswordDialog(const TInterfaceTexts& texts, QWidget* parent)
    : TPasswordDialog(texts, "TForm5", "LANG_LABEL1", ClientSize, parent)
{
    setObjectName("restorePasswordDialog");
    AddRow(passwordLabel_, passwordEdit_);
    FinishLayout();
    Prepare();
}

std::optional<std::string> TRestorePasswordDialog::AskRestorePassword()
{
    if (!Execute())
        return std::nullopt;
    return Password();
}

void TRestorePasswordDialog::showEvent(QShowEvent* event)
{
    ForgetAnswer();
    TPasswordDialog::showEvent(event);
}

void TRestorePasswordDialog::OnOk()
{
    if (passwordEdit_->text().isEmpty())
        return;
    AcceptPassword();
}

} // namespace quillbank
