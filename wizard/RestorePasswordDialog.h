#pragma once

#include <QDialog>
#include <optional>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;
class QShowEvent;

namespace quillbank {

class TInterfaceTexts;

/**
 * The restore password prompt, asked for when an encrypted archive entry
 * needs a password: one field showing "*" and taking at most 80 characters.
 * OK with an empty field does nothing; Cancel, Escape and the close box
 * leave the password unaccepted.
 *
 * Created once with the main window as parent and reused; centred on it.
 */
class TRestorePasswordDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int MaxPasswordLength = 80;

    explicit TRestorePasswordDialog(const TInterfaceTexts& l10n, QWidget* parent = nullptr);

    /// Clears the field and the result and sets the texts.
    void Prepare();
    /// Prepare, then show modally; whether a password was accepted.
    bool Execute();
    /// Execute as the archive layer asks for a password: the accepted
    /// password, or nothing when the prompt was left without one.
    std::optional<std::string> AskRestorePassword();

    bool PasswordAccepted() const { return passwordAccepted_; }
    std::string Password() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Button1Click();
    void Button2Click();

    const TInterfaceTexts& l10n_;
    QLabel* label1_;
    QLabel* label2_;
    QLineEdit* edit1_;
    QPushButton* button1_;
    QPushButton* button2_;
    bool passwordAccepted_ = false;
};

} // namespace quillbank
