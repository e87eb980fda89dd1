// Draws the progress bar (percentage, bytes, rate, time left) or prints plain progress lines.

#include "cli/TerminalProgress.h"

#include "platform/Text.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

namespace quillbank::cli {

namespace {

constexpr int BarCells = 24;
constexpr auto RedrawInterval = std::chrono::milliseconds(100);

/// The first `columns` characters of a UTF-8 text (a character is counted
/// per leading byte, so none is cut in half).
std::string FirstColumns(const std::string& text, int columns)
{
    int count = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if ((static_cast<unsigned char>(text[at]) & 0xC0) == 0x80)
            continue;
        if (count++ == columns)
            return text.substr(0, at);
    }
    return text;
}

/// "m:ss", or "h:mm:ss" from an hour on.
std::string TimeLeft(double seconds)
{
    const auto whole = static_cast<long long>(std::min(seconds, 359999.0) + 0.5);
    char text[64];
    if (whole >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    return text;
}

} // namespace

bool DrawsInPlace(bool isTerminal, const char* term)
{
    return isTerminal && !(term != nullptr && std::string_view(term) == "dumb");
}

TTerminalProgress::TTerminalProgress(std::ostream& out, bool quiet, bool terminal, int width)
    : out_(out), quiet_(quiet), terminal_(terminal), width_(std::max(width, 20))
{}

TTerminalProgress TTerminalProgress::ForStandardError(const TConsole& console, bool quiet, bool verbose)
{
    const bool terminal = !verbose && console.ErrorDrawsInPlace;
    return TTerminalProgress(console.Err, quiet, terminal, terminal ? console.ErrorColumns : 80);
}

int TTerminalProgress::Percent() const
{
    if (maximum_ <= minimum_)
        return 0;
    const int done = std::clamp(position_, minimum_, maximum_) - minimum_;
    return done * 100 / (maximum_ - minimum_);
}

std::string TTerminalProgress::BarLine(TClock::time_point now) const
{
    const int percent = Percent();
    const int filled = percent * BarCells / 100;
    std::string line = "[";
    line.append(static_cast<std::size_t>(filled), '#')
        .append(static_cast<std::size_t>(BarCells - filled), '.');
    line += "] ";
    char number[16];
    std::snprintf(number, sizeof number, "%3d%%", percent);
    line += number;
    if (bytesStarted_) {
        line += "  " + HumanBytes(doneBytes_) + " of " + HumanBytes(totalBytes_);
        const auto elapsed = std::chrono::duration<double>(now - bytesStart_).count();
        if (elapsed >= 0.5 && doneBytes_ > 0) {
            const double rate = static_cast<double>(doneBytes_) / elapsed;
            line += "  " + HumanBytes(static_cast<std::int64_t>(rate)) + "/s";
            if (doneBytes_ < totalBytes_)
                line += "  " + TimeLeft(static_cast<double>(totalBytes_ - doneBytes_) / rate) + " left";
        }
    }
    if (!task_.empty())
        line += "  " + task_;
    return FirstColumns(line, width_ - 1);
}

void TTerminalProgress::Draw(bool force)
{
    if (quiet_ || !terminal_)
        return;
    const auto now = TClock::now();
    if (!force && barShown_ && now - lastDraw_ < RedrawInterval)
        return;
    lastDraw_ = now;
    out_ << "\r\033[K" << BarLine(now) << std::flush;
    barShown_ = true;
}

void TTerminalProgress::Finish()
{
    if (!barShown_)
        return;
    // The last state, which a redraw may have been skipped for.
    Draw(true);
    out_ << "\n" << std::flush;
    barShown_ = false;
}

void TTerminalProgress::Complete()
{
    if (bytesStarted_)
        doneBytes_ = totalBytes_;
    if (terminal_)
        position_ = maximum_; // drawn by Finish
    else
        Position(maximum_);
    Finish();
}

void TTerminalProgress::Task(const std::string& text)
{
    if (text == task_)
        return;
    task_ = text;
    if (quiet_)
        return;
    if (terminal_)
        Draw(false);
    else
        out_ << text << "\n" << std::flush;
}

void TTerminalProgress::ReportLine(const std::string& text)
{
    if (quiet_)
        return;
    Finish();
    out_ << text << "\n" << std::flush;
    Draw(true);
}

void TTerminalProgress::Range(int minimum, int maximum)
{
    minimum_ = minimum;
    maximum_ = maximum;
    position_ = minimum;
}

void TTerminalProgress::Position(int position)
{
    position_ = position;
    if (quiet_)
        return;
    const int percent = Percent();
    if (terminal_) {
        Draw(percent == 100);
        return;
    }
    // Plain lines: one whenever another tenth is reached.
    if (percent / 10 != lastTenth_ && percent >= 10) {
        lastTenth_ = percent / 10;
        out_ << percent << "%";
        if (bytesStarted_)
            out_ << " (" << HumanBytes(doneBytes_) << " of " << HumanBytes(totalBytes_) << ")";
        out_ << "\n" << std::flush;
    }
}

void TTerminalProgress::Bytes(std::int64_t total, std::int64_t done)
{
    if (!bytesStarted_) {
        bytesStarted_ = true;
        bytesStart_ = TClock::now();
    }
    totalBytes_ = total;
    doneBytes_ = std::min(done, total);
}

} // namespace quillbank::cli
