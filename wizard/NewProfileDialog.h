// The new-profile dialog: a profile's name and, through Browse, the folder it goes into.

#pragma once

#include "apps/NewProfile.h"

#include <QDialog>
#include <functional>
#include <optional>
#include <string>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QShowEvent;

namespace quillbank {

class TInterfaceTexts;

/// A folder chooser with its caption and the folder it opens at: the chosen
/// folder, or nothing when it was cancelled (as TUserInterface::ChooseFolder).
using TFolderChooser =
    std::function<std::optional<std::string>(const std::string& caption, const std::string& initialFolder)>;

/**
 * The new-profile dialog: the profile's name and, through Browse, the folder
 * it goes into; no folder means the application's default one. The dialog
 * checks nothing: OK accepts whatever was typed, Cancel, Escape and the
 * close box leave it unaccepted.
 *
 * Created once with the main window as parent and reused; centred on it.
 */
class TNewProfileDialog : public QDialog
{
    Q_OBJECT

public:
    /// `chooseFolder` answers Browse; when empty, the platform's folder dialog does.
    explicit TNewProfileDialog(const TInterfaceTexts& texts, TFolderChooser chooseFolder = {},
                               QWidget* parent = nullptr);

    /// Clears the name, the folder and the result and sets the texts.
    void Prepare();
    /// Prepare, then show modally; whether OK closed it.
    bool Execute();

    bool NameAccepted() const { return nameAccepted_; }
    /// The name as typed (the profile creation lower-cases it).
    std::string Name() const;
    /// The full folder chosen with Browse; empty for the default folder.
    const std::string& LocationPath() const { return locationPath_; }
    /// All three, as the profile creation takes them.
    TNewProfileAnswer Answer() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void OnOk();
    /// Lets the user choose the folder the profile goes into.
    void OnBrowse();

    const TInterfaceTexts& texts_;
    TFolderChooser chooseFolder_;
    QLabel* nameLabel_;
    QLineEdit* nameEdit_;
    QGroupBox* locationGroup_;
    /// The chosen folder, shortened, or "Default directory".
    QLabel* locationLabel_;
    QPushButton* browseButton_;
    QPushButton* okButton_;
    QPushButton* cancelButton_;
    std::string locationPath_;
    bool nameAccepted_ = false;
};

} // namespace quillbank
