// Tests of the unknown files dialog: its rows and ticks, the all box, and what OK and Cancel keep.

#include "wizard/UnknownFilesDialog.h"

#include "config/InterfaceTexts.h"
#include "engine/UnknownFilesChoice.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <memory>

using namespace quillbank;

class UnknownFilesDialogTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir_;
    std::unique_ptr<TInterfaceTexts> texts_;
    TUnknownFilesChoice model_;
    std::unique_ptr<TUnknownFilesDialog> dialog_;

    QListWidget* Rows() { return dialog_->findChild<QListWidget*>("entryList"); }
    QCheckBox* AllBox() { return dialog_->findChild<QCheckBox*>("allBox"); }
    QPushButton* Button(const char* name) { return dialog_->findChild<QPushButton*>(name); }

    void Open()
    {
        dialog_->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog_.get()));
    }

    /// The rows' ticks as the window shows them, "1" ticked and "0" not.
    QString ShownTicks()
    {
        QString ticks;
        for (int row = 0; row < Rows()->count(); ++row)
            ticks += Rows()->item(row)->checkState() == Qt::Checked ? '1' : '0';
        return ticks;
    }

    std::string ModelTicks() const
    {
        std::string ticks;
        for (bool tick : model_.Ticks())
            ticks += tick ? '1' : '0';
        return ticks;
    }

    void Untick(int row) { Rows()->item(row)->setCheckState(Qt::Unchecked); }

private slots:
    void init()
    {
        QVERIFY(dir_.isValid());
        texts_ = std::make_unique<TInterfaceTexts>(dir_.filePath("Default.lng").toStdString());
        model_ = TUnknownFilesChoice();
        model_.Fill({{"notes.txt", false}, {"extensions_old", true}, {"cache.db", false}, {"old", true}},
                    *texts_);
        dialog_ = std::make_unique<TUnknownFilesDialog>(model_, *texts_);
    }

    void cleanup() { dialog_.reset(); }

    void ShowsTheTextsAndTheRows()
    {
        Open();
        QCOMPARE(dialog_->windowTitle(), QString("Unknow files"));
        QCOMPARE(dialog_->findChild<QLabel*>("descriptionLabel")->text(),
                 QString("Check unknow files in your profile which you want to backup/restore:"));
        QCOMPARE(AllBox()->text(), QString("Select/Deselect all"));
        QCOMPARE(Button("okButton")->text(), QString("OK"));
        QCOMPARE(Button("cancelButton")->text(), QString("Cancel"));
        QVERIFY(Button("okButton")->isDefault());
        QVERIFY(AllBox()->isChecked());
        QCOMPARE(Rows()->count(), 4);
        QCOMPARE(Rows()->item(0)->text(), QString("notes.txt"));
        QCOMPARE(Rows()->item(1)->text(), QString("extensions_old (directory)"));
        QCOMPARE(ShownTicks(), QString("1111"));
        QVERIFY(model_.SavedStates().has_value());
        QVERIFY(dialog_->width() >= 244);
        QVERIFY(dialog_->height() >= 327);
    }

    void TickingARowTicksItInTheModel()
    {
        Open();
        Untick(2);
        QCOMPARE(ModelTicks(), std::string("1101"));
        Rows()->setCurrentRow(0);
        QTest::keyClick(Rows(), Qt::Key_Space);
        QCOMPARE(ShownTicks(), QString("0101"));
        QCOMPARE(ModelTicks(), std::string("0101"));
    }

    void TheAllBoxTicksAndUnticksEveryRow()
    {
        Open();
        Untick(1);
        QTest::mouseClick(AllBox(), Qt::LeftButton);
        QVERIFY(!AllBox()->isChecked());
        QVERIFY(!model_.AllBoxTicked());
        QCOMPARE(ShownTicks(), QString("0000"));
        QCOMPARE(ModelTicks(), std::string("0000"));
        QTest::mouseClick(AllBox(), Qt::LeftButton);
        QVERIFY(AllBox()->isChecked());
        QCOMPARE(ShownTicks(), QString("1111"));
        QCOMPARE(ModelTicks(), std::string("1111"));
    }

    void CancelPutsTheSavedTicksBack()
    {
        Open();
        Untick(0);
        Untick(3);
        QTest::mouseClick(Button("cancelButton"), Qt::LeftButton);
        QVERIFY(!dialog_->isVisible());
        QCOMPARE(ModelTicks(), std::string("1111"));
        Open();
        QCOMPARE(ShownTicks(), QString("1111"));
    }

    void EscapeAnswersAsCancel()
    {
        Open();
        Untick(1);
        QTest::keyClick(Rows(), Qt::Key_Escape);
        QVERIFY(!dialog_->isVisible());
        QCOMPARE(ModelTicks(), std::string("1111"));
    }

    void OkSavesTheTicksForTheNextShowing()
    {
        QTimer::singleShot(0, dialog_.get(), [this] {
            Untick(0);
            Untick(3);
            QTest::mouseClick(Button("okButton"), Qt::LeftButton);
        });
        dialog_->Execute();
        QCOMPARE(ModelTicks(), std::string("0110"));
        QCOMPARE(*model_.SavedStates(), (std::vector<bool>{false, true, true, false}));

        QString shown;
        QTimer::singleShot(0, dialog_.get(), [this, &shown] {
            shown = ShownTicks();
            QTest::mouseClick(AllBox(), Qt::LeftButton);
            QTest::mouseClick(Button("cancelButton"), Qt::LeftButton);
        });
        dialog_->Execute();
        QCOMPARE(shown, QString("0110"));
        QCOMPARE(ModelTicks(), std::string("0110"));
    }

    void RowsBuiltAnewStartTicked()
    {
        Open();
        Untick(0);
        QTest::mouseClick(Button("okButton"), Qt::LeftButton);
        model_.Fill({{"a", false}, {"b", true}}, *texts_);
        QVERIFY(!model_.SavedStates().has_value());
        Open();
        QCOMPARE(Rows()->count(), 2);
        QCOMPARE(Rows()->item(1)->text(), QString("b (directory)"));
        QCOMPARE(ShownTicks(), QString("11"));
    }

    void TheCloseBoxKeepsTheTicks()
    {
        Open();
        Untick(2);
        dialog_->close();
        QVERIFY(!dialog_->isVisible());
        QCOMPARE(ModelTicks(), std::string("1101"));
    }
};

QTEST_MAIN(UnknownFilesDialogTest)
#include "UnknownFilesDialogTest.moc"
