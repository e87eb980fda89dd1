// Tests of the backup password dialog: its texts, the checks on the two fields, Cancel and Escape.

#include "wizard/BackupPasswordDialog.h"

#include "config/InterfaceTexts.h"
#include "wizard/MessageBoxes.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <memory>

using namespace quillbank;

class BackupPasswordDialogTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir_;
    std::unique_ptr<TInterfaceTexts> texts_;
    TScriptedMessageBoxes boxes_;
    std::unique_ptr<TBackupPasswordDialog> dialog_;

    QLineEdit* Edit(const char* name) { return dialog_->findChild<QLineEdit*>(name); }
    QPushButton* Button(const char* name) { return dialog_->findChild<QPushButton*>(name); }
    QString LabelText(const char* name) { return dialog_->findChild<QLabel*>(name)->text(); }

    void ShowPrepared()
    {
        dialog_->Prepare();
        dialog_->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog_.get()));
    }

    void TypeAndConfirm(const QString& password, const QString& confirmation)
    {
        QTest::keyClicks(Edit("passwordEdit"), password);
        QTest::keyClicks(Edit("confirmationEdit"), confirmation);
        QTest::mouseClick(Button("okButton"), Qt::LeftButton);
    }

    void VerifyOneBox(const char* text)
    {
        QCOMPARE(boxes_.Boxes.size(), std::size_t{1});
        const TScriptedMessageBoxes::TBox& box = boxes_.Boxes.front();
        QCOMPARE(box.Caption, std::string("Warning"));
        QCOMPARE(box.Text, std::string(text));
        QVERIFY(box.Buttons == TBoxButtons::Ok);
        QVERIFY(box.Icon == TBoxIcon::Information);
        QVERIFY(dialog_->isVisible());
        QVERIFY(!dialog_->PasswordAccepted());
    }

private slots:
    void init()
    {
        QVERIFY(dir_.isValid());
        texts_ = std::make_unique<TInterfaceTexts>(dir_.filePath("Default.lng").toStdString());
        boxes_ = TScriptedMessageBoxes();
        dialog_ = std::make_unique<TBackupPasswordDialog>(*texts_, boxes_);
    }

    void cleanup()
    {
        dialog_.reset();
        QFile::remove(dir_.filePath("Default.lng"));
    }

    void ChecksMismatchBeforeLength()
    {
        QVERIFY(CheckBackupPassword("ab", "abc") == TPasswordCheck::Mismatch);
        QVERIFY(CheckBackupPassword("a", "") == TPasswordCheck::Mismatch);
        QVERIFY(CheckBackupPassword("Abc", "abc") == TPasswordCheck::Mismatch);
        QVERIFY(CheckBackupPassword("", "") == TPasswordCheck::TooShort);
        QVERIFY(CheckBackupPassword("ab", "ab") == TPasswordCheck::TooShort);
        QVERIFY(CheckBackupPassword("abc", "abc") == TPasswordCheck::Accepted);
        QVERIFY(CheckBackupPassword(" \t*", " \t*") == TPasswordCheck::Accepted);
    }

    void ShowsTheTexts()
    {
        ShowPrepared();
        QCOMPARE(dialog_->windowTitle(), QString("Enter ZIP Password"));
        QCOMPARE(LabelText("promptLabel"), QString("Enter the password:"));
        QCOMPARE(LabelText("passwordLabel"), QString("Password:"));
        QCOMPARE(LabelText("confirmationLabel"), QString("Confirm password:"));
        QCOMPARE(Button("okButton")->text(), QString("OK"));
        QCOMPARE(Button("cancelButton")->text(), QString("Cancel"));
        QVERIFY(Button("okButton")->isDefault());
        QCOMPARE(QApplication::focusWidget(), Edit("passwordEdit"));
        QVERIFY(dialog_->width() >= 275);
        QVERIFY(dialog_->height() >= 181);
    }

    void RefusesDifferentPasswordsWhateverTheirLength()
    {
        ShowPrepared();
        TypeAndConfirm("ab", "abc");
        VerifyOneBox("The passwords you typed do not match.");
        QCOMPARE(Edit("passwordEdit")->text(), QString("ab"));
        QCOMPARE(Edit("confirmationEdit")->text(), QString("abc"));
    }

    void RefusesTwoEmptyFieldsWithTheLengthMessage()
    {
        ShowPrepared();
        QTest::mouseClick(Button("okButton"), Qt::LeftButton);
        VerifyOneBox("Password should be at least three characters long.");
    }

    void RefusesTwoCharacters()
    {
        ShowPrepared();
        TypeAndConfirm("ab", "ab");
        VerifyOneBox("Password should be at least three characters long.");
    }

    void AcceptsThreeCharacters()
    {
        ShowPrepared();
        TypeAndConfirm("a*c", "a*c");
        QVERIFY(boxes_.Boxes.empty());
        QVERIFY(!dialog_->isVisible());
        QCOMPARE(dialog_->result(), int(QDialog::Accepted));
        QVERIFY(dialog_->PasswordAccepted());
        QCOMPARE(dialog_->Password(), std::string("a*c"));
    }

    void AsksAgainUntilTheFieldsAgree()
    {
        ShowPrepared();
        TypeAndConfirm("secret", "secreT");
        QVERIFY(dialog_->isVisible());
        QTest::keyClick(Edit("confirmationEdit"), Qt::Key_Backspace);
        QTest::keyClicks(Edit("confirmationEdit"), "t");
        QTest::keyClick(Edit("confirmationEdit"), Qt::Key_Return);
        QCOMPARE(boxes_.Boxes.size(), std::size_t{1});
        QVERIFY(dialog_->PasswordAccepted());
        QCOMPARE(dialog_->Password(), std::string("secret"));
    }

    void TakesAtMostEightyCharacters()
    {
        ShowPrepared();
        const QString typed(81, QChar('x'));
        for (const char* name : {"passwordEdit", "confirmationEdit"}) {
            QLineEdit* edit = Edit(name);
            QCOMPARE(edit->echoMode(), QLineEdit::Password);
            QTest::keyClicks(edit, typed);
            QCOMPARE(edit->text(), typed.left(80));
        }
        QTest::mouseClick(Button("okButton"), Qt::LeftButton);
        QVERIFY(dialog_->PasswordAccepted());
        QCOMPARE(dialog_->Password(), std::string(80, 'x'));
    }

    void CancelAndTheCloseBoxLeaveItUnaccepted()
    {
        ShowPrepared();
        QTest::keyClicks(Edit("passwordEdit"), "abc");
        QTest::keyClicks(Edit("confirmationEdit"), "abc");
        QTest::mouseClick(Button("cancelButton"), Qt::LeftButton);
        QVERIFY(!dialog_->isVisible());
        QVERIFY(!dialog_->PasswordAccepted());

        ShowPrepared();
        QTest::keyClicks(Edit("passwordEdit"), "abc");
        QTest::keyClicks(Edit("confirmationEdit"), "abc");
        dialog_->close();
        QVERIFY(!dialog_->isVisible());
        QVERIFY(!dialog_->PasswordAccepted());
        QVERIFY(boxes_.Boxes.empty());
    }

    void EscapeCancels()
    {
        ShowPrepared();
        QTest::keyClicks(Edit("passwordEdit"), "abc");
        QTest::keyClicks(Edit("confirmationEdit"), "abc");
        QTest::keyClick(Edit("confirmationEdit"), Qt::Key_Escape);
        QVERIFY(!dialog_->isVisible());
        QVERIFY(!dialog_->PasswordAccepted());
        QVERIFY(boxes_.Boxes.empty());
    }

    void ExecuteClearsTheFieldsAndTheResult()
    {
        ShowPrepared();
        TypeAndConfirm("first", "first");
        QVERIFY(dialog_->PasswordAccepted());

        bool seenEmpty = false;
        QTimer::singleShot(0, dialog_.get(), [this, &seenEmpty] {
            seenEmpty = Edit("passwordEdit")->text().isEmpty() &&
                        Edit("confirmationEdit")->text().isEmpty() && !dialog_->PasswordAccepted();
            QTest::keyClicks(Edit("passwordEdit"), "second");
            QTest::keyClicks(Edit("confirmationEdit"), "second");
            QTest::keyClick(Edit("confirmationEdit"), Qt::Key_Enter);
        });
        QVERIFY(dialog_->Execute());
        QVERIFY(seenEmpty);
        QCOMPARE(dialog_->Password(), std::string("second"));

        QTimer::singleShot(0, dialog_.get(),
                           [this] { QTest::mouseClick(Button("cancelButton"), Qt::LeftButton); });
        QVERIFY(!dialog_->Execute());
        QVERIFY(dialog_->Password().empty());
    }

    void TakesTheLanguageFileTexts()
    {
        QFile file(dir_.filePath("Default.lng"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[TForm1]\r\nLANG_WARNING=Pozor\r\n[TForm4]\r\nLANG_NO_STEJ=Hesla "
                   "nejsou stejna\r\n"
                   "LANG_CAPTION=Heslo\r\n[Common]\r\nFont=A font name that is longer than thirty-one\r\n");
        file.close();
        ShowPrepared();
        QCOMPARE(dialog_->windowTitle(), QString("Heslo"));
        QCOMPARE(dialog_->font().family(), QString("A font name that is longer than"));
        TypeAndConfirm("abc", "abd");
        QCOMPARE(boxes_.Boxes.size(), std::size_t{1});
        QCOMPARE(boxes_.Boxes.front().Caption, std::string("Pozor"));
        QCOMPARE(boxes_.Boxes.front().Text, std::string("Hesla nejsou stejna"));
    }
};

QTEST_MAIN(BackupPasswordDialogTest)
#include "BackupPasswordDialogTest.moc"
