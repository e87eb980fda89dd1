#include "config/WorkingFiles.h"

#include "tests/support/FakeHome.h"

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::TFakeHome;

TEST(WorkingFiles, ReportsEachMissingFileInOrder)
{
    TFakeHome home;
    const std::string dir = home.MakeDir("program");
    EXPECT_EQ(MissingWorkingFiles(dir),
              (std::vector<std::string>{"Default.lng", "Backup.ini", "Profilefiles.txt"}));
    home.WriteFile("program/Default.lng", "");
    home.WriteFile("program/profilefiles.txt", ""); // any letter case will do
    home.MakeDir("program/Backup.ini");             // a folder is not the file
    EXPECT_EQ(MissingWorkingFiles(dir), (std::vector<std::string>{"Backup.ini"}));
}

TEST(WorkingFiles, TheBuildPutsThemBesideTheExecutables)
{
    EXPECT_TRUE(MissingWorkingFiles(QUILLBANK_BINARY_DIR "/bin").empty());
}
