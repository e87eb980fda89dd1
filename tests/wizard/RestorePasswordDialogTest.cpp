// Tests of the restore password dialog: its texts, OK, Cancel and Escape, and its length limit.

#include "wizard/RestorePasswordDialog.h"

#include "config/InterfaceTexts.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <memory>

using namespace quillbank;

class RestorePasswordDialogTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir_;
    std::unique_ptr<TInterfaceTexts> texts_;
    std::unique_ptr<TRestorePasswordDialog> dialog_;

    QLineEdit* PasswordEdit() { return dialog_->findChild<QLineEdit*>("passwordEdit"); }
    QPushButton* Button(const char* name) { return dialog_->findChild<QPushButton*>(name); }
    QString LabelText(const char* name) { return dialog_->findChild<QLabel*>(name)->text(); }

    void ShowPrepared()
    {
        dialog_->Prepare();
        dialog_->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog_.get()));
    }

private slots:
    void init()
    {
        QVERIFY(dir_.isValid());
        texts_ = std::make_unique<TInterfaceTexts>(dir_.filePath("Default.lng").toStdString());
        dialog_ = std::make_unique<TRestorePasswordDialog>(*texts_);
    }

    void cleanup() { dialog_.reset(); }

    void ShowsTheTexts()
    {
        ShowPrepared();
        QCOMPARE(dialog_->windowTitle(), QString("Enter ZIP Password"));
        QCOMPARE(LabelText("promptLabel"), QString("This file is encrypted. Please enter password:"));
        QCOMPARE(LabelText("passwordLabel"), QString("Password:"));
        QCOMPARE(Button("okButton")->text(), QString("OK"));
        QCOMPARE(Button("cancelButton")->text(), QString("Cancel"));
        QVERIFY(Button("okButton")->isDefault());
        QCOMPARE(PasswordEdit()->echoMode(), QLineEdit::Password);
        QCOMPARE(QApplication::focusWidget(), PasswordEdit());
        QVERIFY(dialog_->width() >= 290);
        QVERIFY(dialog_->height() >= 135);
    }

    void OkWithAnEmptyFieldDoesNothing()
    {
        ShowPrepared();
        QTest::mouseClick(Button("okButton"), Qt::LeftButton);
        QVERIFY(dialog_->isVisible());
        QVERIFY(!dialog_->PasswordAccepted());
        QTest::keyClick(PasswordEdit(), Qt::Key_Return);
        QVERIFY(dialog_->isVisible());
        QVERIFY(!dialog_->PasswordAccepted());
    }

    void OkAcceptsTheTypedPassword()
    {
        ShowPrepared();
        QTest::keyClicks(PasswordEdit(), "x");
        QTest::mouseClick(Button("okButton"), Qt::LeftButton);
        QVERIFY(!dialog_->isVisible());
        QVERIFY(dialog_->PasswordAccepted());
        QCOMPARE(dialog_->Password(), std::string("x"));
    }

    void TakesAtMostEightyCharacters()
    {
        ShowPrepared();
        QTest::keyClicks(PasswordEdit(), QString(81, QChar('p')));
        QCOMPARE(PasswordEdit()->text(), QString(80, QChar('p')));
    }

    void EscapeChangesNothing()
    {
        bool wasEmpty = false;
        QTimer::singleShot(0, dialog_.get(), [this, &wasEmpty] {
            wasEmpty = PasswordEdit()->text().isEmpty();
            QTest::keyClicks(PasswordEdit(), "typed");
            QTest::keyClick(PasswordEdit(), Qt::Key_Escape);
        });
        QCOMPARE(dialog_->AskRestorePassword(), std::optional<std::string>());
        QVERIFY(wasEmpty);
        QVERIFY(!dialog_->isVisible());
        QVERIFY(!dialog_->PasswordAccepted());
    }

    void CancelAndTheCloseBoxLeaveItUnaccepted()
    {
        QTimer::singleShot(0, dialog_.get(), [this] {
            QTest::keyClicks(PasswordEdit(), "typed");
            QTest::mouseClick(Button("cancelButton"), Qt::LeftButton);
        });
        QVERIFY(!dialog_->Execute());
        QTimer::singleShot(0, dialog_.get(), [this] {
            QTest::keyClicks(PasswordEdit(), "typed");
            dialog_->close();
        });
        QVERIFY(!dialog_->Execute());
    }

    void ReopensEmptyAndUnaccepted()
    {
        QTimer::singleShot(0, dialog_.get(), [this] {
            QTest::keyClicks(PasswordEdit(), "first");
            QTest::keyClick(PasswordEdit(), Qt::Key_Return);
        });
        QCOMPARE(dialog_->AskRestorePassword(), std::optional<std::string>("first"));

        bool seenEmpty = false;
        QTimer::singleShot(0, dialog_.get(), [this, &seenEmpty] {
            seenEmpty = PasswordEdit()->text().isEmpty() && !dialog_->PasswordAccepted();
            QTest::keyClicks(PasswordEdit(), "second");
            QTest::mouseClick(Button("okButton"), Qt::LeftButton);
        });
        QCOMPARE(dialog_->AskRestorePassword(), std::optional<std::string>("second"));
        QVERIFY(seenEmpty);
    }
};

QTEST_MAIN(RestorePasswordDialogTest)
#include "RestorePasswordDialogTest.moc"
