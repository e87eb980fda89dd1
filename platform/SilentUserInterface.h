// A user interface nobody sits at: every box gets its negative answer and nothing is shown.

#pragma once

#include "platform/UserInterface.h"

namespace quillbank {

/**
 * A user interface nobody sits at: every box is answered with its negative
 * choice (Cancel, No), no password or folder is given, and nothing is shown.
 * How the program ends is left to the class that derives from it.
 */
class TSilentUserInterface : public TUserInterface
{
public:
    TBoxAnswer ShowMessageBox(const std::string&, const std::string&, TBoxButtons buttons, TBoxIcon) override
    {
        return DismissAnswer(buttons);
    }
    std::optional<std::string> AskRestorePassword() override { return std::nullopt; }
    std::optional<std::string> ChooseFolder(const std::string&, const std::string&) override
    {
        return std::nullopt;
    }
    void ProcessEvents() override {}
    void ShowTaskLine(const std::string&) override {}
    void AddReportLine(const std::string&) override {}
    void SetProgressRange(int, int) override {}
    void SetProgressPosition(int) override {}
};

} // namespace quillbank
