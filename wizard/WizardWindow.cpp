#include "wizard/WizardWindow.h"

#include "apps/AppTable.h"
#include "apps/Detection.h"
#include "apps/Installations.h"
#include "apps/MozManager.h"
#include "apps/NewProfile.h"
#include "apps/ProfileDiscovery.h"
#include "apps/RunningCheck.h"
#include "config/BackupFileNaming.h"
#include "config/BatchMode.h"
#include "config/InterfaceTexts.h"
#include "config/WorkingFiles.h"
#include "config/errorlog.h"
#include "engine/ArchiveHeader.h"
#include "engine/BackupRun.h"
#include "engine/Catalogue.h"
#include "engine/KeyStore.h"
#include "engine/PlacesOutsideProfile.h"
#include "engine/RestoreRun.h"
#include "engine/RunOutcome.h"
#include "engine/UndoRestore.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "profile/KnownFiles.h"
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

/// The order in which the component boxes are reset.
constexpr std::array<TComponentBox, ComponentBoxCount> ResetOrder = {
    GeneralSettingsBox,    EmailsBox,         AddressBooksBox,
    BookmarksBox,          HistoryBox,        SidebarsBox,
    UserStylesBox,         CookiesBox,        SavedFormDetailsBox,
    DownloadedFileListBox, SavedPasswordsBox, AccountsSettingsOnlyBox,
    CertificatesBox,       ExtensionsBox,     CacheBox,
};

} // namespace

TWizardWindow::TWizardWindow(const TInterfaceTexts& l10n, std::string programDir, TWizardDialogs& dialogs,
                             std::optional<std::string> batchTask, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::WindowMinimizeButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      l10n_(l10n), programDir_(std::move(programDir)), dialogs_(dialogs)
{
    setObjectName(QStringLiteral("Form1"));
    settings_ = LoadSettings(programDir_, l10n_);
    BuildWindow();
    if (batchTask) {
        batchTask_ = std::make_unique<TBatchTask>();
        try {
            manager_ = std::make_unique<TMozManager>(l10n_, status_);
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
    image1_ = new QLabel(this);
    image1_->setObjectName(QStringLiteral("Image1"));
    image1_->setFrameShape(QFrame::Panel);
    image1_->setFrameShadow(QFrame::Sunken);
    image1_->setFixedSize(122, 262);
    image1_->setScaledContents(true);
    image1_->setPixmap(QPixmap::fromImage(WizardPicture()));

    pages_ = new QStackedWidget(this);
    pages_->setObjectName(QStringLiteral("PageArea"));
    for (QWidget* page : {BuildWelcomePage(), BuildOperationPage(), BuildProfilePage(), BuildComponentsPage(),
                          BuildProgressPage(), BuildReportPage()})
        pages_->addWidget(page);

    auto* separator = new QFrame(this);
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);

    button3_ = SizedButton("Button3", this);
    button1_ = SizedButton("Button1", this);
    button2_ = SizedButton("Button2", this);
    button1_->setDefault(true);
    connect(button1_, &QPushButton::clicked, this, &TWizardWindow::Button1Click);
    connect(button2_, &QPushButton::clicked, this, &TWizardWindow::Button2Click);
    connect(button3_, &QPushButton::clicked, this, &TWizardWindow::Button3Click);

    auto* top = new QHBoxLayout;
    top->addWidget(image1_, 0, Qt::AlignTop);
    top->addWidget(pages_, 0, Qt::AlignTop);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(button3_);
    buttons->addWidget(button1_);
    buttons->addSpacing(8);
    buttons->addWidget(button2_);
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
    panel1_ = new QWidget;
    panel1_->setObjectName(QStringLiteral("Panel1"));
    label1_ = WrappedLabel(QStringLiteral("Label1"), panel1_);
    QFont bold = label1_->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    label1_->setFont(bold);
    staticText7_ = WrappedLabel(QStringLiteral("StaticText7"), panel1_);
    staticText8_ = WrappedLabel(QStringLiteral("StaticText8"), panel1_);
    staticText9_ = WrappedLabel(QStringLiteral("StaticText9"), panel1_);
    auto* layout = new QVBoxLayout(panel1_);
    for (QLabel* label : {label1_, staticText7_, staticText8_, staticText9_})
        layout->addWidget(label);
    layout->addStretch();
    return panel1_;
}

QWidget* TWizardWindow::BuildOperationPage()
{
    panel2_ = new QWidget;
    panel2_->setObjectName(QStringLiteral("Panel2"));
    staticText1_ = WrappedLabel(QStringLiteral("StaticText1"), panel2_);
    groupBox1_ = new QGroupBox(panel2_);
    groupBox1_->setObjectName(QStringLiteral("GroupBox1"));
    radioButton1_ = new QRadioButton(groupBox1_);
    radioButton1_->setObjectName(QStringLiteral("RadioButton1"));
    radioButton1_->setChecked(true);
    radioButton2_ = new QRadioButton(groupBox1_);
    radioButton2_->setObjectName(QStringLiteral("RadioButton2"));
    auto* group = new QVBoxLayout(groupBox1_);
    group->addWidget(radioButton1_);
    group->addWidget(radioButton2_);
    staticText10_ = WrappedLabel(QStringLiteral("StaticText10"), panel2_);
    listBox1_ = ListBox(QStringLiteral("ListBox1"), panel2_);
    connect(listBox1_, &QListWidget::itemSelectionChanged, this, &TWizardWindow::UpdateNextForApplication);
    connect(listBox1_, &QListWidget::itemDoubleClicked, this, &TWizardWindow::ListBox1DblClick);
    auto* layout = new QVBoxLayout(panel2_);
    layout->addWidget(staticText1_);
    layout->addWidget(groupBox1_);
    layout->addWidget(staticText10_);
    layout->addWidget(listBox1_, 1);
    return panel2_;
}

QWidget* TWizardWindow::BuildProfilePage()
{
    panel3_ = new QWidget;
    panel3_->setObjectName(QStringLiteral("Panel3"));
    staticText2_ = WrappedLabel(QStringLiteral("StaticText2"), panel3_);
    listBox2_ = ListBox(QStringLiteral("ListBox2"), panel3_);
    listBox2_->setSortingEnabled(true);
    connect(listBox2_, &QListWidget::itemSelectionChanged, this, &TWizardWindow::ListBox2Click);
    connect(listBox2_, &QListWidget::itemDoubleClicked, this, &TWizardWindow::ListBox2DblClick);
    button6_ = Button(QStringLiteral("Button6"), panel3_);
    button7_ = Button(QStringLiteral("Button7"), panel3_);
    button5_ = Button(QStringLiteral("Button5"), panel3_);
    connect(button6_, &QPushButton::clicked, this, &TWizardWindow::Button6Click);
    connect(button7_, &QPushButton::clicked, this, &TWizardWindow::Button7Click);
    connect(button5_, &QPushButton::clicked, this, &TWizardWindow::Button5Click);
    staticText4_ = WrappedLabel(QStringLiteral("StaticText4"), panel3_);
    groupBox2_ = new QGroupBox(panel3_);
    groupBox2_->setObjectName(QStringLiteral("GroupBox2"));
    QFont bold = groupBox2_->font();
    bold.setBold(true);
    groupBox2_->setFont(bold);
    staticText3_ = new QLabel(groupBox2_);
    staticText3_->setObjectName(QStringLiteral("StaticText3"));
    QFont normal = staticText3_->font();
    normal.setBold(false);
    staticText3_->setFont(normal);
    button4_ = Button(QStringLiteral("Button4"), groupBox2_);
    button4_->setFont(normal);
    connect(button4_, &QPushButton::clicked, this, &TWizardWindow::Button4Click);
    // The path on a line of its own, so the whole display form shows.
    auto* file = new QGridLayout(groupBox2_);
    file->setContentsMargins(6, 4, 6, 4);
    file->addWidget(staticText3_, 0, 0, 1, 2);
    file->addWidget(button4_, 1, 1);
    file->setColumnStretch(0, 1);
    auto* row = new QHBoxLayout;
    row->addWidget(button6_);
    row->addWidget(button7_);
    row->addWidget(button5_);
    auto* layout = new QVBoxLayout(panel3_);
    layout->addWidget(staticText2_);
    layout->addWidget(listBox2_, 1);
    layout->addLayout(row);
    layout->addWidget(staticText4_);
    layout->addWidget(groupBox2_);
    return panel3_;
}

QWidget* TWizardWindow::BuildComponentsPage()
{
    panel4_ = new QWidget;
    panel4_->setObjectName(QStringLiteral("Panel4"));
    staticText5_ = WrappedLabel(QStringLiteral("StaticText5"), panel4_);
    groupBox3_ = new QGroupBox(panel4_);
    groupBox3_->setObjectName(QStringLiteral("GroupBox3"));
    for (int box = 1; box <= ComponentBoxCount; ++box) {
        checkBoxes_[box] = new QCheckBox(groupBox3_);
        checkBoxes_[box]->setObjectName(QStringLiteral("CheckBox%1").arg(box));
    }
    connect(checkBoxes_[AccountsSettingsOnlyBox], &QCheckBox::toggled, this, &TWizardWindow::CheckBox7Click);
    unknowFilesBT_ = Button(QStringLiteral("UnknowFilesBT"), groupBox3_);
    unknowFilesBT_->hide();
    connect(unknowFilesBT_, &QPushButton::clicked, this, &TWizardWindow::UnknowFilesBTClick);
    // Left column rows 1-8, right column rows 1-7 and the button.
    const TComponentBox left[] = {GeneralSettingsBox, EmailsBox,   AddressBooksBox, BookmarksBox,
                                  HistoryBox,         SidebarsBox, UserStylesBox,   ExtensionsBox};
    const TComponentBox right[] = {SavedPasswordsBox,      CookiesBox,      SavedFormDetailsBox,
                                   DownloadedFileListBox,  CertificatesBox, CacheBox,
                                   AccountsSettingsOnlyBox};
    auto* grid = new QGridLayout(groupBox3_);
    grid->setContentsMargins(4, 4, 2, 4);
    grid->setHorizontalSpacing(2);
    grid->setVerticalSpacing(2);
    for (int row = 0; row < 8; ++row)
        grid->addWidget(checkBoxes_[left[row]], row, 0);
    for (int row = 0; row < 7; ++row)
        grid->addWidget(checkBoxes_[right[row]], row, 1);
    grid->addWidget(unknowFilesBT_, 7, 1);
    staticText12_ = WrappedLabel(QStringLiteral("StaticText12"), panel4_);
    staticText12_->hide();
    auto* layout = new QVBoxLayout(panel4_);
    layout->addWidget(staticText5_);
    layout->addWidget(staticText12_);
    layout->addWidget(groupBox3_, 1);
    return panel4_;
}

QWidget* TWizardWindow::BuildProgressPage()
{
    panel5_ = new QWidget;
    panel5_->setObjectName(QStringLiteral("Panel5"));
    listBox3_ = ListBox(QStringLiteral("ListBox3"), panel5_);
    listBox3_->setSelectionMode(QAbstractItemView::NoSelection);
    listBox3_->setStyleSheet(QStringLiteral("background: palette(window);"));
    staticText6_ = new QLabel(panel5_);
    staticText6_->setObjectName(QStringLiteral("StaticText6"));
    // The task line names file after file: it takes the width there is.
    staticText6_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    progressBar1_ = new QProgressBar(panel5_);
    progressBar1_->setObjectName(QStringLiteral("ProgressBar1"));
    progressBar1_->setRange(0, 100);
    auto* layout = new QVBoxLayout(panel5_);
    layout->addWidget(listBox3_, 1);
    layout->addWidget(staticText6_);
    layout->addWidget(progressBar1_);
    return panel5_;
}

QWidget* TWizardWindow::BuildReportPage()
{
    panel6_ = new QWidget;
    panel6_->setObjectName(QStringLiteral("Panel6"));
    staticText11_ = WrappedLabel(QStringLiteral("StaticText11"), panel6_);
    listBox4_ = ListBox(QStringLiteral("ListBox4"), panel6_);
    listBox4_->setSelectionMode(QAbstractItemView::NoSelection);
    listBox4_->setStyleSheet(QStringLiteral("background: palette(window);"));
    checkBox16_ = new QCheckBox(panel6_);
    checkBox16_->setObjectName(QStringLiteral("CheckBox16"));
    connect(checkBox16_, &QCheckBox::toggled, this, &TWizardWindow::CheckBox16Click);
    undoButton_ = Button(QStringLiteral("UndoButton"), panel6_);
    undoButton_->hide();
    connect(undoButton_, &QPushButton::clicked, this, &TWizardWindow::UndoButtonClick);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(checkBox16_, 1);
    bottom->addWidget(undoButton_);
    auto* layout = new QVBoxLayout(panel6_);
    layout->addWidget(staticText11_);
    layout->addWidget(listBox4_, 1);
    layout->addLayout(bottom);
    return panel6_;
}

std::string TWizardWindow::Text(std::string_view key) const
{
    return l10n_.GetText("TForm1", key);
}

std::string TWizardWindow::Text(std::string_view section, std::string_view key) const
{
    return l10n_.GetText(section, key);
}

void TWizardWindow::SetCaption(const char* captionKey)
{
    setWindowTitle(Q(ProductCaption + Text(captionKey)));
}

void TWizardWindow::ShowPage(QWidget* panel)
{
    pages_->setCurrentWidget(panel);
}

TArchiveEnvironment TWizardWindow::Environment()
{
    return {*this, l10n_, state_, programDir_};
}

// ---------------------------------------------------------------------------
// Showing, placing and closing the window.

void TWizardWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (std::exchange(shownOnce_, true))
        return;
    FormShow();
    // The unattended backup starts once the window is up, so it can show
    // its progress.
    if (batchTask_)
        QTimer::singleShot(0, this, &TWizardWindow::ApplicationEvents1Activate);
}

void TWizardWindow::ApplicationEvents1Activate()
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
    BackupAction();
}

void TWizardWindow::BackupAction()
{
    if (!manager_)
        throw std::logic_error("Cannot call BackupAction before init!");
    SetButtonCaptions();
    state_.Operation = 1;
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
    offeredBoxes_ = CheckProfileFolder(state_.ProfileDir, l10n_, *this);
    ApplyComponentBoxes(offeredBoxes_);
    RunOperation();
}

void TWizardWindow::FormShow()
{
    ApplyLanguageFont(*this, l10n_);
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
    if (pages_->currentWidget() == panel6_ || closeWithoutAsking_)
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
    staticText6_->setText(Q(text));
}

void TWizardWindow::AddReportLine(const std::string& text)
{
    listBox3_->addItem(Q(text));
    listBox3_->scrollToBottom();
}

void TWizardWindow::SetProgressRange(int minimum, int maximum)
{
    progressBar1_->setRange(minimum, maximum);
}

void TWizardWindow::SetProgressPosition(int position)
{
    progressBar1_->setValue(std::clamp(position, progressBar1_->minimum(), progressBar1_->maximum()));
}

void TWizardWindow::EndProgram(int exitCode)
{
    dialogs_.EndProgram(exitCode);
}

// ---------------------------------------------------------------------------
// Moves between pages.

void TWizardWindow::Button1Click()
{
    switch (pageIndex_) {
    case 1:
        ShowOperationPage();
        pageIndex_ = 2;
        break;
    case 2:
        if (const auto line = SelectedLine(*listBox1_))
            SelectApplication(state_, *line);
        ShowProfilePage();
        pageIndex_ = 3;
        break;
    case 3:
        if (ShowComponentsPage())
            pageIndex_ = 4;
        break;
    case 4:
        // The profile is known now: only an instance using it stands in the way.
        if (!WaitForProfileFree(state_.SelectedAppType, ChosenProfileDir(), l10n_, *this) ||
            !ConfirmOverwriteProfile())
            return;
        RunOperation();
        break;
    default:
        break;
    }
}

void TWizardWindow::Button3Click()
{
    switch (pageIndex_) {
    case 2:
        pageIndex_ = 1;
        ShowWelcomePage();
        break;
    case 3:
        ShowOperationPage();
        pageIndex_ = 2;
        break;
    case 4:
        ShowProfilePage();
        pageIndex_ = 3;
        break;
    default:
        break;
    }
}

void TWizardWindow::Button2Click()
{
    if (checkBox16_->isChecked())
        Restart();
    else
        close();
}

void TWizardWindow::Restart()
{
    openedBackup_.reset();
    checkBox16_->setChecked(false);
    listBox3_->clear();
    listBox4_->clear();
    pageIndex_ = 1;
    ShowWelcomePage();
    button1_->setFocus();
}

void TWizardWindow::ListBox1DblClick()
{
    const auto line = SelectedLine(*listBox1_);
    if (!line)
        return;
    SelectApplication(state_, *line);
    if (state_.SelectedAppName.empty())
        return;
    ShowProfilePage();
    pageIndex_ = 3;
}

void TWizardWindow::ListBox2Click()
{
    UpdateNextForProfile();
    if (state_.Operation == 1 && templateHasProfile_ && SelectedLine(*listBox2_))
        UpdateBackupFileProposal();
}

void TWizardWindow::ListBox2DblClick()
{
    if (SelectedLine(*listBox2_) && pageIndex_ == 3 && ShowComponentsPage())
        pageIndex_ = 4;
}

void TWizardWindow::UpdateNextForApplication()
{
    button1_->setEnabled(SelectedLine(*listBox1_).has_value());
}

void TWizardWindow::UpdateNextForProfile()
{
    button1_->setEnabled(SelectedLine(*listBox2_).has_value());
}

std::string TWizardWindow::ChosenProfileDir() const
{
    return state_.Operation == 1 ? state_.ProfileDir : RestoreTargetProfile(state_);
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
                l10n_.GetTextFmt("Quillbank14", "LANG_WINDOWS_FOLDER_CHOOSE", folder->Path), profile))
            folder->Place = *chosen;
}

bool TWizardWindow::ConfirmOverwriteProfile()
{
    if (state_.Operation == 1)
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
            question.append("\n").append(OrphanedFileLine(file, l10n_));
    }
    const bool agreed = AskYesNo(Text("LANG_QUESTION"), question);
    keepPathsOutsideProfile_ = agreed && !places.Empty();
    return agreed;
}

// ---------------------------------------------------------------------------
// Page set-ups.

void TWizardWindow::SetButtonCaptions()
{
    button1_->setText(Q(Text("LANG_BUTTON_1")));
    button2_->setText(Q(Text("LANG_BUTTON_2")));
    button3_->setText(Q(Text("LANG_BUTTON_3")));
}

void TWizardWindow::ShowWelcomePage()
{
    SetButtonCaptions();
    SetCaption("LANG_OKNO_1");
    label1_->setText(Q(Text("LANG_APLIKACE_WELCOME")));
    staticText7_->setText(Q(Text("LANG_MEMO1")));
    staticText8_->setText(Q(Text("LANG_MEMO11")));
    staticText9_->setText(Q(Text("LANG_MEMO12")));
    state_.ArchivePath.clear();
    ShowPage(panel1_);
    button1_->setEnabled(true);
    button1_->show();
    button2_->show();
    button3_->hide();
    pageIndex_ = 1;
    closeWithoutAsking_ = false;
}

void TWizardWindow::ShowOperationPage()
{
    SetCaption("LANG_APLIKACE_VOLBA");
    staticText1_->setText(Q(Text("LANG_CO_PROVEST")));
    groupBox1_->setTitle(Q(Text("LANG_VOLBA")));
    radioButton1_->setText(Q(Text("LANG_ZALOHA")));
    radioButton2_->setText(Q(Text("LANG_OBNOVA")));
    staticText10_->setText(Q(Text("LANG_MEMO2")));
    ShowPage(panel2_);
    button3_->show();
    std::unique_ptr<TRegistryReader> registry;
    try {
        registry = CreateRegistryReader();
    } catch (const ERegistryFileError& error) {
        ShowWarning(Text("LANG_WARNING"), VisibleText(error.what()));
        ExitImmediately(1);
    }
    TInstallationDetection(*registry, l10n_, status_, state_.AppList).DetectApplications();
    Fill(*listBox1_, state_.AppList);
    UpdateNextForApplication();
}

void TWizardWindow::ShowProfilePage()
{
    state_.Operation = radioButton1_->isChecked() ? 1 : 2;
    const bool backup = state_.Operation == 1;
    SetCaption("LANG_VOLBA_PROFILU");
    button5_->setText(Q(Text("LANG_NEW_PROFIL")));
    button6_->setText(Q(Text("LANG_RELOAD")));
    button7_->setText(Q(Text("Quillbank14", "LANG_PORTABLE")));
    button4_->setText(Q(Text("LANG_CHOOSE")));
    groupBox2_->setTitle(
        Q(Text("Quillbank14", backup ? "LANG_CHOOSE_FILE_BACKUP" : "LANG_CHOOSE_FILE_RESTORE")));
    const AppType type = state_.SelectedAppType;
    button5_->setEnabled(!backup && IsKnownAppType(type) && !status_[type].InstallDir.empty());
    ShowPage(panel3_);
    button1_->setEnabled(false);
    staticText2_->setText(Q(Text(backup ? "LANG_TEXT2_1" : "LANG_TEXT2_2")));
    staticText4_->setText(Q(Text(backup ? "LANG_TEXT4_1" : "LANG_TEXT4_2")));
    ListProfiles(state_, l10n_);
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
    radioButton2_->setChecked(true);
    ShowOperationPage();
    pageIndex_ = 2;
    state_.ArchivePath = path;
    if (!DetectBackupFile(path, state_, Environment()))
        return;
    TComponentBoxes held;
    const AppType type = ReadArchiveHeader(state_, held, Environment());
    for (int row = 0; row < listBox1_->count(); ++row) {
        TWizardState listed;
        SelectApplication(listed, listBox1_->item(row)->text().toStdString());
        if (IsKnownAppType(type) && listed.SelectedAppType == type) {
            listBox1_->setCurrentRow(row);
            Button1Click();
            return;
        }
    }
}

void TWizardWindow::FillProfileList()
{
    Fill(*listBox2_, state_.ProfileList);
    listBox2_->setCurrentItem(nullptr);
    listBox2_->clearSelection();
}

void TWizardWindow::UpdateBackupFileProposal()
{
    const AppType type = state_.SelectedAppType;
    // "<profile>" takes the profile's name, not the root its line names.
    std::optional<std::string> profileName = SelectedLine(*listBox2_);
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
    staticText3_->setText(Q(caption));
    staticText3_->setToolTip(Q(state_.ArchivePath));
}

bool TWizardWindow::ShowComponentsPage()
{
    const bool backup = state_.Operation == 1;
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
    state_.SelectedProfileLine = SelectedLine(*listBox2_);
    if (backup) {
        offeredBoxes_ = CheckProfile(state_, l10n_, *this);
        ApplyComponentBoxes(offeredBoxes_);
    } else {
        TComponentBoxes boxes = ComponentBoxes();
        const AppType archiveType = ReadArchiveHeader(state_, boxes, Environment());
        ApplyComponentBoxes(boxes);
        MarkSkippedOnRestore(archiveType);
    }
    SetCaption("LANG_SOUCASTI");
    ShowPage(panel4_);
    staticText5_->setText(Q(Text(backup ? "LANG_CHOOSE_ZALOHA" : "LANG_CHOOSE_OBNOVA")));
    groupBox3_->setTitle(Q(Text("LANG_GROUPBOX3")));
    for (int box = 1; box <= ComponentBoxCount; ++box)
        checkBoxes_[box]->setText(Q(Text("LANG_CHECKBOX" + std::to_string(box))));
    unknowFilesBT_->setText(Q(Text("Quillbank14", "LANG_UNKNOW_FILES")));
    checkBoxes_[AccountsSettingsOnlyBox]->setVisible(backup);
    staticText12_->setVisible(!backup && !staticText12_->text().isEmpty());
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
        checkBoxes_[box]->setChecked(false);
    for (TComponentBox box : ResetOrder) {
        checkBoxes_[box]->setEnabled(true);
        checkBoxes_[box]->setToolTip({});
    }
    skippedOnRestore_.clear();
    staticText12_->clear();
}

void TWizardWindow::ApplyComponentBoxes(const TComponentBoxes& boxes)
{
    for (int box = 1; box <= ComponentBoxCount; ++box) {
        if (box == AccountsSettingsOnlyBox)
            continue;
        checkBoxes_[box]->setChecked(boxes.Boxes[box].Checked);
        checkBoxes_[box]->setEnabled(boxes.Boxes[box].Enabled);
    }
    checkBoxes_[AccountsSettingsOnlyBox]->setChecked(boxes[AccountsSettingsOnlyBox].Checked);
    checkBoxes_[AccountsSettingsOnlyBox]->setEnabled(boxes[AccountsSettingsOnlyBox].Enabled);
    checkBoxes_[ExtensionsBox]->setToolTip(boxes.ExtensionsHintVisible ? Q(Text("LANG_CHECKBOX14_HINT"))
                                                                       : QString());
}

void TWizardWindow::MarkSkippedOnRestore(AppType archiveType)
{
    const AppType target = state_.SelectedAppType;
    if (!IsKnownAppType(target))
        return;
    const QString reason = Q(l10n_.GetTextFmt("Quillbank14", "LANG_SKIPPED_HINT", AppInfo(target).ShortName));
    for (int box = 1; box <= ComponentBoxCount; ++box) {
        const auto component = static_cast<TComponentBox>(box);
        if (!checkBoxes_[box]->isChecked() || !IsSkippedOnRestore(component, target))
            continue;
        checkBoxes_[box]->setChecked(false);
        checkBoxes_[box]->setEnabled(false);
        checkBoxes_[box]->setToolTip(reason);
        skippedOnRestore_.push_back(component);
    }
    if (IsKnownAppType(archiveType) && archiveType != target)
        staticText12_->setText(
            Q(l10n_.GetTextFmt("Quillbank14", "LANG_OTHER_APP_BACKUP", AppInfo(archiveType).ShortName)));
}

void TWizardWindow::AddSkippedReportLines()
{
    for (TComponentBox box : skippedOnRestore_)
        AddReportLine(
            l10n_.GetTextFmt("Quillbank14", "LANG_SKIPPED", Text("LANG_CHECKBOX" + std::to_string(box))));
}

TComponentBoxes TWizardWindow::ComponentBoxes() const
{
    TComponentBoxes boxes;
    for (int box = 1; box <= ComponentBoxCount; ++box)
        boxes.Boxes[box] = {checkBoxes_[box]->isChecked(), checkBoxes_[box]->isEnabled()};
    return boxes;
}

void TWizardWindow::CheckBox7Click(bool checked)
{
    const TCheckBoxState emails = EmailsBoxBesideAccountsSettingsOnly(checked, {true, true});
    checkBoxes_[EmailsBox]->setChecked(emails.Checked);
    checkBoxes_[EmailsBox]->setEnabled(emails.Enabled);
}

void TWizardWindow::FillUnknownFilesList()
{
    unknownFiles_.Fill(TKnownFiles(programDir_).FindUnknown(state_.ProfileDir, offeredBoxes_), l10n_);
    unknownFiles_.SetAllBoxTicked(true);
    unknowFilesBT_->setVisible(unknownFiles_.HasRows());
}

void TWizardWindow::FillUnknownFilesFromArchive()
{
    unknownFiles_.Fill(state_.UnknownEntries, l10n_);
    unknowFilesBT_->setVisible(unknownFiles_.HasRows());
}

void TWizardWindow::UnknowFilesBTClick()
{
    dialogs_.ShowUnknownFiles(unknownFiles_);
}

void TWizardWindow::ShowProgressPage()
{
    // An unattended backup takes every unknown entry.
    if (batchTask_)
        FillUnknownFilesList();
    SetCaption("LANG_PROV_AKCE");
    if (state_.Operation == 1) {
        listBox3_->addItem(Q(Text("Quillbank14", "LANG_BACKUP_PARTS")));
        for (int box = 1; box <= ComponentBoxCount; ++box)
            if (checkBoxes_[box]->isChecked())
                listBox3_->addItem(Q("- " + Text("LANG_CHECKBOX" + std::to_string(box))));
        staticText6_->setText(Q(Text("Quillbank14", "LANG_DISK_SPACE_CALCULATE")));
    }
    progressBar1_->setRange(0, 100);
    progressBar1_->setValue(0);
    ShowPage(panel5_);
    button1_->hide();
    button3_->hide();
}

void TWizardWindow::RunOperation()
{
    ShowProgressPage();
    // Each problem of the run goes to the error log once.
    const TErrorLogRun logRun;
    const TComponentBoxes boxes = ComponentBoxes();
    TRunOutcome outcome;
    if (state_.Operation == 1) {
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
            for (const std::string& line : AccountReportLines(backup.Account, l10n_, false))
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
    if (const auto line = OutcomeReportLine(outcome, l10n_))
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
    button2_->setText(Q(Text("LANG_BUTTON_KONEC")));
    checkBox16_->setText(Q(Text("LANG_NEW_BR")));
    undoButton_->setText(Q(Text("Quillbank14", "LANG_UNDO_RESTORE")));
    undoButton_->setVisible(state_.Operation == 2 && undoable_.has_value() && !batchTask_);
    staticText11_->setText(Q(Text(state_.Operation == 1 ? "LANG_MEMO3" : "LANG_BACKUP_RESTOR")));
    for (const std::string& line : Lines(*listBox3_))
        listBox4_->addItem(Q(line));
    ShowPage(panel6_);
    button2_->setFocus();
    pageIndex_ = 5;
}

void TWizardWindow::UndoButtonClick()
{
    if (!undoable_)
        return;
    try {
        if (IsProfileInUse(state_.SelectedAppType, state_.ProfileDir))
            throw ERollbackError(std::string(AppInfo(state_.SelectedAppType).RunningName) +
                                 " is using the profile " + state_.ProfileDir);
        UndoRestore(*undoable_);
        listBox4_->addItem(Q(Text("Quillbank14", "LANG_UNDO_DONE")));
        undoable_.reset();
        undoButton_->hide();
    } catch (const ERollbackError& error) {
        listBox4_->addItem(Q(l10n_.GetTextFmt("Quillbank14", "LANG_UNDO_FAILED", error.what())));
    }
    listBox4_->scrollToBottom();
}

void TWizardWindow::CheckBox16Click(bool checked)
{
    button2_->setText(Q(Text(checked ? "LANG_BUTTON_1" : "LANG_BUTTON_KONEC")));
}

// ---------------------------------------------------------------------------
// The buttons of the profile page.

void TWizardWindow::Button4Click()
{
    ChooseBackupFile();
}

void TWizardWindow::ChooseBackupFile()
{
    const std::string filter = Text("LANG_DIALOGS");
    std::string caption = staticText3_->text().toStdString();
    if (state_.Operation == 1) {
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

void TWizardWindow::Button5Click()
{
    // The new profile is listed at once.
    if (CreateNewProfile(dialogs_.AskNewProfile(), state_, status_, l10n_, *this))
        Button6Click();
}

void TWizardWindow::Button6Click()
{
    ListProfiles(state_, l10n_);
    FillProfileList();
    button1_->setEnabled(false);
}

void TWizardWindow::Button7Click()
{
    const auto selected = SelectedLine(*listBox2_);
    ChoosePortableProfile(state_, l10n_, *this);
    if (listBox2_->count() != static_cast<int>(state_.ProfileList.size())) {
        AddLine(*listBox2_, state_.ProfileList.back());
        if (!selected)
            listBox2_->clearSelection();
    }
}

} // namespace quillbank
