#include "wizard/NewProfileDialog.h"

#include "config/InterfaceTexts.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <deque>
#include <memory>

using namespace quillbank;

class NewProfileDialogTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir_;
    std::unique_ptr<TInterfaceTexts> l10n_;
    std::unique_ptr<TNewProfileDialog> form_;
    /// The folder chooser's answers, and what it was asked.
    std::deque<std::optional<std::string>> folders_;
    std::vector<std::pair<std::string, std::string>> chooserCalls_;

    QLineEdit* Edit1() { return form_->findChild<QLineEdit*>("Edit1"); }
    QLabel* Label(const char* name) { return form_->findChild<QLabel*>(name); }
    QPushButton* Button(const char* name) { return form_->findChild<QPushButton*>(name); }

    void ShowPrepared()
    {
        form_->PrepareNewProfileDialog();
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    }

    void Browse(std::optional<std::string> answer)
    {
        folders_.push_back(std::move(answer));
        QTest::mouseClick(Button("Button3"), Qt::LeftButton);
    }

private slots:
    void init()
    {
        QVERIFY(dir_.isValid());
        l10n_ = std::make_unique<TInterfaceTexts>(dir_.filePath("Default.lng").toStdString());
        folders_.clear();
        chooserCalls_.clear();
        form_ = std::make_unique<TNewProfileDialog>(
            *l10n_, [this](const std::string& caption, const std::string& initial) {
                chooserCalls_.emplace_back(caption, initial);
                std::optional<std::string> answer;
                if (!folders_.empty()) {
                    answer = folders_.front();
                    folders_.pop_front();
                }
                return answer;
            });
    }

    void cleanup() { form_.reset(); }

    void ShowsTheTexts()
    {
        ShowPrepared();
        QCOMPARE(form_->windowTitle(), QString("New profile"));
        QCOMPARE(Label("Label1")->text(), QString("Enter the new profile name:"));
        QCOMPARE(Label("Label2")->text(), QString("Default directory"));
        QCOMPARE(form_->findChild<QGroupBox*>("GroupBox1")->title(), QString("Location:"));
        QCOMPARE(Button("Button1")->text(), QString("OK"));
        QCOMPARE(Button("Button2")->text(), QString("Cancel"));
        QCOMPARE(Button("Button3")->text(), QString("Browse..."));
        QVERIFY(Button("Button1")->isDefault());
        QCOMPARE(QApplication::focusWidget(), Edit1());
        QVERIFY(form_->width() >= 316);
        QVERIFY(form_->height() >= 154);
    }

    void ShowsALongFolderShortenedAndKeepsItWhole()
    {
        ShowPrepared();
        const std::string folder = "/home/someone/profiles/abcdefghi";
        QCOMPARE(folder.size(), std::size_t{32});
        Browse(folder);
        QCOMPARE(chooserCalls_.size(), std::size_t{1});
        QCOMPARE(chooserCalls_.front().first,
                 std::string("Select folder where you want to store a profile."));
        QCOMPARE(Label("Label2")->text(), QString("/ho...home/someone/profiles/abcdefghi"));
        QCOMPARE(Label("Label2")->toolTip(), QString::fromStdString(folder));
        QCOMPARE(form_->LocationPath(), folder);

        Browse("/srv/p");
        QCOMPARE(chooserCalls_.back().second, folder);
        QCOMPARE(Label("Label2")->text(), QString("/srv/p"));
        QCOMPARE(form_->LocationPath(), std::string("/srv/p"));
    }

    void ACancelledChooserChangesNothing()
    {
        ShowPrepared();
        Browse("/srv/profiles");
        Browse(std::nullopt);
        QCOMPARE(chooserCalls_.size(), std::size_t{2});
        QCOMPARE(Label("Label2")->text(), QString("/srv/profiles"));
        QCOMPARE(form_->LocationPath(), std::string("/srv/profiles"));
    }

    void OkAcceptsAnyName()
    {
        ShowPrepared();
        QTest::mouseClick(Button("Button1"), Qt::LeftButton);
        QVERIFY(!form_->isVisible());
        QVERIFY(form_->NameAccepted());
        QCOMPARE(form_->Name(), std::string());

        ShowPrepared();
        QTest::keyClicks(Edit1(), "My/Profile?");
        Browse("/srv/profiles");
        QTest::keyClick(Edit1(), Qt::Key_Return);
        const TNewProfileAnswer answer = form_->Answer();
        QVERIFY(answer.NameAccepted);
        QCOMPARE(answer.Name, std::string("My/Profile?"));
        QCOMPARE(answer.LocationPath, std::string("/srv/profiles"));
    }

    void CancelEscapeAndTheCloseBoxLeaveItUnaccepted()
    {
        QTimer::singleShot(0, form_.get(), [this] {
            QTest::keyClicks(Edit1(), "work");
            QTest::mouseClick(Button("Button2"), Qt::LeftButton);
        });
        QVERIFY(!form_->Execute());
        QTimer::singleShot(0, form_.get(), [this] {
            QTest::keyClicks(Edit1(), "work");
            QTest::keyClick(Edit1(), Qt::Key_Escape);
        });
        QVERIFY(!form_->Execute());
        QTimer::singleShot(0, form_.get(), [this] {
            QTest::keyClicks(Edit1(), "work");
            form_->close();
        });
        QVERIFY(!form_->Execute());
        QVERIFY(!form_->Answer().NameAccepted);
    }

    void ReopensEmpty()
    {
        QTimer::singleShot(0, form_.get(), [this] {
            QTest::keyClicks(Edit1(), "work");
            Browse("/home/someone/profiles/abcdefghi");
            QTest::mouseClick(Button("Button1"), Qt::LeftButton);
        });
        QVERIFY(form_->Execute());
        QCOMPARE(form_->Name(), std::string("work"));

        bool seenEmpty = false;
        QTimer::singleShot(0, form_.get(), [this, &seenEmpty] {
            seenEmpty = Edit1()->text().isEmpty() && Label("Label2")->text() == "Default directory" &&
                        Label("Label2")->toolTip().isEmpty() && form_->LocationPath().empty() &&
                        !form_->NameAccepted();
            QTest::mouseClick(Button("Button2"), Qt::LeftButton);
        });
        QVERIFY(!form_->Execute());
        QVERIFY(seenEmpty);
    }
};

QTEST_MAIN(NewProfileDialogTest)
#include "NewProfileDialogTest.moc"
