// A user interface for tests that records every call and answers from queues filled beforehand.

#pragma once

#include "platform/UserInterface.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace quillbank::testing {

/// What ExitImmediately throws in tests instead of ending the test process.
struct TImmediateExit
{
    int exitCode;
};

/**
 * A user interface that records every call as one line of text and answers
 * from queues a test fills beforehand. A box, password prompt or folder chooser
 * with no queued answer fails the test (and answers Cancel / nothing), so an
 * unexpected question never passes unnoticed.
 *
 * Recorded lines:
 *   "box <buttons> <icon>|<caption>|<text>", "password", "folder|<caption>|<initial>",
 *   "task|<text>", "report|<text>", "range|<min>|<max>", "position|<n>", "exit|<code>".
 * ProcessEvents is counted, not recorded.
 */
class TScriptedUserInterface final : public quillbank::TUserInterface
{
public:
    std::vector<std::string> calls;
    int processEventsCount = 0;

    void QueueAnswer(quillbank::TBoxAnswer answer) { boxAnswers_.push_back(answer); }
    void QueuePassword(std::optional<std::string> password) { passwords_.push_back(std::move(password)); }
    void QueueFolder(std::optional<std::string> folder) { folders_.push_back(std::move(folder)); }
    /// True when every queued answer has been used.
    bool AllAnswersUsed() const { return boxAnswers_.empty() && passwords_.empty() && folders_.empty(); }

    quillbank::TBoxAnswer ShowMessageBox(const std::string& caption, const std::string& text,
                                         quillbank::TBoxButtons buttons, quillbank::TBoxIcon icon) override;
    std::optional<std::string> AskRestorePassword() override;
    std::optional<std::string> ChooseFolder(const std::string& caption,
                                            const std::string& initialFolder) override;
    void ProcessEvents() override { ++processEventsCount; }
    void ShowTaskLine(const std::string& text) override { calls.push_back("task|" + text); }
    void AddReportLine(const std::string& text) override { calls.push_back("report|" + text); }
    void SetProgressRange(int minimum, int maximum) override;
    void SetProgressPosition(int position) override;

protected:
    void EndProgram(int exitCode) override;

private:
    std::deque<quillbank::TBoxAnswer> boxAnswers_;
    std::deque<std::optional<std::string>> passwords_;
    std::deque<std::optional<std::string>> folders_;
};

} // namespace quillbank::testing
