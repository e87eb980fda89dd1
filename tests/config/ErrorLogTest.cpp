#include "config/errorlog.h"

#include "tests/support/FakeHome.h"

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::ReadFileForTest;
using quillbank::testing::TFakeHome;

TEST(ErrorLog, AppendsOneLinePerMessageAndCreatesItsFolders)
{
    TFakeHome home; // no ~/.config yet
    WriteErrorLog("Bad action defined in config file.");
    WriteErrorLog("Cannot find profile with this name.");
    EXPECT_EQ(ErrorLogPath(), home.Path() + "/.config/Quillbank/error.log");
    EXPECT_EQ(ReadFileForTest(ErrorLogPath()),
              "Bad action defined in config file.\nCannot find profile with this name.\n");
}

TEST(ErrorLog, NeverOverwritesAnExistingLog)
{
    TFakeHome home;
    home.WriteFile(".config/Quillbank/error.log", "from an earlier run\n");
    WriteErrorLog("new");
    EXPECT_EQ(ReadFileForTest(ErrorLogPath()), "from an earlier run\nnew\n");
}

TEST(ErrorLog, AMessageStaysOneLine)
{
    TFakeHome home;
    WriteErrorLog("entry \"two\r\nlines\nand\rmore\x1b[2K\" not extracted");
    WriteErrorLog("already \\x1b escaped");
    EXPECT_EQ(ReadFileForTest(ErrorLogPath()), "entry \"two\\r\\nlines\\nand\\rmore\\x1b[2K\" not extracted\n"
                                               "already \\x1b escaped\n");
}

TEST(ErrorLog, FailuresAreSwallowed)
{
    TFakeHome home;
    // The configuration folder is a file: no folder can be made below it.
    home.SetEnv("XDG_CONFIG_HOME", home.WriteFile("not-a-folder", "x"));
    EXPECT_NO_THROW(WriteErrorLog("lost"));
    // The log itself is a folder: the append fails.
    home.SetEnv("XDG_CONFIG_HOME", home.Path() + "/cfg");
    home.MakeDir("cfg/Quillbank/error.log");
    EXPECT_NO_THROW(WriteErrorLog("lost too"));
}
