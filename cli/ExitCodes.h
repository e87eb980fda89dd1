// The exit codes of quillbank-cli that scripts rely on, and the errors that carry them.

#pragma once

#include "engine/RunOutcome.h"

#include <stdexcept>
#include <string>

namespace quillbank::cli {

/// The exit codes of quillbank-cli, which scripts rely on.
inline constexpr int ExitSuccess = 0;
/// The run failed: nothing matched, a file could not be read or written, an
/// archive is damaged.
inline constexpr int ExitFailure = 1;
/// The command line is wrong: an unknown command or option, a missing or
/// malformed value.
inline constexpr int ExitUsage = 2;
/// The profile a backup or restore works on is in use by its application.
inline constexpr int ExitAppRunning = 3;
/// The archive is protected and its password is wrong or was not given.
inline constexpr int ExitPassword = 4;
/// The run went to its end without some files or entries, each named on
/// standard error: a backup was written and checked without files that
/// could not be read when their turn came; a restore left out entries it
/// refused or could not write.
inline constexpr int ExitIncomplete = 5;

static_assert(RunExitCode(TRunStatus::Done) == ExitSuccess);
static_assert(RunExitCode(TRunStatus::DoneWithLeftOut) == ExitIncomplete);
static_assert(RunExitCode(TRunStatus::Failed) == ExitFailure);

/// A command cannot go on: what to say on standard error, and the exit code.
class ECommandError : public std::runtime_error
{
public:
    ECommandError(int exitCode, const std::string& message) : std::runtime_error(message), exitCode_(exitCode)
    {}

    int ExitCode() const { return exitCode_; }

private:
    int exitCode_;
};

/// A command line that is wrong: exit code 2.
class EUsageError : public ECommandError
{
public:
    explicit EUsageError(const std::string& message) : ECommandError(ExitUsage, message) {}
};

} // namespace quillbank::cli
