// The unknown-files dialog: the ticks of the unknown entries a backup takes, mirroring TUnknownFilesChoice.

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
    TUnknownFilesDialog(TUnknownFilesChoice& model, const TInterfaceTexts& texts, QWidget* parent = nullptr);

    /// Shows the dialog modally.
    void Execute();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    /// Sets the texts and shows the model's rows, then fits the dialog to them.
    void PrepareShowing();
    void ShowModel();
    void ShowTicks();
    void OnRowTicked(QListWidgetItem* item);
    void OnAllBoxClicked(bool checked);
    void OnOk();
    void OnCancel();

    TUnknownFilesChoice& model_;
    const TInterfaceTexts& texts_;
    QLabel* descriptionLabel_;
    /// One row with a tick box per unknown entry.
    QListWidget* entryList_;
    /// Ticks or unticks every row.
    QCheckBox* allBox_;
    QPushButton* okButton_;
    QPushButton* cancelButton_;
};

} // namespace quillbank
