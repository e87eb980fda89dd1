// Tests of the wizard's window walked page by page: backups, restores, undo, unattended runs, texts that fit.

#include "wizard/WizardWindow.h"

#include "config/InterfaceTexts.h"
#include "config/errorlog.h"
#include "engine/ArchiveHeader.h"
#include "tests/support/FakeHome.h"
#include "tests/support/ZipBuilder.h"
#include "tests/wizard/ScriptedWizardDialogs.h"
#include "tests/wizard/TextsFit.h"
#include "vocabulary/AppType.h"
#include "wizard/ApplicationIdentity.h"
#include "wizard/BackupPasswordDialog.h"
#include "wizard/NewProfileDialog.h"
#include "wizard/RestorePasswordDialog.h"
#include "wizard/UnknownFilesDialog.h"
#include "wizard/WizardDialogs.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QtTest>
#include <algorithm>
#include <deque>
#include <filesystem>
#include <memory>
#include <set>
#include <unistd.h>

using namespace quillbank;
namespace fs = std::filesystem;

class WizardWindowTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<testing::TFakeHome> home_;
    std::string programDir_;
    std::unique_ptr<TInterfaceTexts> texts_;
    std::unique_ptr<testing::TScriptedWizardDialogs> dialogs_;
    std::unique_ptr<TWizardWindow> window_;
    int shot_ = 0;

    template <typename T>
    T* Find(const char* name)
    {
        T* child = window_->findChild<T*>(name);
        if (child == nullptr)
            qFatal("no %s", name);
        return child;
    }
    void Click(const char* name) { QTest::mouseClick(Find<QPushButton>(name), Qt::LeftButton); }
    void Select(const char* list, const QString& text)
    {
        auto* listBox = Find<QListWidget>(list);
        const auto items = listBox->findItems(text, Qt::MatchExactly);
        QVERIFY2(!items.isEmpty(), qPrintable(text));
        listBox->setCurrentItem(items.front());
    }
    bool HasUnknownFilesRow(const std::string& text)
    {
        const std::vector<std::string>& rows = window_->UnknownFiles().RowTexts();
        return std::ranges::find(rows, text) != rows.end();
    }

    QStringList Items(const char* list)
    {
        QStringList items;
        auto* listBox = Find<QListWidget>(list);
        for (int row = 0; row < listBox->count(); ++row)
            items << listBox->item(row)->text();
        return items;
    }
    QCheckBox* Box(TComponentBox box) { return Find<QCheckBox>(qPrintable(ComponentBoxObjectName(box))); }

    /// Saves a picture of the window when QUILLBANK_SCREENSHOTS names a folder.
    void Screenshot(const char* name)
    {
        const QString folder = qEnvironmentVariable("QUILLBANK_SCREENSHOTS");
        if (folder.isEmpty())
            return;
        QDir().mkpath(folder);
        window_->grab().save(
            QStringLiteral("%1/%2-%3.png").arg(folder).arg(++shot_).arg(QLatin1String(name)));
    }

    /// Walks a restore of `archive` into the Firefox profile "second" from
    /// the first page up to the components page.
    void WalkToTheComponentsOfARestore(const std::string& archive)
    {
        Click("nextButton");
        Find<QRadioButton>("restoreChoice")->setChecked(true);
        Select("applicationList", "Mozilla Firefox 115.0");
        Click("nextButton");
        Select("profileList", "second");
        dialogs_->filesToOpen.push_back(archive);
        Click("browseButton");
        Click("nextButton");
    }

    /// Walks a restore of `archive` into the Firefox profile "second" up to
    /// the overwrite question, and answers No: nothing is written.
    void AnswerNoToRestoring(const std::string& archive)
    {
        WalkToTheComponentsOfARestore(archive);
        QCOMPARE(window_->Page(), TWizardPage::Components);
        dialogs_->boxes.QueueAnswer(TBoxAnswer::No);
        Click("nextButton");
        QCOMPARE(window_->Page(), TWizardPage::Components);
    }

    static QPalette DarkPalette()
    {
        QPalette palette;
        const QColor window(0x35, 0x35, 0x35);
        const QColor text(0xee, 0xee, 0xee);
        palette.setColor(QPalette::Window, window);
        palette.setColor(QPalette::WindowText, text);
        palette.setColor(QPalette::Base, QColor(0x25, 0x25, 0x25));
        palette.setColor(QPalette::AlternateBase, window);
        palette.setColor(QPalette::Text, text);
        palette.setColor(QPalette::Button, window);
        palette.setColor(QPalette::ButtonText, text);
        palette.setColor(QPalette::Light, QColor(0x50, 0x50, 0x50));
        palette.setColor(QPalette::Midlight, QColor(0x45, 0x45, 0x45));
        palette.setColor(QPalette::Mid, QColor(0x2a, 0x2a, 0x2a));
        palette.setColor(QPalette::Dark, QColor(0x20, 0x20, 0x20));
        palette.setColor(QPalette::Highlight, QColor(0x2a, 0x82, 0xda));
        palette.setColor(QPalette::HighlightedText, Qt::white);
        palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x80, 0x80, 0x80));
        palette.setColor(QPalette::Disabled, QPalette::Text, QColor(0x80, 0x80, 0x80));
        palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x80, 0x80, 0x80));
        return palette;
    }

private slots:
    void initTestCase()
    {
        // The pictures of a dark desktop: the palette it would give.
        if (qEnvironmentVariable("QUILLBANK_SCREENSHOTS_PALETTE") == QLatin1String("dark"))
            QApplication::setPalette(DarkPalette());
    }

    void init()
    {
        home_ = std::make_unique<testing::TFakeHome>();
        programDir_ = home_->MakeDir("program");
        for (const char* file : {"Backup.ini", "Default.lng", "Profilefiles.txt"})
            fs::copy_file(fs::path(QUILLBANK_SOURCE_DIR) / "data" / file, fs::path(programDir_) / file);
        home_->SetEnv(
            "QUILLBANK_REGISTRY",
            home_->WriteFile("machine.reg",
                             "Windows Registry Editor Version 5.00\r\n\r\n"
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\mozilla\\Mozilla Firefox]\r\n"
                             "\"CurrentVersion\"=\"115.0\"\r\n"
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\mozilla\\Mozilla Firefox\\115.0\\Main]\r\n"
                             "\"Install Directory\"=\"/opt/firefox\"\r\n"));
        home_->WriteFile(".mozilla/firefox/profiles.ini",
                         "[Profile0]\nName=default\nIsRelative=1\nPath=a.default\n"
                         "[Profile1]\nName=second\nIsRelative=1\nPath=b.second\n");
        home_->WriteFile(".mozilla/firefox/a.default/prefs.js", "user_pref(\"browser.startup.page\", 3);\n");
        home_->WriteFile(".mozilla/firefox/a.default/places.sqlite", "bookmarks and history");
        home_->WriteFile(".mozilla/firefox/a.default/cookies.sqlite", "cookies");
        home_->WriteFile(".mozilla/firefox/a.default/notes.txt", "an unknown file");
        home_->WriteFile(".mozilla/firefox/a.default/gm_scripts/a.user.js", "add-on data without Extensions");
        home_->WriteFile(".mozilla/firefox/a.default/.parentlock", "");
        home_->WriteFile(".mozilla/firefox/b.second/prefs.js", "user_pref(\"x\", 1);\n");
        // Lock files that nobody holds: whether the profiles are in use is told
        // without looking at what else runs on the machine.
        home_->WriteFile(".mozilla/firefox/b.second/.parentlock", "");
        home_->MakeDir("Documents");
        texts_ = std::make_unique<TInterfaceTexts>(programDir_ + "/Default.lng");
        dialogs_ = std::make_unique<testing::TScriptedWizardDialogs>();
        window_ = std::make_unique<TWizardWindow>(*texts_, programDir_, *dialogs_);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }

    void cleanup()
    {
        window_.reset();
        dialogs_.reset();
        home_.reset();
    }

    void pagesOfABackup()
    {
        QCOMPARE(window_->Page(), TWizardPage::Welcome);
        QCOMPARE(window_->windowTitle(), QStringLiteral("Quillbank 1.4.9 - Welcome"));
        QVERIFY(!Find<QPushButton>("backButton")->isVisible());
        Screenshot("welcome");

        Click("nextButton");
        QCOMPARE(window_->Page(), TWizardPage::Operation);
        QCOMPARE(Items("applicationList"), (QStringList{"Mozilla Firefox 115.0", "Portable applications"}));
        QVERIFY(!Find<QPushButton>("nextButton")->isEnabled());
        Select("applicationList", "Mozilla Firefox 115.0");
        QVERIFY(Find<QPushButton>("nextButton")->isEnabled());
        Screenshot("operation");

        Click("nextButton");
        QCOMPARE(window_->Page(), TWizardPage::Profile);
        QCOMPARE(Items("profileList"), (QStringList{"default", "second"}));
        QVERIFY(!Find<QPushButton>("newProfileButton")->isEnabled()); // New profile: restores only
        const std::string proposed = window_->State().ArchivePath;
        QVERIFY(proposed.starts_with(home_->Path() + "/Documents/Firefox 115.0 - "));
        QVERIFY(proposed.ends_with(".qkz"));
        Select("profileList", "default");
        Screenshot("profile");

        dialogs_->boxes.QueueAnswer(TBoxAnswer::No); // no password
        Click("nextButton");
        QCOMPARE(window_->Page(), TWizardPage::Components);
        QVERIFY(Box(GeneralSettingsBox)->isChecked());
        QVERIFY(Box(BookmarksBox)->isChecked() && Box(HistoryBox)->isChecked() &&
                Box(CookiesBox)->isChecked());
        QVERIFY(!Box(EmailsBox)->isEnabled() &&
                !Box(AccountsSettingsOnlyBox)->isEnabled()); // no mail in this profile
        QVERIFY(!Box(ExtensionsBox)->isEnabled() && !Box(ExtensionsBox)->toolTip().isEmpty());
        QVERIFY(Find<QPushButton>("unknownFilesButton")->isVisible());
        // Known to Extensions, which this profile does not offer.
        QVERIFY(HasUnknownFilesRow("gm_scripts (directory)"));
        Screenshot("components");

        Click("nextButton");
        QCOMPARE(window_->Page(), TWizardPage::Report);
        QVERIFY(fs::exists(proposed));
        const QStringList report = Items("reportLines");
        QCOMPARE(report.front(), QStringLiteral("Backup contains:"));
        QVERIFY(report.contains(QStringLiteral("- Bookmarks")));
        // The account closes the report: places.sqlite counts for Bookmarks,
        // which lists it before History does.
        QCOMPARE(
            report.mid(report.size() - 2),
            (QStringList{"Backed up: 5 files, 111 B (General settings 1, Bookmarks 1, Cookies 1, unknown "
                         "entries 2)",
                         "Left out by a rule: lock files 1"}));
        QCOMPARE(Find<QPushButton>("cancelButton")->text(), QStringLiteral("Finish"));
        Screenshot("report");
    }

    void backAndGuards()
    {
        Click("nextButton");
        Select("applicationList", "Mozilla Firefox 115.0");
        Click("nextButton");
        Select("profileList", "default");
        // An existing file must be confirmed: No keeps the page.
        home_->WriteFile("Documents/existing.qkz", "old");
        dialogs_->filesToSave.push_back(home_->Path() + "/Documents/existing.zip");
        Click("browseButton");
        QCOMPARE(window_->State().ArchivePath, home_->Path() + "/Documents/existing.qkz");
        dialogs_->boxes.QueueAnswer(TBoxAnswer::No);
        Click("nextButton");
        QCOMPARE(window_->Page(), TWizardPage::Profile);
        QCOMPARE(dialogs_->boxes.Boxes.back().Text, std::string("This file already exists. Overwrite it?"));

        dialogs_->boxes.QueueAnswer(TBoxAnswer::Yes); // overwrite
        dialogs_->boxes.QueueAnswer(TBoxAnswer::No);  // no password
        Click("nextButton");
        QCOMPARE(window_->Page(), TWizardPage::Components);
        // "Accounts settings only" and "Emails" exclude each other.
        Box(AccountsSettingsOnlyBox)->setEnabled(true);
        Box(AccountsSettingsOnlyBox)->setChecked(true);
        QVERIFY(!Box(EmailsBox)->isChecked() && !Box(EmailsBox)->isEnabled());
        Box(AccountsSettingsOnlyBox)->setChecked(false);
        QVERIFY(Box(EmailsBox)->isChecked() && Box(EmailsBox)->isEnabled());

        // Back refills the profile list and proposes a new file name.
        Click("backButton");
        QCOMPARE(window_->Page(), TWizardPage::Profile);
        QVERIFY(Find<QListWidget>("profileList")->selectedItems().isEmpty());
        QVERIFY(!Find<QPushButton>("nextButton")->isEnabled());
        QVERIFY(window_->State().ArchivePath != home_->Path() + "/Documents/existing.qkz");
    }

    void restoreAndRestart()
    {
        pagesOfABackup();
        const std::string archive = window_->State().ArchivePath;
        QTest::mouseClick(Find<QCheckBox>("startAgainBox"), Qt::LeftButton);
        QCOMPARE(Find<QPushButton>("cancelButton")->text(), QStringLiteral("Next >"));
        Click("cancelButton");
        QCOMPARE(window_->Page(), TWizardPage::Welcome);
        QVERIFY(Items("reportLines").isEmpty());

        Click("nextButton");
        Find<QRadioButton>("restoreChoice")->setChecked(true);
        Select("applicationList", "Mozilla Firefox 115.0");
        Click("nextButton");
        QVERIFY(Find<QPushButton>("newProfileButton")->isEnabled()); // installed: a profile can be made
        Select("profileList", "second");
        // A folder where the cookies go: that entry cannot be written.
        home_->WriteFile(".mozilla/firefox/b.second/cookies.sqlite/in the way", "");
        dialogs_->filesToOpen.push_back(archive);
        Click("browseButton");
        QCOMPARE(window_->State().ArchivePath, archive);
        Click("nextButton");
        QCOMPARE(window_->Page(), TWizardPage::Components);
        QVERIFY(!Box(AccountsSettingsOnlyBox)->isVisible());
        QVERIFY(Box(BookmarksBox)->isChecked() && !Box(EmailsBox)->isEnabled());
        QVERIFY(!Find<QLabel>("otherApplicationNote")->isVisible()); // a Firefox backup
        QVERIFY(!Items("reportLines").join('\n').contains(QStringLiteral("Skipped")));
        dialogs_->boxes.QueueAnswer(TBoxAnswer::Yes); // overwrite the profile
        Click("nextButton");
        QCOMPARE(window_->Page(), TWizardPage::Report);
        QCOMPARE(Find<QLabel>("reportHeading")->text(),
                 QStringLiteral("The backup was restored. You can read the report below:"));
        const QStringList report = Items("reportLines");
        QVERIFY(report.contains(QStringLiteral("Bookmarks restore... OK")));
        const auto cookies = report.indexOf(QStringLiteral("Cookies restore... FAILED"));
        QVERIFY(cookies >= 0);
        QVERIFY(report[cookies + 1].startsWith(QStringLiteral("- Not restored: cookies.sqlite: ")));
        QCOMPARE(report.back(),
                 QStringLiteral("Incomplete: 1 files left out (each is named above and in the error log)"));
        QVERIFY(fs::exists(home_->Path() + "/.mozilla/firefox/b.second/places.sqlite"));
        QVERIFY(fs::exists(home_->Path() + "/.mozilla/firefox/b.second/notes.txt"));
    }

    void undoThisRestore()
    {
        pagesOfABackup();
        const std::string archive = window_->State().ArchivePath;
        const std::string second = home_->Path() + "/.mozilla/firefox/b.second";
        const std::string prefs = testing::ReadFileForTest(second + "/prefs.js");
        QTest::mouseClick(Find<QCheckBox>("startAgainBox"), Qt::LeftButton);
        Click("cancelButton");
        WalkToTheComponentsOfARestore(archive);
        dialogs_->boxes.QueueAnswer(TBoxAnswer::Yes); // overwrite the profile
        Click("nextButton");
        QCOMPARE(window_->Page(), TWizardPage::Report);
        QVERIFY(fs::exists(second + "/places.sqlite"));
        auto* undo = Find<QPushButton>("undoButton");
        QVERIFY(undo->isVisible());
        QCOMPARE(undo->text(), QStringLiteral("&Undo this restore"));
        Screenshot("undo");

        QTest::mouseClick(undo, Qt::LeftButton);
        QCOMPARE(Items("reportLines").back(),
                 QStringLiteral("The restore was undone: the profile is as it was before it."));
        QVERIFY(!undo->isVisible());
        QCOMPARE(testing::EntryNamesIn(second), (std::set<std::string>{".parentlock", "prefs.js"}));
        QCOMPARE(testing::ReadFileForTest(second + "/prefs.js"), prefs);
    }

    void doubleClicks()
    {
        Click("nextButton");
        // The portable line names no application: a double-click does nothing.
        auto* applications = Find<QListWidget>("applicationList");
        Select("applicationList", "Portable applications");
        emit applications->itemDoubleClicked(applications->currentItem());
        QCOMPARE(window_->Page(), TWizardPage::Operation);
        Select("applicationList", "Mozilla Firefox 115.0");
        emit applications->itemDoubleClicked(applications->currentItem());
        QCOMPARE(window_->Page(), TWizardPage::Profile);
        auto* profiles = Find<QListWidget>("profileList");
        Select("profileList", "second");
        dialogs_->boxes.QueueAnswer(TBoxAnswer::No);
        emit profiles->itemDoubleClicked(profiles->currentItem());
        QCOMPARE(window_->Page(), TWizardPage::Components);
    }

    void aFileThatIsNoBackupKeepsTheProfilePage()
    {
        Click("nextButton");
        Find<QRadioButton>("restoreChoice")->setChecked(true);
        Select("applicationList", "Mozilla Firefox 115.0");
        Click("nextButton");
        Select("profileList", "default");
        const std::string notABackup = home_->WriteFile("Documents/notes.qkz", "plain text");
        dialogs_->filesToOpen.push_back(notABackup);
        Click("browseButton");
        QCOMPARE(dialogs_->boxes.Boxes.back().Text,
                 std::string("The selected file is not a valid backup file."));
        QVERIFY(window_->State().ArchivePath != notABackup);
        Click("nextButton");
        QCOMPARE(window_->Page(), TWizardPage::Profile);
        QCOMPARE(dialogs_->boxes.Boxes.back().Text,
                 std::string("The backup file was not found or corrupted."));
    }

    void theOverwriteQuestionNamesThePlacesOutsideTheProfile()
    {
        const std::string outside = home_->Path() + "/elsewhere/Mail";
        // A carriage return and a terminal escape in the path are shown as escapes.
        const std::string downloads = home_->Path() + "/Downloads\r\x1b[8m";
        TComponentBoxes held;
        held[EmailsBox].Checked = true;
        held[GeneralSettingsBox].Checked = true;
        const std::string archive = home_->WriteFile(
            "Documents/mail.qkz",
            testing::BuildZip(
                {{std::string(ArchiveHeaderName),
                  WriteArchiveHeader(FirefoxAppType, held, {{outside, "Mail"}}, {})},
                 {"prefs.js", "user_pref(\"browser.download.dir\", \"" + downloads + "\");\n"}}));
        AnswerNoToRestoring(archive);
        // A Firefox profile gets no emails: only the settings name a place outside.
        QCOMPARE(dialogs_->boxes.Boxes.back().Text,
                 "Restoration can overwrite exist files in selected profile. Do you want to continue?\n\n"
                 "The restored settings name these places outside the profile; they are kept only if you "
                 "continue:\nbrowser.download.dir: " +
                     home_->Path() + "/Downloads\\r\\x1b[8m");
        QVERIFY(!fs::exists(home_->Path() + "/elsewhere"));

        // Without the settings nothing goes or points outside: the question is the plain one.
        Box(GeneralSettingsBox)->setChecked(false);
        dialogs_->boxes.QueueAnswer(TBoxAnswer::No);
        Click("nextButton");
        QCOMPARE(dialogs_->boxes.Boxes.back().Text,
                 std::string(
                     "Restoration can overwrite exist files in selected profile. Do you want to continue?"));
    }

    void aBackupMadeOnWindowsShowsWhereItsMailFoldersGoAndLetsThemBeChosen()
    {
        home_->WriteFile("machine.reg",
                         "Windows Registry Editor Version 5.00\r\n\r\n"
                         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\mozilla\\Mozilla Thunderbird]\r\n"
                         "\"CurrentVersion\"=\"115.0\"\r\n"
                         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\mozilla\\Mozilla Thunderbird\\115.0\\Main]\r\n"
                         "\"Install Directory\"=\"/opt/thunderbird\"\r\n");
        home_->WriteFile(".thunderbird/profiles.ini", "[Profile0]\nName=mail\nIsRelative=1\nPath=m.mail\n");
        home_->WriteFile(".thunderbird/m.mail/prefs.js", "user_pref(\"x\", 1);\n");
        home_->WriteFile(".thunderbird/m.mail/.parentlock", "");
        const std::string profile = home_->Path() + "/.thunderbird/m.mail/";
        home_->MakeDir(".thunderbird/m.mail/Mail/Archive");
        TComponentBoxes held;
        held[EmailsBox].Checked = true;
        const std::string archive = home_->WriteFile(
            "Documents/windows.qkz",
            testing::BuildZip(
                {{std::string(ArchiveHeaderName),
                  WriteArchiveHeader(ThunderbirdAppType, held,
                                     {{"C:\\Mail\\Archive", "Archive"}, {"D:\\Team", "Team"}}, {})},
                 {"prefs.js", "user_pref(\"x\", 2);\n"}}));
        const std::string mapped = home_->Path() + "/mapped/Archive";
        Click("nextButton");
        Find<QRadioButton>("restoreChoice")->setChecked(true);
        Select("applicationList", "Mozilla Thunderbird 115.0");
        Click("nextButton");
        Select("profileList", "mail");
        dialogs_->filesToOpen.push_back(archive);
        Click("browseButton");
        Click("nextButton");
        QCOMPARE(window_->Page(), TWizardPage::Components);
        // No to the proposed places: a folder is chosen for the first only.
        dialogs_->boxes.QueueAnswer(TBoxAnswer::No);
        dialogs_->folders = {mapped, std::nullopt};
        dialogs_->boxes.QueueAnswer(TBoxAnswer::No);
        Click("nextButton");

        const auto& boxes = dialogs_->boxes.Boxes;
        QVERIFY(boxes.size() >= 2);
        QCOMPARE(
            boxes[boxes.size() - 2].Text,
            "This backup was made on Windows. Its mail folders outside the profile go to these places; keep "
            "them? Choose No to pick a folder for each.\nC:\\Mail\\Archive -> " +
                profile + "Mail/Archive-2\nD:\\Team -> " + profile + "Mail/Team");
        QCOMPARE(dialogs_->folderCaptions,
                 (std::vector<std::string>{"Folder for the mail of C:\\Mail\\Archive",
                                           "Folder for the mail of D:\\Team"}));
        // The chosen folder lies outside the profile: the overwrite question names it.
        QVERIFY2(boxes.back().Text.find("outside the profile:\n" + mapped) != std::string::npos,
                 boxes.back().Text.c_str());
        QCOMPARE(window_->State().MailFolders[0].Place, mapped);
        QCOMPARE(window_->State().MailFolders[1].Place, std::string());
    }

    void theOverwriteQuestionNamesTheSecretsAReplacedKeyLeavesBehind()
    {
        const std::string target = home_->Path() + "/.mozilla/firefox/b.second";
        home_->WriteFile(".mozilla/firefox/b.second/key4.db", "key B");
        home_->WriteFile(".mozilla/firefox/b.second/logins.json", "logins B");
        home_->WriteFile(".mozilla/firefox/b.second/cert9.db", "certificates B");
        TComponentBoxes held;
        held[CertificatesBox].Checked = true;
        held[CookiesBox].Checked = true;
        const std::string archive =
            home_->WriteFile("Documents/certificates.qkz",
                             testing::BuildZip({{std::string(ArchiveHeaderName),
                                                 WriteArchiveHeader(FirefoxAppType, held, {}, {})},
                                                {"key4.db", "key A"},
                                                {"cert9.db", "certificates A"},
                                                {"cookies.sqlite", "cookies A"}}));
        AnswerNoToRestoring(archive);
        QCOMPARE(dialogs_->boxes.Boxes.back().Text,
                 std::string(
                     "Restoration can overwrite exist files in selected profile. Do you want to continue?\n\n"
                     "The restore replaces the key database of the profile. These files of the profile are "
                     "not in the backup, and what they keep could no longer be opened:\n"
                     "logins.json (saved passwords)"));
        QCOMPARE(testing::ReadFileForTest(target + "/key4.db"), std::string("key B"));

        // Without the certificates the key stays: the question is the plain one.
        Box(CertificatesBox)->setChecked(false);
        dialogs_->boxes.QueueAnswer(TBoxAnswer::No);
        Click("nextButton");
        QCOMPARE(dialogs_->boxes.Boxes.back().Text,
                 std::string(
                     "Restoration can overwrite exist files in selected profile. Do you want to continue?"));
    }

    void resettingTheBoxesGivesEmailsBack()
    {
        home_->WriteFile(".mozilla/firefox/a.default/prefs.js",
                         "user_pref(\"mail.identity.id1.fullName\", \"Me\");\n");
        Click("nextButton");
        Select("applicationList", "Mozilla Firefox 115.0");
        Click("nextButton");
        Select("profileList", "default");
        dialogs_->boxes.QueueAnswer(TBoxAnswer::No);
        Click("nextButton");
        QVERIFY(Box(EmailsBox)->isChecked() && Box(AccountsSettingsOnlyBox)->isEnabled());
        Box(AccountsSettingsOnlyBox)->setChecked(true);
        QVERIFY(!Box(EmailsBox)->isEnabled());
        Click("backButton");
        Select("profileList", "default");
        dialogs_->boxes.QueueAnswer(TBoxAnswer::No);
        Click("nextButton");
        QVERIFY(!Box(AccountsSettingsOnlyBox)->isChecked());
        QVERIFY(Box(EmailsBox)->isChecked() && Box(EmailsBox)->isEnabled());
    }

    void everyTextFitsLongerTextsAndALargerFont()
    {
        window_.reset();
        const QString language = QString::fromStdString(programDir_ + "/Default.lng");
        QVERIFY(QFile::remove(language));
        QVERIFY(testing::WriteLongerLanguageFile(QUILLBANK_SOURCE_DIR "/data/Default.lng", language));
        texts_ = std::make_unique<TInterfaceTexts>(programDir_ + "/Default.lng");
        const QFont designed = QApplication::font();
        QFont larger = designed;
        larger.setPointSizeF(designed.pointSizeF() * 1.5);
        QApplication::setFont(larger);
        const auto restoreFont = qScopeGuard([&] { QApplication::setFont(designed); });
        window_ = std::make_unique<TWizardWindow>(*texts_, programDir_, *dialogs_);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        QVERIFY(window_->width() >= 471 && window_->height() >= 327);
        // Grown before it was placed: in the middle of the display all the same.
        QCoreApplication::sendPostedEvents();
        const QRect display = QGuiApplication::screens().front()->geometry();
        QCOMPARE(window_->pos(), QPoint(display.left() + display.width() / 2 - window_->width() / 2,
                                        display.top() + display.height() / 2 - window_->height() / 2));

        QUILLBANK_VERIFY_TEXTS_FIT(*window_);
        Click("nextButton");
        QUILLBANK_VERIFY_TEXTS_FIT(*window_);
        Select("applicationList", Find<QListWidget>("applicationList")->item(0)->text());
        Click("nextButton");
        Select("profileList", "default");
        QUILLBANK_VERIFY_TEXTS_FIT(*window_);
        dialogs_->boxes.QueueAnswer(TBoxAnswer::No); // no password
        Click("nextButton");
        QCOMPARE(window_->Page(), TWizardPage::Components);
        Box(AccountsSettingsOnlyBox)->setEnabled(true);
        QUILLBANK_VERIFY_TEXTS_FIT(*window_);
        Click("nextButton");
        QCOMPARE(window_->Page(), TWizardPage::Report);
        QUILLBANK_VERIFY_TEXTS_FIT(*window_);

        // The dialogs, over the window.
        TScriptedMessageBoxes boxes;
        TNewProfileDialog newProfile(
            *texts_,
            [](const std::string&, const std::string&) {
                return std::optional<std::string>("/abcdefghijklmnopqrstuvwxyz/1234");
            },
            window_.get());
        TBackupPasswordDialog backupPassword(*texts_, boxes, window_.get());
        TRestorePasswordDialog restorePassword(*texts_, window_.get());
        TUnknownFilesDialog unknownFiles(window_->UnknownFiles(), *texts_, window_.get());
        for (QDialog* dialog :
             std::initializer_list<QDialog*>{&newProfile, &backupPassword, &restorePassword, &unknownFiles}) {
            dialog->show();
            QVERIFY(QTest::qWaitForWindowExposed(dialog));
            QUILLBANK_VERIFY_TEXTS_FIT(*dialog);
            // Centred on the window at its first showing, grown as it is.
            QVERIFY((dialog->geometry().center() - window_->geometry().center()).manhattanLength() <= 1);
        }
        // A chosen folder of 32 characters shows in full in its shortened form.
        QTest::mouseClick(newProfile.findChild<QPushButton*>("browseButton"), Qt::LeftButton);
        QCOMPARE(newProfile.findChild<QLabel*>("locationLabel")->text(),
                 QStringLiteral("/ab...abcdefghijklmnopqrstuvwxyz/1234"));
        QUILLBANK_VERIFY_TEXTS_FIT(newProfile);
    }

    void aBackupFileItWasStartedWithIsRestored()
    {
        pagesOfABackup();
        // Named by its content: any name will do.
        const std::string opened = home_->Path() + "/Downloads/from mail.bin";
        fs::create_directories(home_->Path() + "/Downloads");
        fs::copy_file(window_->State().ArchivePath, opened);
        window_.reset();
        window_ = std::make_unique<TWizardWindow>(*texts_, programDir_, *dialogs_);
        window_->OpenBackupFile(opened);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        // The backup names Firefox, which is listed: on to its profiles.
        QCOMPARE(window_->Page(), TWizardPage::Profile);
        QVERIFY(Find<QRadioButton>("restoreChoice")->isChecked());
        QCOMPARE(window_->State().ArchivePath, opened);
        QCOMPARE(Find<QLabel>("backupFilePath")->toolTip(), QString::fromStdString(opened));
        Select("profileList", "second");
        Click("nextButton");
        QCOMPARE(window_->Page(), TWizardPage::Components);
        QVERIFY(Box(BookmarksBox)->isChecked());
        // Back and on again keeps the file.
        Click("backButton");
        QCOMPARE(window_->State().ArchivePath, opened);
    }

    void theProfileListSortsWithoutRegardToCase()
    {
        home_->WriteFile(".mozilla/firefox/profiles.ini",
                         "[Profile0]\nName=default\nIsRelative=1\nPath=a.default\n"
                         "[Profile1]\nName=Work\nIsRelative=1\nPath=c.work\n"
                         "[Profile2]\nName=alpha\nIsRelative=1\nPath=d.alpha\n"
                         "[Profile3]\nName=Beta\nIsRelative=1\nPath=e.beta\n");
        for (const char* folder : {"c.work", "d.alpha", "e.beta"})
            home_->WriteFile(std::string(".mozilla/firefox/") + folder + "/prefs.js", "");
        Click("nextButton");
        Select("applicationList", "Mozilla Firefox 115.0");
        Click("nextButton");
        QCOMPARE(Items("profileList"), (QStringList{"alpha", "Beta", "default", "Work"}));
    }

    void withoutAnApplicationTheProposalStartsWithItsDate()
    {
        Click("nextButton");
        Select("applicationList", "Portable applications");
        Click("nextButton");
        QCOMPARE(window_->Page(), TWizardPage::Profile);
        const std::string name = fs::path(window_->State().ArchivePath).filename().string();
        QVERIFY2(name.front() >= '0' && name.front() <= '9', name.c_str());
    }

    void theArtworkIsSharpAtTwiceTheScale()
    {
        auto* strip = Find<QLabel>("pictureStrip");
        const QPixmap picture = strip->pixmap();
        QCOMPARE(picture.devicePixelRatio(), 2.0);
        QCOMPARE(picture.deviceIndependentSize().toSize(), strip->size());
        QVERIFY(window_->windowIcon().availableSizes().contains(QSize(128, 128)));
    }

    void titlesAreTheProgramsOwnTexts()
    {
        SetApplicationIdentity();
        QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Quillbank"));
        // No display name of its own, which the toolkit would append to every
        // title: the display name follows the application name.
        QCoreApplication::setApplicationName(QStringLiteral("renamed"));
        QCOMPARE(QGuiApplication::applicationDisplayName(), QStringLiteral("renamed"));
        QCoreApplication::setApplicationName(QStringLiteral("Quillbank"));
        QCOMPARE(window_->windowTitle(), QStringLiteral("Quillbank 1.4.9 - Welcome"));
    }

    void placedOnTheConfiguredDisplayOrTheFirst()
    {
        window_.reset();
        home_->WriteFile("program/Backup.ini", "[General]\nmonitor=3\n");
        window_ = std::make_unique<TWizardWindow>(*texts_, programDir_, *dialogs_);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        const QRect display = QGuiApplication::screens().front()->geometry();
        QCOMPARE(window_->pos(), QPoint(display.left() + display.width() / 2 - window_->width() / 2,
                                        display.top() + display.height() / 2 - window_->height() / 2));
    }

    void aMissingWorkingFileIsReportedAtStart()
    {
        window_.reset();
        fs::remove(programDir_ + "/Profilefiles.txt");
        window_ = std::make_unique<TWizardWindow>(*texts_, programDir_, *dialogs_);
        // The warning shows over the window, which is already in the middle of the display.
        QPoint placeAtWarning;
        dialogs_->boxes.OnShow = [&](const TScriptedMessageBoxes::TBox&) { placeAtWarning = window_->pos(); };
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        QCOMPARE(dialogs_->boxes.Boxes.back().Text, std::string("Some files not found. Please reinstall."));
        const QRect display = QGuiApplication::screens().front()->geometry();
        QCOMPARE(placeAtWarning, QPoint(display.left() + display.width() / 2 - window_->width() / 2,
                                        display.top() + display.height() / 2 - window_->height() / 2));
        QCOMPARE(dialogs_->endRequests, 1);
        QCOMPARE(dialogs_->endCode, 1);
        QVERIFY(window_->close()); // ending now asks nothing
    }

    void anUnattendedBackupRunsByItselfAndEnds()
    {
        window_.reset();
        home_->WriteFile("program/tasks/firefox.ini",
                         "[General]\naction = Backup \napplication=fire\nprofile=DEF\n"
                         "output=" +
                             home_->Path() + "/saves/<profile>-<year>.qkz\n");
        window_ = std::make_unique<TWizardWindow>(*texts_, programDir_, *dialogs_,
                                                  std::string("tasks/firefox.ini"));
        window_->show();
        QTRY_COMPARE(dialogs_->endRequests, 1);
        QCOMPARE(dialogs_->endCode, 0);
        QCOMPARE(window_->Page(), TWizardPage::Report);
        const std::string archive = window_->State().ArchivePath;
        QVERIFY(archive.starts_with(home_->Path() + "/saves/default-"));
        QVERIFY(fs::exists(archive));
        QVERIFY(Items("reportLines").contains(QStringLiteral("- Bookmarks")));
        QVERIFY(!Items("reportLines").contains(QStringLiteral("- Cache")));
        QVERIFY(HasUnknownFilesRow("gm_scripts (directory)"));
        QVERIFY(dialogs_->boxes.Boxes.empty());
    }

    void aBadTaskFileEndsWithoutABackup()
    {
        window_.reset();
        home_->WriteFile("program/task.ini", "[General]\naction=restore\napplication=opera\n");
        window_ = std::make_unique<TWizardWindow>(*texts_, programDir_, *dialogs_, std::string("task.ini"));
        window_->show();
        QTRY_COMPARE(dialogs_->endRequests, 1);
        QCOMPARE(dialogs_->endCode, 1);
        QCOMPARE(
            testing::ErrorLogMessages(home_->Path() + "/.local/state/quillbank/error.log"),
            std::string("Bad action defined in config file.\nBad application defined in config file.\n"));
    }

    void aCancelledBackupLeavesNoPartialFile()
    {
        // Ending the program ends the process: the backup runs in a program of its own.
        const std::string documents = home_->Path() + "/Documents";
        QProcess wizard;
        wizard.start(QStringLiteral(QUILLBANK_CANCELLED_BACKUP),
                     {QString::fromStdString(programDir_), QString::fromStdString(documents)});
        QVERIFY(wizard.waitForFinished(-1));
        QCOMPARE(wizard.exitStatus(), QProcess::NormalExit);
        QCOMPARE(wizard.exitCode(), 1); // cancelled while the archive was written
        QCOMPARE(std::distance(fs::directory_iterator(documents), fs::directory_iterator()), 0);
    }

    void aProfileInUseEndsAnUnattendedBackupWithoutOneUnlessForced()
    {
        window_.reset();
        // The lock link of a running instance: this test program itself.
        fs::create_symlink("127.0.0.1:+" + std::to_string(::getpid()),
                           home_->Path() + "/.mozilla/firefox/a.default/lock");
        const std::string task =
            "[General]\naction=backup\napplication=fire\nprofile=default\noutput=" + home_->Path() +
            "/saves/in-use.qkz\n";
        home_->WriteFile("program/task.ini", task);
        window_ = std::make_unique<TWizardWindow>(*texts_, programDir_, *dialogs_, std::string("task.ini"));
        window_->show();
        QTRY_COMPARE(dialogs_->endRequests, 1);
        QCOMPARE(dialogs_->endCode, 1);
        QVERIFY(!fs::exists(home_->Path() + "/saves/in-use.qkz"));
        QVERIFY(testing::ErrorLogMessages().find("the profile is in use") != std::string::npos);

        window_.reset();
        home_->WriteFile("program/task.ini", task + "force=yes\n");
        window_ = std::make_unique<TWizardWindow>(*texts_, programDir_, *dialogs_, std::string("task.ini"));
        window_->show();
        QTRY_COMPARE(dialogs_->endRequests, 2);
        QCOMPARE(dialogs_->endCode, 0);
        QVERIFY(fs::exists(home_->Path() + "/saves/in-use.qkz"));
    }

    void closingAsksBeforeTheReportPage()
    {
        dialogs_->boxes.QueueAnswer(TBoxAnswer::No);
        QVERIFY(!window_->close());
        QCOMPARE(dialogs_->boxes.Boxes.back().Text,
                 std::string("The operation is not finished. Do you really want to exit the program?"));
        QVERIFY(window_->isVisible());
    }
};

QTEST_MAIN(WizardWindowTest)
#include "WizardWindowTest.moc"
