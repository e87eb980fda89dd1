// Records the scripted user interface's calls and fails the test on a question with no answer queued.

#include "tests/support/ScriptedUserInterface.h"

#include <gtest/gtest.h>

namespace quillbank::testing {

namespace {

const char* Name(TBoxButtons buttons)
{
    switch (buttons) {
    case TBoxButtons::Ok:
        return "ok";
    case TBoxButtons::YesNo:
        return "yesno";
    case TBoxButtons::RetryCancel:
        return "retrycancel";
    }
    return "?";
}

const char* Name(TBoxIcon icon)
{
    switch (icon) {
    case TBoxIcon::Warning:
        return "warning";
    case TBoxIcon::Error:
        return "error";
    case TBoxIcon::Question:
        return "question";
    case TBoxIcon::Information:
        return "information";
    case TBoxIcon::Stop:
        return "stop";
    }
    return "?";
}

} // namespace

TBoxAnswer TScriptedUserInterface::ShowMessageBox(const std::string& caption, const std::string& text,
                                                  TBoxButtons buttons, TBoxIcon icon)
{
    calls.push_back(std::string("box ") + Name(buttons) + " " + Name(icon) + "|" + caption + "|" + text);
    if (boxAnswers_.empty()) {
        ADD_FAILURE() << "unexpected message box: " << calls.back();
        return buttons == TBoxButtons::Ok ? TBoxAnswer::Ok : TBoxAnswer::Cancel;
    }
    const TBoxAnswer answer = boxAnswers_.front();
    boxAnswers_.pop_front();
    return answer;
}

std::optional<std::string> TScriptedUserInterface::AskRestorePassword()
{
    calls.push_back("password");
    if (passwords_.empty()) {
        ADD_FAILURE() << "unexpected password prompt";
        return std::nullopt;
    }
    auto answer = passwords_.front();
    passwords_.pop_front();
    return answer;
}

std::optional<std::string> TScriptedUserInterface::ChooseFolder(const std::string& caption,
                                                                const std::string& initialFolder)
{
    calls.push_back("folder|" + caption + "|" + initialFolder);
    if (folders_.empty()) {
        ADD_FAILURE() << "unexpected folder chooser: " << calls.back();
        return std::nullopt;
    }
    auto answer = folders_.front();
    folders_.pop_front();
    return answer;
}

void TScriptedUserInterface::SetProgressRange(int minimum, int maximum)
{
    calls.push_back("range|" + std::to_string(minimum) + "|" + std::to_string(maximum));
}

void TScriptedUserInterface::SetProgressPosition(int position)
{
    calls.push_back("position|" + std::to_string(position));
}

void TScriptedUserInterface::EndProgram(int exitCode)
{
    calls.push_back("exit|" + std::to_string(exitCode));
    throw TImmediateExit{exitCode};
}

} // namespace quillbank::testing
