// Tests of the wizard's message boxes: real boxes, centred over the modal dialog, and scripted ones.

#include "wizard/MessageBoxes.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using namespace quillbank;

class MessageBoxesTest : public QObject
{
    Q_OBJECT

private:
    struct TSeen
    {
        QString caption;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        QWidget* parent = nullptr;
    };

    /// Answers the next real box with `button` (or Escape when NoButton) and
    /// notes what it showed.
    static void AnswerNextBox(TSeen& seen, QMessageBox::StandardButton button)
    {
        QTimer::singleShot(0, [&seen, button] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr);
            seen = {box->windowTitle(), box->text(), box->icon(), box->standardButtons(),
                    box->parentWidget()};
            if (button == QMessageBox::NoButton)
                QTest::keyClick(box, Qt::Key_Escape);
            else
                QTest::mouseClick(box->button(button), Qt::LeftButton);
        });
    }

private slots:
    void ShowsRealBoxes()
    {
        TQtMessageBoxes boxes;
        TSeen seen;
        AnswerNextBox(seen, QMessageBox::No);
        QVERIFY(boxes.ShowMessageBox("Question", "Überschreiben?", TBoxButtons::YesNo, TBoxIcon::Question) ==
                TBoxAnswer::No);
        QCOMPARE(seen.caption, QString("Question"));
        QCOMPARE(seen.text, QString::fromUtf8("Überschreiben?"));
        QCOMPARE(seen.icon, QMessageBox::Question);
        QCOMPARE(seen.buttons, QMessageBox::Yes | QMessageBox::No);

        AnswerNextBox(seen, QMessageBox::Retry);
        QVERIFY(boxes.ShowMessageBox("Warning", "running", TBoxButtons::RetryCancel, TBoxIcon::Stop) ==
                TBoxAnswer::Retry);
        QCOMPARE(seen.icon, QMessageBox::Critical);
        QCOMPARE(seen.buttons, QMessageBox::Retry | QMessageBox::Cancel);

        AnswerNextBox(seen, QMessageBox::NoButton);
        QVERIFY(boxes.ShowMessageBox("Warning", "gone", TBoxButtons::RetryCancel, TBoxIcon::Error) ==
                TBoxAnswer::Cancel);

        AnswerNextBox(seen, QMessageBox::NoButton);
        QVERIFY(boxes.ShowMessageBox("Warning", "note", TBoxButtons::Ok, TBoxIcon::Information) ==
                TBoxAnswer::Ok);
        QCOMPARE(seen.icon, QMessageBox::Information);
        QCOMPARE(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

        AnswerNextBox(seen, QMessageBox::Ok);
        QVERIFY(boxes.ShowMessageBox("Warning", "careful", TBoxButtons::Ok, TBoxIcon::Warning) ==
                TBoxAnswer::Ok);
        QCOMPARE(seen.icon, QMessageBox::Warning);
    }

    void CentresBoxesOverTheModalDialog()
    {
        TQtMessageBoxes boxes;
        QDialog dialog;
        TSeen seen;
        QTimer::singleShot(0, &dialog, [&] {
            AnswerNextBox(seen, QMessageBox::Yes);
            QVERIFY(boxes.ShowMessageBox("Q", "T", TBoxButtons::YesNo, TBoxIcon::Question) ==
                    TBoxAnswer::Yes);
            dialog.accept();
        });
        dialog.exec();
        QCOMPARE(seen.parent, static_cast<QWidget*>(&dialog));

        QWidget owner;
        TQtMessageBoxes owned(&owner);
        AnswerNextBox(seen, QMessageBox::Ok);
        owned.ShowMessageBox("Q", "T", TBoxButtons::Ok, TBoxIcon::Warning);
        QCOMPARE(seen.parent, &owner);

        QTimer::singleShot(0, &dialog, [&] {
            AnswerNextBox(seen, QMessageBox::Ok);
            owned.ShowMessageBox("Q", "T", TBoxButtons::Ok, TBoxIcon::Warning);
            dialog.accept();
        });
        dialog.exec();
        QCOMPARE(seen.parent, static_cast<QWidget*>(&dialog));
    }

    void ScriptedBoxesAnswerFromTheQueue()
    {
        TScriptedMessageBoxes boxes;
        boxes.QueueAnswer(TBoxAnswer::Yes);
        QVERIFY(boxes.ShowMessageBox("c1", "t1", TBoxButtons::YesNo, TBoxIcon::Question) == TBoxAnswer::Yes);
        QVERIFY(boxes.AllAnswersUsed());
        QVERIFY(boxes.ShowMessageBox("c2", "t2", TBoxButtons::YesNo, TBoxIcon::Question) == TBoxAnswer::No);
        QVERIFY(boxes.ShowMessageBox("c3", "t3", TBoxButtons::RetryCancel, TBoxIcon::Stop) ==
                TBoxAnswer::Cancel);
        QVERIFY(boxes.ShowMessageBox("c4", "t4", TBoxButtons::Ok, TBoxIcon::Warning) == TBoxAnswer::Ok);
        QCOMPARE(boxes.Boxes.size(), std::size_t{4});
        QCOMPARE(boxes.Boxes[2].Caption, std::string("c3"));
        QCOMPARE(boxes.Boxes[2].Text, std::string("t3"));
        QVERIFY(boxes.Boxes[2].Buttons == TBoxButtons::RetryCancel);
        QVERIFY(boxes.Boxes[2].Icon == TBoxIcon::Stop);
    }
};

QTEST_MAIN(MessageBoxesTest)
#include "MessageBoxesTest.moc"
