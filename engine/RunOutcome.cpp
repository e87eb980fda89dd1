// Builds run outcomes, and words what was left out and the report's closing line for people.

#include "engine/RunOutcome.h"

#include "config/InterfaceTexts.h"
#include "platform/Text.h"

namespace quillbank {

namespace {

constexpr std::string_view TextSection = "Quillbank14";

} // namespace

TRunOutcome TRunOutcome::Failed(std::string reason)
{
    return {TRunStatus::Failed, {}, std::move(reason)};
}

TRunOutcome TRunOutcome::Finished(std::vector<TLeftOutFile> leftOut)
{
    const TRunStatus status = leftOut.empty() ? TRunStatus::Done : TRunStatus::DoneWithLeftOut;
    return {status, std::move(leftOut), {}};
}

std::string LeftOutText(const TLeftOutFile& file)
{
    // Names from an archive: shown with their control characters escaped.
    return VisibleText(file.Path) + ": " + VisibleText(file.Reason);
}

std::optional<std::string> OutcomeReportLine(const TRunOutcome& outcome, const TInterfaceTexts& texts)
{
    switch (outcome.Status) {
    case TRunStatus::Done:
        return std::nullopt;
    case TRunStatus::DoneWithLeftOut:
        return texts.GetTextFmt(
            TextSection, "LANG_RUN_INCOMPLETE",
            texts.GetTextFmt(TextSection, "LANG_ACCOUNT_FILES", std::to_string(outcome.LeftOut.size())));
    case TRunStatus::Failed:
        break;
    }
    return texts.GetTextFmt(TextSection, "LANG_RUN_FAILED", outcome.Failure);
}

} // namespace quillbank
