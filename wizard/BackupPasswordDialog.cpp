#include "wizard/BackupPasswordDialog.h"

#include "config/InterfaceTexts.h"
#include "wizard/DialogLook.h"
#include "wizard/MessageBoxes.h"

#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillbank {

namespace {

constexpr QSize ClientSize(275, 181);
constexpr int MinPasswordLength = 3;

QLineEdit* PasswordField(const char* name, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setEchoMode(QLineEdit::Password);
    edit->setMaxLength(TBackupPasswordDialog::MaxPasswordLength);
    return edit;
}

} // namespace

TPasswordCheck CheckBackupPassword(const QString& password, const QString& confirmation)
{
    if (password != confirmation)
        return TPasswordCheck::Mismatch;
    if (password.size() < MinPasswordLength)
        return TPasswordCheck::TooShort;
    return TPasswordCheck::Accepted;
}

TBackupPasswordDialog::TBackupPasswordDialog(const TInterfaceTexts& l10n, TMessageBoxes& messageBoxes,
                                             QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), l10n_(l10n), messageBoxes_(messageBoxes)
{
    setObjectName("TForm4");

    auto* group = new QGroupBox(this);
    group->setObjectName("GroupBox1");
    label1_ = new QLabel(group);
    label1_->setObjectName("Label1");
    label1_->setWordWrap(true);
    auto* line = new QFrame(group);
    line->setObjectName("Bevel1");
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    label2_ = new QLabel(group);
    label2_->setObjectName("Label2");
    edit1_ = PasswordField("Edit1", group);
    label2_->setBuddy(edit1_);
    label3_ = new QLabel(group);
    label3_->setObjectName("Label3");
    edit2_ = PasswordField("Edit2", group);
    label3_->setBuddy(edit2_);

    auto* fields = new QGridLayout(group);
    fields->addWidget(label1_, 0, 0, 1, 2);
    fields->addWidget(line, 1, 0, 1, 2);
    fields->addWidget(label2_, 2, 0);
    fields->addWidget(edit1_, 2, 1);
    fields->addWidget(label3_, 3, 0);
    fields->addWidget(edit2_, 3, 1);
    fields->setColumnStretch(1, 1);

    QHBoxLayout* buttons = OkCancelRow(button1_, button2_, this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(group);
    layout->addStretch();
    layout->addLayout(buttons);
    KeepFittedToContents(*this, ClientSize);

    connect(button1_, &QPushButton::clicked, this, &TBackupPasswordDialog::Button1Click);
    connect(button2_, &QPushButton::clicked, this, &TBackupPasswordDialog::Button2Click);
    Prepare();
}

void TBackupPasswordDialog::Prepare()
{
    edit1_->clear();
    edit2_->clear();
    passwordAccepted_ = false;
    setWindowTitle(QString::fromStdString(l10n_.GetText("TForm4", "LANG_CAPTION")));
    label1_->setText(QString::fromStdString(l10n_.GetText("TForm4", "LANG_TEXT")));
    label2_->setText(QString::fromStdString(l10n_.GetText("TForm4", "LANG_HESLO")));
    label3_->setText(QString::fromStdString(l10n_.GetText("TForm4", "LANG_HESLO2")));
    button1_->setText(QString::fromStdString(l10n_.GetText("TForm1", "LANG_BUTTON_OK")));
    button2_->setText(QString::fromStdString(l10n_.GetText("TForm1", "LANG_BUTTON_2")));
}

bool TBackupPasswordDialog::Execute()
{
    Prepare();
    exec();
    return passwordAccepted_;
}

std::string TBackupPasswordDialog::Password() const
{
    return edit1_->text().toStdString();
}

void TBackupPasswordDialog::showEvent(QShowEvent* event)
{
    ApplyLanguageFont(*this, l10n_);
    FixDialogSize(*this, ClientSize);
    CentreOnOwner(*this);
    QDialog::showEvent(event);
    edit1_->setFocus();
}

void TBackupPasswordDialog::Button1Click()
{
    const char* problem = nullptr;
    switch (CheckBackupPassword(edit1_->text(), edit2_->text())) {
    case TPasswordCheck::Mismatch:
        problem = "LANG_NO_STEJ";
        break;
    case TPasswordCheck::TooShort:
        problem = "LANG_NO_PASS";
        break;
    case TPasswordCheck::Accepted:
        passwordAccepted_ = true;
        accept();
        return;
    }
    messageBoxes_.ShowMessageBox(l10n_.GetText("TForm1", "LANG_WARNING"), l10n_.GetText("TForm4", problem),
                                 TBoxButtons::Ok, TBoxIcon::Information);
}

void TBackupPasswordDialog::Button2Click()
{
    reject();
}

} // namespace quillbank
