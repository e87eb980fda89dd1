// Shows real message boxes centred over their owner, and records and answers scripted ones.

#include "wizard/MessageBoxes.h"

#include <QApplication>
#include <QMessageBox>

namespace quillbank {

namespace {

QMessageBox::Icon QtIcon(TBoxIcon icon)
{
    switch (icon) {
    case TBoxIcon::Warning:
        return QMessageBox::Warning;
    case TBoxIcon::Question:
        return QMessageBox::Question;
    case TBoxIcon::Information:
        return QMessageBox::Information;
    case TBoxIcon::Error:
    case TBoxIcon::Stop:
        break;
    }
    return QMessageBox::Critical;
}

QMessageBox::StandardButtons QtButtons(TBoxButtons buttons)
{
    switch (buttons) {
    case TBoxButtons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case TBoxButtons::RetryCancel:
        return QMessageBox::Retry | QMessageBox::Cancel;
    case TBoxButtons::Ok:
        break;
    }
    return QMessageBox::Ok;
}

} // namespace

TQtMessageBoxes::TQtMessageBoxes(QWidget* owner) : owner_(owner) {}

TBoxAnswer TQtMessageBoxes::ShowMessageBox(const std::string& caption, const std::string& text,
                                           TBoxButtons buttons, TBoxIcon icon)
{
    QWidget* owner = QApplication::activeModalWidget();
    if (owner == nullptr)
        owner = owner_.data();
    if (owner == nullptr)
        owner = QApplication::activeWindow();

    QMessageBox box(QtIcon(icon), QString::fromStdString(caption), QString::fromStdString(text),
                    QtButtons(buttons), owner);
    box.exec();
    switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Ok:
        return TBoxAnswer::Ok;
    case QMessageBox::Yes:
        return TBoxAnswer::Yes;
    case QMessageBox::No:
        return TBoxAnswer::No;
    case QMessageBox::Retry:
        return TBoxAnswer::Retry;
    case QMessageBox::Cancel:
        return TBoxAnswer::Cancel;
    default:
        return DismissAnswer(buttons);
    }
}

TBoxAnswer TScriptedMessageBoxes::ShowMessageBox(const std::string& caption, const std::string& text,
                                                 TBoxButtons buttons, TBoxIcon icon)
{
    Boxes.push_back({caption, text, buttons, icon});
    if (OnShow)
        OnShow(Boxes.back());
    if (answers_.empty())
        return DismissAnswer(buttons);
    const TBoxAnswer answer = answers_.front();
    answers_.pop_front();
    return answer;
}

} // namespace quillbank
