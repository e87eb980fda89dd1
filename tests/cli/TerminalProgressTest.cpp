// Tests of the progress display: plain lines, the bar redrawn on a terminal, quiet runs, dumb terminals.

#include "cli/TerminalProgress.h"

#include <sstream>

#include <gtest/gtest.h>

using namespace quillbank::cli;

TEST(TerminalProgress, PlainLinesShowEachTaskAndEveryTenthOnce)
{
    std::ostringstream out;
    TTerminalProgress progress(out, false, false);
    progress.Task("File: a");
    progress.Task("File: a");
    progress.Bytes(2048, 512);
    progress.Position(25);
    progress.Position(29);
    progress.Task("File: b");
    progress.ReportLine("File: c: Permission denied");
    progress.Bytes(2048, 2048);
    progress.Position(100);
    progress.Range(0, 100);
    progress.Complete();
    EXPECT_EQ(out.str(),
              "File: a\n25% (512 B of 2.0 KiB)\nFile: b\nFile: c: Permission denied\n100% (2.0 KiB "
              "of 2.0 KiB)\n");
}

TEST(TerminalProgress, OtherRangesAreShownInPercent)
{
    std::ostringstream out;
    TTerminalProgress progress(out, false, false);
    progress.Range(0, 140);
    progress.Position(70);
    progress.Position(140);
    EXPECT_EQ(out.str(), "50%\n100%\n");
}

TEST(TerminalProgress, QuietShowsNothing)
{
    std::ostringstream out;
    for (bool terminal : {false, true}) {
        TTerminalProgress progress(out, true, terminal);
        progress.Task("File: a");
        progress.ReportLine("report");
        progress.Bytes(10, 5);
        progress.Position(50);
        progress.Complete();
    }
    EXPECT_EQ(out.str(), "");
}

TEST(TerminalProgress, OnATerminalOneLineIsRedrawnAndEndedBeforeOtherOutput)
{
    std::ostringstream out;
    TTerminalProgress progress(out, false, true, 100);
    progress.Task("File: places.sqlite");
    progress.Bytes(4 << 20, 1 << 20);
    progress.Position(25);
    const auto line = progress.BarLine(TTerminalProgress::TClock::now() + std::chrono::seconds(2));
    EXPECT_TRUE(line.starts_with("[######..................]  25%  1.0 MiB of 4.0 MiB  ")) << line;
    EXPECT_NE(line.find("KiB/s  0:06 left  File: places.sqlite"), std::string::npos)
        << line; // 1 MiB in about 2 s, 3 MiB to go
    EXPECT_LE(line.size(), 99u);
    std::ostringstream narrowOut;
    TTerminalProgress narrow(narrowOut, false, true, 42);
    narrow.Task("File: \u00fa\u00fa\u00fa\u00fa\u00fa\u00fa\u00fa\u00fa\u00fa\u00fa");
    // 41 columns; a character is never cut in half.
    EXPECT_EQ(narrow.BarLine(TTerminalProgress::TClock::now()),
              "[........................]   0%  File: \u00fa\u00fa");
    progress.ReportLine("report");
    progress.Complete();
    const std::string text = out.str();
    EXPECT_TRUE(text.starts_with("\r\033[K[")) << text;
    EXPECT_NE(text.find("\nreport\n"), std::string::npos) << text;
    EXPECT_NE(text.find("100%  4.0 MiB of 4.0 MiB"), std::string::npos) << text;
    EXPECT_TRUE(text.ends_with("File: places.sqlite\n")) << text;
}

TEST(TerminalProgress, ALongRunShowsHoursLeftAndADumbTerminalGetsPlainLines)
{
    std::ostringstream out;
    TTerminalProgress progress(out, false, true, 100);
    progress.Bytes(std::int64_t{8000} << 20, 1 << 20);
    const auto line = progress.BarLine(TTerminalProgress::TClock::now() + std::chrono::seconds(2));
    EXPECT_NE(line.find("/s  4:26:"), std::string::npos) << line; // about 16000 s
    EXPECT_TRUE(DrawsInPlace(true, "xterm-256color"));
    EXPECT_TRUE(DrawsInPlace(true, nullptr));
    EXPECT_FALSE(DrawsInPlace(true, "dumb"));
    EXPECT_FALSE(DrawsInPlace(false, "xterm"));
}
