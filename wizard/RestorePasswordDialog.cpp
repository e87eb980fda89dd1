#include "wizard/RestorePasswordDialog.h"

#include "config/InterfaceTexts.h"
#include "wizard/DialogLook.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillbank {

namespace {

constexpr QSize ClientSize(290, 135);

} // namespace

TRestorePasswordDialog::TRestorePasswordDialog(const TInterfaceTexts& l10n, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), l10n_(l10n)
{
    setObjectName("TForm5");

    auto* group = new QGroupBox(this);
    group->setObjectName("GroupBox1");
    label1_ = new QLabel(group);
    label1_->setObjectName("Label1");
    label1_->setWordWrap(true);
    label2_ = new QLabel(group);
    label2_->setObjectName("Label2");
    edit1_ = new QLineEdit(group);
    edit1_->setObjectName("Edit1");
    edit1_->setEchoMode(QLineEdit::Password);
    edit1_->setMaxLength(MaxPasswordLength);
    label2_->setBuddy(edit1_);

    auto* fields = new QGridLayout(group);
    fields->addWidget(label1_, 0, 0, 1, 2);
    fields->addWidget(label2_, 1, 0);
    fields->addWidget(edit1_, 1, 1);
    fields->setColumnStretch(1, 1);

    QHBoxLayout* buttons = OkCancelRow(button1_, button2_, this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(group);
    layout->addStretch();
    layout->addLayout(buttons);
    KeepFittedToContents(*this, ClientSize);

    // Escape and the close box reject the dialog, as Cancel does.
    connect(button1_, &QPushButton::clicked, this, &TRestorePasswordDialog::Button1Click);
    connect(button2_, &QPushButton::clicked, this, &TRestorePasswordDialog::Button2Click);
    Prepare();
}

void TRestorePasswordDialog::Prepare()
{
    edit1_->clear();
    passwordAccepted_ = false;
    setWindowTitle(QString::fromStdString(l10n_.GetText("TForm5", "LANG_CAPTION")));
    label1_->setText(QString::fromStdString(l10n_.GetText("TForm5", "LANG_LABEL1")));
    label2_->setText(QString::fromStdString(l10n_.GetText("TForm4", "LANG_HESLO")));
    button1_->setText(QString::fromStdString(l10n_.GetText("TForm1", "LANG_BUTTON_OK")));
    button2_->setText(QString::fromStdString(l10n_.GetText("TForm1", "LANG_BUTTON_2")));
}

bool TRestorePasswordDialog::Execute()
{
    Prepare();
    exec();
    return passwordAccepted_;
}

std::optional<std::string> TRestorePasswordDialog::AskRestorePassword()
{
    if (!Execute())
        return std::nullopt;
    return Password();
}

std::string TRestorePasswordDialog::Password() const
{
    return edit1_->text().toStdString();
}

void TRestorePasswordDialog::showEvent(QShowEvent* event)
{
    passwordAccepted_ = false;
    ApplyLanguageFont(*this, l10n_);
    FixDialogSize(*this, ClientSize);
    CentreOnOwner(*this);
    QDialog::showEvent(event);
    edit1_->setFocus();
}

void TRestorePasswordDialog::Button1Click()
{
    if (edit1_->text().isEmpty())
        return;
    passwordAccepted_ = true;
    accept();
}

void TRestorePasswordDialog::Button2Click()
{
    reject();
}

} // namespace quillbank
