// Tests of moving extensions between profiles: rewriting the chrome registry, and a leftover copy of it.

#include "engine/Extensions.h"

#include "apps/WizardState.h"
#include "config/InterfaceTexts.h"
#include "engine/Archive.h"
#include "engine/BackupTask.h"
#include "engine/RunEnvironment.h"
#include "tests/support/FakeHome.h"
#include "tests/support/ScriptedUserInterface.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <vector>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::ReadFileForTest;
using quillbank::testing::TFakeHome;
using quillbank::testing::TScriptedUserInterface;
namespace fs = std::filesystem;

namespace {

const std::string Indent(19, ' ');
const std::string Url =
    R"(c:baseURL="jar:file:///C:/Old/x.default/extensions/{id}/chrome/x.jar!/content/x/")";

} // namespace

TEST(ChromeRegistryLine, PointsIntoTheNewProfile)
{
    EXPECT_EQ(FixChromeRegistryLine("   " + Url, "/home/u/abc.default/"),
              Indent +
                  R"(c:baseURL="jar:file:///home/u/abc.default/extensions/{id}/chrome/x.jar!/content/x/")");
    // The ">" stays wherever it was; further attributes go.
    EXPECT_EQ(FixChromeRegistryLine(Url + R"( c:locType="profile" />)", "/p/"),
              Indent + R"(c:baseURL="jar:file:///p/extensions/{id}/chrome/x.jar!/content/x/">)");
    // Blanks and bytes above 127 of the path are escaped; so is a backslash,
    // which is part of a name here, not a separator.
    EXPECT_EQ(FixChromeRegistryLine(Url, "/home/Application Data/J\xC3\xA9r\\\xED/"),
              Indent + "c:baseURL=\"jar:file:///home/Application%20Data/J%C3%A9r%5C%ED/extensions/"
                       "{id}/chrome/x.jar!/content/x/\"");
    // A registry written on Windows may separate the old folders by backslashes.
    EXPECT_EQ(FixChromeRegistryLine(
                  R"(c:baseURL="jar:file:///C:\Old\x.default\extensions\{id}\chrome\x.jar!/c/")", "/p/"),
              Indent + R"(c:baseURL="jar:file:///p/extensions/{id}/chrome/x.jar!/c/")");
}

TEST(ChromeRegistryLine, OtherLinesStayAsTheyAre)
{
    const std::string lines[] = {
        R"(  c:baseURL="jar:file:///usr/lib/app/chrome/toolkit.jar!/content/global/")",
        R"(  c:baseURL="jar:file:///C:/p/extensions/{id}/chrome/x.jar!/content/)",
        R"(  c:locType="/extensions/{id}/")",
        "",
    };
    for (const std::string& line : lines)
        EXPECT_EQ(FixChromeRegistryLine(line, "/p/"), line);
}

namespace {

class ChromeRegistryTest : public ::testing::Test
{
protected:
    TFakeHome home;
    std::string profile = home.MakeDir("profile") + "/";
    std::string chrome = profile + "chrome/";

    std::vector<std::string> ChromeEntries() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(chrome))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

} // namespace

TEST_F(ChromeRegistryTest, RewritesTheRegistryAndReplacesALeftoverCopy)
{
    home.WriteFile("profile/chrome/chrome.rdf", "<?xml?>\n\n  " + Url + ">\r\n</RDF:RDF>");
    home.WriteFile("profile/chrome/chrome.bak", "interrupted run\n");
    FixChromeRegistry(profile);
    EXPECT_EQ(ReadFileForTest(chrome + "chrome.rdf"),
              "<?xml?>\r\n\r\n" + Indent + "c:baseURL=\"jar:file://" + profile +
                  "extensions/{id}/chrome/x.jar!/content/x/\">\r\n" + "</RDF:RDF>\r\n");
    EXPECT_EQ(ChromeEntries(), std::vector<std::string>{"chrome.rdf"});

    // Without any extension URL only the line ends change; names are found
    // in any letter case.
    fs::rename(chrome + "chrome.rdf", chrome + "Chrome.RDF");
    home.WriteFile("profile/chrome/Chrome.RDF", "a\nb\n");
    FixChromeRegistry(profile);
    EXPECT_EQ(ReadFileForTest(chrome + "Chrome.RDF"), "a\r\nb\r\n");
}

TEST_F(ChromeRegistryTest, ALeftoverCopyAloneIsKept)
{
    home.WriteFile("profile/chrome/chrome.bak", "the only copy\n");
    FixChromeRegistry(profile);
    EXPECT_EQ(ReadFileForTest(chrome + "chrome.bak"), "the only copy\n");
    EXPECT_EQ(ChromeEntries(), std::vector<std::string>{"chrome.bak"});
}

TEST_F(ChromeRegistryTest, AFailedWriteLeavesTheRegistryAndTheLeftoverCopyWhole)
{
    std::string old;
    for (int i = 0; i < 20; ++i)
        old += "  " + Url + "\n";
    home.WriteFile("profile/chrome/chrome.rdf", old);
    home.WriteFile("profile/chrome/chrome.bak", "interrupted run\n");
    // The disk fills up after 100 bytes of any file written.
    rlimit saved = {};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved;
    limit.rlim_cur = 100;
    setrlimit(RLIMIT_FSIZE, &limit);
    EXPECT_THROW(FixChromeRegistry(profile), EChromeRegistryError);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(ReadFileForTest(chrome + "chrome.rdf"), old);
    EXPECT_EQ(ReadFileForTest(chrome + "chrome.bak"), "interrupted run\n");
    EXPECT_EQ(ChromeEntries(), (std::vector<std::string>{"chrome.bak", "chrome.rdf"}));
}

TEST(ExtensionData, TravelsFromProfileToProfile)
{
    TFakeHome home;
    TScriptedUserInterface ui;
    TWizardState state;
    const std::string programDir = home.MakeDir("program");
    home.WriteFile("program/Backup.ini", "[General]\n");
    TInterfaceTexts texts{programDir + "/Default.lng"};
    const std::string source = home.MakeDir("source") + "/";
    for (const char* name : {"adblockplus/patterns.ini", "adblockplus/sub/x", "storage.sdb",
                             "scrapbook/a.rdf", "session.rdf.old", "gm_scripts.txt"})
        home.WriteFile(std::string("source/") + name, "data");

    TBackupTask task(source, source, ui);
    AddExtensionData(task, source);
    std::vector<std::string> listed = task.Files();
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<std::string>{"adblockplus/patterns.ini", "adblockplus/sub/x",
                                                "scrapbook/a.rdf", "storage.sdb"}));

    const std::string archive = home.Path() + "/b.qkz";
    TArchive(archive, "", source, RunEnvironment(ui, texts, state, programDir)).AddTask(task);
    const std::string target = home.MakeDir("target") + "/";
    TArchive restore(archive, "", target, RunEnvironment(ui, texts, state, programDir));
    RestoreExtensionData(restore);
    EXPECT_EQ(ReadFileForTest(target + "adblockplus/sub/x"), "data");
    EXPECT_EQ(ReadFileForTest(target + "storage.sdb"), "data");
    EXPECT_EQ(ReadFileForTest(target + "scrapbook/a.rdf"), "data");
}
