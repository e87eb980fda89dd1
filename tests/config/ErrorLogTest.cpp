// Tests of the error log: one timed line per message, never overwritten, rotated when full.

#include "config/errorlog.h"

#include "tests/support/FakeHome.h"

#include <filesystem>
#include <regex>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::ErrorLogMessages;
using quillbank::testing::ReadFileForTest;
using quillbank::testing::TFakeHome;
namespace fs = std::filesystem;

TEST(ErrorLog, AppendsOneTimedLinePerMessageInTheStateFolder)
{
    TFakeHome home; // no ~/.local/state yet
    WriteErrorLog("Bad action defined in config file.");
    WriteErrorLog("Cannot find profile with this name.");
    EXPECT_EQ(ErrorLogPath(), home.Path() + "/.local/state/quillbank/error.log");
    const std::string log = ReadFileForTest(ErrorLogPath());
    const std::regex timedLines(
        R"(\d{4}-(0[1-9]|1[0-2])-[0-3]\d(T[0-2]\d:[0-5]\d:[0-6]\d[+-][01]\d:[0-5]\d) )"
        R"(Bad action defined in config file\.\n)"
        R"(\d{4}-(0[1-9]|1[0-2])-[0-3]\d(T[0-2]\d:[0-5]\d:[0-6]\d[+-][01]\d:[0-5]\d) )"
        R"(Cannot find profile with this name\.\n)");
    EXPECT_TRUE(std::regex_match(log, timedLines)) << log;

    home.SetEnv("XDG_STATE_HOME", home.Path() + "/state");
    WriteErrorLog("elsewhere");
    EXPECT_EQ(ErrorLogMessages(home.Path() + "/state/quillbank/error.log"), "elsewhere\n");
}

TEST(ErrorLog, NeverOverwritesAnExistingLog)
{
    TFakeHome home;
    home.WriteFile(".local/state/quillbank/error.log", "from an earlier run\n");
    WriteErrorLog("new");
    EXPECT_EQ(ErrorLogMessages(), "from an earlier run\nnew\n");
}

TEST(ErrorLog, AMessageStaysOneLine)
{
    TFakeHome home;
    WriteErrorLog("entry \"two\r\nlines\nand\rmore\x1b[2K\" not extracted");
    WriteErrorLog("already \\x1b escaped");
    EXPECT_EQ(ErrorLogMessages(), "entry \"two\\r\\nlines\\nand\\rmore\\x1b[2K\" not extracted\n"
                                  "already \\x1b escaped\n");
}

TEST(ErrorLog, WithinARunEachMessageIsLoggedOnce)
{
    TFakeHome home;
    {
        const TErrorLogRun run;
        WriteErrorLog("archive.qkz: cannot open the archive: Not a zip archive");
        {
            const TErrorLogRun nested;
            WriteErrorLog("archive.qkz: cannot open the archive: Not a zip archive");
            WriteErrorLog("another problem");
        }
        WriteErrorLog("another problem");
        WriteErrorLog("archive.qkz: cannot open the archive: Not a zip archive");
    }
    // The next run reports its own events.
    const TErrorLogRun next;
    WriteErrorLog("another problem");
    EXPECT_EQ(ErrorLogMessages(), "archive.qkz: cannot open the archive: Not a zip archive\n"
                                  "another problem\n"
                                  "another problem\n");
}

TEST(ErrorLog, AFullLogIsRotatedKeepingOneOldFile)
{
    TFakeHome home;
    // One byte short of the rotation size: the next line still goes in.
    const std::string almostFull = std::string(ErrorLogRotationBytes - 2, 'x') + "\n";
    home.WriteFile(".local/state/quillbank/error.log.1", "the oldest\n");
    home.WriteFile(".local/state/quillbank/error.log", almostFull);
    WriteErrorLog("reaches the size");
    EXPECT_EQ(ErrorLogMessages(OldErrorLogPath()), "the oldest\n");
    EXPECT_EQ(ErrorLogMessages(), almostFull + "reaches the size\n");

    WriteErrorLog("starts a new log");
    EXPECT_EQ(ErrorLogMessages(), "starts a new log\n");
    EXPECT_EQ(ErrorLogMessages(OldErrorLogPath()), almostFull + "reaches the size\n");
    EXPECT_EQ(OldErrorLogPath(), ErrorLogPath() + ".1");
    EXPECT_EQ(std::distance(fs::directory_iterator(home.Path() + "/.local/state/quillbank"),
                            fs::directory_iterator()),
              2);
}

TEST(ErrorLog, FailuresAreSwallowed)
{
    TFakeHome home;
    // The state folder is a file: no folder can be made below it.
    home.SetEnv("XDG_STATE_HOME", home.WriteFile("not-a-folder", "x"));
    EXPECT_NO_THROW(WriteErrorLog("lost"));
    // The log itself is a folder: the append fails.
    home.SetEnv("XDG_STATE_HOME", home.Path() + "/state");
    home.MakeDir("state/quillbank/error.log");
    EXPECT_NO_THROW(WriteErrorLog("lost too"));
}
