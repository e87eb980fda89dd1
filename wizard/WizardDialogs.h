// Everything modal the main window shows, behind one interface so that tests can answer all of it.

#pragma once

#include "apps/NewProfile.h"
#include "wizard/MessageBoxes.h"

#include <memory>
#include <optional>
#include <string>

class QWidget;

namespace quillbank {

class TNewProfileDialog;
class TBackupPasswordDialog;
class TRestorePasswordDialog;
class TUnknownFilesDialog;
class TUnknownFilesChoice;
class TInterfaceTexts;

/**
 * Everything modal the main window shows besides itself: message boxes, the
 * three small dialogs, the unknown-files dialog and the platform's file and
 * folder choosers, and the immediate end of the program. The wizard takes
 * it by reference so tests can answer all of it without a real modal.
 */
class TWizardDialogs
{
public:
    virtual ~TWizardDialogs() = default;

    virtual TMessageBoxes& MessageBoxes() = 0;
    /// The backup password (typed twice), or nothing when cancelled.
    virtual std::optional<std::string> AskBackupPassword() = 0;
    /// The restore password, or nothing when cancelled.
    virtual std::optional<std::string> AskRestorePassword() = 0;
    virtual TNewProfileAnswer AskNewProfile() = 0;
    virtual void ShowUnknownFiles(TUnknownFilesChoice& model) = 0;
    virtual std::optional<std::string> ChooseFolder(const std::string& caption,
                                                    const std::string& initialFolder) = 0;
    /// The save or open dialog for backup files, with its filter ("description | pattern").
    virtual std::optional<std::string>
    ChooseBackupFileToSave(const std::string& filter, const std::string& folder, const std::string& name) = 0;
    virtual std::optional<std::string>
    ChooseBackupFileToOpen(const std::string& filter, const std::string& folder, const std::string& name) = 0;
    /// Ends the program at once with `exitCode`.
    virtual void EndProgram(int exitCode) = 0;
    /// Ends the program with `exitCode` once control is back in the event loop.
    virtual void RequestEnd(int exitCode) = 0;
};

/// The real dialogs, created once with the main window as their parent.
class TQtWizardDialogs final : public TWizardDialogs
{
public:
    explicit TQtWizardDialogs(const TInterfaceTexts& texts);
    ~TQtWizardDialogs() override;

    /// Creates the dialogs over the main window; before this, nothing is shown.
    void CreateDialogs(QWidget* mainWindow);

    TMessageBoxes& MessageBoxes() override { return *messageBoxes_; }
    std::optional<std::string> AskBackupPassword() override;
    std::optional<std::string> AskRestorePassword() override;
    TNewProfileAnswer AskNewProfile() override;
    void ShowUnknownFiles(TUnknownFilesChoice& model) override;
    std::optional<std::string> ChooseFolder(const std::string& caption,
                                            const std::string& initialFolder) override;
    std::optional<std::string> ChooseBackupFileToSave(const std::string& filter, const std::string& folder,
                                                      const std::string& name) override;
    std::optional<std::string> ChooseBackupFileToOpen(const std::string& filter, const std::string& folder,
                                                      const std::string& name) override;
    void EndProgram(int exitCode) override;
    void RequestEnd(int exitCode) override;

private:
    const TInterfaceTexts& texts_;
    QWidget* mainWindow_ = nullptr;
    std::unique_ptr<TQtMessageBoxes> messageBoxes_;
    TNewProfileDialog* newProfileDialog_ = nullptr;
    TBackupPasswordDialog* backupPasswordDialog_ = nullptr;
    TRestorePasswordDialog* restorePasswordDialog_ = nullptr;
    TUnknownFilesDialog* unknownFilesDialog_ = nullptr;
};

} // namespace quillbank
