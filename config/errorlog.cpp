// Appends time-stamped, escaped lines to the error log, rotating it when full and skipping repeats in a run.

#include "config/errorlog.h"

#include "platform/SpecialFolders.h"
#include "platform/Text.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>

namespace quillbank {

namespace {

/// The messages the current run has logged, and how deeply runs are nested.
struct TRunMessages
{
    std::mutex Lock;
    int Depth = 0;
    std::set<std::string, std::less<>> Logged;
};

TRunMessages& RunMessages()
{
    static TRunMessages messages;
    return messages;
}

/// False when the current run has logged `message` already.
bool FirstInThisRun(std::string_view message)
{
    TRunMessages& run = RunMessages();
    const std::lock_guard lock(run.Lock);
    return run.Depth == 0 || run.Logged.emplace(message).second;
}

/// The local time now as ISO 8601 with its offset from UTC.
std::string IsoLocalTimeNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[64];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    // The offset in the extended form, "+01:00" (strftime's %z writes "+0100").
    const long minutes = std::labs(local.tm_gmtoff) / 60;
    std::snprintf(text + length, sizeof text - length, "%c%02ld:%02ld", local.tm_gmtoff < 0 ? '-' : '+',
                  minutes / 60, minutes % 60);
    return text;
}

/// Moves a log that reached the rotation size aside, replacing the older one.
void RotateWhenFull()
{
    std::error_code error;
    const auto size = std::filesystem::file_size(ErrorLogPath(), error);
    if (!error && size >= ErrorLogRotationBytes)
        std::filesystem::rename(ErrorLogPath(), OldErrorLogPath(), error);
}

} // namespace

std::string ErrorLogPath()
{
    return StateDir() + "/quillbank/error.log";
}

std::string OldErrorLogPath()
{
    return ErrorLogPath() + ".1";
}

void WriteErrorLog(std::string_view message)
{
    if (!FirstInThisRun(message))
        return;
    std::error_code error;
    // The whole chain is created: on a fresh account even ~/.local/state may
    // not exist yet.
    std::filesystem::create_directories(StateDir() + "/quillbank", error);
    if (error)
        return;
    RotateWhenFull();
    // Messages carry names from archives and profiles: whatever they hold,
    // the line stays one line that no terminal reading the log acts upon.
    std::string line = IsoLocalTimeNow() + " " + VisibleText(message);
    line += '\n';
    // One open-append-close per line, so two running copies of the program
    // interleave whole lines.
    std::ofstream log(ErrorLogPath(), std::ios::binary | std::ios::app);
    log << line;
}

TErrorLogRun::TErrorLogRun()
{
    TRunMessages& run = RunMessages();
    const std::lock_guard lock(run.Lock);
    ++run.Depth;
}

TErrorLogRun::~TErrorLogRun()
{
    TRunMessages& run = RunMessages();
    const std::lock_guard lock(run.Lock);
    if (--run.Depth == 0)
        run.Logged.clear();
}

} // namespace quillbank
