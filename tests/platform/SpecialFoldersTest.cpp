// Tests of the user's special folders: application data, state, documents and the program's own folder.

#include "platform/SpecialFolders.h"

#include "tests/support/FakeHome.h"

#include <filesystem>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::TFakeHome;

TEST(SpecialFolders, AppDataAndStateFollowTheirXdgVariables)
{
    TFakeHome home;
    EXPECT_EQ(AppDataDir(), home.Path() + "/.config");
    EXPECT_EQ(StateDir(), home.Path() + "/.local/state");
    home.SetEnv("XDG_CONFIG_HOME", home.Path() + "/cfg/");
    home.SetEnv("XDG_STATE_HOME", home.Path() + "/state/");
    EXPECT_EQ(AppDataDir(), home.Path() + "/cfg");
    EXPECT_EQ(StateDir(), home.Path() + "/state");
    // Not absolute: ignored.
    home.SetEnv("XDG_CONFIG_HOME", "relative/cfg");
    home.SetEnv("XDG_STATE_HOME", "relative/state");
    EXPECT_EQ(AppDataDir(), home.Path() + "/.config");
    EXPECT_EQ(StateDir(), home.Path() + "/.local/state");
}

TEST(SpecialFolders, DocumentsFromUserDirsThenDocumentsThenHome)
{
    TFakeHome home;
    EXPECT_EQ(DocumentsDir(), home.Path());
    home.MakeDir("Documents");
    EXPECT_EQ(DocumentsDir(), home.Path() + "/Documents");
    home.WriteFile(".config/user-dirs.dirs", "# written by xdg-user-dirs-update\n"
                                             "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                                             "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");
    EXPECT_EQ(DocumentsDir(), home.Path() + "/Dokumente");
    home.WriteFile(".config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"/srv/docs/\"\n");
    EXPECT_EQ(DocumentsDir(), "/srv/docs");
    home.WriteFile(".config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"docs\"\n"); // relative: ignored
    EXPECT_EQ(DocumentsDir(), home.Path() + "/Documents");
}

TEST(SpecialFolders, ExecutableDirIsTheFolderOfTheRunningProgram)
{
    EXPECT_TRUE(std::filesystem::exists(ExecutableDir() + "/platform_tests"));
}
