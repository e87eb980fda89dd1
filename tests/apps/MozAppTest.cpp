// Tests of the applications and their profiles as the manager finds them: roots, defaults, name matching.

#include "apps/MozManager.h"
#include "config/InterfaceTexts.h"
#include "tests/support/FakeHome.h"
#include "tests/support/RegistryDatImage.h"

#include <filesystem>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::TFakeHome;

namespace {

class MozAppTest : public ::testing::Test
{
protected:
    TFakeHome home;
    TInterfaceTexts texts{home.Path() + "/Default.lng"};
    TAppStatusTable status;

    MozAppTest()
    {
        home.SetEnv("QUILLBANK_REGISTRY",
                    home.WriteFile("machine.reg",
                                   "Windows Registry Editor Version 5.00\r\n\r\n"
                                   "[HKEY_LOCAL_MACHINE\\SOFTWARE\\mozilla\\Mozilla Firefox]\r\n"
                                   "\"CurrentVersion\"=\"3.6\"\r\n"
                                   "[HKEY_LOCAL_MACHINE\\SOFTWARE\\mozilla\\Mozilla Firefox\\3.6\\Main]\r\n"
                                   "\"Install Directory\"=\"/opt/firefox\"\r\n"));
    }
};

} // namespace

TEST_F(MozAppTest, ManagerDetectsBothApplicationsAndFindsTheLastMatch)
{
    const TMozManager manager(texts, status);
    ASSERT_EQ(manager.Apps().size(), 2u);
    const TMozApp* firefox = manager.FindApp("FIRE");
    ASSERT_NE(firefox, nullptr);
    EXPECT_EQ(firefox->Type(), FirefoxAppType);
    EXPECT_TRUE(firefox->Installed());
    EXPECT_EQ(firefox->Version(), "3.6");
    EXPECT_EQ(firefox->InstallDir(), "/opt/firefox");
    EXPECT_TRUE(status[FirefoxAppType].Installed);

    const TMozApp* thunderbird = manager.FindApp("thunderbird");
    ASSERT_NE(thunderbird, nullptr);
    EXPECT_FALSE(thunderbird->Installed());
    EXPECT_EQ(manager.FindApp("bird"), thunderbird);
    EXPECT_EQ(manager.FindApp(""), nullptr);
    EXPECT_EQ(manager.FindApp("mozilla firefox"), nullptr);
}

TEST_F(MozAppTest, ProfilesAreAbsentWithoutARegistryFile)
{
    const TMozManager manager(texts, status);
    EXPECT_FALSE(manager.FindApp("firefox")->Profiles().has_value());
    EXPECT_EQ(manager.FindApp("firefox")->FindProfile("default"), nullptr);
}

TEST_F(MozAppTest, ProfilesIniCountsAsRelativeOnlyForOne)
{
    const std::string root = home.Path() + "/.thunderbird/";
    home.WriteFile(".thunderbird/profiles.ini",
                   "[Profile0]\nName=default\nIsRelative=1\nPath=a.default\n"
                   "[Profile1]\nName=work default\nIsRelative=257\nPath=" +
                       root +
                       "b.work\n"
                       "[Profile2]\nName=Elsewhere\nIsRelative=0\nPath=/data/tb\n");
    const TMozManager manager(texts, status);
    const auto& profiles = manager.FindApp("thunderbird")->Profiles();
    ASSERT_TRUE(profiles.has_value());
    ASSERT_EQ(profiles->size(), 3u);
    EXPECT_EQ((*profiles)[0].Directory(), root + "a.default/");
    EXPECT_EQ((*profiles)[0].RelativePath(), "a.default");
    EXPECT_EQ((*profiles)[1].Directory(), root + "b.work/");
    EXPECT_EQ((*profiles)[1].RelativePath(), "b.work");
    EXPECT_EQ((*profiles)[2].Directory(), "/data/tb/");
    EXPECT_EQ((*profiles)[2].RelativePath(), "/data/tb");

    const TMozApp* app = manager.FindApp("thunder");
    EXPECT_EQ(app->FindProfile("DEFAULT")->Name(), "default");    // the whole name wins
    EXPECT_EQ(app->FindProfile("defau")->Name(), "work default"); // else the last part match
    EXPECT_EQ(app->FindProfile("elsewhere")->Name(), "Elsewhere");
    EXPECT_EQ(app->FindProfile(""), nullptr);
}

// The names of a profile compare without letter case in every script.
TEST_F(MozAppTest, ProfileNamesMatchWholeBeforePartInEveryScript)
{
    home.WriteFile(".mozilla/firefox/profiles.ini", "[Profile0]\nName=Профиль\nIsRelative=1\nPath=a\n"
                                                    "[Profile1]\nName=Профиль работа\nIsRelative=1\nPath=b\n"
                                                    "[Profile2]\nName=Straße\nIsRelative=1\nPath=c\n"
                                                    "[Profile3]\nName=ΣΟΦΊΑ\nIsRelative=1\nPath=d\n");
    const TMozManager manager(texts, status);
    const TMozApp* app = manager.FindApp("firefox");
    EXPECT_EQ(app->FindProfile("профиль")->Name(), "Профиль");
    EXPECT_EQ(app->MatchProfiles("ПРОФ").size(), 2u);
    EXPECT_EQ(app->FindProfile("STRASSE")->Name(), "Straße");
    EXPECT_EQ(app->FindProfile("σοφία")->Name(), "ΣΟΦΊΑ");
    EXPECT_EQ(app->FindProfile("proфиль"), nullptr);
}

// Profiles of every root, each folder once; the default is the first root's
// installation default.
TEST_F(MozAppTest, ProfilesOfEveryRootAndTheInstallationsDefault)
{
    home.WriteFile(".mozilla/firefox/profiles.ini",
                   "[Profile0]\nName=old\nIsRelative=1\nPath=o\nDefault=1\n");
    const std::string snapRoot = home.Path() + "/snap/firefox/common/.mozilla/firefox/";
    home.WriteFile("snap/firefox/common/.mozilla/firefox/profiles.ini",
                   "[Profile0]\nName=live\nIsRelative=1\nPath=l\n"
                   "[Profile1]\nName=again\nIsRelative=0\nPath=" +
                       home.Path() + "/.mozilla/firefox/o\n");
    home.WriteFile("snap/firefox/common/.mozilla/firefox/installs.ini", "[A1]\nDefault=l\n");
    {
        const TMozManager manager(texts, status);
        const TMozApp* app = manager.FindApp("firefox");
        ASSERT_EQ(app->Profiles()->size(), 2u);
        EXPECT_EQ((*app->Profiles())[1].Directory(), snapRoot + "l/");
        // The classic root comes first and names Default=1.
        EXPECT_EQ(app->DefaultProfile()->Name(), "old");
    }
    std::filesystem::remove_all(home.Path() + "/.mozilla");
    const TMozManager manager(texts, status);
    EXPECT_EQ(manager.FindApp("firefox")->DefaultProfile()->Name(), "live");
}

TEST_F(MozAppTest, LegacyRegistryProfilesAreAllTaken)
{
    const std::string root = home.Path() + "/.thunderbird/";
    home.WriteFile(
        ".thunderbird/registry.dat",
        quillbank::testing::RegistryDatWithProfiles({{"mail", root + "m.slt"}, {"other", "/x/y"}}).Bytes());
    const TMozManager manager(texts, status);
    const auto& profiles = manager.FindApp("thunderbird")->Profiles();
    ASSERT_TRUE(profiles.has_value());
    ASSERT_EQ(profiles->size(), 2u); // no folder filter here
    EXPECT_EQ((*profiles)[0].Directory(), root + "m.slt");
    EXPECT_EQ((*profiles)[0].RelativePath(), "m.slt");
    EXPECT_EQ((*profiles)[1].RelativePath(), "/x/y");
}

// installs.ini only points at a profile; a default that profiles.ini does not
// list is no profile, whatever the file holds.
TEST_F(MozAppTest, AHostileInstallsIniNeverNamesAnUnlistedFolder)
{
    home.WriteFile(".mozilla/firefox/profiles.ini",
                   "[Profile0]\nName=p\nIsRelative=1\nPath=p\n[Profile1]\nName=q\nIsRelative=1\nPath=q\n");
    for (const std::string& installs :
         {std::string("[A]\nDefault=/etc\n"), std::string("[A]\nDefault=../../..\n"),
          std::string("[A]\nDefault=\n"), std::string("\xff\xfe\x00[\x01\n=", 7).append(100000, '['),
          std::string("[A]\nDefault=").append(70000, 'x').append("\n")}) {
        home.WriteFile(".mozilla/firefox/installs.ini", installs);
        const TMozManager manager(texts, status);
        EXPECT_EQ(manager.FindApp("firefox")->DefaultProfile(), nullptr);
        EXPECT_EQ(manager.FindApp("firefox")->Profiles()->size(), 2u);
    }
}

// A profile the application made with -CreateProfile is marked nowhere, yet
// as the only one it is the one the installation starts with.
TEST_F(MozAppTest, AnOnlyProfileIsTheDefault)
{
    home.WriteFile(".mozilla/firefox/profiles.ini", "[Profile0]\nName=p\nIsRelative=1\nPath=p\n");
    {
        const TMozManager manager(texts, status);
        EXPECT_EQ(manager.FindApp("firefox")->DefaultProfile()->Name(), "p");
    }
    home.WriteFile(".mozilla/firefox/profiles.ini",
                   "[Profile0]\nName=p\nIsRelative=1\nPath=p\n[Profile1]\nName=q\nIsRelative=1\nPath=q\n");
    const TMozManager manager(texts, status);
    EXPECT_EQ(manager.FindApp("firefox")->DefaultProfile(), nullptr);
}
