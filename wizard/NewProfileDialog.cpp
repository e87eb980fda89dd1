#include "wizard/NewProfileDialog.h"

#include "config/InterfaceTexts.h"
#include "wizard/DialogLook.h"

#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillbank {

namespace {

constexpr QSize ClientSize(316, 154);

} // namespace

TNewProfileDialog::TNewProfileDialog(const TInterfaceTexts& l10n, TFolderChooser chooseFolder,
                                     QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), l10n_(l10n),
      chooseFolder_(std::move(chooseFolder))
{
    setObjectName("TForm2");
    if (!chooseFolder_) {
        chooseFolder_ = [this](const std::string& caption, const std::string& initialFolder) {
            const QString folder = QFileDialog::getExistingDirectory(this, QString::fromStdString(caption),
                                                                     QString::fromStdString(initialFolder));
            return folder.isEmpty() ? std::nullopt : std::optional<std::string>(folder.toStdString());
        };
    }

    label1_ = new QLabel(this);
    label1_->setObjectName("Label1");
    edit1_ = new QLineEdit(this);
    edit1_->setObjectName("Edit1");
    label1_->setBuddy(edit1_);

    groupBox1_ = new QGroupBox(this);
    groupBox1_->setObjectName("GroupBox1");
    label2_ = new QLabel(groupBox1_);
    label2_->setObjectName("Label2");
    button3_ = DialogButton("Button3", groupBox1_);
    auto* location = new QHBoxLayout(groupBox1_);
    location->setContentsMargins(8, 4, 8, 4);
    location->addWidget(label2_, 1);
    location->addWidget(button3_);

    QHBoxLayout* buttons = OkCancelRow(button1_, button2_, this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(label1_);
    layout->addWidget(edit1_);
    layout->addWidget(groupBox1_);
    layout->addStretch();
    layout->addLayout(buttons);
    KeepFittedToContents(*this, ClientSize);

    // Escape and the close box reject the dialog, as Cancel does.
    connect(button1_, &QPushButton::clicked, this, &TNewProfileDialog::Button1Click);
    connect(button2_, &QPushButton::clicked, this, &TNewProfileDialog::Button2Click);
    connect(button3_, &QPushButton::clicked, this, &TNewProfileDialog::Button3Click);
    PrepareNewProfileDialog();
}

void TNewProfileDialog::PrepareNewProfileDialog()
{
    setWindowTitle(QString::fromStdString(l10n_.GetText("TForm1", "LANG_NEW_PROFIL")));
    label1_->setText(QString::fromStdString(l10n_.GetText("TForm1", "LANG_NEW_PROFIL_NAME")));
    label2_->setText(QString::fromStdString(l10n_.GetText("TForm1", "LANG_DIR_DEFAULT")));
    button1_->setText(QString::fromStdString(l10n_.GetText("TForm1", "LANG_BUTTON_OK")));
    button2_->setText(QString::fromStdString(l10n_.GetText("TForm1", "LANG_BUTTON_2")));
    button3_->setText(QString::fromStdString(l10n_.GetText("TForm1", "LANG_CHOOSE")));
    groupBox1_->setTitle(QString::fromStdString(l10n_.GetText("TForm1", "LANG_LOCATION")));
    edit1_->clear();
    locationPath_.clear();
    label2_->setToolTip(QString());
    nameAccepted_ = false;
}

bool TNewProfileDialog::Execute()
{
    PrepareNewProfileDialog();
    exec();
    return nameAccepted_;
}

std::string TNewProfileDialog::Name() const
{
    return edit1_->text().toStdString();
}

TNewProfileAnswer TNewProfileDialog::Answer() const
{
    return {nameAccepted_, Name(), locationPath_};
}

void TNewProfileDialog::showEvent(QShowEvent* event)
{
    ApplyLanguageFont(*this, l10n_);
    FixDialogSize(*this, ClientSize);
    CentreOnOwner(*this);
    QDialog::showEvent(event);
    edit1_->setFocus();
}

void TNewProfileDialog::Button1Click()
{
    nameAccepted_ = true;
    accept();
}

void TNewProfileDialog::Button2Click()
{
    reject();
}

void TNewProfileDialog::Button3Click()
{
    const std::optional<std::string> folder =
        chooseFolder_(l10n_.GetText("Quillbank14", "LANG_SELECT_PROFILE_FOLDER"), locationPath_);
    if (!folder)
        return;
    locationPath_ = *folder;
    // The label shows the folder shortened; its tooltip keeps it whole.
    label2_->setText(QString::fromStdString(ShortenPathForDisplay(locationPath_)));
    label2_->setToolTip(QString::fromStdString(locationPath_));
}

} // namespace quillbank
