// What a backup, a restore or a verify tells a script with --json.

#pragma once

#include "engine/RunOutcome.h"
#include "vocabulary/AppType.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillbank::cli {

class TJsonWriter;

/// What a backup, a restore or a verify tells a script with --json.
struct TRunSummary
{
    std::string Archive;
    AppType Application = NoAppType;
    /// The profile's name and folder; none for verify.
    std::optional<std::string> ProfileName;
    std::optional<std::string> ProfileFolder;
    std::vector<std::string> Components;
    /// The entries written (or read back) and their bytes.
    std::uint64_t Files = 0;
    std::uint64_t Bytes = 0;
    /// What was left out, each with the reason.
    std::vector<TLeftOutFile> LeftOut;
    double Seconds = 0;
    TRunStatus Status = TRunStatus::Done;
    /// Why the run failed; empty unless it did.
    std::string Failure;
};

/// Writes the summary's members into the object `json` has open:
/// "archive", "application" {"type", "name"}, "profile" {"name", "folder"}
/// or null, "components", "files", "bytes", "leftOut" [{"path", "reason"}],
/// "seconds", "outcome" ("done", "incomplete" or "failed") and, for a failed
/// run, "failure".
void WriteRunSummary(TJsonWriter& json, const TRunSummary& summary);

/// Seconds since `start`, for the summary.
double SecondsSince(std::chrono::steady_clock::time_point start);

} // namespace quillbank::cli
