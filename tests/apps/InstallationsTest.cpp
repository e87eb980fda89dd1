// Tests of where installations are looked for: application.ini folders, commands on PATH, a registry export.

#include "apps/Installations.h"

#include "tests/support/FakeHome.h"

#include <filesystem>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::TFakeHome;

namespace {

TInstallationSource FirefoxSource(std::vector<std::string> folders, std::vector<std::string> commands = {})
{
    return {"SOFTWARE\\mozilla\\Mozilla Firefox",
            "SOFTWARE\\mozilla\\Mozilla Firefox",
            {"Firefox"},
            std::move(folders),
            std::move(commands)};
}

} // namespace

TEST(Installations, AnInstallationIsAFolderWhoseApplicationIniNamesTheApplication)
{
    TFakeHome home;
    home.WriteFile("other/application.ini", "[App]\nName=Thunderbird\nVersion=9\n");
    home.WriteFile("noversion/application.ini", "[App]\nName=Firefox\n");
    home.WriteFile("ff/application.ini", "[App]\r\nVendor=Mozilla\r\nName=firefox\r\nVersion=115.3.0\r\n");
    const TInstalledAppsRegistry registry({FirefoxSource({home.Path() + "/missing", home.Path() + "/other",
                                                          home.Path() + "/noversion", home.Path() + "/ff"})});
    EXPECT_EQ(registry.ReadString("SOFTWARE\\mozilla\\Mozilla Firefox", "CurrentVersion"), "115.3.0");
    EXPECT_EQ(registry.ReadString("software\\mozilla\\mozilla firefox\\115.3.0\\Main", "install directory"),
              home.Path() + "/ff");
    EXPECT_FALSE(registry.KeyExists("SOFTWARE\\mozilla.org\\Mozilla Firefox"));
}

TEST(Installations, ACommandOnPathLeadsToItsInstallation)
{
    TFakeHome home;
    home.WriteFile("lib/ff/application.ini", "[App]\nName=Firefox\nVersion=2.0\n");
    const std::string program = home.WriteFile("lib/ff/firefox", "#!/bin/sh\n");
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);
    std::filesystem::create_directories(home.Path() + "/bin");
    std::filesystem::create_symlink(program, home.Path() + "/bin/firefox");
    home.SetEnv("PATH", home.Path() + "/nothing:" + home.Path() + "/bin");
    EXPECT_EQ(ResolveCommandFolder("firefox"), home.Path() + "/lib/ff");
    EXPECT_FALSE(ResolveCommandFolder("thunderbird").has_value());
    const TInstalledAppsRegistry registry({FirefoxSource({}, {"firefox"})});
    EXPECT_EQ(registry.ReadString("SOFTWARE\\mozilla\\Mozilla Firefox\\2.0\\Main", "Install Directory"),
              home.Path() + "/lib/ff");
}

TEST(Installations, TheRegistryExportNamedByTheEnvironmentIsUsedInstead)
{
    TFakeHome home;
    home.SetEnv("QUILLBANK_REGISTRY",
                home.WriteFile("machine.reg", "Windows Registry Editor Version 5.00\r\n"
                                              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Flock]\r\n"
                                              "\"CurrentVersion\"=\"1.2.7\"\r\n"));
    EXPECT_EQ(CreateRegistryReader()->ReadString("SOFTWARE\\Flock", "CurrentVersion"), "1.2.7");
    // A named export that is not there is an error, neither an empty
    // registry nor this system's.
    home.SetEnv("QUILLBANK_REGISTRY", home.Path() + "/missing.reg");
    try {
        CreateRegistryReader();
        ADD_FAILURE() << "no error for a missing registry file";
    } catch (const ERegistryFileError& error) {
        EXPECT_EQ(std::string(error.what()),
                  home.Path() + "/missing.reg: the registry file named by QUILLBANK_REGISTRY is not there");
    }
    home.SetEnv("QUILLBANK_REGISTRY", home.MakeDir("folder.reg"));
    EXPECT_THROW(CreateRegistryReader(), ERegistryFileError);
}

TEST(Installations, EveryTypeHasASource)
{
    const auto sources = InstallationSources();
    ASSERT_EQ(sources.size(), 9u);
    EXPECT_EQ(sources[0].InstallKeyStem, "SOFTWARE\\mozilla\\SeaMonkey\\");
    EXPECT_EQ(sources[4].VersionKey, "SOFTWARE\\Flock");
    EXPECT_EQ(sources[4].InstallKeyStem, "SOFTWARE\\Flock\\Flock");
}
