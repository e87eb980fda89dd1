// The backup password dialog: the password typed twice, checked for a match and a length of three or more.

#pragma once

#include "wizard/PasswordDialog.h"

#include <QString>

class QLabel;
class QLineEdit;

namespace quillbank {

class TMessageBoxes;

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
 * The backup password dialog: the password typed twice. OK answers a
 * mismatch or a password shorter than three characters with an information
 * box and stays open; otherwise it accepts.
 */
class TBackupPasswordDialog : public TPasswordDialog
{
    Q_OBJECT

public:
    TBackupPasswordDialog(const TInterfaceTexts& texts, TMessageBoxes& messageBoxes,
                          QWidget* parent = nullptr);

    /// Clears both fields and the result and sets the texts.
    void Prepare() override;

private:
    void OnOk() override;

    TMessageBoxes& messageBoxes_;
    QLabel* confirmationLabel_;
    QLineEdit* confirmationEdit_;
};

} // namespace quillbank
