// How a backup or restore run ended: done, done with files left out, or failed, and the exit code for each.

#pragma once

#include "engine/Archive.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillbank {

class TInterfaceTexts;

/// How a backup or restore run ended.
enum class TRunStatus
{
    /// Everything asked for was done.
    Done,
    /// The run went to its end, but files or entries were left out.
    DoneWithLeftOut,
    /// The run did not do what it was asked for.
    Failed,
};

/**
 * How a run ended and why. The wizard's report, the exit code of the
 * command-line tool and that of an unattended run all follow from it.
 */
struct TRunOutcome
{
    TRunStatus Status = TRunStatus::Done;
    /// The files or entries that were left out or could not be written, each
    /// with the reason.
    std::vector<TLeftOutFile> LeftOut;
    /// Why the run failed; empty unless it did.
    std::string Failure;
    /// Of a restore from a ZIP backup: the entries it wrote (a database and
    /// its log count as two) and the bytes the archive declares for them.
    std::uint64_t EntriesWritten = 0;
    std::uint64_t BytesWritten = 0;

    /// A run that stopped for `reason`.
    static TRunOutcome Failed(std::string reason);
    /// A run that went to its end: done, or done without `leftOut`.
    static TRunOutcome Finished(std::vector<TLeftOutFile> leftOut);
};

/// The exit code a program ends with after a run that ended as `status`:
/// 0 done, 5 done with things left out, 1 failed. The command-line tool and
/// an unattended run of the wizard both use it.
constexpr int RunExitCode(TRunStatus status)
{
    switch (status) {
    case TRunStatus::Done:
        return 0;
    case TRunStatus::DoneWithLeftOut:
        return 5;
    case TRunStatus::Failed:
        break;
    }
    return 1;
}

/// "<path>: <reason>", as the report and the messages name what was left out.
std::string LeftOutText(const TLeftOutFile& file);

/// The report's closing line for a run that did not do everything; nothing
/// for one that did.
std::optional<std::string> OutcomeReportLine(const TRunOutcome& outcome, const TInterfaceTexts& texts);

} // namespace quillbank
