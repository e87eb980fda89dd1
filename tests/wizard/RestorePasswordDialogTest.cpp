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
    std::unique_ptr<TInterfaceTexts> l10n_;
    std::unique_ptr<TRestorePasswordDialog> form_;

    QLineEdit* Edit1() { return form_->findChild<QLineEdit*>("Edit1"); }
    QPushButton* Button(const char* name) { return form_->findChild<QPushButton*>(name); }
    QString LabelText(const char* name) { return form_->findChild<QLabel*>(name)->text(); }

    void ShowPrepared()
    {
        form_->Prepare();
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    }

private slots:
    void init()
    {
        QVERIFY(dir_.isValid());
        l10n_ = std::make_unique<TInterfaceTexts>(dir_.filePath("Default.lng").toStdString());
        form_ = std::make_unique<TRestorePasswordDialog>(*l10n_);
    }

    void cleanup() { form_.reset(); }

    void ShowsTheTexts()
    {
        ShowPrepared();
        QCOMPARE(form_->windowTitle(), QString("Enter ZIP Password"));
        QCOMPARE(LabelText("Label1"), QString("This file is encrypted. Please enter password:"));
        QCOMPARE(LabelText("Label2"), QString("Password:"));
        QCOMPARE(Button("Button1")->text(), QString("OK"));
        QCOMPARE(Button("Button2")->text(), QString("Cancel"));
        QVERIFY(Button("Button1")->isDefault());
        QCOMPARE(Edit1()->echoMode(), QLineEdit::Password);
        QCOMPARE(QApplication::focusWidget(), Edit1());
        QVERIFY(form_->width() >= 290);
        QVERIFY(form_->height() >= 135);
    }

    void OkWithAnEmptyFieldDoesNothing()
    {
        ShowPrepared();
        QTest::mouseClick(Button("Button1"), Qt::LeftButton);
        QVERIFY(form_->isVisible());
        QVERIFY(!form_->PasswordAccepted());
        QTest::keyClick(Edit1(), Qt::Key_Return);
        QVERIFY(form_->isVisible());
        QVERIFY(!form_->PasswordAccepted());
    }

    void OkAcceptsTheTypedPassword()
    {
        ShowPrepared();
        QTest::keyClicks(Edit1(), "x");
        QTest::mouseClick(Button("Button1"), Qt::LeftButton);
        QVERIFY(!form_->isVisible());
        QVERIFY(form_->PasswordAccepted());
        QCOMPARE(form_->Password(), std::string("x"));
    }

    void TakesAtMostEightyCharacters()
    {
        ShowPrepared();
        QTest::keyClicks(Edit1(), QString(81, QChar('p')));
        QCOMPARE(Edit1()->text(), QString(80, QChar('p')));
    }

    void EscapeChangesNothing()
    {
        bool wasEmpty = false;
        QTimer::singleShot(0, form_.get(), [this, &wasEmpty] {
            wasEmpty = Edit1()->text().isEmpty();
            QTest::keyClicks(Edit1(), "typed");
            QTest::keyClick(Edit1(), Qt::Key_Escape);
        });
        QCOMPARE(form_->AskRestorePassword(), std::optional<std::string>());
        QVERIFY(wasEmpty);
        QVERIFY(!form_->isVisible());
        QVERIFY(!form_->PasswordAccepted());
    }

    void CancelAndTheCloseBoxLeaveItUnaccepted()
    {
        QTimer::singleShot(0, form_.get(), [this] {
            QTest::keyClicks(Edit1(), "typed");
            QTest::mouseClick(Button("Button2"), Qt::LeftButton);
        });
        QVERIFY(!form_->Execute());
        QTimer::singleShot(0, form_.get(), [this] {
            QTest::keyClicks(Edit1(), "typed");
            form_->close();
        });
        QVERIFY(!form_->Execute());
    }

    void ReopensEmptyAndUnaccepted()
    {
        QTimer::singleShot(0, form_.get(), [this] {
            QTest::keyClicks(Edit1(), "first");
            QTest::keyClick(Edit1(), Qt::Key_Return);
        });
        QCOMPARE(form_->AskRestorePassword(), std::optional<std::string>("first"));

        bool seenEmpty = false;
        QTimer::singleShot(0, form_.get(), [this, &seenEmpty] {
            seenEmpty = Edit1()->text().isEmpty() && !form_->PasswordAccepted();
            QTest::keyClicks(Edit1(), "second");
            QTest::mouseClick(Button("Button1"), Qt::LeftButton);
        });
        QCOMPARE(form_->AskRestorePassword(), std::optional<std::string>("second"));
        QVERIFY(seenEmpty);
    }
};

QTEST_MAIN(RestorePasswordDialogTest)
#include "RestorePasswordDialogTest.moc"
