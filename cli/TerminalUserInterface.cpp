// Answers message boxes with their safe button, asks for the restore password, ends runs as the console does.

#include "cli/TerminalUserInterface.h"

#include "cli/ExitCodes.h"
#include "cli/Messages.h"
#include "cli/Password.h"

namespace quillbank::cli {

namespace {

/// How often a person at the terminal may try a password in one run.
constexpr int PromptAttempts = 3;

const char* AnswerName(TBoxAnswer answer)
{
    switch (answer) {
    case TBoxAnswer::No:
        return "No";
    case TBoxAnswer::Cancel:
        return "Cancel";
    default:
        return "OK";
    }
}

} // namespace

TTerminalUserInterface::TTerminalUserInterface(const TConsole& console, TTerminalProgress& progress,
                                               std::optional<std::string> givenPassword)
    : console_(console), progress_(progress), givenPassword_(std::move(givenPassword))
{}

int TTerminalUserInterface::ExitCodeFor(int exitCode) const
{
    return exitCode != ExitSuccess && passwordProblem_ != TPasswordProblem::None ? ExitPassword : exitCode;
}

TBoxAnswer TTerminalUserInterface::ShowMessageBox(const std::string& caption, const std::string& text,
                                                  TBoxButtons buttons, TBoxIcon /*icon*/)
{
    const TBoxAnswer answer = DismissAnswer(buttons);
    progress_.Finish();
    console_.Err << MessagePrefix() << caption << ": " << text;
    if (buttons != TBoxButtons::Ok)
        console_.Err << " [" << AnswerName(answer) << "]";
    console_.Err << std::endl;
    return answer;
}

std::optional<std::string> TTerminalUserInterface::AskRestorePassword()
{
    // Asked for, the password in hand did not open the archive.
    if (passwordProblem_ != TPasswordProblem::None)
        return std::nullopt;
    if (givenPassword_) {
        passwordProblem_ = TPasswordProblem::Wrong;
        return std::nullopt;
    }
    if (!console_.InputIsTerminal) {
        passwordProblem_ = TPasswordProblem::Missing;
        return std::nullopt;
    }
    if (prompts_ >= PromptAttempts) {
        passwordProblem_ = TPasswordProblem::Wrong;
        return std::nullopt;
    }
    progress_.Finish();
    if (prompts_ > 0)
        console_.Err << MessagePrefix() << "wrong password" << std::endl;
    ++prompts_;
    auto typed = PromptForPassword(console_, "Password for " + passwordSubject_ + ": ");
    if (!typed || typed->empty()) {
        passwordProblem_ = prompts_ > 1 ? TPasswordProblem::Wrong : TPasswordProblem::Missing;
        return std::nullopt;
    }
    return typed;
}

std::optional<std::string> TTerminalUserInterface::ChooseFolder(const std::string& /*caption*/,
                                                                const std::string& /*initialFolder*/)
{
    return std::nullopt;
}

void TTerminalUserInterface::EndProgram(int exitCode)
{
    progress_.Finish();
    console_.Out.flush();
    console_.EndRun(ExitCodeFor(exitCode));
}

} // namespace quillbank::cli
