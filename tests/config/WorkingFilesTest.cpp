// Tests of where the program finds its working files and settings: portable, built or installed.

#include "config/WorkingFiles.h"

#include "platform/SpecialFolders.h"
#include "tests/support/FakeHome.h"

#include <filesystem>

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

namespace {

namespace fs = std::filesystem;

/// An installation below the fake home: the program in PREFIX/bin, the
/// shipped working files in PREFIX/share/quillbank.
struct TFakeInstallation
{
    TFakeHome& home;
    std::string bin = home.MakeDir("prefix/bin");
    std::string data = home.MakeDir("prefix/share/quillbank");

    explicit TFakeInstallation(TFakeHome& fakeHome) : home(fakeHome)
    {
        home.WriteFile("prefix/bin/quillbank", "");
        home.WriteFile("prefix/share/quillbank/Default.lng", "");
        home.WriteFile("prefix/share/quillbank/Profilefiles.txt", "");
    }

    /// As the program in PREFIX/bin sees itself (ThisProgram), built for another prefix.
    TProgramLocation Program() const { return {bin, {data, "/nonexistent/share/quillbank"}}; }
};

std::string UserSettingsFolder(const TFakeHome& home)
{
    return home.Path() + "/.config/Quillbank";
}

} // namespace

TEST(WorkingFiles, ThisProgramLooksBesideItsOwnFolderAndAtItsPrefix)
{
    const TProgramLocation program = ThisProgram();
    EXPECT_EQ(program.ExecutableDir, ExecutableDir());
    ASSERT_EQ(program.InstalledDataDirs.size(), 2u);
    EXPECT_EQ(program.InstalledDataDirs[0],
              (fs::path(ExecutableDir()).parent_path() / "share/quillbank").string());
    EXPECT_TRUE(program.InstalledDataDirs[1].starts_with("/"));
    EXPECT_TRUE(program.InstalledDataDirs[1].ends_with("/share/quillbank"));
}

TEST(WorkingFiles, TheBuiltProgramUsesTheFilesBesideIt)
{
    EXPECT_EQ(ProgramDataDir(), ExecutableDir());
    EXPECT_FALSE(IsInstalledDataDir(ProgramDataDir()));
    EXPECT_EQ(SettingsFileDir(ProgramDataDir()), ExecutableDir());
}

TEST(WorkingFiles, AnInstalledProgramFindsItsFilesInTheShareFolderBesideItsOwn)
{
    TFakeHome home;
    const TFakeInstallation installed(home);
    EXPECT_EQ(ProgramDataDir(installed.Program()), installed.data);
    EXPECT_TRUE(IsInstalledDataDir(installed.data, installed.Program()));
    // The folder of the executable never counts as an installation's.
    EXPECT_FALSE(IsInstalledDataDir(installed.bin, installed.Program()));
    EXPECT_FALSE(IsInstalledDataDir(installed.bin, {installed.bin, {installed.bin}}));
}

TEST(WorkingFiles, AnInstalledProgramFallsBackToThePrefixItWasBuiltFor)
{
    TFakeHome home;
    const std::string bin = home.MakeDir("elsewhere/bin");
    const TFakeInstallation installed(home);
    const TProgramLocation program{bin, {bin + "/../share/quillbank", installed.data}};
    EXPECT_EQ(ProgramDataDir(program), installed.data);
    EXPECT_TRUE(IsInstalledDataDir(installed.data, program));
}

TEST(WorkingFiles, AnyWorkingFileBesideTheExecutableMakesItAPortableFolder)
{
    TFakeHome home;
    const TFakeInstallation installed(home);
    for (const std::string name : {"Default.lng", "backup.ini", "Profilefiles.txt"}) {
        SCOPED_TRACE(name);
        const std::string file = home.WriteFile("prefix/bin/" + name, "");
        EXPECT_EQ(ProgramDataDir(installed.Program()), installed.bin);
        EXPECT_EQ(SettingsFileDir(installed.bin, installed.Program()), installed.bin);
        fs::remove(file);
    }
    EXPECT_FALSE(fs::exists(UserSettingsFolder(home)));
}

TEST(WorkingFiles, WithoutWorkingFilesAnywhereTheyAreMissingBesideTheExecutable)
{
    TFakeHome home;
    const std::string bin = home.MakeDir("bare/bin");
    const TProgramLocation program{bin, {bin + "/../share/quillbank", home.Path() + "/none"}};
    EXPECT_EQ(ProgramDataDir(program), bin);
    EXPECT_EQ(MissingWorkingFiles(bin, program).size(), 3u);
}

TEST(WorkingFiles, AnInstalledProgramKeepsTheSettingsInTheUsersConfigFolder)
{
    TFakeHome home;
    const TFakeInstallation installed(home);
    EXPECT_EQ(UserSettingsDir(), UserSettingsFolder(home));
    EXPECT_FALSE(fs::exists(UserSettingsFolder(home)));
    EXPECT_EQ(SettingsFileDir(installed.data, installed.Program()), UserSettingsFolder(home));
    EXPECT_TRUE(fs::is_directory(UserSettingsFolder(home)));
    // The same folder however the path to it is written.
    EXPECT_EQ(SettingsFileDir(installed.bin + "/../share/quillbank/", installed.Program()),
              UserSettingsFolder(home));

    home.SetEnv("XDG_CONFIG_HOME", home.Path() + "/xdg");
    EXPECT_EQ(SettingsFileDir(installed.data, installed.Program()), home.Path() + "/xdg/Quillbank");
    EXPECT_TRUE(fs::is_directory(home.Path() + "/xdg/Quillbank"));
}

TEST(WorkingFiles, AnyOtherFolderKeepsItsOwnSettings)
{
    TFakeHome home;
    const TFakeInstallation installed(home);
    const std::string program = home.MakeDir("program");
    EXPECT_EQ(SettingsFileDir(program, installed.Program()), program);
    EXPECT_FALSE(fs::exists(UserSettingsFolder(home)));
}

TEST(WorkingFiles, AnInstalledProgramMissesOnlyTheUsersOwnSettings)
{
    TFakeHome home;
    const TFakeInstallation installed(home);
    // A "Backup.ini" in the shared folder is not the user's.
    home.WriteFile("prefix/share/quillbank/Backup.ini", "");
    EXPECT_EQ(MissingWorkingFiles(installed.data, installed.Program()),
              (std::vector<std::string>{"Backup.ini"}));
    home.WriteFile(".config/Quillbank/backup.INI", "");
    EXPECT_TRUE(MissingWorkingFiles(installed.data, installed.Program()).empty());
    fs::remove(installed.data + "/Profilefiles.txt");
    EXPECT_EQ(MissingWorkingFiles(installed.data, installed.Program()),
              (std::vector<std::string>{"Profilefiles.txt"}));
}
