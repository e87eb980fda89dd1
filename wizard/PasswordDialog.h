// What the backup and restore password dialogs share: the password group, OK and Cancel, modal showing.

#pragma once

#include <QDialog>
#include <QSize>
#include <string>

class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QShowEvent;

namespace quillbank {

class TInterfaceTexts;

/**
 * What the backup and the restore password dialogs have in common: a group
 * with a prompt above password fields that show "*" and take at most 80
 * characters, and OK and Cancel below. Each dialog says what OK accepts;
 * Cancel, Escape and the close box leave the password unaccepted.
 *
 * Created once with the main window as parent and reused; centred on it.
 */
class TPasswordDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int MaxPasswordLength = 80;

    /// Clears the fields and the result and sets the texts.
    virtual void Prepare();
    /// Prepare, then show modally; whether a password was accepted.
    bool Execute();

    bool PasswordAccepted() const { return passwordAccepted_; }
    /// The text of the password field: the password once it was accepted.
    std::string Password() const;

protected:
    /// The language-file section holding the dialog's title ("LANG_CAPTION")
    /// and the key of its prompt; `clientSize` is the designed one.
    TPasswordDialog(const TInterfaceTexts& texts, const char* textSection, const char* promptKey,
                    QSize clientSize, QWidget* parent);

    /// Answers OK: AcceptPassword when the fields allow it.
    virtual void OnOk() = 0;
    void AcceptPassword();
    void ForgetAnswer() { passwordAccepted_ = false; }

    /// A password field of the group, named `name`.
    QLineEdit* NewPasswordField(const char* name);
    /// A label of the group for `field`, named `name`.
    QLabel* NewFieldLabel(const char* name, QLineEdit* field);
    /// Adds a line across the group below the rows so far.
    void AddSeparator();
    /// Adds a row below the rows so far: `field` with its label.
    void AddRow(QLabel* label, QLineEdit* field);
    /// Adds OK and Cancel below the group and keeps the dialog fitted to its
    /// texts; the derived constructor calls it once its rows are in, so the
    /// fields come before the buttons in the focus order.
    void FinishLayout();

    void showEvent(QShowEvent* event) override;

    const TInterfaceTexts& texts_;
    QLabel* passwordLabel_;
    QLineEdit* passwordEdit_;

private:
    const char* textSection_;
    const char* promptKey_;
    QSize clientSize_;
    QGroupBox* group_;
    QGridLayout* fields_;
    QLabel* promptLabel_;
    QPushButton* okButton_;
    QPushButton* cancelButton_;
    bool passwordAccepted_ = false;
};

} // namespace quillbank
