#include "app/TForm1.h"

#include "app/WizardDialogs.h"
#include "config/errorlog.h"
#include "config/l10n.h"
#include "engine/ArchiveHeader.h"
#include "tests/support/FakeHome.h"
#include "tests/support/ZipBuilder.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QtTest>
#include <algorithm>
#include <deque>
#include <filesystem>
#include <memory>
#include <unistd.h>

using namespace quillbank;
namespace fs = std::filesystem;

namespace {

/// Answers every modal question of the wizard from queues; a question with
/// nothing queued is dismissed.
class TScriptedWizardDialogs final : public TWizardDialogs
{
public:
    TScriptedMessageBoxes boxes;
    std::deque<std::optional<std::string>> backupPasswords;
    std::deque<std::optional<std::string>> filesToOpen;
    std::deque<std::optional<std::string>> filesToSave;
    int unknownFilesShown = 0;

    TMessageBoxes& MessageBoxes() override { return boxes; }
    std::optional<std::string> AskBackupPassword() override { return Next(backupPasswords); }
    std::optional<std::string> AskRestorePassword() override { return std::nullopt; }
    TNewProfileAnswer AskNewProfile() override { return {}; }
    void ShowUnknownFiles(TUnknowFilesModel&) override { ++unknownFilesShown; }
    std::optional<std::string> ChooseFolder(const std::string&, const std::string&) override
    {
        return std::nullopt;
    }
    std::optional<std::string> ChooseBackupFileToSave(const std::string&, const std::string&,
                                                      const std::string&) override
    {
        return Next(filesToSave);
    }
    std::optional<std::string> ChooseBackupFileToOpen(const std::string&, const std::string&,
                                                      const std::string&) override
    {
        return Next(filesToOpen);
    }
    void EndProgram(int exitCode) override
    {
        QFAIL(qPrintable(QStringLiteral("program ended with %1").arg(exitCode)));
    }
    void RequestEnd(int exitCode) override
    {
        ++endRequests;
        endCode = exitCode;
    }
    int endRequests = 0;
    int endCode = -1;

private:
    static std::optional<std::string> Next(std::deque<std::optional<std::string>>& queue)
    {
        if (queue.empty())
            return std::nullopt;
        auto answer = queue.front();
        queue.pop_front();
        return answer;
    }
};

} // namespace

class TForm1Test : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<testing::TFakeHome> home_;
    std::string programDir_;
    std::unique_ptr<Tl10n> l10n_;
    std::unique_ptr<TScriptedWizardDialogs> dialogs_;
    std::unique_ptr<TForm1> form_;
    int shot_ = 0;

    template <typename T>
    T* Find(const char* name)
    {
        T* child = form_->findChild<T*>(name);
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
        const std::vector<std::string>& rows = form_->UnknownFiles().RowTexts();
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
    QCheckBox* Box(int number)
    {
        return Find<QCheckBox>(qPrintable(QStringLiteral("CheckBox%1").arg(number)));
    }

    /// Saves a picture of the window when QUILLBANK_SCREENSHOTS names a folder.
    void Screenshot(const char* name)
    {
        const QString folder = qEnvironmentVariable("QUILLBANK_SCREENSHOTS");
        if (folder.isEmpty())
            return;
        QDir().mkpath(folder);
        form_->grab().save(QStringLiteral("%1/%2-%3.png").arg(folder).arg(++shot_).arg(QLatin1String(name)));
    }

    /// Walks a restore of `archive` into the Firefox profile "second" up to
    /// the overwrite question, and answers No: nothing is written.
    void AnswerNoToRestoring(const std::string& archive)
    {
        Click("Button1");
        Find<QRadioButton>("RadioButton2")->setChecked(true);
        Select("ListBox1", "Mozilla Firefox 115.0");
        Click("Button1");
        Select("ListBox2", "second");
        dialogs_->filesToOpen.push_back(archive);
        Click("Button4");
        Click("Button1");
        QCOMPARE(form_->PageIndex(), 4);
        dialogs_->boxes.QueueAnswer(TBoxAnswer::No);
        Click("Button1");
        QCOMPARE(form_->PageIndex(), 4);
    }

private slots:
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
        home_->MakeDir("Documents");
        l10n_ = std::make_unique<Tl10n>(programDir_ + "/Default.lng");
        dialogs_ = std::make_unique<TScriptedWizardDialogs>();
        form_ = std::make_unique<TForm1>(*l10n_, programDir_, *dialogs_);
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    }

    void cleanup()
    {
        form_.reset();
        dialogs_.reset();
        home_.reset();
    }

    void pagesOfABackup()
    {
        QCOMPARE(form_->PageIndex(), 1);
        QCOMPARE(form_->windowTitle(), QStringLiteral("Quillbank 1.4.9 - Welcome"));
        QVERIFY(!Find<QPushButton>("Button3")->isVisible());
        Screenshot("welcome");

        Click("Button1");
        QCOMPARE(form_->PageIndex(), 2);
        QCOMPARE(Items("ListBox1"), (QStringList{"Mozilla Firefox 115.0", "Portable applications"}));
        QVERIFY(!Find<QPushButton>("Button1")->isEnabled());
        Select("ListBox1", "Mozilla Firefox 115.0");
        QVERIFY(Find<QPushButton>("Button1")->isEnabled());
        Screenshot("operation");

        Click("Button1");
        QCOMPARE(form_->PageIndex(), 3);
        QCOMPARE(Items("ListBox2"), (QStringList{"default", "second"}));
        QVERIFY(!Find<QPushButton>("Button5")->isEnabled()); // New profile: restores only
        const std::string proposed = form_->State().ArchivePath;
        QVERIFY(proposed.starts_with(home_->Path() + "/Documents/Firefox 115.0 - "));
        QVERIFY(proposed.ends_with(".qkz"));
        Select("ListBox2", "default");
        Screenshot("profile");

        dialogs_->boxes.QueueAnswer(TBoxAnswer::No); // no password
        Click("Button1");
        QCOMPARE(form_->PageIndex(), 4);
        QVERIFY(Box(1)->isChecked());
        QVERIFY(Box(4)->isChecked() && Box(5)->isChecked() && Box(10)->isChecked());
        QVERIFY(!Box(2)->isEnabled() && !Box(7)->isEnabled()); // no mail in this profile
        QVERIFY(!Box(14)->isEnabled() && !Box(14)->toolTip().isEmpty());
        QVERIFY(Find<QPushButton>("UnknowFilesBT")->isVisible());
        // Known to Extensions, which this profile does not offer.
        QVERIFY(HasUnknownFilesRow("gm_scripts (directory)"));
        Screenshot("components");

        Click("Button1");
        QCOMPARE(form_->PageIndex(), 5);
        QVERIFY(fs::exists(proposed));
        const QStringList report = Items("ListBox4");
        QCOMPARE(report.front(), QStringLiteral("Backup contains:"));
        QVERIFY(report.contains(QStringLiteral("- Bookmarks")));
        // The account closes the report: places.sqlite counts for Bookmarks,
        // which lists it before History does.
        QCOMPARE(
            report.mid(report.size() - 2),
            (QStringList{"Backed up: 5 files, 111 B (General settings 1, Bookmarks 1, Cookies 1, unknown "
                         "entries 2)",
                         "Left out by a rule: lock files 1"}));
        QCOMPARE(Find<QPushButton>("Button2")->text(), QStringLiteral("Finish"));
        Screenshot("report");
    }

    void backAndGuards()
    {
        Click("Button1");
        Select("ListBox1", "Mozilla Firefox 115.0");
        Click("Button1");
        Select("ListBox2", "default");
        // An existing file must be confirmed: No keeps the page.
        home_->WriteFile("Documents/existing.qkz", "old");
        dialogs_->filesToSave.push_back(home_->Path() + "/Documents/existing.zip");
        Click("Button4");
        QCOMPARE(form_->State().ArchivePath, home_->Path() + "/Documents/existing.qkz");
        dialogs_->boxes.QueueAnswer(TBoxAnswer::No);
        Click("Button1");
        QCOMPARE(form_->PageIndex(), 3);
        QCOMPARE(dialogs_->boxes.Boxes.back().Text, std::string("This file already exists. Overwrite it?"));

        dialogs_->boxes.QueueAnswer(TBoxAnswer::Yes); // overwrite
        dialogs_->boxes.QueueAnswer(TBoxAnswer::No);  // no password
        Click("Button1");
        QCOMPARE(form_->PageIndex(), 4);
        // "Accounts settings only" and "Emails" exclude each other.
        Box(7)->setEnabled(true);
        Box(7)->setChecked(true);
        QVERIFY(!Box(2)->isChecked() && !Box(2)->isEnabled());
        Box(7)->setChecked(false);
        QVERIFY(Box(2)->isChecked() && Box(2)->isEnabled());

        // Back refills the profile list and proposes a new file name.
        Click("Button3");
        QCOMPARE(form_->PageIndex(), 3);
        QVERIFY(Find<QListWidget>("ListBox2")->selectedItems().isEmpty());
        QVERIFY(!Find<QPushButton>("Button1")->isEnabled());
        QVERIFY(form_->State().ArchivePath != home_->Path() + "/Documents/existing.qkz");
    }

    void restoreAndRestart()
    {
        pagesOfABackup();
        const std::string archive = form_->State().ArchivePath;
        QTest::mouseClick(Find<QCheckBox>("CheckBox16"), Qt::LeftButton);
        QCOMPARE(Find<QPushButton>("Button2")->text(), QStringLiteral("Next >"));
        Click("Button2");
        QCOMPARE(form_->PageIndex(), 1);
        QVERIFY(Items("ListBox4").isEmpty());

        Click("Button1");
        Find<QRadioButton>("RadioButton2")->setChecked(true);
        Select("ListBox1", "Mozilla Firefox 115.0");
        Click("Button1");
        QVERIFY(Find<QPushButton>("Button5")->isEnabled()); // installed: a profile can be made
        Select("ListBox2", "second");
        // A folder where the cookies go: that entry cannot be written.
        home_->WriteFile(".mozilla/firefox/b.second/cookies.sqlite/in the way", "");
        dialogs_->filesToOpen.push_back(archive);
        Click("Button4");
        QCOMPARE(form_->State().ArchivePath, archive);
        Click("Button1");
        QCOMPARE(form_->PageIndex(), 4);
        QVERIFY(!Box(7)->isVisible());
        QVERIFY(Box(4)->isChecked() && !Box(2)->isEnabled());
        dialogs_->boxes.QueueAnswer(TBoxAnswer::Yes); // overwrite the profile
        Click("Button1");
        QCOMPARE(form_->PageIndex(), 5);
        QCOMPARE(Find<QLabel>("StaticText11")->text(),
                 QStringLiteral("The backup was restored. You can read the report below:"));
        const QStringList report = Items("ListBox4");
        QVERIFY(report.contains(QStringLiteral("Bookmarks restore... OK")));
        const auto cookies = report.indexOf(QStringLiteral("Cookies restore... FAILED"));
        QVERIFY(cookies >= 0);
        QVERIFY(report[cookies + 1].startsWith(QStringLiteral("- Not restored: cookies.sqlite: ")));
        QCOMPARE(report.back(),
                 QStringLiteral("Incomplete: 1 files left out (each is named above and in the error log)"));
        QVERIFY(fs::exists(home_->Path() + "/.mozilla/firefox/b.second/places.sqlite"));
        QVERIFY(fs::exists(home_->Path() + "/.mozilla/firefox/b.second/notes.txt"));
    }

    void doubleClicks()
    {
        Click("Button1");
        // The portable line names no application: a double-click does nothing.
        auto* applications = Find<QListWidget>("ListBox1");
        Select("ListBox1", "Portable applications");
        emit applications->itemDoubleClicked(applications->currentItem());
        QCOMPARE(form_->PageIndex(), 2);
        Select("ListBox1", "Mozilla Firefox 115.0");
        emit applications->itemDoubleClicked(applications->currentItem());
        QCOMPARE(form_->PageIndex(), 3);
        auto* profiles = Find<QListWidget>("ListBox2");
        Select("ListBox2", "second");
        dialogs_->boxes.QueueAnswer(TBoxAnswer::No);
        emit profiles->itemDoubleClicked(profiles->currentItem());
        QCOMPARE(form_->PageIndex(), 4);
    }

    void aFileThatIsNoBackupKeepsTheProfilePage()
    {
        Click("Button1");
        Find<QRadioButton>("RadioButton2")->setChecked(true);
        Select("ListBox1", "Mozilla Firefox 115.0");
        Click("Button1");
        Select("ListBox2", "default");
        const std::string notABackup = home_->WriteFile("Documents/notes.qkz", "plain text");
        dialogs_->filesToOpen.push_back(notABackup);
        Click("Button4");
        QCOMPARE(dialogs_->boxes.Boxes.back().Text,
                 std::string("The selected file is not a valid backup file."));
        QVERIFY(form_->State().ArchivePath != notABackup);
        Click("Button1");
        QCOMPARE(form_->PageIndex(), 3);
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
                {{std::string(ArchiveHeaderName), WriteArchiveHeader(2, held, {{outside, "Mail"}}, {})},
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
        Click("Button1");
        QCOMPARE(dialogs_->boxes.Boxes.back().Text,
                 std::string(
                     "Restoration can overwrite exist files in selected profile. Do you want to continue?"));
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
        const std::string archive = home_->WriteFile(
            "Documents/certificates.qkz",
            testing::BuildZip({{std::string(ArchiveHeaderName), WriteArchiveHeader(2, held, {}, {})},
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
        Click("Button1");
        QCOMPARE(dialogs_->boxes.Boxes.back().Text,
                 std::string(
                     "Restoration can overwrite exist files in selected profile. Do you want to continue?"));
    }

    void resettingTheBoxesGivesEmailsBack()
    {
        home_->WriteFile(".mozilla/firefox/a.default/prefs.js",
                         "user_pref(\"mail.identity.id1.fullName\", \"Me\");\n");
        Click("Button1");
        Select("ListBox1", "Mozilla Firefox 115.0");
        Click("Button1");
        Select("ListBox2", "default");
        dialogs_->boxes.QueueAnswer(TBoxAnswer::No);
        Click("Button1");
        QVERIFY(Box(2)->isChecked() && Box(7)->isEnabled());
        Box(7)->setChecked(true);
        QVERIFY(!Box(2)->isEnabled());
        Click("Button3");
        Select("ListBox2", "default");
        dialogs_->boxes.QueueAnswer(TBoxAnswer::No);
        Click("Button1");
        QVERIFY(!Box(7)->isChecked());
        QVERIFY(Box(2)->isChecked() && Box(2)->isEnabled());
    }

    void placedOnTheConfiguredDisplayOrTheFirst()
    {
        form_.reset();
        home_->WriteFile("program/Backup.ini", "[General]\nmonitor=3\n");
        form_ = std::make_unique<TForm1>(*l10n_, programDir_, *dialogs_);
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        const QRect display = QGuiApplication::screens().front()->geometry();
        QCOMPARE(form_->pos(), QPoint(display.left() + display.width() / 2 - form_->width() / 2,
                                      display.top() + display.height() / 2 - form_->height() / 2));
    }

    void aMissingWorkingFileIsReportedAtStart()
    {
        form_.reset();
        fs::remove(programDir_ + "/Profilefiles.txt");
        form_ = std::make_unique<TForm1>(*l10n_, programDir_, *dialogs_);
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        QCOMPARE(dialogs_->boxes.Boxes.back().Text, std::string("Some files not found. Please reinstall."));
        QCOMPARE(dialogs_->endRequests, 1);
        QCOMPARE(dialogs_->endCode, 1);
        QVERIFY(form_->close()); // ending now asks nothing
    }

    void anUnattendedBackupRunsByItselfAndEnds()
    {
        form_.reset();
        home_->WriteFile("program/tasks/firefox.ini",
                         "[General]\naction = Backup \napplication=fire\nprofile=DEF\n"
                         "output=" +
                             home_->Path() + "/saves/<profile>-<year>.qkz\n");
        form_ = std::make_unique<TForm1>(*l10n_, programDir_, *dialogs_, std::string("tasks/firefox.ini"));
        form_->show();
        QTRY_COMPARE(dialogs_->endRequests, 1);
        QCOMPARE(dialogs_->endCode, 0);
        QCOMPARE(form_->PageIndex(), 5);
        const std::string archive = form_->State().ArchivePath;
        QVERIFY(archive.starts_with(home_->Path() + "/saves/default-"));
        QVERIFY(fs::exists(archive));
        QVERIFY(Items("ListBox4").contains(QStringLiteral("- Bookmarks")));
        QVERIFY(!Items("ListBox4").contains(QStringLiteral("- Cache")));
        QVERIFY(HasUnknownFilesRow("gm_scripts (directory)"));
        QVERIFY(dialogs_->boxes.Boxes.empty());
    }

    void aBadTaskFileEndsWithoutABackup()
    {
        form_.reset();
        home_->WriteFile("program/task.ini", "[General]\naction=restore\napplication=opera\n");
        form_ = std::make_unique<TForm1>(*l10n_, programDir_, *dialogs_, std::string("task.ini"));
        form_->show();
        QTRY_COMPARE(dialogs_->endRequests, 1);
        QCOMPARE(dialogs_->endCode, 1);
        QCOMPARE(
            testing::ErrorLogMessages(home_->Path() + "/.local/state/quillbank/error.log"),
            std::string("Bad action defined in config file.\nBad application defined in config file.\n"));
    }

    void aProfileInUseEndsAnUnattendedBackupWithoutOneUnlessForced()
    {
        form_.reset();
        // The lock link of a running instance: this test program itself.
        fs::create_symlink("127.0.0.1:+" + std::to_string(::getpid()),
                           home_->Path() + "/.mozilla/firefox/a.default/lock");
        const std::string task =
            "[General]\naction=backup\napplication=fire\nprofile=default\noutput=" + home_->Path() +
            "/saves/in-use.qkz\n";
        home_->WriteFile("program/task.ini", task);
        form_ = std::make_unique<TForm1>(*l10n_, programDir_, *dialogs_, std::string("task.ini"));
        form_->show();
        QTRY_COMPARE(dialogs_->endRequests, 1);
        QCOMPARE(dialogs_->endCode, 1);
        QVERIFY(!fs::exists(home_->Path() + "/saves/in-use.qkz"));
        QVERIFY(testing::ErrorLogMessages().find("the profile is in use") != std::string::npos);

        form_.reset();
        home_->WriteFile("program/task.ini", task + "force=yes\n");
        form_ = std::make_unique<TForm1>(*l10n_, programDir_, *dialogs_, std::string("task.ini"));
        form_->show();
        QTRY_COMPARE(dialogs_->endRequests, 2);
        QCOMPARE(dialogs_->endCode, 0);
        QVERIFY(fs::exists(home_->Path() + "/saves/in-use.qkz"));
    }

    void closingAsksBeforeTheReportPage()
    {
        dialogs_->boxes.QueueAnswer(TBoxAnswer::No);
        QVERIFY(!form_->close());
        QCOMPARE(dialogs_->boxes.Boxes.back().Text,
                 std::string("The operation is not finished. Do you really want to exit the program?"));
        QVERIFY(form_->isVisible());
    }
};

QTEST_MAIN(TForm1Test)
#include "TForm1Test.moc"
