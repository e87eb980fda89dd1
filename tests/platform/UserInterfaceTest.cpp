// Tests of the user interface's helpers: message boxes, immediate exit, progress percentages.

#include "platform/UserInterface.h"

#include "platform/SilentUserInterface.h"
#include "tests/support/ScriptedUserInterface.h"

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::TImmediateExit;
using quillbank::testing::TScriptedUserInterface;

TEST(UserInterface, HelpersShowTheirButtonsAndIconsCaptionFirst)
{
    TScriptedUserInterface ui;
    ui.QueueAnswer(TBoxAnswer::Ok);
    ui.QueueAnswer(TBoxAnswer::Ok);
    ui.QueueAnswer(TBoxAnswer::Yes);
    ui.QueueAnswer(TBoxAnswer::No);
    ui.ShowWarning("Warning", "w");
    ui.ShowError("Error", "e");
    EXPECT_TRUE(ui.AskYesNo("Question", "q1"));
    EXPECT_FALSE(ui.AskYesNo("Question", "q2"));
    EXPECT_EQ(ui.calls,
              (std::vector<std::string>{"box ok warning|Warning|w", "box ok error|Error|e",
                                        "box yesno question|Question|q1", "box yesno question|Question|q2"}));
    EXPECT_TRUE(ui.AllAnswersUsed());
}

TEST(UserInterface, ImmediateExitIsCatchableInTests)
{
    TScriptedUserInterface ui;
    try {
        ui.ExitImmediately(1);
        FAIL() << "ExitImmediately returned";
    } catch (const TImmediateExit& exit) {
        EXPECT_EQ(exit.exitCode, 1);
    }
    EXPECT_EQ(ui.calls.back(), "exit|1");
}

TEST(UserInterface, ProgressPercentRoundsHalfToEvenAndCaps)
{
    EXPECT_EQ(ProgressPercent(0, 5), 0);
    EXPECT_EQ(ProgressPercent(5, 0), 0);
    EXPECT_EQ(ProgressPercent(200, 1), 0); // 0.5 -> 0
    EXPECT_EQ(ProgressPercent(200, 3), 2); // 1.5 -> 2
    EXPECT_EQ(ProgressPercent(200, 5), 2); // 2.5 -> 2
    EXPECT_EQ(ProgressPercent(3, 2), 67);
    EXPECT_EQ(ProgressPercent(10, 25), 100); // never past the end
    EXPECT_EQ(ProgressPercent(INT64_MAX, INT64_MAX / 2), 50);
    TScriptedUserInterface ui;
    ui.SetProgressPercent(4, 1);
    EXPECT_EQ(ui.calls.back(), "position|25");
}

namespace {

/// Records the progress calls only; every box and question fails the test.
class TProgressRecorder final : public TSilentUserInterface
{
public:
    std::vector<std::string> calls;

    TBoxAnswer ShowMessageBox(const std::string&, const std::string&, TBoxButtons, TBoxIcon) override
    {
        ADD_FAILURE() << "a box";
        return TBoxAnswer::Cancel;
    }
    void SetProgressPosition(int position) override
    {
        calls.push_back("position|" + std::to_string(position));
    }
    void ShowProgressBytes(std::int64_t total, std::int64_t done) override
    {
        calls.push_back("bytes|" + std::to_string(total) + "|" + std::to_string(done));
    }

protected:
    void EndProgram(int) override { throw TImmediateExit{0}; }
};

} // namespace

TEST(UserInterface, ProgressPercentGivesItsByteCountsFirst)
{
    TProgressRecorder ui;
    ui.SetProgressPercent(400, 100);
    ui.SetProgressPercent(0, 0);
    EXPECT_EQ(ui.calls,
              (std::vector<std::string>{"bytes|400|100", "position|25", "bytes|0|0", "position|0"}));
    // Interfaces without a byte display see the bar move only.
    TScriptedUserInterface scripted;
    scripted.SetProgressPercent(400, 100);
    EXPECT_EQ(scripted.calls, std::vector<std::string>{"position|25"});
}
