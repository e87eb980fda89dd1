// Builds the new-profile dialog and answers OK and Browse.

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

TNewProfileDialog::TNewProfileDialog(const TInterfaceTexts& texts, TFolderChooser chooseFolder,
                                     QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), texts_(texts),
      chooseFolder_(std::move(chooseFolder))
{
    setObjectName("newProfileDialog");
    if (!chooseFolder_) {
        chooseFolder_ = [this](const std::string& caption, const std::string& initialFolder) {
            const QString folder = QFileDialog::getExistingDirectory(this, QString::fromStdString(caption),
                                                                     QString::fromStdString(initialFolder));
            return folder.isEmpty() ? std::nullopt : std::optional<std::string>(folder.toStdString());
        };
    }

    nameLabel_ = new QLabel(this);
    nameLabel_->setObjectName("nameLabel");
    nameEdit_ = new QLineEdit(this);
    nameEdit_->setObjectName("nameEdit");
    nameLabel_->setBuddy(nameEdit_);

    locationGroup_ = new QGroupBox(this);
    locationGroup_->setObjectName("locationGroup");
    locationLabel_ = new QLabel(locationGroup_);
    locationLabel_->setObjectName("locationLabel");
    browseButton_ = DialogButton("browseButton", locationGroup_);
    auto* location = new QHBoxLayout(locationGroup_);
    location->setContentsMargins(8, 4, 8, 4);
    location->addWidget(locationLabel_, 1);
    location->addWidget(browseButton_);

    QHBoxLayout* buttons = OkCancelRow(okButton_, cancelButton_, this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(nameLabel_);
    layout->addWidget(nameEdit_);
    layout->addWidget(locationGroup_);
    layout->addStretch();
    layout->addLayout(buttons);
    KeepFittedToContents(*this, ClientSize);

    // Escape and the close box reject the dialog, as Cancel does.
    connect(okButton_, &QPushButton::clicked, this, &TNewProfileDialog::OnOk);
    connect(cancelButton_, &QPushButton::clicked, this, &TNewProfileDialog::reject);
    connect(browseButton_, &QPushButton::clicked, this, &TNewProfileDialog::OnBrowse);
    Prepare();
}

void TNewProfileDialog::Prepare()
{
    setWindowTitle(QString::fromStdString(texts_.GetText("TForm1", "LANG_NEW_PROFIL")));
    nameLabel_->setText(QString::fromStdString(texts_.GetText("TForm1", "LANG_NEW_PROFIL_NAME")));
    locationLabel_->setText(QString::fromStdString(texts_.GetText("TForm1", "LANG_DIR_DEFAULT")));
    okButton_->setText(QString::fromStdString(texts_.GetText("TForm1", "LANG_BUTTON_OK")));
    cancelButton_->setText(QString::fromStdString(texts_.GetText("TForm1", "LANG_BUTTON_2")));
    browseButton_->setText(QString::fromStdString(texts_.GetText("TForm1", "LANG_CHOOSE")));
    locationGroup_->setTitle(QString::fromStdString(texts_.GetText("TForm1", "LANG_LOCATION")));
    nameEdit_->clear();
    locationPath_.clear();
    locationLabel_->setToolTip(QString());
    nameAccepted_ = false;
}

bool TNewProfileDialog::Execute()
{
    Prepare();
    exec();
    return nameAccepted_;
}

std::string TNewProfileDialog::Name() const
{
    return nameEdit_->text().toStdString();
}

TNewProfileAnswer TNewProfileDialog::Answer() const
{
    return {nameAccepted_, Name(), locationPath_};
}

void TNewProfileDialog::showEvent(QShowEvent* event)
{
    ApplyLanguageFont(*this, texts_);
    FixDialogSize(*this, ClientSize);
    CentreOnOwner(*this);
    QDialog::showEvent(event);
    nameEdit_->setFocus();
}

void TNewProfileDialog::OnOk()
{
    nameAccepted_ = true;
    accept();
}

void TNewProfileDialog::OnBrowse()
{
    const std::optional<std::string> folder =
        chooseFolder_(texts_.GetText("Quillbank14", "LANG_SELECT_PROFILE_FOLDER"), locationPath_);
    if (!folder)
        return;
    locationPath_ = *folder;
    // The label shows the folder shortened; its tooltip keeps it whole.
    locationLabel_->setText(QString::fromStdString(ShortenPathForDisplay(locationPath_)));
    locationLabel_->setToolTip(QString::fromStdString(locationPath_));
}

} // namespace quillbank
