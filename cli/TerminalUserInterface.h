// The core's user interface for a terminal: messages on standard error, safe answers, a password prompt.

#pragma once

#include "cli/Console.h"
#include "cli/TerminalProgress.h"
#include "platform/UserInterface.h"

#include <optional>
#include <string>

namespace quillbank::cli {

/**
 * The core's user interface on a terminal, for runs nobody clicks through.
 * A message box prints its caption and text on the console's standard error
 * and is answered with its safe button: OK, No, Cancel. The restore password
 * is the one the command line pointed at; without one, it is asked for on the
 * terminal (without echo) when standard input is one. Progress goes to a
 * TTerminalProgress. Ending the program ends the run as the console does.
 */
class TTerminalUserInterface final : public TUserInterface
{
public:
    enum class TPasswordProblem
    {
        None,
        /// The archive is protected and no password could be had.
        Missing,
        /// The password given (or every one typed) was refused.
        Wrong,
    };

    TTerminalUserInterface(const TConsole& console, TTerminalProgress& progress,
                           std::optional<std::string> givenPassword);

    /// What the terminal prompt names, e.g. the archive.
    void SetPasswordSubject(std::string subject) { passwordSubject_ = std::move(subject); }

    TPasswordProblem PasswordProblem() const { return passwordProblem_; }
    /// The exit code for a run that ended with `exitCode`: 4 when a failure
    /// came with a password problem.
    int ExitCodeFor(int exitCode) const;

    TBoxAnswer ShowMessageBox(const std::string& caption, const std::string& text, TBoxButtons buttons,
                              TBoxIcon icon) override;
    std::optional<std::string> AskRestorePassword() override;
    std::optional<std::string> ChooseFolder(const std::string& caption,
                                            const std::string& initialFolder) override;
    void ProcessEvents() override {}
    void ShowTaskLine(const std::string& text) override { progress_.Task(text); }
    void AddReportLine(const std::string& text) override { progress_.ReportLine(text); }
    void SetProgressRange(int minimum, int maximum) override { progress_.Range(minimum, maximum); }
    void SetProgressPosition(int position) override { progress_.Position(position); }
    void ShowProgressBytes(std::int64_t totalBytes, std::int64_t doneBytes) override
    {
        progress_.Bytes(totalBytes, doneBytes);
    }

protected:
    void EndProgram(int exitCode) override;

private:
    const TConsole& console_;
    TTerminalProgress& progress_;
    std::optional<std::string> givenPassword_;
    std::string passwordSubject_ = "the archive";
    int prompts_ = 0;
    TPasswordProblem passwordProblem_ = TPasswordProblem::None;
};

} // namespace quillbank::cli
