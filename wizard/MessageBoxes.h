// Message boxes: the one way the windows show them, real ones for the program and scripted ones for tests.

#pragma once

#include "platform/UserInterface.h"

#include <QPointer>
#include <QWidget>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace quillbank {

/**
 * The one way the windows show a message box. The wizard's windows take it
 * by reference, so the real boxes (TQtMessageBoxes) can be swapped for
 * scripted ones (TScriptedMessageBoxes) and no test has to answer a real
 * modal box.
 *
 * The contract is TUserInterface::ShowMessageBox's: a modal box with the
 * localised caption and text, the given buttons and icon; the button pressed
 * comes back. A box left with Escape or its close box answers as its Cancel
 * or No button would, and an OK-only box answers OK.
 */
class TMessageBoxes
{
public:
    virtual ~TMessageBoxes() = default;

    virtual TBoxAnswer ShowMessageBox(const std::string& caption, const std::string& text,
                                      TBoxButtons buttons, TBoxIcon icon) = 0;
};

/**
 * Real boxes (QMessageBox), centred over their owner: the modal dialog
 * showing at the time (so a dialog's own boxes sit over it), else the window
 * given at construction, else the active window.
 */
class TQtMessageBoxes final : public TMessageBoxes
{
public:
    explicit TQtMessageBoxes(QWidget* owner = nullptr);

    TBoxAnswer ShowMessageBox(const std::string& caption, const std::string& text, TBoxButtons buttons,
                              TBoxIcon icon) override;

private:
    QPointer<QWidget> owner_;
};

/**
 * Boxes for tests: each box is recorded and answered from a queue filled
 * beforehand; with nothing queued it answers as if it were dismissed
 * (DismissAnswer).
 */
class TScriptedMessageBoxes final : public TMessageBoxes
{
public:
    struct TBox
    {
        std::string Caption;
        std::string Text;
        TBoxButtons Buttons = TBoxButtons::Ok;
        TBoxIcon Icon = TBoxIcon::Information;
    };

    /// Every box shown so far, in order.
    std::vector<TBox> Boxes;
    /// Called with each box as it shows, before it is answered.
    std::function<void(const TBox&)> OnShow;

    void QueueAnswer(TBoxAnswer answer) { answers_.push_back(answer); }
    bool AllAnswersUsed() const { return answers_.empty(); }

    TBoxAnswer ShowMessageBox(const std::string& caption, const std::string& text, TBoxButtons buttons,
                              TBoxIcon icon) override;

private:
    std::deque<TBoxAnswer> answers_;
};

} // namespace quillbank
