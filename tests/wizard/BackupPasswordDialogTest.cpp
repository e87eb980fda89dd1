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
    std::unique_ptr<TInterfaceTexts> l10n_;
    TScriptedMessageBoxes boxes_;
    std::unique_ptr<TBackupPasswordDialog> form_;

    QLineEdit* Edit(const char* name) { return form_->findChild<QLineEdit*>(name); }
    QPushButton* Button(const char* name) { return form_->findChild<QPushButton*>(name); }
    QString LabelText(const char* name) { return form_->findChild<QLabel*>(name)->text(); }

    void ShowPrepared()
    {
        form_->Prepare();
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    }

    void TypeAndConfirm(const QString& password, const QString& confirmation)
    {
        QTest::keyClicks(Edit("Edit1"), password);
        QTest::keyClicks(Edit("Edit2"), confirmation);
        QTest::mouseClick(Button("Button1"), Qt::LeftButton);
    }

    void VerifyOneBox(const char* text)
    {
        QCOMPARE(boxes_.Boxes.size(), std::size_t{1});
        const TScriptedMessageBoxes::TBox& box = boxes_.Boxes.front();
        QCOMPARE(box.Caption, std::string("Warning"));
        QCOMPARE(box.Text, std::string(text));
        QVERIFY(box.Buttons == TBoxButtons::Ok);
        QVERIFY(box.Icon == TBoxIcon::Information);
        QVERIFY(form_->isVisible());
        QVERIFY(!form_->PasswordAccepted());
    }

private slots:
    void init()
    {
        QVERIFY(dir_.isValid());
        l10n_ = std::make_unique<TInterfaceTexts>(dir_.filePath("Default.lng").toStdString());
        boxes_ = TScriptedMessageBoxes();
        form_ = std::make_unique<TBackupPasswordDialog>(*l10n_, boxes_);
    }

    void cleanup()
    {
        form_.reset();
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
        QCOMPARE(form_->windowTitle(), QString("Enter ZIP Password"));
        QCOMPARE(LabelText("Label1"), QString("Enter the password:"));
        QCOMPARE(LabelText("Label2"), QString("Password:"));
        QCOMPARE(LabelText("Label3"), QString("Confirm password:"));
        QCOMPARE(Button("Button1")->text(), QString("OK"));
        QCOMPARE(Button("Button2")->text(), QString("Cancel"));
        QVERIFY(Button("Button1")->isDefault());
        QCOMPARE(QApplication::focusWidget(), Edit("Edit1"));
        QVERIFY(form_->width() >= 275);
        QVERIFY(form_->height() >= 181);
    }

    void RefusesDifferentPasswordsWhateverTheirLength()
    {
        ShowPrepared();
        TypeAndConfirm("ab", "abc");
        VerifyOneBox("The passwords you typed do not match.");
        QCOMPARE(Edit("Edit1")->text(), QString("ab"));
        QCOMPARE(Edit("Edit2")->text(), QString("abc"));
    }

    void RefusesTwoEmptyFieldsWithTheLengthMessage()
    {
        ShowPrepared();
        QTest::mouseClick(Button("Button1"), Qt::LeftButton);
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
        QVERIFY(!form_->isVisible());
        QCOMPARE(form_->result(), int(QDialog::Accepted));
        QVERIFY(form_->PasswordAccepted());
        QCOMPARE(form_->Password(), std::string("a*c"));
    }

    void AsksAgainUntilTheFieldsAgree()
    {
        ShowPrepared();
        TypeAndConfirm("secret", "secreT");
        QVERIFY(form_->isVisible());
        QTest::keyClick(Edit("Edit2"), Qt::Key_Backspace);
        QTest::keyClicks(Edit("Edit2"), "t");
        QTest::keyClick(Edit("Edit2"), Qt::Key_Return);
        QCOMPARE(boxes_.Boxes.size(), std::size_t{1});
        QVERIFY(form_->PasswordAccepted());
        QCOMPARE(form_->Password(), std::string("secret"));
    }

    void TakesAtMostEightyCharacters()
    {
        ShowPrepared();
        const QString typed(81, QChar('x'));
        for (const char* name : {"Edit1", "Edit2"}) {
            QLineEdit* edit = Edit(name);
            QCOMPARE(edit->echoMode(), QLineEdit::Password);
            QTest::keyClicks(edit, typed);
            QCOMPARE(edit->text(), typed.left(80));
        }
        QTest::mouseClick(Button("Button1"), Qt::LeftButton);
        QVERIFY(form_->PasswordAccepted());
        QCOMPARE(form_->Password(), std::string(80, 'x'));
    }

    void CancelAndTheCloseBoxLeaveItUnaccepted()
    {
        ShowPrepared();
        QTest::keyClicks(Edit("Edit1"), "abc");
        QTest::keyClicks(Edit("Edit2"), "abc");
        QTest::mouseClick(Button("Button2"), Qt::LeftButton);
        QVERIFY(!form_->isVisible());
        QVERIFY(!form_->PasswordAccepted());

        ShowPrepared();
        QTest::keyClicks(Edit("Edit1"), "abc");
        QTest::keyClicks(Edit("Edit2"), "abc");
        form_->close();
        QVERIFY(!form_->isVisible());
        QVERIFY(!form_->PasswordAccepted());
        QVERIFY(boxes_.Boxes.empty());
    }

    void EscapeCancels()
    {
        ShowPrepared();
        QTest::keyClicks(Edit("Edit1"), "abc");
        QTest::keyClicks(Edit("Edit2"), "abc");
        QTest::keyClick(Edit("Edit2"), Qt::Key_Escape);
        QVERIFY(!form_->isVisible());
        QVERIFY(!form_->PasswordAccepted());
        QVERIFY(boxes_.Boxes.empty());
    }

    void ExecuteClearsTheFieldsAndTheResult()
    {
        ShowPrepared();
        TypeAndConfirm("first", "first");
        QVERIFY(form_->PasswordAccepted());

        bool seenEmpty = false;
        QTimer::singleShot(0, form_.get(), [this, &seenEmpty] {
            seenEmpty = Edit("Edit1")->text().isEmpty() && Edit("Edit2")->text().isEmpty() &&
                        !form_->PasswordAccepted();
            QTest::keyClicks(Edit("Edit1"), "second");
            QTest::keyClicks(Edit("Edit2"), "second");
            QTest::keyClick(Edit("Edit2"), Qt::Key_Enter);
        });
        QVERIFY(form_->Execute());
        QVERIFY(seenEmpty);
        QCOMPARE(form_->Password(), std::string("second"));

        QTimer::singleShot(0, form_.get(), [this] { QTest::mouseClick(Button("Button2"), Qt::LeftButton); });
        QVERIFY(!form_->Execute());
        QVERIFY(form_->Password().empty());
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
        QCOMPARE(form_->windowTitle(), QString("Heslo"));
        QCOMPARE(form_->font().family(), QString("A font name that is longer than"));
        TypeAndConfirm("abc", "abd");
        QCOMPARE(boxes_.Boxes.size(), std::size_t{1});
        QCOMPARE(boxes_.Boxes.front().Caption, std::string("Pozor"));
        QCOMPARE(boxes_.Boxes.front().Text, std::string("Hesla nejsou stejna"));
    }
};

QTEST_MAIN(BackupPasswordDialogTest)
#include "BackupPasswordDialogTest.moc"
