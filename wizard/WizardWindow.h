// The main window: the wizard's pages through a backup or restore, and the user interface its run reports to.

#pragma once

#include "apps/AppStatus.h"
#include "apps/WizardState.h"
#include "config/AppSettings.h"
#include "engine/RollbackStore.h"
#include "engine/UnknownFilesChoice.h"
#include "platform/UserInterface.h"
#include "vocabulary/ComponentBoxes.h"

#include <QString>
#include <QWidget>
#include <array>
#include <memory>
#include <optional>

class QButtonGroup;
class QCheckBox;
class QCloseEvent;
class QGroupBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QShowEvent;
class QStackedWidget;

namespace quillbank {

class TInterfaceTexts;
class TMozManager;
class TWizardDialogs;
struct TBatchTask;
struct TArchiveEnvironment;

/// The wizard's pages, in the order Next goes through them. The progress
/// page that shows while a backup or restore runs has none of its own: the
/// page stays the one the run started from until the report shows.
enum class TWizardPage
{
    Welcome,
    /// Backup or restore, and the application.
    Operation,
    /// The profile and the backup file.
    Profile,
    Components,
    Report,
};

/// The object name of a component's check box, by which tests find it:
/// "emailsBox" for EmailsBox.
QString ComponentBoxObjectName(TComponentBox box);

/**
 * The main window: a five-page wizard (welcome, operation and application,
 * profile and backup file, components, report) with a progress page while a
 * backup or restore runs. It holds the wizard's state and shows what the
 * core's steps decide; it is also the user interface those steps report to.
 */
class TWizardWindow : public QWidget, public TUserInterface
{
    Q_OBJECT

public:
    /// `programDir` holds the working files; `dialogs` shows everything modal.
    /// With a `batchTask`, the window makes the backup that task file names,
    /// unattended, and the program ends afterwards.
    TWizardWindow(const TInterfaceTexts& texts, std::string programDir, TWizardDialogs& dialogs,
                  std::optional<std::string> batchTask = std::nullopt, QWidget* parent = nullptr);
    ~TWizardWindow() override;

    /// Goes straight to a restore of the backup file at `path` (a file
    /// manager opened it with the program): restore is chosen, and the
    /// application the backup names too when it is listed; the file stays
    /// the one to restore from.
    void OpenBackupFile(const std::string& path);

    const TWizardState& State() const { return state_; }
    const TAppSettings& Settings() const { return settings_; }
    TWizardPage Page() const { return page_; }
    TUnknownFilesChoice& UnknownFiles() { return unknownFiles_; }

    // TUserInterface.
    TBoxAnswer ShowMessageBox(const std::string& caption, const std::string& text, TBoxButtons buttons,
                              TBoxIcon icon) override;
    std::optional<std::string> AskRestorePassword() override;
    std::optional<std::string> ChooseFolder(const std::string& caption,
                                            const std::string& initialFolder) override;
    void ProcessEvents() override;
    void ShowTaskLine(const std::string& text) override;
    void AddReportLine(const std::string& text) override;
    void SetProgressRange(int minimum, int maximum) override;
    void SetProgressPosition(int position) override;

protected:
    void EndProgram(int exitCode) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Event handlers.
    void OnNext();
    /// Cancel on the pages, Finish on the report: closes the window, or
    /// starts the wizard again when the report's box asks for that.
    void OnCancelOrFinish();
    void OnBack();
    /// Browse: the save or open dialog for the backup file.
    void ChooseBackupFile();
    void OnNewProfile();
    void OnReloadProfiles();
    void OnPortableProfile();
    void OnApplicationDoubleClicked();
    void OnProfileSelectionChanged();
    void OnProfileDoubleClicked();
    void OnAccountsOnlyToggled(bool checked);
    void OnStartAgainToggled(bool checked);
    /// Takes back the restore the report page is about.
    void OnUndoRestore();
    void OnUnknownFiles();
    /// Fits and places the window and checks the working files.
    void OnFirstShow();
    bool ConfirmExit();
    /// Runs the unattended backup once the window shows, or ends the
    /// program when the task file could not be read.
    void StartUnattendedBackup();
    void RunUnattendedBackup();

    // Page set-ups.
    void SetButtonCaptions();
    void ShowWelcomePage();
    void ShowOperationPage();
    void ShowProfilePage();
    bool ShowComponentsPage();
    void ShowProgressPage();
    /// The report page; an unattended run then ends with `exitCode`.
    void ShowReportPage(int exitCode);
    void RunOperation();
    void Restart();

    // Helpers.
    void BuildWindow();
    QWidget* BuildWelcomePage();
    QWidget* BuildOperationPage();
    QWidget* BuildProfilePage();
    QWidget* BuildComponentsPage();
    QWidget* BuildProgressPage();
    QWidget* BuildReportPage();
    void SetCaption(const char* captionKey);
    std::string Text(std::string_view key) const;
    std::string Text(std::string_view section, std::string_view key) const;
    void ShowPage(QWidget* page);
    void FillProfileList();
    void UpdateNextForApplication();
    void UpdateNextForProfile();
    void UpdateBackupFileProposal();
    void ShowArchivePath(const std::string& caption);
    bool ConfirmOverwriteProfile();
    void AskWindowsFolderPlaces();
    /// The folder of the profile the operation works on.
    std::string ChosenProfileDir() const;
    void ResetComponentBoxes();
    void ApplyComponentBoxes(const TComponentBoxes& boxes);
    /// Clears and disables the held components the target application does
    /// not take, saying why, and names another application's backup.
    void MarkSkippedOnRestore(AppType archiveType);
    void AddSkippedReportLines();
    /// The text of a component's box.
    std::string ComponentText(TComponentBox box) const;
    TComponentBoxes ComponentBoxes() const;
    void FillUnknownFilesList();
    void FillUnknownFilesFromArchive();
    void PlaceOnMonitor();
    TArchiveEnvironment Environment();

    const TInterfaceTexts& texts_;
    std::string programDir_;
    TWizardDialogs& dialogs_;
    TWizardState state_;
    TAppSettings settings_;
    TAppStatusTable status_;
    TUnknownFilesChoice unknownFiles_;
    /// What the profile of a backup offers, as CheckProfile found it before
    /// the user changed any box: the unknown entries are what it leaves out.
    TComponentBoxes offeredBoxes_;
    /// The components a restore's backup holds that the target application
    /// does not take: shown disabled, and named in the report.
    std::vector<TComponentBox> skippedOnRestore_;
    /// The applications of an unattended backup; absent in the wizard.
    std::unique_ptr<TMozManager> manager_;
    std::unique_ptr<TBatchTask> batchTask_;
    bool batchReady_ = false;
    bool batchStarted_ = false;
    TWizardPage page_ = TWizardPage::Welcome;
    bool closeWithoutAsking_ = false;
    /// The user agreed to the places outside the profile a restore names.
    bool keepPathsOutsideProfile_ = false;
    bool templateHasProfile_ = false;
    /// The backup file the program was started with, restored from instead
    /// of a proposal; cleared by a new start of the wizard.
    std::optional<std::string> openedBackup_;
    bool shownOnce_ = false;

    QLabel* pictureStrip_ = nullptr;
    QStackedWidget* pages_ = nullptr;
    QPushButton* nextButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QPushButton* backButton_ = nullptr;
    // Welcome.
    QWidget* welcomePage_ = nullptr;
    QLabel* welcomeTitle_ = nullptr;
    QLabel* introText_ = nullptr;
    QLabel* closeProgramsText_ = nullptr;
    QLabel* howToGoOnText_ = nullptr;
    // Operation and application.
    QWidget* operationPage_ = nullptr;
    QLabel* operationPrompt_ = nullptr;
    QGroupBox* operationGroup_ = nullptr;
    QRadioButton* backupChoice_ = nullptr;
    QRadioButton* restoreChoice_ = nullptr;
    QLabel* applicationsPrompt_ = nullptr;
    QListWidget* applicationList_ = nullptr;
    // Profile and backup file.
    QWidget* profilePage_ = nullptr;
    QLabel* profilesPrompt_ = nullptr;
    QListWidget* profileList_ = nullptr;
    QPushButton* newProfileButton_ = nullptr;
    QPushButton* reloadButton_ = nullptr;
    QPushButton* portableButton_ = nullptr;
    QLabel* backupFilePrompt_ = nullptr;
    QGroupBox* backupFileGroup_ = nullptr;
    /// The backup file to write or read, in its display form.
    QLabel* backupFilePath_ = nullptr;
    QPushButton* browseButton_ = nullptr;
    // Components.
    QWidget* componentsPage_ = nullptr;
    QLabel* componentsPrompt_ = nullptr;
    QGroupBox* componentsGroup_ = nullptr;
    /// Says when a restore's backup was made with another application.
    QLabel* otherApplicationNote_ = nullptr;
    /// Indexed by TComponentBox; index 0 is unused.
    std::array<QCheckBox*, ComponentBoxCount + 1> componentBoxes_{};
    QPushButton* unknownFilesButton_ = nullptr;
    // Progress.
    QWidget* progressPage_ = nullptr;
    /// The run's report so far; the report page shows it in full.
    QListWidget* progressLines_ = nullptr;
    /// What the run does at the moment.
    QLabel* taskLine_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    // Report.
    QWidget* reportPage_ = nullptr;
    QLabel* reportHeading_ = nullptr;
    QListWidget* reportLines_ = nullptr;
    /// "New backup or restore": Finish starts the wizard again.
    QCheckBox* startAgainBox_ = nullptr;
    QPushButton* undoButton_ = nullptr;
    /// The rollback archive of the restore just run, while it can be undone.
    std::optional<TStoredRollback> undoable_;
};

} // namespace quillbank
