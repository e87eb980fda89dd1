#pragma once

#include <QDialog>

class QCheckBox;
class QKeyEvent;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QShowEvent;

namespace quillbank {

class TUnknownFilesChoice;
class TInterfaceTexts;

/**
 * The unknown-files dialog: one ticked or unticked row per entry of the
 * model, and a box that ticks or unticks them all. It only mirrors the
 * model, which the components page fills and the runs read: OK saves the
 * rows' ticks, Cancel (and Escape) puts the saved ones back; the close box
 * leaves the ticks as they are.
 *
 * Created once with the main window as parent and reused; centred on it.
 */
class TUnknownFilesDialog : public QDialog
{
    Q_OBJECT

public:
    TUnknownFilesDialog(TUnknownFilesChoice& model, const TInterfaceTexts& l10n, QWidget* parent = nullptr);

    /// Shows the dialog modally.
    void Execute();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void FormShow();
    void ShowModel();
    void ShowTicks();
    void RowChanged(QListWidgetItem* item);
    void CheckBox1Click(bool checked);
    void Button1Click();
    void Button2Click();

    TUnknownFilesChoice& model_;
    const TInterfaceTexts& l10n_;
    QLabel* staticText1_;
    QListWidget* checkListBox1_;
    QCheckBox* checkBox1_;
    QPushButton* button1_;
    QPushButton* button2_;
};

} // namespace quillbank
