// Builds the wizard's pages, moves between them, runs the backup or restore, shows its progress and report.

#include "wizard/WizardWindow.h"

#include "apps/AppTable.h"
#include "apps/Detection.h"
#include "apps/Installations.h"
#include "apps/MozManager.h"
#include "apps/NewProfile.h"
#include "apps/ProfileDiscovery.h"
#include "apps/RunningCheck.h"
#include "config/BackupFileNaming.h"
#include "config/InterfaceTexts.h"
#include "config/WorkingFiles.h"
#include "config/errorlog.h"
#include "engine/ArchiveHeader.h"
#include "engine/BackupRun.h"
#include "engine/BatchMode.h"
#include "engine/Catalogue.h"
#include "engine/KeyStore.h"
#include "engine/KnownFiles.h"
#include "engine/PlacesOutsideProfile.h"
#include "engine/RestoreRun.h"
#include "engine/RunEnvironment.h"
#include "engine/RunOutcome.h"
#include "engine/UndoRestore.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "profile/WindowsMailFolders.h"
#include "profile/WindowsPaths.h"
#include "wizard/ApplicationIdentity.h"
#include "wizard/DialogLook.h"
#include "wizard/JpegPicture.h"
#include "wizard/WizardDialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <set>
#include <stdexcept>

namespace quillbank {

namespace {

constexpr const char* ProductCaption = "Quillbank 1.4.9";
constexpr QSize DesignedClientSize(471, 327);

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

QLabel* WrappedLabel(const QString& name, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    return label;
}

QPushButton* Button(const QString& name, QWidget* parent)
{
    auto* button = new QPushButton(parent);
    button->setObjectName(name);
    return button;
}

QListWidget* ListBox(const QString& name, QWidget* parent)
{
    auto* list = new QListWidget(parent);
    list->setObjectName(name);
    return list;
}

/// The lines of a list, in order.
std::vector<std::string> Lines(const QListWidget& list)
{
    std::vector<std::string> lines;
    for (int row = 0; row < list.count(); ++row)
        lines.push_back(list.item(row)->text().toStdString());
    return lines;
}

/// A list line that sorts without regard to letter case ("alpha", "Beta",
/// "gamma"); lines that differ only in case keep a fixed order.
class TListLine final : public QListWidgetItem
{
public:
    explicit TListLine(const std::string& text) : QListWidgetItem(Q(text)) {}

    bool operator<(const QListWidgetItem& other) const override
    {
        const int order = text().compare(other.text(), Qt::CaseInsensitive);
        return order != 0 ? order < 0 : text() < other.text();
    }
};

void AddLine(QListWidget& list, const std::string& line)
{
    list.addItem(new TListLine(line));
}

void Fill(QListWidget& list, const std::vector<std::string>& lines)
{
    list.clear();
    for (const std::string& line : lines)
        AddLine(list, line);
}

std::optional<std::string> SelectedLine(const QListWidget& list)
{
    const QListWidgetItem* item = list.currentItem();
    if (item == nullptr || !item->isSelected())
        return std::nullopt;
    return item->text().toStdString();
}

/// Every component box, in the order of their numbers.
constexpr std::array<TComponentBox, ComponentBoxCount> AllComponentBoxes = [] {
    std::array<TComponentBox, ComponentBoxCount> boxes{};
    for (int number = 1; number <= ComponentBoxCount; ++number)
        boxes[number - 1] = static_cast<TComponentBox>(number);
    return boxes;
}();

/// The order in which the component boxes are reset.
constexpr std::array<TComponentBox, ComponentBoxCount> ResetOrder = {
    GeneralSettingsBox,    EmailsBox,         AddressBooksBox,
    BookmarksBox,          HistoryBox,        SidebarsBox,
    UserStylesBox,         CookiesBox,        SavedFormDetailsBox,
    DownloadedFileListBox, SavedPasswordsBox, AccountsSettingsOnlyBox,
    CertificatesBox,       ExtensionsBox,     CacheBox,
};

} // namespace

QString ComponentBoxObjectName(TComponentBox box)
{
    switch (box) {
    case GeneralSettingsBox:
        return QStringLiteral("generalSettingsBox");
    case EmailsBox:
        return QStringLiteral("emailsBox");
    case AddressBooksBox:
        return QStringLiteral("addressBooksBox");
    case BookmarksBox:
        return QStringLiteral("bookmarksBox");
    case HistoryBox:
        return QStringLiteral("historyBox");
    case SidebarsBox:
        return QStringLiteral("sidebarsBox");
    case AccountsSettingsOnlyBox:
        return QStringLiteral("accountsSettingsOnlyBox");
    case UserStylesBox:
        return QStringLiteral("userStylesBox");
    case SavedPasswordsBox:
        return QStringLiteral("savedPasswordsBox");
    case CookiesBox:
        return QStringLiteral("cookiesBox");
    case SavedFormDetailsBox:
        return QStringLiteral("savedFormDetailsBox");
    case DownloadedFileListBox:
        return QStringLiteral("downloadedFileListBox");
    case CertificatesBox:
        return QStringLiteral("certificatesBox");
    case ExtensionsBox:
        return QStringLiteral("extensionsBox");
    case CacheBox:
        return QStringLiteral("cacheBox");
    }
    return {};
}

TWizardWindow::TWizardWindow(const TInterfaceTexts& texts, std::string programDir, TWizardDialogs& dialogs,
                             std::optional<std::string> batchTask, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::WindowMinimizeButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      texts_(texts), programDir_(std::move(programDir)), dialogs_(dialogs)
{
    setObjectName(QStringLiteral("wizardWindow"));
    settings_ = LoadSettings(programDir_, texts_);
    BuildWindow();
    if (batchTask) {
        batchTask_ = std::make_unique<TBatchTask>();
        try {
            manager_ = std::make_unique<TMozManager>(texts_, status_);
            // Task files lie beside the settings: the program folder of a
            // portable copy, the user's own folder of an installed program.
            batchReady_ =
                ReadBatchTask(SettingsFileDir(programDir_), *batchTask, *manager_, state_, *batchTask_);
        } catch (const ERegistryFileError& error) {
            WriteErrorLog(error.what());
            batchReady_ = false;
        }
    } else {
        ShowWelcomePage();
    }
}

TWizardWindow::~TWizardWindow() = default;

// ---------------------------------------------------------------------------
// The window.

void TWizardWindow::BuildWindow()
{
    pictureStrip_ = new QLabel(this);
    pictureStrip_->setObjectName(QStringLiteral("pictureStrip"));
    pictureStrip_->setFrameShape(QFrame::Panel);
    pictureStrip_->setFrameShadow(QFrame::Sunken);
    pictureStrip_->setFixedSize(122, 262);
    pictureStrip_->setScaledContents(true);
    pictureStrip_->setPixmap(QPixmap::fromImage(WizardPicture()));

    pages_ = new QStackedWidget(this);
    pages_->setObjectName(QStringLiteral("pages"));
    for (QWidget* page : {BuildWelcomePage(), BuildOperationPage(), BuildProfilePage(), BuildComponentsPage(),
                          BuildProgressPage(), BuildReportPage()})
        pages_->addWidget(page);

    auto* separator = new QFrame(this);
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);

    backButton_ = SizedButton("backButton", this);
    nextButton_ = SizedButton("nextButton", this);
    cancelButton_ = SizedButton("cancelButton", this);
    nextButton_->setDefault(true);
    connect(nextButton_, &QPushButton::clicked, this, &TWizardWindow::OnNext);
    connect(cancelButton_, &QPushButton::clicked, this, &TWizardWindow::OnCancelOrFinish);
    connect(backButton_, &QPushButton::clicked, this, &TWizardWindow::OnBack);

    auto* top = new QHBoxLayout;
    top->addWidget(pictureStrip_, 0, Qt::AlignTop);
    top->addWidget(pages_, 0, Qt::AlignTop);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(backButton_);
    buttons->addWidget(nextButton_);
    buttons->addSpacing(8);
    buttons->addWidget(cancelButton_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addLayout(top);
    layout->addWidget(separator);
    layout->addLayout(buttons);
    // Longer translations, larger fonts: the window grows to fit its texts.
    KeepFittedToContents(*this, DesignedClientSize);
    setWindowIcon(ProgramIcon());
}

QWidget* TWizardWindow::BuildWelcomePage()
{
    welcomePage_ = new QWidget;
    welcomePage_->setObjectName(QStringLiteral("welcomePage"));
    welcomeTitle_ = WrappedLabel(QStringLiteral("welcomeTitle"), welcomePage_);
    QFont bold = welcomeTitle_->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    welcomeTitle_->setFont(bold);
    introText_ = WrappedLabel(QStringLiteral("introText"), welcomePage_);
    closeProgramsText_ = WrappedLabel(QStringLiteral("closeProgramsText"), welcomePage_);
    howToGoOnText_ = WrappedLabel(QStringLiteral("howToGoOnText"), welcomePage_);
    auto* layout = new QVBoxLayout(welcomePage_);
    for (QLabel* label : {welcomeTitle_, introText_, closeProgramsText_, howToGoOnText_})
        layout->addWidget(label);
    layout->addStretch();
    return welcomePage_;
}

QWidget* TWizardWindow::BuildOperationPage()
{
    operationPage_ = new QWidget;
    operationPage_->setObjectName(QStringLiteral("operationPage"));
    operationPrompt_ = WrappedLabel(QStringLiteral("operationPrompt"), operationPage_);
    operationGroup_ = new QGroupBox(operationPage_);
    operationGroup_->setObjectName(QStringLiteral("operationGroup"));
    backupChoice_ = new QRadioButton(operationGroup_);
    backupChoice_->setObjectName(QStringLiteral("backupChoice"));
    backupChoice_->setChecked(true);
    restoreChoice_ = new QRadioButton(operationGroup_);
    restoreChoice_->setObjectName(QStringLiteral("restoreChoice"));
    auto* group = new QVBoxLayout(operationGroup_);
    group->addWidget(backupChoice_);
    group->addWidget(restoreChoice_);
    applicationsPrompt_ = WrappedLabel(QStringLiteral("applicationsPrompt"), operationPage_);
    applicationList_ = ListBox(QStringLiteral("applicationList"), operationPage_);
    connect(applicationList_, &QListWidget::itemSelectionChanged, this,
            &TWizardWindow::UpdateNextForApplication);
    connect(applicationList_, &QListWidget::itemDoubleClicked, this,
            &TWizardWindow::OnApplicationDoubleClicked);
    auto* layout = new QVBoxLayout(operationPage_);
    layout->addWidget(operationPrompt_);
    layout->addWidget(operationGroup_);
    layout->addWidget(applicationsPrompt_);
    layout->addWidget(applicationList_, 1);
    return operationPage_;
}

QWidget* TWizardWindow::BuildProfilePage()
{
    profilePage_ = new QWidget;
    profilePage_->setObjectName(QStringLiteral("profilePage"));
    profilesPrompt_ = WrappedLabel(QStringLiteral("profilesPrompt"), profilePage_);
    profileList_ = ListBox(QStringLiteral("profileList"), profilePage_);
    profileList_->setSortingEnabled(true);
    connect(profileList_, &QListWidget::itemSelectionChanged, this,
            &TWizardWindow::OnProfileSelectionChanged);
    connect(profileList_, &QListWidget::itemDoubleClicked, this, &TWizardWindow::OnProfileDoubleClicked);
    reloadButton_ = Button(QStringLiteral("reloadButton"), profilePage_);
    portableButton_ = Button(QStringLiteral("portableButton"), profilePage_);
    newProfileButton_ = Button(QStringLiteral("newProfileButton"), profilePage_);
    connect(reloadButton_, &QPushButton::clicked, this, &TWizardWindow::OnReloadProfiles);
    connect(portableButton_, &QPushButton::clicked, this, &TWizardWindow::OnPortableProfile);
    connect(newProfileButton_, &QPushButton::clicked, this, &TWizardWindow::OnNewProfile);
    backupFilePrompt_ = WrappedLabel(QStringLiteral("backupFilePrompt"), profilePage_);
    backupFileGroup_ = new QGroupBox(profilePage_);
    backupFileGroup_->setObjectName(QStringLiteral("backupFileGroup"));
    QFont bold = backupFileGroup_->font();
    bold.setBold(true);
    backupFileGroup_->setFont(bold);
    backupFilePath_ = new QLabel(backupFileGroup_);
    backupFilePath_->setObjectName(QStringLiteral("backupFilePath"));
    QFont normal = backupFilePath_->font();
    normal.setBold(false);
    backupFilePath_->setFont(normal);
    browseButton_ = Button(QStringLiteral("browseButton"), backupFileGroup_);
    browseButton_->setFont(normal);
    connect(browseButton_, &QPushButton::clicked, this, &TWizardWindow::ChooseBackupFile);
    // The path on a line of its own, so the whole display form shows.
    auto* file = new QGridLayout(backupFileGroup_);
    file->setContentsMargins(6, 4, 6, 4);
    file->addWidget(backupFilePath_, 0, 0, 1, 2);
    file->addWidget(browseButton_, 1, 1);
    file->setColumnStretch(0, 1);
    auto* row = new QHBoxLayout;
    row->addWidget(reloadButton_);
    row->addWidget(portableButton_);
    row->addWidget(newProfileButton_);
    auto* layout = new QVBoxLayout(profilePage_);
    layout->addWidget(profilesPrompt_);
    layout->addWidget(profileList_, 1);
    layout->addLayout(row);
    layout->addWidget(backupFilePrompt_);
    layout->addWidget(backupFileGroup_);
    return profilePage_;
}

QWidget* TWizardWindow::BuildComponentsPage()
{
    componentsPage_ = new QWidget;
    componentsPage_->setObjectName(QStringLiteral("componentsPage"));
    componentsPrompt_ = WrappedLabel(QStringLiteral("componentsPrompt"), componentsPage_);
    componentsGroup_ = new QGroupBox(componentsPage_);
    componentsGroup_->setObjectName(QStringLiteral("componentsGroup"));
    for (TComponentBox box : AllComponentBoxes) {
        componentBoxes_[box] = new QCheckBox(componentsGroup_);
        componentBoxes_[box]->setObjectName(ComponentBoxObjectName(box));
    }
    connect(componentBoxes_[AccountsSettingsOnlyBox], &QCheckBox::toggled, this,
            &TWizardWindow::OnAccountsOnlyToggled);
    unknownFilesButton_ = Button(QStringLiteral("unknownFilesButton"), componentsGroup_);
    unknownFilesButton_->hide();
    connect(unknownFilesButton_, &QPushButton::clicked, this, &TWizardWindow::OnUnknownFiles);
    // Left column rows 1-8, right column rows 1-7 and the button.
    const TComponentBox left[] = {GeneralSettingsBox, EmailsBox,   AddressBooksBox, BookmarksBox,
                                  HistoryBox,         SidebarsBox, UserStylesBox,   ExtensionsBox};
    const TComponentBox right[] = {SavedPasswordsBox,      CookiesBox,      SavedFormDetailsBox,
                                   DownloadedFileListBox,  CertificatesBox, CacheBox,
                                   AccountsSettingsOnlyBox};
    auto* grid = new QGridLayout(componentsGroup_);
    grid->setContentsMargins(4, 4, 2, 4);
    grid->setHorizontalSpacing(2);
    grid->setVerticalSpacing(2);
    for (int row = 0; row < 8; ++row)
        grid->addWidget(componentBoxes_[left[row]], row, 0);
    for (int row = 0; row < 7; ++row)
        grid->addWidget(componentBoxes_[right[row]], row, 1);
    grid->addWidget(unknownFilesButton_, 7, 1);
    otherApplicationNote_ = WrappedLabel(QStringLiteral("otherApplicationNote"), componentsPage_);
    otherApplicationNote_->hide();
    auto* layout = new QVBoxLayout(componentsPage_);
    layout->addWidget(componentsPrompt_);
    layout->addWidget(otherApplicationNote_);
    layout->addWidget(componentsGroup_, 1);
    return componentsPage_;
}

QWidget* TWizardWindow::BuildProgressPage()
{
    progressPage_ = new QWidget;
    progressPage_->setObjectName(QStringLiteral("progressPage"));
    progressLines_ = ListBox(QStringLiteral("progressLines"), progressPage_);
    progressLines_->setSelectionMode(QAbstractItemView::NoSelection);
    progressLines_->setStyleSheet(QStringLiteral("background: palette(window);"));
    taskLine_ = new QLabel(progressPage_);
    taskLine_->setObjectName(QStringLiteral("taskLine"));
    // The task line names file after file: it takes the width there is.
    taskLine_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    progressBar_ = new QProgressBar(progressPage_);
    progressBar_->setObjectName(QStringLiteral("progressBar"));
    progressBar_->setRange(0, 100);
    auto* layout = new QVBoxLayout(progressPage_);
    layout->addWidget(progressLines_, 1);
    layout->addWidget(taskLine_);
    layout->addWidget(progressBar_);
    return progressPage_;
}

QWidget* TWizardWindow::BuildReportPage()
{
    reportPage_ = new QWidget;
    reportPage_->setObjectName(QStringLiteral("reportPage"));
    reportHeading_ = WrappedLabel(QStringLiteral("reportHeading"), reportPage_);
    reportLines_ = ListBox(QStringLiteral("reportLines"), reportPage_);
    reportLines_->setSelectionMode(QAbstractItemView::NoSelection);
    reportLines_->setStyleSheet(QStringLiteral("background: palette(window);"));
    startAgainBox_ = new QCheckBox(reportPage_);
    startAgainBox_->setObjectName(QStringLiteral("startAgainBox"));
    connect(startAgainBox_, &QCheckBox::toggled, this, &TWizardWindow::OnStartAgainToggled);
    undoButton_ = Button(QStringLiteral("undoButton"), reportPage_);
    undoButton_->hide();
    connect(undoButton_, &QPushButton::clicked, this, &TWizardWindow::OnUndoRestore);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(startAgainBox_, 1);
    bottom->addWidget(undoButton_);
    auto* layout = new QVBoxLayout(reportPage_);
    layout->addWidget(reportHeading_);
    layout->addWidget(reportLines_, 1);
    layout->addLayout(bottom);
    return reportPage_;
}

std::string TWizardWindow::Text(std::string_view key) const
{
    return texts_.GetText("TForm1", key);
}

std::string TWizardWindow::Text(std::string_view section, std::string_view key) const
{
    return texts_.GetText(section, key);
}

void TWizardWindow::SetCaption(const char* captionKey)
{
    setWindowTitle(Q(ProductCaption + Text(captionKey)));
}

void TWizardWindow::ShowPage(QWidget* page)
{
    pages_->setCurrentWidget(page);
}

TArchiveEnvironment TWizardWindow::Environment()
{
    return RunEnvironment(*this, texts_, state_, programDir_);
}

// ---------------------------------------------------------------------------
// Showing, placing and closing the window.

void TWizardWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (std::exchange(shownOnce_, true))
        return;
    OnFirstShow();
    // The unattended backup starts once the window is up, so it can show
    // its progress.
    if (batchTask_)
        QTimer::singleShot(0, this, &TWizardWindow::StartUnattendedBackup);
}

void TWizardWindow::StartUnattendedBackup()
{
    if (!batchTask_ || batchStarted_)
        return;
    if (!batchReady_) {
        // The task file's problems are in the error log: end without a backup.
        closeWithoutAsking_ = true;
        dialogs_.RequestEnd(RunExitCode(TRunStatus::Failed));
        return;
    }
    batchStarted_ = true;
    RunUnattendedBackup();
}

void TWizardWindow::RunUnattendedBackup()
{
    if (!manager_)
        throw std::logic_error("Cannot call RunUnattendedBackup before init!");
    SetButtonCaptions();
    state_.Operation = TOperation::Backup;
    state_.ArchivePath = batchTask_->OutputPath;
    state_.ProfileDir = IncludeTrailingSeparator(batchTask_->Profile->Directory());
    state_.BackupPassword = batchTask_->Password;
    if (!batchTask_->Force && IsProfileInUse(state_.SelectedAppType, state_.ProfileDir)) {
        WriteErrorLog(state_.ProfileDir + ": the profile is in use by " +
                      std::string(AppInfo(state_.SelectedAppType).RunningName) +
                      "; no backup made (force=1 in the task file goes on anyway)");
        closeWithoutAsking_ = true;
        dialogs_.RequestEnd(RunExitCode(TRunStatus::Failed));
        return;
    }
    ResetComponentBoxes();
    offeredBoxes_ = CheckProfileFolder(state_.ProfileDir, texts_, *this);
    ApplyComponentBoxes(offeredBoxes_);
    RunOperation();
}

void TWizardWindow::OnFirstShow()
{
    ApplyLanguageFont(*this, texts_);
    // Sized for its font and texts, then placed, before anything else: the
    // start-up warning shows over the window, in the middle of the display.
    FixDialogSize(*this, DesignedClientSize);
    PlaceOnMonitor();
    if (!MissingWorkingFiles(programDir_).empty()) {
        ShowWarning(Text("LANG_WARNING"), Text("LANG_NO_FILES"));
        closeWithoutAsking_ = true;
        dialogs_.RequestEnd(RunExitCode(TRunStatus::Failed));
    }
}

void TWizardWindow::PlaceOnMonitor()
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.isEmpty())
        return;
    int number = settings_.MonitorNumber;
    if (number > screens.size())
        number = 1;
    const QRect display = screens[number - 1]->geometry();
    move(display.left() + display.width() / 2 - width() / 2,
         display.top() + display.height() / 2 - height() / 2);
}

void TWizardWindow::closeEvent(QCloseEvent* event)
{
    if (ConfirmExit())
        event->accept();
    else
        event->ignore();
}

bool TWizardWindow::ConfirmExit()
{
    if (pages_->currentWidget() == reportPage_ || closeWithoutAsking_)
        return true;
    if (AskYesNo(Text("LANG_END_PROGRAM"), Text("LANG_END_TEXT")))
        ExitImmediately(1);
    return false;
}

// ---------------------------------------------------------------------------
// The user interface of the core's steps.

TBoxAnswer TWizardWindow::ShowMessageBox(const std::string& caption, const std::string& text,
                                         TBoxButtons buttons, TBoxIcon icon)
{
    if (batchTask_) {
        // Nobody may be watching an unattended run: every box goes to the
        // log too, and without a display it is taken as dismissed.
        WriteErrorLog(caption + ": " + text);
        if (QGuiApplication::platformName() == QLatin1String("offscreen"))
            return DismissAnswer(buttons);
    }
    return dialogs_.MessageBoxes().ShowMessageBox(caption, text, buttons, icon);
}

std::optional<std::string> TWizardWindow::AskRestorePassword()
{
    return dialogs_.AskRestorePassword();
}

std::optional<std::string> TWizardWindow::ChooseFolder(const std::string& caption,
                                                       const std::string& initialFolder)
{
    return dialogs_.ChooseFolder(caption, initialFolder);
}

void TWizardWindow::ProcessEvents()
{
    QCoreApplication::processEvents();
}

void TWizardWindow::ShowTaskLine(const std::string& text)
{
    taskLine_->setText(Q(text));
}

void TWizardWindow::AddReportLine(const std::string& text)
{
    progressLines_->addItem(Q(text));
    progressLines_->scrollToBottom();
}

void TWizardWindow::SetProgressRange(int minimum, int maximum)
{
    progressBar_->setRange(minimum, maximum);
}

void TWizardWindow::SetProgressPosition(int position)
{
    progressBar_->setValue(std::clamp(position, progressBar_->minimum(), progressBar_->maximum()));
}

void TWizardWindow::EndProgram(int exitCode)
{
    dialogs_.EndProgram(exitCode);
}

// ---------------------------------------------------------------------------
// Moves between pages.

void TWizardWindow::OnNext()
{
    switch (page_) {
    case TWizardPage::Welcome:
        ShowOperationPage();
        page_ = TWizardPage::Operation;
        break;
    case TWizardPage::Operation:
        if (const auto line = SelectedLine(*applicationList_))
            SelectApplication(state_, *line);
        ShowProfilePage();
        page_ = TWizardPage::Profile;
        break;
    case TWizardPage::Profile:
        if (ShowComponentsPage())
            page_ = TWizardPage::Components;
        break;
    case TWizardPage::Components:
        // The profile is known now: only an instance using it stands in the way.
        if (!WaitForProfileFree(state_.SelectedAppType, ChosenProfileDir(), texts_, *this) ||
            !ConfirmOverwriteProfile())
            return;
        RunOperation();
        break;
    default:
        break;
    }
}

void TWizardWindow::OnBack()
{
    switch (page_) {
    case TWizardPage::Operation:
        page_ = TWizardPage::Welcome;
        ShowWelcomePage();
        break;
    case TWizardPage::Profile:
        ShowOperationPage();
        page_ = TWizardPage::Operation;
        break;
    case TWizardPage::Components:
        ShowProfilePage();
        page_ = TWizardPage::Profile;
        break;
    default:
        break;
    }
}

void TWizardWindow::OnCancelOrFinish()
{
    if (startAgainBox_->isChecked())
        Restart();
    else
        close();
}

void TWizardWindow::Restart()
{
    openedBackup_.reset();
    startAgainBox_->setChecked(false);
    progressLines_->clear();
    reportLines_->clear();
    page_ = TWizardPage::Welcome;
    ShowWelcomePage();
    nextButton_->setFocus();
}

void TWizardWindow::OnApplicationDoubleClicked()
{
    const auto line = SelectedLine(*applicationList_);
    if (!line)
        return;
    SelectApplication(state_, *line);
    if (state_.SelectedAppName.empty())
        return;
    ShowProfilePage();
    page_ = TWizardPage::Profile;
}

void TWizardWindow::OnProfileSelectionChanged()
{
    UpdateNextForProfile();
    if (state_.Operation == TOperation::Backup && templateHasProfile_ && SelectedLine(*profileList_))
        UpdateBackupFileProposal();
}

void TWizardWindow::OnProfileDoubleClicked()
{
    if (SelectedLine(*profileList_) && page_ == TWizardPage::Profile && ShowComponentsPage())
        page_ = TWizardPage::Components;
}

void TWizardWindow::UpdateNextForApplication()
{
    nextButton_->setEnabled(SelectedLine(*applicationList_).has_value());
}

void TWizardWindow::UpdateNextForProfile()
{
    nextButton_->setEnabled(SelectedLine(*profileList_).has_value());
}

std::string TWizardWindow::ChosenProfileDir() const
{
    return state_.Operation == TOperation::Backup ? state_.ProfileDir : RestoreTargetProfile(state_);
}

/// Shows where the mail folders that a backup made on Windows recorded go,
/// each with its proposed place inside the profile; on No, the user picks a
/// folder for each (a folder not picked keeps its proposed place).
void TWizardWindow::AskWindowsFolderPlaces()
{
    if (!ComponentBoxes()[EmailsBox].Checked || IsSkippedOnRestore(EmailsBox, state_.SelectedAppType))
        return;
    const std::string profile = RestoreTargetProfile(state_);
    std::set<std::string> taken;
    std::string question = Text("Quillbank14", "LANG_WINDOWS_FOLDERS");
    std::vector<TMailFolder*> recordedOnWindows;
    for (TMailFolder& folder : state_.MailFolders) {
        if (!IsWindowsAbsolutePath(folder.Path))
            continue;
        recordedOnWindows.push_back(&folder);
        question += '\n';
        question += VisibleText(folder.Path);
        question += " -> ";
        question += VisibleText(WindowsFolderPlace(folder, profile, taken));
    }
    if (recordedOnWindows.empty() || AskYesNo(Text("LANG_QUESTION"), question))
        return;
    for (TMailFolder* folder : recordedOnWindows)
        if (const auto chosen = dialogs_.ChooseFolder(
                texts_.GetTextFmt("Quillbank14", "LANG_WINDOWS_FOLDER_CHOOSE", folder->Path), profile))
            folder->Place = *chosen;
}

bool TWizardWindow::ConfirmOverwriteProfile()
{
    if (state_.Operation == TOperation::Backup)
        return true;
    AskWindowsFolderPlaces();
    std::string question = Text("Quillbank14", "LANG_OVERWRITE_PROFILE");
    // What the restore writes or points at outside the profile: the user
    // sees each place before saying yes, and only a yes keeps them.
    const TPlacesOutsideProfile places =
        PlacesOutsideProfile({ComponentBoxes(), unknownFiles_.Ticks()}, state_, Environment());
    if (!places.MailFolders.empty()) {
        question += "\n\n" + Text("Quillbank14", "LANG_OUTSIDE_PROFILE");
        for (const std::string& folder : places.MailFolders)
            question.append("\n").append(VisibleText(folder));
    }
    if (!places.Preferences.empty()) {
        question += "\n\n" + Text("Quillbank14", "LANG_OUTSIDE_PREFERENCES");
        for (const TPathOutsideProfile& preference : places.Preferences)
            question.append("\n").append(VisibleText(preference.Description()));
    }
    // Replacing the key database leaves the target's secrets that the
    // backup lacks encrypted with a key that is gone: the user sees which.
    const std::vector<TOrphanedFile> orphaned = OrphanedByRestore(state_, ComponentBoxes(), Environment());
    if (!orphaned.empty()) {
        question += "\n\n" + Text("Quillbank14", "LANG_KEY_REPLACED");
        for (const TOrphanedFile& file : orphaned)
            question.append("\n").append(OrphanedFileLine(file, texts_));
    }
    const bool agreed = AskYesNo(Text("LANG_QUESTION"), question);
    keepPathsOutsideProfile_ = agreed && !places.Empty();
    return agreed;
}

// ---------------------------------------------------------------------------
// Page set-ups.

void TWizardWindow::SetButtonCaptions()
{
    nextButton_->setText(Q(Text("LANG_BUTTON_1")));
    cancelButton_->setText(Q(Text("LANG_BUTTON_2")));
    backButton_->setText(Q(Text("LANG_BUTTON_3")));
}

void TWizardWindow::ShowWelcomePage()
{
    SetButtonCaptions();
    SetCaption("LANG_OKNO_1");
    welcomeTitle_->setText(Q(Text("LANG_APLIKACE_WELCOME")));
    introText_->setText(Q(Text("LANG_MEMO1")));
    closeProgramsText_->setText(Q(Text("LANG_MEMO11")));
    howToGoOnText_->setText(Q(Text("LANG_MEMO12")));
    state_.ArchivePath.clear();
    ShowPage(welcomePage_);
    nextButton_->setEnabled(true);
    nextButton_->show();
    cancelButton_->show();
    backButton_->hide();
    page_ = TWizardPage::Welcome;
    closeWithoutAsking_ = false;
}

void TWizardWindow::ShowOperationPage()
{
    SetCaption("LANG_APLIKACE_VOLBA");
    operationPrompt_->setText(Q(Text("LANG_CO_PROVEST")));
    operationGroup_->setTitle(Q(Text("LANG_VOLBA")));
    backupChoice_->setText(Q(Text("LANG_ZALOHA")));
    restoreChoice_->setText(Q(Text("LANG_OBNOVA")));
    applicationsPrompt_->setText(Q(Text("LANG_MEMO2")));
    ShowPage(operationPage_);
    backButton_->show();
    std::unique_ptr<TRegistryReader> registry;
    try {
        registry = CreateRegistryReader();
    } catch (const ERegistryFileError& error) {
        ShowWarning(Text("LANG_WARNING"), VisibleText(error.what()));
        ExitImmediately(1);
    }
    TInstallationDetection(*registry, texts_, status_, state_.AppList).DetectApplications();
    Fill(*applicationList_, state_.AppList);
    UpdateNextForApplication();
}

void TWizardWindow::ShowProfilePage()
{
    state_.Operation = backupChoice_->isChecked() ? TOperation::Backup : TOperation::Restore;
    const bool backup = state_.Operation == TOperation::Backup;
    SetCaption("LANG_VOLBA_PROFILU");
    newProfileButton_->setText(Q(Text("LANG_NEW_PROFIL")));
    reloadButton_->setText(Q(Text("LANG_RELOAD")));
    portableButton_->setText(Q(Text("Quillbank14", "LANG_PORTABLE")));
    browseButton_->setText(Q(Text("LANG_CHOOSE")));
    backupFileGroup_->setTitle(
        Q(Text("Quillbank14", backup ? "LANG_CHOOSE_FILE_BACKUP" : "LANG_CHOOSE_FILE_RESTORE")));
    const AppType type = state_.SelectedAppType;
    newProfileButton_->setEnabled(!backup && IsKnownAppType(type) && !status_[type].InstallDir.empty());
    ShowPage(profilePage_);
    nextButton_->setEnabled(false);
    profilesPrompt_->setText(Q(Text(backup ? "LANG_TEXT2_1" : "LANG_TEXT2_2")));
    backupFilePrompt_->setText(Q(Text(backup ? "LANG_TEXT4_1" : "LANG_TEXT4_2")));
    ListProfiles(state_, texts_);
    FillProfileList();
    UpdateNextForProfile();
    UpdateBackupFileProposal();
    if (!backup && openedBackup_) {
        state_.ArchivePath = *openedBackup_;
        ShowArchivePath(ChosenPathDisplayText(state_.ArchivePath));
    }
}

void TWizardWindow::OpenBackupFile(const std::string& path)
{
    openedBackup_ = path;
    restoreChoice_->setChecked(true);
    ShowOperationPage();
    page_ = TWizardPage::Operation;
    state_.ArchivePath = path;
    if (!DetectBackupFile(path, state_, Environment()))
        return;
    TComponentBoxes held;
    const AppType type = ReadArchiveHeader(state_, held, Environment());
    for (int row = 0; row < applicationList_->count(); ++row) {
        TWizardState listed;
        SelectApplication(listed, applicationList_->item(row)->text().toStdString());
        if (IsKnownAppType(type) && listed.SelectedAppType == type) {
            applicationList_->setCurrentRow(row);
            OnNext();
            return;
        }
    }
}

void TWizardWindow::FillProfileList()
{
    Fill(*profileList_, state_.ProfileList);
    profileList_->setCurrentItem(nullptr);
    profileList_->clearSelection();
}

void TWizardWindow::UpdateBackupFileProposal()
{
    const AppType type = state_.SelectedAppType;
    // "<profile>" takes the profile's name, not the root its line names.
    std::optional<std::string> profileName = SelectedLine(*profileList_);
    if (profileName)
        profileName = ProfileNameOfLine(state_, *profileName);
    const TBackupProposal proposal =
        ProposeBackupPath(settings_, type, IsKnownAppType(type) ? status_[type].Version : std::string(),
                          state_.Operation, profileName);
    state_.ArchivePath = proposal.Path;
    templateHasProfile_ = proposal.TemplateHasProfile;
    ShowArchivePath(ProposalDisplayText(state_.ArchivePath));
}

void TWizardWindow::ShowArchivePath(const std::string& caption)
{
    backupFilePath_->setText(Q(caption));
    backupFilePath_->setToolTip(Q(state_.ArchivePath));
}

bool TWizardWindow::ShowComponentsPage()
{
    const bool backup = state_.Operation == TOperation::Backup;
    WriteLastDirectory(state_.ArchivePath, state_.SelectedAppType);
    if (backup && FileExists(state_.ArchivePath) &&
        !AskYesNo(Text("LANG_QUESTION"), Text("LANG_SOUBOR_EXIST")))
        return false;
    if (!backup && !DetectBackupFile(state_.ArchivePath, state_, Environment())) {
        ShowWarning(Text("LANG_WARNING"), Text("LANG_NO_BACKUP_FILE"));
        return false;
    }
    if (backup) {
        state_.BackupPassword.clear();
        if (settings_.AskForPassword && AskYesNo(Text("LANG_QUESTION"), Text("TForm4", "LANG_ENCRYPT")))
            state_.BackupPassword = dialogs_.AskBackupPassword().value_or(std::string());
    }
    ResetComponentBoxes();
    state_.MailFolders.clear();
    state_.SelectedProfileLine = SelectedLine(*profileList_);
    if (backup) {
        offeredBoxes_ = CheckProfile(state_, texts_, *this);
        ApplyComponentBoxes(offeredBoxes_);
    } else {
        TComponentBoxes boxes = ComponentBoxes();
        const AppType archiveType = ReadArchiveHeader(state_, boxes, Environment());
        ApplyComponentBoxes(boxes);
        MarkSkippedOnRestore(archiveType);
    }
    SetCaption("LANG_SOUCASTI");
    ShowPage(componentsPage_);
    componentsPrompt_->setText(Q(Text(backup ? "LANG_CHOOSE_ZALOHA" : "LANG_CHOOSE_OBNOVA")));
    componentsGroup_->setTitle(Q(Text("LANG_GROUPBOX3")));
    for (TComponentBox box : AllComponentBoxes)
        componentBoxes_[box]->setText(Q(ComponentText(box)));
    unknownFilesButton_->setText(Q(Text("Quillbank14", "LANG_UNKNOW_FILES")));
    componentBoxes_[AccountsSettingsOnlyBox]->setVisible(backup);
    otherApplicationNote_->setVisible(!backup && !otherApplicationNote_->text().isEmpty());
    if (backup)
        FillUnknownFilesList();
    else
        FillUnknownFilesFromArchive();
    return true;
}

void TWizardWindow::ResetComponentBoxes()
{
    // Unchecking runs the boxes' handlers as a click would: an "Accounts
    // settings only" box unchecked here gives "Emails" back.
    for (TComponentBox box : ResetOrder)
        componentBoxes_[box]->setChecked(false);
    for (TComponentBox box : ResetOrder) {
        componentBoxes_[box]->setEnabled(true);
        componentBoxes_[box]->setToolTip({});
    }
    skippedOnRestore_.clear();
    otherApplicationNote_->clear();
}

void TWizardWindow::ApplyComponentBoxes(const TComponentBoxes& boxes)
{
    for (TComponentBox box : AllComponentBoxes) {
        if (box == AccountsSettingsOnlyBox)
            continue;
        componentBoxes_[box]->setChecked(boxes[box].Checked);
        componentBoxes_[box]->setEnabled(boxes[box].Enabled);
    }
    componentBoxes_[AccountsSettingsOnlyBox]->setChecked(boxes[AccountsSettingsOnlyBox].Checked);
    componentBoxes_[AccountsSettingsOnlyBox]->setEnabled(boxes[AccountsSettingsOnlyBox].Enabled);
    componentBoxes_[ExtensionsBox]->setToolTip(boxes.ExtensionsHintVisible ? Q(Text("LANG_CHECKBOX14_HINT"))
                                                                           : QString());
}

void TWizardWindow::MarkSkippedOnRestore(AppType archiveType)
{
    const AppType target = state_.SelectedAppType;
    if (!IsKnownAppType(target))
        return;
    const QString reason = Q(texts_.GetTextFmt("Quillbank14", "LANG_SKIPPED_HINT", AppShortName(target)));
    for (TComponentBox box : AllComponentBoxes) {
        if (!componentBoxes_[box]->isChecked() || !IsSkippedOnRestore(box, target))
            continue;
        componentBoxes_[box]->setChecked(false);
        componentBoxes_[box]->setEnabled(false);
        componentBoxes_[box]->setToolTip(reason);
        skippedOnRestore_.push_back(box);
    }
    if (IsKnownAppType(archiveType) && archiveType != target)
        otherApplicationNote_->setText(
            Q(texts_.GetTextFmt("Quillbank14", "LANG_OTHER_APP_BACKUP", AppShortName(archiveType))));
}

void TWizardWindow::AddSkippedReportLines()
{
    for (TComponentBox box : skippedOnRestore_)
        AddReportLine(texts_.GetTextFmt("Quillbank14", "LANG_SKIPPED", ComponentText(box)));
}

std::string TWizardWindow::ComponentText(TComponentBox box) const
{
    return Text("LANG_CHECKBOX" + std::to_string(box));
}

TComponentBoxes TWizardWindow::ComponentBoxes() const
{
    TComponentBoxes boxes;
    for (TComponentBox box : AllComponentBoxes)
        boxes[box] = {componentBoxes_[box]->isChecked(), componentBoxes_[box]->isEnabled()};
    return boxes;
}

void TWizardWindow::OnAccountsOnlyToggled(bool checked)
{
    const TCheckBoxState emails = EmailsBoxBesideAccountsSettingsOnly(checked, {true, true});
    componentBoxes_[EmailsBox]->setChecked(emails.Checked);
    componentBoxes_[EmailsBox]->setEnabled(emails.Enabled);
}

void TWizardWindow::FillUnknownFilesList()
{
    unknownFiles_.Fill(TKnownFiles(programDir_).FindUnknown(state_.ProfileDir, offeredBoxes_), texts_);
    unknownFiles_.SetAllBoxTicked(true);
    unknownFilesButton_->setVisible(unknownFiles_.HasRows());
}

void TWizardWindow::FillUnknownFilesFromArchive()
{
    unknownFiles_.Fill(state_.UnknownEntries, texts_);
    unknownFilesButton_->setVisible(unknownFiles_.HasRows());
}

void TWizardWindow::OnUnknownFiles()
{
    dialogs_.ShowUnknownFiles(unknownFiles_);
}

void TWizardWindow::ShowProgressPage()
{
    // An unattended backup takes every unknown entry.
    if (batchTask_)
        FillUnknownFilesList();
    SetCaption("LANG_PROV_AKCE");
    if (state_.Operation == TOperation::Backup) {
        progressLines_->addItem(Q(Text("Quillbank14", "LANG_BACKUP_PARTS")));
        for (TComponentBox box : AllComponentBoxes)
            if (componentBoxes_[box]->isChecked())
                progressLines_->addItem(Q("- " + ComponentText(box)));
        taskLine_->setText(Q(Text("Quillbank14", "LANG_DISK_SPACE_CALCULATE")));
    }
    progressBar_->setRange(0, 100);
    progressBar_->setValue(0);
    ShowPage(progressPage_);
    nextButton_->hide();
    backButton_->hide();
}

void TWizardWindow::RunOperation()
{
    ShowProgressPage();
    // Each problem of the run goes to the error log once.
    const TErrorLogRun logRun;
    const TComponentBoxes boxes = ComponentBoxes();
    TRunOutcome outcome;
    if (state_.Operation == TOperation::Backup) {
        TBackupRequest request;
        request.Application = state_.SelectedAppType;
        request.ProfileDir = state_.ProfileDir;
        request.ArchivePath = state_.ArchivePath;
        request.Password = state_.BackupPassword;
        request.Boxes = boxes;
        request.UnknownEntries = unknownFiles_.Items();
        request.UnknownTicks = unknownFiles_.Ticks();
        request.IsBatch = batchTask_ != nullptr;
        const TBackupOutcome backup = RunBackup(request, state_, Environment());
        if (backup.Run.Status != TRunStatus::Failed)
            for (const std::string& line : AccountReportLines(backup.Account, texts_, false))
                AddReportLine(line);
        outcome = backup.Run;
    } else {
        TRestoreRequest request{boxes, unknownFiles_.Ticks(), keepPathsOutsideProfile_};
        request.Rollback = settings_.Rollback;
        const std::optional<TStoredRollback> earlier =
            UndoableRollback(RollbackFolder(), RestoreTargetProfile(state_));
        outcome = RunRestore(request, state_, Environment());
        undoable_ = UndoableRollback(RollbackFolder(), state_.ProfileDir);
        // Only the archive this restore wrote takes it back.
        if (undoable_ && earlier && undoable_->Path == earlier->Path)
            undoable_.reset();
        AddSkippedReportLines();
    }
    if (const auto line = OutcomeReportLine(outcome, texts_))
        AddReportLine(*line);
    ShowReportPage(RunExitCode(outcome.Status));
}

void TWizardWindow::ShowReportPage(int exitCode)
{
    if (batchTask_) {
        closeWithoutAsking_ = true;
        dialogs_.RequestEnd(exitCode);
    }
    SetCaption("LANG_ZAVER");
    cancelButton_->setText(Q(Text("LANG_BUTTON_KONEC")));
    startAgainBox_->setText(Q(Text("LANG_NEW_BR")));
    undoButton_->setText(Q(Text("Quillbank14", "LANG_UNDO_RESTORE")));
    undoButton_->setVisible(state_.Operation == TOperation::Restore && undoable_.has_value() && !batchTask_);
    reportHeading_->setText(
        Q(Text(state_.Operation == TOperation::Backup ? "LANG_MEMO3" : "LANG_BACKUP_RESTOR")));
    for (const std::string& line : Lines(*progressLines_))
        reportLines_->addItem(Q(line));
    ShowPage(reportPage_);
    cancelButton_->setFocus();
    page_ = TWizardPage::Report;
}

void TWizardWindow::OnUndoRestore()
{
    if (!undoable_)
        return;
    try {
        if (IsProfileInUse(state_.SelectedAppType, state_.ProfileDir))
            throw ERollbackError(std::string(AppInfo(state_.SelectedAppType).RunningName) +
                                 " is using the profile " + state_.ProfileDir);
        UndoRestore(*undoable_);
        reportLines_->addItem(Q(Text("Quillbank14", "LANG_UNDO_DONE")));
        undoable_.reset();
        undoButton_->hide();
    } catch (const ERollbackError& error) {
        reportLines_->addItem(Q(texts_.GetTextFmt("Quillbank14", "LANG_UNDO_FAILED", error.what())));
    }
    reportLines_->scrollToBottom();
}

void TWizardWindow::OnStartAgainToggled(bool checked)
{
    cancelButton_->setText(Q(Text(checked ? "LANG_BUTTON_1" : "LANG_BUTTON_KONEC")));
}

// ---------------------------------------------------------------------------
// The buttons of the profile page.

void TWizardWindow::ChooseBackupFile()
{
    const std::string filter = Text("LANG_DIALOGS");
    std::string caption = backupFilePath_->text().toStdString();
    if (state_.Operation == TOperation::Backup) {
        if (const auto chosen = dialogs_.ChooseBackupFileToSave(filter, DialogInitialDir(state_.ArchivePath),
                                                                SaveDialogFileName(state_.ArchivePath))) {
            state_.ArchivePath = NormaliseChosenBackupPath(*chosen);
            caption = ChosenPathDisplayText(state_.ArchivePath);
        }
    } else if (const auto chosen = dialogs_.ChooseBackupFileToOpen(
                   filter, DialogInitialDir(state_.ArchivePath), OpenDialogFileName(state_.ArchivePath))) {
        if (FileExists(*chosen) && DetectBackupFile(*chosen, state_, Environment())) {
            state_.ArchivePath = NormaliseChosenBackupPath(*chosen);
            caption = ChosenPathDisplayText(state_.ArchivePath);
        } else {
            ShowWarning(Text("LANG_WARNING"), Text("LANG_BAD_FILE2"));
        }
    }
    state_.ArchivePath = CollapseDoubledSeparators(state_.ArchivePath);
    ShowArchivePath(CollapseDoubledSeparators(caption));
}

void TWizardWindow::OnNewProfile()
{
    // The new profile is listed at once.
    if (CreateNewProfile(dialogs_.AskNewProfile(), state_, status_, texts_, *this))
        OnReloadProfiles();
}

void TWizardWindow::OnReloadProfiles()
{
    ListProfiles(state_, texts_);
    FillProfileList();
    nextButton_->setEnabled(false);
}

void TWizardWindow::OnPortableProfile()
{
    const auto selected = SelectedLine(*profileList_);
    ChoosePortableProfile(state_, texts_, *this);
    if (profileList_->count() != static_cast<int>(state_.ProfileList.size())) {
        AddLine(*profileList_, state_.ProfileList.back());
        if (!selected)
            profileList_->clearSelection();
    }
}

} // namespace quillbank
