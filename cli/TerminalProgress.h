// The progress of a run on standard error: a bar redrawn in place on a terminal, plain lines otherwise.

#pragma once

#include "cli/Console.h"

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>

namespace quillbank::cli {

/// Whether a bar can be redrawn in place: on a terminal that understands
/// escape sequences (TERM is not "dumb").
bool DrawsInPlace(bool isTerminal, const char* term);

/**
 * Shows how a run gets on, on standard error. On a terminal: one bar line,
 * redrawn in place, with the percentage, the bytes done, the rate and the
 * time left when the run gives bytes, and the current task. Else
 * plain lines: each new task, and the percentage at every tenth. Report lines
 * are printed either way; a quiet run shows nothing at all.
 */
class TTerminalProgress
{
public:
    using TClock = std::chrono::steady_clock;

    /// `terminal`: whether `out` is a terminal `width` columns wide.
    TTerminalProgress(std::ostream& out, bool quiet, bool terminal, int width = 80);
    /// For the console's standard error, as it is; `verbose` keeps every
    /// task on a line of its own.
    static TTerminalProgress ForStandardError(const TConsole& console, bool quiet, bool verbose = false);

    void Task(const std::string& text);
    void ReportLine(const std::string& text);
    void Range(int minimum, int maximum);
    void Position(int position);
    void Bytes(std::int64_t total, std::int64_t done);
    /// Ends the bar line, so that other output starts on a line of its own.
    void Finish();
    /// Shows the run as done (the bar full) and ends the bar line.
    void Complete();

    /// The bar line as it would be drawn now, at `now`.
    std::string BarLine(TClock::time_point now) const;

private:
    int Percent() const;
    void Draw(bool force);

    std::ostream& out_;
    bool quiet_;
    bool terminal_;
    int width_;
    std::string task_;
    int minimum_ = 0;
    int maximum_ = 100;
    int position_ = 0;
    std::int64_t totalBytes_ = 0;
    std::int64_t doneBytes_ = 0;
    TClock::time_point bytesStart_{};
    bool bytesStarted_ = false;
    bool barShown_ = false;
    TClock::time_point lastDraw_{};
    int lastTenth_ = 0;
};

} // namespace quillbank::cli
