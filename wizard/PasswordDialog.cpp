// Lays out the password dialogs' group, fields and buttons, and clears and accepts their answer.

#include "wizard/PasswordDialog.h"

#include "config/InterfaceTexts.h"
#include "wizard/DialogLook.h"

#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillbank {

TPasswordDialog::TPasswordDialog(const TInterfaceTexts& texts, const char* textSection, const char* promptKey,
                                 QSize clientSize, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), texts_(texts),
      textSection_(textSection), promptKey_(promptKey), clientSize_(clientSize)
{
    group_ = new QGroupBox(this);
    group_->setObjectName("passwordGroup");
    promptLabel_ = new QLabel(group_);
    promptLabel_->setObjectName("promptLabel");
    promptLabel_->setWordWrap(true);
    passwordEdit_ = NewPasswordField("passwordEdit");
    passwordLabel_ = NewFieldLabel("passwordLabel", passwordEdit_);

    fields_ = new QGridLayout(group_);
    fields_->addWidget(promptLabel_, 0, 0, 1, 2);
    fields_->setColumnStretch(1, 1);
}

QLineEdit* TPasswordDialog::NewPasswordField(const char* name)
{
    auto* edit = new QLineEdit(group_);
    edit->setObjectName(name);
    edit->setEchoMode(QLineEdit::Password);
    edit->setMaxLength(MaxPasswordLength);
    return edit;
}

QLabel* TPasswordDialog::NewFieldLabel(const char* name, QLineEdit* field)
{
    auto* label = new QLabel(group_);
    label->setObjectName(name);
    label->setBuddy(field);
    return label;
}

void TPasswordDialog::AddSeparator()
{
    auto* line = new QFrame(group_);
    line->setObjectName("separator");
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    fields_->addWidget(line, fields_->rowCount(), 0, 1, 2);
}

void TPasswordDialog::AddRow(QLabel* label, QLineEdit* field)
{
    const int row = fields_->rowCount();
    fields_->addWidget(label, row, 0);
    fields_->addWidget(field, row, 1);
}

void TPasswordDialog::FinishLayout()
{
    QHBoxLayout* buttons = OkCancelRow(okButton_, cancelButton_, this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(group_);
    layout->addStretch();
    layout->addLayout(buttons);
    KeepFittedToContents(*this, clientSize_);

    // Escape and the close box reject the dialog, as Cancel does.
    connect(okButton_, &QPushButton::clicked, this, &TPasswordDialog::OnOk);
    connect(cancelButton_, &QPushButton::clicked, this, &TPasswordDialog::reject);
}

void TPasswordDialog::Prepare()
{
    passwordEdit_->clear();
    passwordAccepted_ = false;
    setWindowTitle(QString::fromStdString(texts_.GetText(textSection_, "LANG_CAPTION")));
    promptLabel_->setText(QString::fromStdString(texts_.GetText(textSection_, promptKey_)));
    passwordLabel_->setText(QString::fromStdString(texts_.GetText("TForm4", "LANG_HESLO")));
    okButton_->setText(QString::fromStdString(texts_.GetText("TForm1", "LANG_BUTTON_OK")));
    cancelButton_->setText(QString::fromStdString(texts_.GetText("TForm1", "LANG_BUTTON_2")));
}

bool TPasswordDialog::Execute()
{
    Prepare();
    exec();
    return passwordAccepted_;
}

std::string TPasswordDialog::Password() const
{
    return passwordEdit_->text().toStdString();
}

void TPasswordDialog::AcceptPassword()
{
    passwordAccepted_ = true;
    accept();
}

void TPasswordDialog::showEvent(QShowEvent* event)
{
    ApplyLanguageFont(*this, texts_);
    FixDialogSize(*this, clientSize_);
    CentreOnOwner(*this);
    QDialog::showEvent(event);
    passwordEdit_->setFocus();
}

} // namespace quillbank
