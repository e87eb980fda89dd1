// The interface through which the core reaches the user: message boxes, prompts, progress and ending at once.

#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace quillbank {

enum class TBoxButtons
{
    Ok,
    YesNo,
    RetryCancel,
};

enum class TBoxIcon
{
    Warning,
    Error,
    Question,
    Information,
    Stop,
};

enum class TBoxAnswer
{
    Ok,
    Yes,
    No,
    Retry,
    Cancel,
};

/// How long work may keep the window waiting before it gets its turn again
/// (`TUserInterface::ProcessEvents`): well under the tenth of a second a
/// user notices, with room left for a slow moment of the machine.
constexpr std::chrono::milliseconds EventTurnInterval{25};

/// What a box left without a button press answers for a button set: the
/// negative choice (No, Cancel), or Ok.
TBoxAnswer DismissAnswer(TBoxButtons buttons);

/**
 * The only way the core reaches the person in front of the program.
 *
 * The wizard implements it with real windows, the command-line tool with the
 * terminal, and the tests with a scripted double. Every box is modal and takes
 * its caption first and its text second; the texts are already localised.
 */
class TUserInterface
{
public:
    virtual ~TUserInterface() = default;

    /// Shows a modal box and returns the button the user pressed.
    virtual TBoxAnswer ShowMessageBox(const std::string& caption, const std::string& text,
                                      TBoxButtons buttons, TBoxIcon icon) = 0;

    /// The restore password prompt: the entered password, or nothing when the
    /// user cancelled it.
    virtual std::optional<std::string> AskRestorePassword() = 0;

    /// The folder chooser: the chosen folder, or nothing when cancelled.
    virtual std::optional<std::string> ChooseFolder(const std::string& caption,
                                                    const std::string& initialFolder) = 0;

    /// Lets pending window events run during a long operation, so the window
    /// repaints and its Cancel button and close box stay usable.
    virtual void ProcessEvents() = 0;

    /// Progress page: the current action, one more report line, the bar.
    virtual void ShowTaskLine(const std::string& text) = 0;
    virtual void AddReportLine(const std::string& text) = 0;
    virtual void SetProgressRange(int minimum, int maximum) = 0;
    virtual void SetProgressPosition(int position) = 0;
    /// The byte counts behind a SetProgressPercent call, given just before the
    /// bar moves, for an interface that shows them too; ignored by default.
    virtual void ShowProgressBytes(std::int64_t /*totalBytes*/, std::int64_t /*doneBytes*/) {}

    /// Ends the program at once with `exitCode`; nothing under way is finished
    /// or undone, but the temporaries being written are removed (see
    /// LiveTemporaries.h). Never returns.
    [[noreturn]] void ExitImmediately(int exitCode);

    // The message-box helpers every part of the program uses.
    void ShowWarning(const std::string& caption, const std::string& text);
    void ShowError(const std::string& caption, const std::string& text);
    bool AskYesNo(const std::string& caption, const std::string& text);

    /// Sets the bar from a byte count: 0 when either value is 0, otherwise
    /// done / total in percent, rounded half to even and kept within 0..100.
    void SetProgressPercent(std::int64_t totalBytes, std::int64_t doneBytes);

protected:
    /// Ends the program (or, in tests, leaves by an exception); must not return.
    virtual void EndProgram(int exitCode) = 0;
};

/// The bar position SetProgressPercent shows for the given byte counts.
int ProgressPercent(std::int64_t totalBytes, std::int64_t doneBytes);

} // namespace quillbank
