// What every user interface shares: the message-box helpers, the progress percentage and ending at once.

#include "platform/UserInterface.h"

#include "platform/LiveTemporaries.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace quillbank {

TBoxAnswer DismissAnswer(TBoxButtons buttons)
{
    switch (buttons) {
    case TBoxButtons::YesNo:
        return TBoxAnswer::No;
    case TBoxButtons::RetryCancel:
        return TBoxAnswer::Cancel;
    case TBoxButtons::Ok:
        break;
    }
    return TBoxAnswer::Ok;
}

void TUserInterface::ShowWarning(const std::string& caption, const std::string& text)
{
    ShowMessageBox(caption, text, TBoxButtons::Ok, TBoxIcon::Warning);
}

void TUserInterface::ShowError(const std::string& caption, const std::string& text)
{
    ShowMessageBox(caption, text, TBoxButtons::Ok, TBoxIcon::Error);
}

bool TUserInterface::AskYesNo(const std::string& caption, const std::string& text)
{
    return ShowMessageBox(caption, text, TBoxButtons::YesNo, TBoxIcon::Question) == TBoxAnswer::Yes;
}

void TUserInterface::ExitImmediately(int exitCode)
{
    // Half-written files of the run go with it.
    RemoveLiveTemporaries();
    EndProgram(exitCode);
    // An implementation that returns would let a failed run carry on.
    std::abort();
}

void TUserInterface::SetProgressPercent(std::int64_t totalBytes, std::int64_t doneBytes)
{
    ShowProgressBytes(totalBytes, doneBytes);
    SetProgressPosition(ProgressPercent(totalBytes, doneBytes));
}

int ProgressPercent(std::int64_t totalBytes, std::int64_t doneBytes)
{
    if (totalBytes == 0 || doneBytes == 0)
        return 0;
    // std::nearbyint rounds half to even in the default rounding mode.
    const double percent =
        std::nearbyint(static_cast<double>(doneBytes) / static_cast<double>(totalBytes) * 100.0);
    return static_cast<int>(std::clamp(percent, 0.0, 100.0));
}

} // namespace quillbank
