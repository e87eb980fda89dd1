#pragma once

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>

namespace quillbank::cli {

/**
 * Shows how a run gets on, on standard error. On a terminal: one bar line,
 * redrawn in place, with the percentage, the bytes done and the rate when a
 * backup gives them, and the current task (the file being written). Else
 * plain lines: each new task, and the percentage at every tenth. Report lines
 * are printed either way; a quiet run shows nothing at all.
 */
class TTerminalProgress
{
public:
    using TClock = std::chrono::steady_clock;

    /// `terminal`: whether `out` is a terminal `width` columns wide.
    TTerminalProgress(std::ostream& out, bool quiet, bool terminal, int width = 80);
    /// For standard error, as it is.
    static TTerminalProgress ForStandardError(bool quiet);

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
