// The restore password prompt, shown when an encrypted entry of a backup needs a password.

#pragma once

#include "wizard/PasswordDialog.h"

#include <optional>
#include <string>

namespace quillbank {

/**
 * The restore password prompt, asked for when an encrypted archive entry
 * needs a password: one field. OK with an empty field does nothing.
 */
class TRestorePasswordDialog : public TPasswordDialog
{
    Q_OBJECT

public:
    explicit TRestorePasswordDialog(const TInterfaceTexts& texts, QWidget* parent = nullptr);

    /// Execute as the archive layer asks for a password: the accepted
    /// password, or nothing when the prompt was left without one.
    std::optional<std::string> AskRestorePassword();

protected:
    /// Each showing starts unanswered, prepared or not.
    void showEvent(QShowEvent* event) override;

private:
    void OnOk() override;
};

} // namespace quillbank
