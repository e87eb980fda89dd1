// The wizard's dialogs for tests: every modal question answered from queues, or dismissed.

#pragma once

#include "wizard/WizardDialogs.h"

#include <QtTest>
#include <deque>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace quillbank::testing {

/// Answers every modal question of the wizard from queues; a question with
/// nothing queued is dismissed.
class TScriptedWizardDialogs final : public TWizardDialogs
{
public:
    TScriptedMessageBoxes boxes;
    std::deque<std::optional<std::string>> backupPasswords;
    std::deque<std::optional<std::string>> filesToOpen;
    std::deque<std::optional<std::string>> filesToSave;
    int unknownFilesShown = 0;

    TMessageBoxes& MessageBoxes() override { return boxes; }
    std::optional<std::string> AskBackupPassword() override { return Next(backupPasswords); }
    std::optional<std::string> AskRestorePassword() override { return std::nullopt; }
    TNewProfileAnswer AskNewProfile() override { return {}; }
    void ShowUnknownFiles(TUnknownFilesChoice&) override { ++unknownFilesShown; }
    /// The folders the folder chooser gives, in turn; nothing once they run out.
    std::deque<std::optional<std::string>> folders;
    std::vector<std::string> folderCaptions;
    std::optional<std::string> ChooseFolder(const std::string& caption, const std::string&) override
    {
        folderCaptions.push_back(caption);
        return Next(folders);
    }
    std::optional<std::string> ChooseBackupFileToSave(const std::string&, const std::string&,
                                                      const std::string&) override
    {
        return Next(filesToSave);
    }
    std::optional<std::string> ChooseBackupFileToOpen(const std::string&, const std::string&,
                                                      const std::string&) override
    {
        return Next(filesToOpen);
    }
    void EndProgram(int exitCode) override
    {
        // A helper program ends as the wizard would.
        if (endsProcess)
            _exit(exitCode);
        QFAIL(qPrintable(QStringLiteral("program ended with %1").arg(exitCode)));
    }
    void RequestEnd(int exitCode) override
    {
        ++endRequests;
        endCode = exitCode;
    }
    int endRequests = 0;
    int endCode = -1;
    bool endsProcess = false;

private:
    static std::optional<std::string> Next(std::deque<std::optional<std::string>>& queue)
    {
        if (queue.empty())
            return std::nullopt;
        auto answer = queue.front();
        queue.pop_front();
        return answer;
    }
};

} // namespace quillbank::testing
