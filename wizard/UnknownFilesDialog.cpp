// Builds the unknown-files dialog and passes its ticks, OK, Cancel and Escape on to the model.

#include "wizard/UnknownFilesDialog.h"

#include "config/InterfaceTexts.h"
#include "engine/UnknownFilesChoice.h"
#include "wizard/DialogLook.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace quillbank {

namespace {

constexpr QSize ClientSize(244, 327);

} // namespace

TUnknownFilesDialog::TUnknownFilesDialog(TUnknownFilesChoice& model, const TInterfaceTexts& texts,
                                         QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), model_(model), texts_(texts)
{
    setObjectName("unknownFilesDialog");

    descriptionLabel_ = new QLabel(this);
    descriptionLabel_->setObjectName("descriptionLabel");
    descriptionLabel_->setWordWrap(true);
    descriptionLabel_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    descriptionLabel_->setMinimumHeight(35);
    entryList_ = new QListWidget(this);
    entryList_->setObjectName("entryList");
    entryList_->setMinimumSize(228, 208);
    allBox_ = new QCheckBox(this);
    allBox_->setObjectName("allBox");
    allBox_->setChecked(true);
    okButton_ = DialogButton("okButton", this);
    okButton_->setDefault(true);
    cancelButton_ = DialogButton("cancelButton", this);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(14);
    buttons->addStretch();
    buttons->addWidget(okButton_);
    buttons->addWidget(cancelButton_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(6);
    layout->addWidget(descriptionLabel_);
    layout->addWidget(entryList_, 1);
    layout->addWidget(allBox_);
    layout->addLayout(buttons);
    KeepFittedToContents(*this, ClientSize);

    connect(entryList_, &QListWidget::itemChanged, this, &TUnknownFilesDialog::OnRowTicked);
    connect(allBox_, &QCheckBox::clicked, this, &TUnknownFilesDialog::OnAllBoxClicked);
    connect(okButton_, &QPushButton::clicked, this, &TUnknownFilesDialog::OnOk);
    connect(cancelButton_, &QPushButton::clicked, this, &TUnknownFilesDialog::OnCancel);
}

void TUnknownFilesDialog::Execute()
{
    exec();
}

void TUnknownFilesDialog::showEvent(QShowEvent* event)
{
    PrepareShowing();
    CentreOnOwner(*this);
    QDialog::showEvent(event);
}

void TUnknownFilesDialog::keyPressEvent(QKeyEvent* event)
{
    // Escape answers as Cancel does; the close box only closes.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        OnCancel();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TUnknownFilesDialog::PrepareShowing()
{
    ApplyLanguageFont(*this, texts_);
    setWindowTitle(QString::fromStdString(texts_.GetText("Quillbank14", "LANG_UNKNOW_FILES")));
    descriptionLabel_->setText(
        QString::fromStdString(texts_.GetText("Quillbank14", "LANG_UNKNOW_FILES_DESC")));
    allBox_->setText(QString::fromStdString(texts_.GetText("Quillbank14", "LANG_SEL_DESEL_ALL")));
    okButton_->setText(QString::fromStdString(texts_.GetText("TForm1", "LANG_BUTTON_OK")));
    cancelButton_->setText(QString::fromStdString(texts_.GetText("TForm1", "LANG_BUTTON_2")));
    model_.Show();
    ShowModel();
    FixDialogSize(*this, ClientSize);
}

void TUnknownFilesDialog::ShowModel()
{
    // The rows were rebuilt in the model while the dialog was hidden.
    const QSignalBlocker blocker(entryList_);
    entryList_->clear();
    for (const std::string& text : model_.RowTexts()) {
        auto* item = new QListWidgetItem(QString::fromStdString(text), entryList_);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    }
    ShowTicks();
}

void TUnknownFilesDialog::ShowTicks()
{
    const QSignalBlocker blocker(entryList_);
    const std::vector<bool>& ticks = model_.Ticks();
    for (int row = 0; row < entryList_->count(); ++row)
        entryList_->item(row)->setCheckState(ticks.at(static_cast<std::size_t>(row)) ? Qt::Checked
                                                                                     : Qt::Unchecked);
    allBox_->setChecked(model_.AllBoxTicked());
}

void TUnknownFilesDialog::OnRowTicked(QListWidgetItem* item)
{
    const int row = entryList_->row(item);
    if (row >= 0)
        model_.SetTicked(static_cast<std::size_t>(row), item->checkState() == Qt::Checked);
}

void TUnknownFilesDialog::OnAllBoxClicked(bool checked)
{
    model_.SetAllBoxTicked(checked);
    ShowTicks();
}

void TUnknownFilesDialog::OnOk()
{
    model_.Ok();
    accept();
}

void TUnknownFilesDialog::OnCancel()
{
    model_.Cancel();
    ShowTicks();
    reject();
}

} // namespace quillbank
