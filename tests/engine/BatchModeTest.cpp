// Tests of unattended backups from a task file: finding the application and profile, and logged problems.

#include "engine/BatchMode.h"

#include "apps/MozManager.h"
#include "apps/WizardState.h"
#include "config/InterfaceTexts.h"
#include "config/errorlog.h"
#include "tests/support/FakeHome.h"

#include <filesystem>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::ErrorLogMessages;
using quillbank::testing::TFakeHome;

namespace {

class BatchModeTest : public ::testing::Test
{
protected:
    TFakeHome home;
    std::string programDir = home.MakeDir("program");
    TInterfaceTexts texts{programDir + "/Default.lng"};
    TAppStatusTable status;
    std::unique_ptr<TMozManager> manager;
    TWizardState state;
    TBatchTask task;

    BatchModeTest()
    {
        home.SetEnv("QUILLBANK_REGISTRY", home.WriteFile("empty.reg", ""));
        home.WriteFile(".mozilla/firefox/profiles.ini",
                       "[Profile0]\nName=default\nIsRelative=1\nPath=a\n"
                       "[Profile1]\nName=Work Default\nIsRelative=1\nPath=b\n");
        home.WriteFile(".thunderbird/profiles.ini", "[Profile0]\nName=Mail\nIsRelative=1\nPath=m\n");
        manager = std::make_unique<TMozManager>(texts, status);
    }

    bool Read(const std::string& content)
    {
        home.WriteFile("program/task.ini", content);
        return ReadBatchTask(programDir, "task.ini", *manager, state, task);
    }

    std::string Log() { return ErrorLogMessages(); }
};

} // namespace

TEST_F(BatchModeTest, AGoodTaskNamesItsApplicationProfileAndOutput)
{
    EXPECT_TRUE(Read("[General]\naction= Backup \napplication=fire\nprofile=default\n"
                     "output=" +
                     home.Path() + "/saves/<application>-<profile>.qkz\npassword=  secret word \n"));
    EXPECT_EQ(state.SelectedAppType, FirefoxAppType);
    EXPECT_EQ(task.Profile->Name(), "default"); // the whole name, not "Work Default"
    EXPECT_EQ(task.OutputPath, home.Path() + "/saves/Firefox-default.qkz");
    EXPECT_TRUE(std::filesystem::is_directory(home.Path() + "/saves"));
    EXPECT_EQ(task.Password, "secret word");
    EXPECT_EQ(Log(), "");
}

TEST_F(BatchModeTest, BirdIsThunderbirdAndProfilesMatchInAnyCase)
{
    EXPECT_TRUE(
        Read("[General]\naction=backup\napplication=BIRD\nprofile=mail\noutput=" + home.Path() + "/x.qkz\n"));
    EXPECT_EQ(state.SelectedAppType, ThunderbirdAppType);
    EXPECT_EQ(task.Profile->Name(), "Mail");
}

// A part of a name takes the last profile it fits; no name takes the
// profile the installation starts with.
TEST_F(BatchModeTest, APartTakesTheLastFitAndNoNameTheDefaultProfile)
{
    const std::string task1 =
        "[General]\naction=backup\napplication=firefox\noutput=" + home.Path() + "/x.qkz\n";
    EXPECT_TRUE(Read(task1 + "profile=DEFAU\n"));
    EXPECT_EQ(task.Profile->Name(), "Work Default");
    home.WriteFile(".mozilla/firefox/profiles.ini",
                   "[Profile0]\nName=default\nIsRelative=1\nPath=a\n"
                   "[Profile1]\nName=Work Default\nIsRelative=1\nPath=b\nDefault=1\n");
    manager = std::make_unique<TMozManager>(texts, status);
    EXPECT_TRUE(Read(task1));
    EXPECT_EQ(task.Profile->Name(), "Work Default");
    EXPECT_EQ(Log(), "");
}

TEST_F(BatchModeTest, EveryProblemIsOneLogLineInOrder)
{
    EXPECT_FALSE(Read("[General]\naction=restore\napplication=opera\nprofile=default\n"));
    EXPECT_EQ(Log(), "Bad action defined in config file.\nBad application defined in config file.\n");
    std::filesystem::remove(ErrorLogPath());
    EXPECT_FALSE(Read("[General]\naction=backup\napplication=\n"));
    EXPECT_EQ(Log(), "Bad application defined in config file.\n");
    std::filesystem::remove(ErrorLogPath());
    EXPECT_FALSE(Read("[General]\naction=backup\napplication=firefox\nprofile=\noutput=saves.qkz\n"));
    EXPECT_EQ(Log(), "Cannot find profile with this name.\nCannot create directory for output file.\n");
}

TEST_F(BatchModeTest, OnlyTheLastFolderLevelIsMade)
{
    EXPECT_FALSE(Read("[General]\naction=backup\napplication=firefox\nprofile=default\noutput=" +
                      home.Path() + "/a/b/x.qkz\n"));
    EXPECT_EQ(Log(), "Cannot create directory for output file.\n");
    EXPECT_FALSE(std::filesystem::exists(home.Path() + "/a"));
}

TEST_F(BatchModeTest, TheArgumentIsAlwaysJoinedToTheProgramFolder)
{
    const std::string absolute = home.WriteFile("elsewhere/task.ini", "[General]\naction=backup\n");
    EXPECT_FALSE(ReadBatchTask(programDir, absolute, *manager, state, task));
    EXPECT_EQ(Log(), "Bad action defined in config file.\nBad application defined in config file.\n");
}

TEST_F(BatchModeTest, OnlyAYesOfTheForceKeyForcesTheBackup)
{
    const std::string content =
        "[General]\naction=backup\napplication=firefox\nprofile=default\noutput=" + home.Path() + "/x.qkz\n";
    for (const std::string yes : {"1", "true", "yes", "TRUE", " Yes "}) {
        task = TBatchTask();
        ASSERT_TRUE(Read(content + "force=" + yes + "\n")) << yes;
        EXPECT_TRUE(task.Force) << yes;
    }
    // Each read decides anew, whatever the task held before.
    for (const std::string no : {"0", "no", "false", "", "2", "y", "on", "yes please"}) {
        task.Force = true;
        ASSERT_TRUE(Read(content + "force=" + no + "\n")) << no;
        EXPECT_FALSE(task.Force) << no;
    }
    task.Force = true;
    ASSERT_TRUE(Read(content));
    EXPECT_FALSE(task.Force) << "no force key";
}
