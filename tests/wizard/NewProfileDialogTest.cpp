// Tests of the new-profile dialog: its texts, the chosen folder shortened for display, OK and Cancel.

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
    std::unique_ptr<TInterfaceTexts> texts_;
    std::unique_ptr<TNewProfileDialog> dialog_;
    /// The folder chooser's answers, and what it was asked.
    std::deque<std::optional<std::string>> folders_;
    std::vector<std::pair<std::string, std::string>> chooserCalls_;

    QLineEdit* NameEdit() { return dialog_->findChild<QLineEdit*>("nameEdit"); }
    QLabel* Label(const char* name) { return dialog_->findChild<QLabel*>(name); }
    QPushButton* Button(const char* name) { return dialog_->findChild<QPushButton*>(name); }

    void ShowPrepared()
    {
        dialog_->Prepare();
        dialog_->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog_.get()));
    }

    void Browse(std::optional<std::string> answer)
    {
        folders_.push_back(std::move(answer));
        QTest::mouseClick(Button("browseButton"), Qt::LeftButton);
    }

private slots:
    void init()
    {
        QVERIFY(dir_.isValid());
        texts_ = std::make_unique<TInterfaceTexts>(dir_.filePath("Default.lng").toStdString());
        folders_.clear();
        chooserCalls_.clear();
        dialog_ = std::make_unique<TNewProfileDialog>(
            *texts_, [this](const std::string& caption, const std::string& initial) {
                chooserCalls_.emplace_back(caption, initial);
                std::optional<std::string> answer;
                if (!folders_.empty()) {
                    answer = folders_.front();
                    folders_.pop_front();
                }
                return answer;
            });
    }

    void cleanup() { dialog_.reset(); }

    void ShowsTheTexts()
    {
        ShowPrepared();
        QCOMPARE(dialog_->windowTitle(), QString("New profile"));
        QCOMPARE(Label("nameLabel")->text(), QString("Enter the new profile name:"));
        QCOMPARE(Label("locationLabel")->text(), QString("Default directory"));
        QCOMPARE(dialog_->findChild<QGroupBox*>("locationGroup")->title(), QString("Location:"));
        QCOMPARE(Button("okButton")->text(), QString("OK"));
        QCOMPARE(Button("cancelButton")->text(), QString("Cancel"));
        QCOMPARE(Button("browseButton")->text(), QString("Browse..."));
        QVERIFY(Button("okButton")->isDefault());
        QCOMPARE(QApplication::focusWidget(), NameEdit());
        QVERIFY(dialog_->width() >= 316);
        QVERIFY(dialog_->height() >= 154);
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
        QCOMPARE(Label("locationLabel")->text(), QString("/ho...home/someone/profiles/abcdefghi"));
        QCOMPARE(Label("locationLabel")->toolTip(), QString::fromStdString(folder));
        QCOMPARE(dialog_->LocationPath(), folder);

        Browse("/srv/p");
        QCOMPARE(chooserCalls_.back().second, folder);
        QCOMPARE(Label("locationLabel")->text(), QString("/srv/p"));
        QCOMPARE(dialog_->LocationPath(), std::string("/srv/p"));
    }

    void ACancelledChooserChangesNothing()
    {
        ShowPrepared();
        Browse("/srv/profiles");
        Browse(std::nullopt);
        QCOMPARE(chooserCalls_.size(), std::size_t{2});
        QCOMPARE(Label("locationLabel")->text(), QString("/srv/profiles"));
        QCOMPARE(dialog_->LocationPath(), std::string("/srv/profiles"));
    }

    void OkAcceptsAnyName()
    {
        ShowPrepared();
        QTest::mouseClick(Button("okButton"), Qt::LeftButton);
        QVERIFY(!dialog_->isVisible());
        QVERIFY(dialog_->NameAccepted());
        QCOMPARE(dialog_->Name(), std::string());

        ShowPrepared();
        QTest::keyClicks(NameEdit(), "My/Profile?");
        Browse("/srv/profiles");
        QTest::keyClick(NameEdit(), Qt::Key_Return);
        const TNewProfileAnswer answer = dialog_->Answer();
        QVERIFY(answer.NameAccepted);
        QCOMPARE(answer.Name, std::string("My/Profile?"));
        QCOMPARE(answer.LocationPath, std::string("/srv/profiles"));
    }

    void CancelEscapeAndTheCloseBoxLeaveItUnaccepted()
    {
        QTimer::singleShot(0, dialog_.get(), [this] {
            QTest::keyClicks(NameEdit(), "work");
            QTest::mouseClick(Button("cancelButton"), Qt::LeftButton);
        });
        QVERIFY(!dialog_->Execute());
        QTimer::singleShot(0, dialog_.get(), [this] {
            QTest::keyClicks(NameEdit(), "work");
            QTest::keyClick(NameEdit(), Qt::Key_Escape);
        });
        QVERIFY(!dialog_->Execute());
        QTimer::singleShot(0, dialog_.get(), [this] {
            QTest::keyClicks(NameEdit(), "work");
            dialog_->close();
        });
        QVERIFY(!dialog_->Execute());
        QVERIFY(!dialog_->Answer().NameAccepted);
    }

    void ReopensEmpty()
    {
        QTimer::singleShot(0, dialog_.get(), [this] {
            QTest::keyClicks(NameEdit(), "work");
            Browse("/home/someone/profiles/abcdefghi");
            QTest::mouseClick(Button("okButton"), Qt::LeftButton);
        });
        QVERIFY(dialog_->Execute());
        QCOMPARE(dialog_->Name(), std::string("work"));

        bool seenEmpty = false;
        QTimer::singleShot(0, dialog_.get(), [this, &seenEmpty] {
            seenEmpty = NameEdit()->text().isEmpty() &&
                        Label("locationLabel")->text() == "Default directory" &&
                        Label("locationLabel")->toolTip().isEmpty() && dialog_->LocationPath().empty() &&
                        !dialog_->NameAccepted();
            QTest::mouseClick(Button("cancelButton"), Qt::LeftButton);
        });
        QVERIFY(!dialog_->Execute());
        QVERIFY(seenEmpty);
    }
};

QTEST_MAIN(NewProfileDialogTest)
#include "NewProfileDialogTest.moc"
