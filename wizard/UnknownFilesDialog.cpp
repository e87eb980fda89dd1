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

TUnknownFilesDialog::TUnknownFilesDialog(TUnknownFilesChoice& model, const TInterfaceTexts& l10n,
                                         QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), model_(model), l10n_(l10n)
{
    setObjectName("TUnknowFilesFM");

    staticText1_ = new QLabel(this);
    staticText1_->setObjectName("StaticText1");
    staticText1_->setWordWrap(true);
    staticText1_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    staticText1_->setMinimumHeight(35);
    checkListBox1_ = new QListWidget(this);
    checkListBox1_->setObjectName("CheckListBox1");
    checkListBox1_->setMinimumSize(228, 208);
    checkBox1_ = new QCheckBox(this);
    checkBox1_->setObjectName("CheckBox1");
    checkBox1_->setChecked(true);
    button1_ = DialogButton("Button1", this);
    button1_->setDefault(true);
    button2_ = DialogButton("Button2", this);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(14);
    buttons->addStretch();
    buttons->addWidget(button1_);
    buttons->addWidget(button2_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(6);
    layout->addWidget(staticText1_);
    layout->addWidget(checkListBox1_, 1);
    layout->addWidget(checkBox1_);
    layout->addLayout(buttons);
    KeepFittedToContents(*this, ClientSize);

    connect(checkListBox1_, &QListWidget::itemChanged, this, &TUnknownFilesDialog::RowChanged);
    connect(checkBox1_, &QCheckBox::clicked, this, &TUnknownFilesDialog::CheckBox1Click);
    connect(button1_, &QPushButton::clicked, this, &TUnknownFilesDialog::Button1Click);
    connect(button2_, &QPushButton::clicked, this, &TUnknownFilesDialog::Button2Click);
}

void TUnknownFilesDialog::Execute()
{
    exec();
}

void TUnknownFilesDialog::showEvent(QShowEvent* event)
{
    FormShow();
    CentreOnOwner(*this);
    QDialog::showEvent(event);
}

void TUnknownFilesDialog::keyPressEvent(QKeyEvent* event)
{
    // Escape answers as Cancel does; the close box only closes.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        Button2Click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TUnknownFilesDialog::FormShow()
{
    ApplyLanguageFont(*this, l10n_);
    setWindowTitle(QString::fromStdString(l10n_.GetText("Quillbank14", "LANG_UNKNOW_FILES")));
    staticText1_->setText(QString::fromStdString(l10n_.GetText("Quillbank14", "LANG_UNKNOW_FILES_DESC")));
    checkBox1_->setText(QString::fromStdString(l10n_.GetText("Quillbank14", "LANG_SEL_DESEL_ALL")));
    button1_->setText(QString::fromStdString(l10n_.GetText("TForm1", "LANG_BUTTON_OK")));
    button2_->setText(QString::fromStdString(l10n_.GetText("TForm1", "LANG_BUTTON_2")));
    model_.Show();
    ShowModel();
    FixDialogSize(*this, ClientSize);
}

void TUnknownFilesDialog::ShowModel()
{
    // The rows were rebuilt in the model while the dialog was hidden.
    const QSignalBlocker blocker(checkListBox1_);
    checkListBox1_->clear();
    for (const std::string& text : model_.RowTexts()) {
        auto* item = new QListWidgetItem(QString::fromStdString(text), checkListBox1_);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    }
    ShowTicks();
}

void TUnknownFilesDialog::ShowTicks()
{
    const QSignalBlocker blocker(checkListBox1_);
    const std::vector<bool>& ticks = model_.Ticks();
    for (int row = 0; row < checkListBox1_->count(); ++row)
        checkListBox1_->item(row)->setCheckState(ticks.at(static_cast<std::size_t>(row)) ? Qt::Checked
                                                                                         : Qt::Unchecked);
    checkBox1_->setChecked(model_.AllBoxTicked());
}

void TUnknownFilesDialog::RowChanged(QListWidgetItem* item)
{
    const int row = checkListBox1_->row(item);
    if (row >= 0)
        model_.SetTicked(static_cast<std::size_t>(row), item->checkState() == Qt::Checked);
}

void TUnknownFilesDialog::CheckBox1Click(bool checked)
{
    model_.SetAllBoxTicked(checked);
    ShowTicks();
}

void TUnknownFilesDialog::Button1Click()
{
    model_.Ok();
    accept();
}

void TUnknownFilesDialog::Button2Click()
{
    model_.Cancel();
    ShowTicks();
    reject();
}

} // namespace quillbank
