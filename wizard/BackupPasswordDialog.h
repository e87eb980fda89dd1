#pragma once

#include <QDialog>
#include <QString>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;
class QShowEvent;

namespace quillbank {

class TMessageBoxes;
class TInterfaceTexts;

/// What the backup password dialog makes of its two fields.
enum class TPasswordCheck
{
    Accepted,
    /// The fields differ; this is tested first, whatever their length.
    Mismatch,
    /// Fewer than three characters (the empty password included).
    TooShort,
};

/// The two fields' texts checked as OK checks them.
TPasswordCheck CheckBackupPassword(const QString& password, const QString& confirmation);

/**
 * The backup password dialog: the password typed twice, each field showing
 * "*" and taking at most 80 characters. OK answers a mismatch or a password
 * shorter than three characters with an information box and stays open;
 * otherwise it accepts. Cancel, Escape and the close box leave it unaccepted.
 *
 * Created once with the main window as parent and reused; centred on it.
 */
class TBackupPasswordDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int MaxPasswordLength = 80;

    TBackupPasswordDialog(const TInterfaceTexts& l10n, TMessageBoxes& messageBoxes,
                          QWidget* parent = nullptr);

    /// Clears both fields and the result and sets the texts.
    void Prepare();
    /// Prepare, then show modally; whether a password was accepted.
    bool Execute();

    bool PasswordAccepted() const { return passwordAccepted_; }
    /// The text of the first field: the password once it was accepted.
    std::string Password() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Button1Click();
    void Button2Click();

    const TInterfaceTexts& l10n_;
    TMessageBoxes& messageBoxes_;
    QLabel* label1_;
    QLabel* label2_;
    QLabel* label3_;
    QLineEdit* edit1_;
    QLineEdit* edit2_;
    QPushButton* button1_;
    QPushButton* button2_;
    bool passwordAccepted_ = false;
};

} // namespace quillbank
