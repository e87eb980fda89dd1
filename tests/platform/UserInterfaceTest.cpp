#include "platform/UserInterface.h"

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
