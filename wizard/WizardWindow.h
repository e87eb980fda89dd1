#pragma once

#include "apps/AppStatus.h"
#include "apps/WizardState.h"
#include "config/AppSettings.h"
#include "engine/RollbackStore.h"
#include "engine/UnknownFilesChoice.h"
#include "platform/UserInterface.h"
#include "vocabulary/ComponentBoxes.h"

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
    TWizardWindow(const TInterfaceTexts& l10n, std::string programDir, TWizardDialogs& dialogs,
                  std::optional<std::string> batchTask = std::nullopt, QWidget* parent = nullptr);
    ~TWizardWindow() override;

    /// Goes straight to a restore of the backup file at `path` (a file
    /// manager opened it with the program): restore is chosen, and the
    /// application the backup names too when it is listed; the file stays
    /// the one to restore from.
    void OpenBackupFile(const std::string& path);

    const TWizardState& State() const { return state_; }
    const TAppSettings& Settings() const { return settings_; }
    int PageIndex() const { return pageIndex_; }
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
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void Button6Click();
    void Button7Click();
    void ListBox1DblClick();
    void ListBox2Click();
    void ListBox2DblClick();
    void CheckBox7Click(bool checked);
    void CheckBox16Click(bool checked);
    /// Takes back the restore the report page is about.
    void UndoButtonClick();
    void UnknowFilesBTClick();
    void FormShow();
    bool ConfirmExit();
    void ApplicationEvents1Activate();
    void BackupAction();

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
    void ShowPage(QWidget* panel);
    void FillProfileList();
    void UpdateNextForApplication();
    void UpdateNextForProfile();
    void UpdateBackupFileProposal();
    void ChooseBackupFile();
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
    TComponentBoxes ComponentBoxes() const;
    void FillUnknownFilesList();
    void FillUnknownFilesFromArchive();
    void PlaceOnMonitor();
    TArchiveEnvironment Environment();

    const TInterfaceTexts& l10n_;
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
    int pageIndex_ = 1;
    bool closeWithoutAsking_ = false;
    /// The user agreed to the places outside the profile a restore names.
    bool keepPathsOutsideProfile_ = false;
    bool templateHasProfile_ = false;
    /// The backup file the program was started with, restored from instead
    /// of a proposal; cleared by a new start of the wizard.
    std::optional<std::string> openedBackup_;
    bool shownOnce_ = false;

    QLabel* image1_ = nullptr;
    QStackedWidget* pages_ = nullptr;
    QPushButton* button1_ = nullptr;
    QPushButton* button2_ = nullptr;
    QPushButton* button3_ = nullptr;
    // Page 1.
    QWidget* panel1_ = nullptr;
    QLabel* label1_ = nullptr;
    QLabel* staticText7_ = nullptr;
    QLabel* staticText8_ = nullptr;
    QLabel* staticText9_ = nullptr;
    // Page 2.
    QWidget* panel2_ = nullptr;
    QLabel* staticText1_ = nullptr;
    QGroupBox* groupBox1_ = nullptr;
    QRadioButton* radioButton1_ = nullptr;
    QRadioButton* radioButton2_ = nullptr;
    QLabel* staticText10_ = nullptr;
    QListWidget* listBox1_ = nullptr;
    // Page 3.
    QWidget* panel3_ = nullptr;
    QLabel* staticText2_ = nullptr;
    QListWidget* listBox2_ = nullptr;
    QPushButton* button5_ = nullptr;
    QPushButton* button6_ = nullptr;
    QPushButton* button7_ = nullptr;
    QLabel* staticText4_ = nullptr;
    QGroupBox* groupBox2_ = nullptr;
    QLabel* staticText3_ = nullptr;
    QPushButton* button4_ = nullptr;
    // Page 4.
    QWidget* panel4_ = nullptr;
    QLabel* staticText5_ = nullptr;
    QGroupBox* groupBox3_ = nullptr;
    QLabel* staticText12_ = nullptr;
    std::array<QCheckBox*, ComponentBoxCount + 1> checkBoxes_{};
    QPushButton* unknowFilesBT_ = nullptr;
    // Progress.
    QWidget* panel5_ = nullptr;
    QListWidget* listBox3_ = nullptr;
    QLabel* staticText6_ = nullptr;
    QProgressBar* progressBar1_ = nullptr;
    // Page 5.
    QWidget* panel6_ = nullptr;
    QLabel* staticText11_ = nullptr;
    QListWidget* listBox4_ = nullptr;
    QCheckBox* checkBox16_ = nullptr;
    QPushButton* undoButton_ = nullptr;
    /// The rollback archive of the restore just run, while it can be undone.
    std::optional<TStoredRollback> undoable_;
};

} // namespace quillbank
