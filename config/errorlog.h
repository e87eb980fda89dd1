// The error log: one line per problem in the per-user state folder, each message once per run.

#pragma once

#include <string>
#include <string_view>

namespace quillbank {

/// The error log: "quillbank/error.log" in the per-user state folder
/// ($XDG_STATE_HOME, else ~/.local/state).
std::string ErrorLogPath();

/// The older log that rotation keeps: ErrorLogPath() with ".1" added.
std::string OldErrorLogPath();

/// The size from which the next message first moves the log to
/// OldErrorLogPath(), replacing the one there, and starts a new one.
inline constexpr unsigned long long ErrorLogRotationBytes = 1024 * 1024;

/// Appends `message` to the error log as one line: the local time in ISO 8601
/// ("2026-12-09T02:30:00+01:00"), a blank, then the message (its line breaks
/// and other control characters written as escapes, see VisibleText). Creates
/// the folders and the file when needed and rotates a full log first. Never
/// fails towards its caller: when the log cannot be written the message is
/// lost. Within a TErrorLogRun a message already logged is not logged again.
void WriteErrorLog(std::string_view message);

/**
 * One run (a command of the command-line tool, a backup or restore of the
 * wizard): while an object of this class lives, each message goes to the log
 * once, however many steps of the run come across the same problem (every
 * reader that opens one damaged archive, for example). Runs may nest; the
 * outermost one counts.
 */
class TErrorLogRun
{
public:
    TErrorLogRun();
    ~TErrorLogRun();
    TErrorLogRun(const TErrorLogRun&) = delete;
    TErrorLogRun& operator=(const TErrorLogRun&) = delete;
};

} // namespace quillbank
