// A Firefox profile with an installed extension, made by Debian's firefox-esr
// in a fake home, is backed up and restored by quillbank-cli into a profile
// in another folder; Firefox then starts on the restored profile. Folder names
// hold the characters that file URLs and the security module list escape.
// Every program started here is ended and reaped before the test finishes.

#include "engine/ArchiveHeader.h"
#include "profile/MozLz4.h"
#include "tests/cli/CliRun.h"
#include "tests/support/FakeHome.h"
#include "tests/support/RealApps.h"
#include "tests/support/ZipBuilder.h"
#include "vocabulary/ComponentBoxes.h"

#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::BuildZip;
using quillbank::testing::FirefoxInstallDir;
using quillbank::testing::InstalledVersion;
using quillbank::testing::ReadFileForTest;
using quillbank::testing::RunCli;
using quillbank::testing::RunInFirefox;
using quillbank::testing::TCliResult;
using quillbank::testing::TRealAppsTest;
namespace fs = std::filesystem;

namespace {

const std::string AddonId = "probe@quillbank.test";
const std::string AddonFile = "/extensions/" + AddonId + ".xpi";

/// The state of the add-on as Firefox's add-on manager sees it, and the
/// warnings Firefox gives when the saved add-on locations lie elsewhere (it
/// then rebuilds their addresses instead of trusting the saved ones).
const std::string AddonStateScript =
    "const [done] = arguments;"
    "const { AddonManager } = ChromeUtils.importESModule('resource://gre/modules/AddonManager.sys.mjs');"
    "const relocated = Services.console.getMessageArray().map(m => m.message)"
    "  .filter(m => m.includes('relocated'));"
    "const { setTimeout } = ChromeUtils.importESModule('resource://gre/modules/Timer.sys.mjs');"
    "const running = id => !!WebExtensionPolicy.getByID(id)?.active;"
    // An enabled add-on's background starts a moment after the manager
    // reports it active: wait for it a while before saying it does not run.
    "AddonManager.getAddonByID('" +
    AddonId +
    "').then(async a => {"
    "  for (let i = 0; a && a.isActive && !running(a.id) && i < 150; i++)"
    "    await new Promise(wake => setTimeout(wake, 100));"
    "  done(a ? ["
    "  'active=' + a.isActive, 'appDisabled=' + a.appDisabled, 'userDisabled=' + a.userDisabled,"
    "  'profileScope=' + (a.scope == AddonManager.SCOPE_PROFILE),"
    "  'running=' + running(a.id),"
    "  'root=' + a.getResourceURI().spec, 'relocated=' + relocated.length].join('\\n') : 'not installed');"
    "}).catch(e => done('' + e));";

/// What the script gives for an add-on that runs from `urlFolder` (the
/// profile folder as a file URL's path).
std::string RunningFrom(const std::string& urlFolder)
{
    return "active=true\nappDisabled=false\nuserDisabled=false\nprofileScope=true\nrunning=true\n"
           "root=jar:file://" +
           urlFolder + AddonFile + "!/\nrelocated=0\n";
}

class ExtensionsEndToEndTest : public TRealAppsTest
{
protected:
    void SetUp() override
    {
        if (InstalledVersion(FirefoxInstallDir).empty())
            GTEST_SKIP() << "firefox-esr is not installed (scripts/install-deps.sh installs it)";
        TRealAppsTest::SetUp();
    }

    /// A minimal WebExtension with a background script, packed as Firefox
    /// takes it from the "extensions" folder of the profile in `folder`.
    void WriteExtension(const std::string& folder) const
    {
        const std::string manifest =
            R"({"manifest_version": 2, "name": "Probe", "version": "1.0", )"
            R"("browser_specific_settings": {"gecko": {"id": ")" +
            AddonId + R"("}}, "permissions": ["storage"], "background": {"scripts": ["background.js"]}})";
        home.WriteFile(fs::relative(folder, home.Path()).string() + AddonFile,
                       BuildZip({{"manifest.json", manifest},
                                 {"background.js", "browser.storage.local.set({started: true});"}}));
    }

    std::string FirefoxRoot() const { return home.Path() + "/.config/mozilla/firefox/"; }

    /// The folder Firefox made for the profile `name` in its own root.
    std::string MadeFolder(const std::string& name) const
    {
        for (const auto& entry : fs::directory_iterator(FirefoxRoot()))
            if (entry.path().extension() == "." + name)
                return entry.path().string();
        ADD_FAILURE() << "Firefox made no folder for " << name;
        return FirefoxRoot() + "missing";
    }
};

} // namespace

TEST_F(ExtensionsEndToEndTest, ExtensionOfAProfileRestoredIntoAnotherFolderRunsFromThere)
{
    ASSERT_EQ(home.Path().find_first_of(" \"#%;<>?\\^`{}"), std::string::npos) << "needs no URL escaping";
    const std::string b = home.Path() + "/other place/Bob's [new]; copy";
    const std::string bUrl = home.Path() + "/other%20place/Bob's%20[new]%3b%20copy";
    RunToEnd({"firefox-esr", "-headless", "-CreateProfile", "Ann's"});
    RunToEnd({"firefox-esr", "-headless", "-CreateProfile", "Bob " + b});
    const std::string a = MadeFolder("Ann's");
    ASSERT_TRUE(fs::is_directory(b));

    // Firefox registers and enables the extension found in the profile.
    WriteExtension(a);
    home.WriteFile(fs::relative(a, home.Path()).string() + "/user.js",
                   "user_pref(\"marionette.port\", 0);\n"
                   "user_pref(\"xpinstall.signatures.required\", false);\n"
                   "user_pref(\"extensions.autoDisableScopes\", 0);\n"
                   "user_pref(\"extensions.enabledScopes\", 15);\n");
    ASSERT_EQ(RunInFirefox(a, AddonStateScript, LogFile()), RunningFrom(a));
    for (const char* file : {"extensions.json", "addonStartup.json.lz4", "pkcs11.txt"})
        ASSERT_TRUE(fs::exists(a + "/" + file)) << file;
    // B has started once, so it has its own files to be replaced.
    RunToEnd(
        {"firefox-esr", "-headless", "-P", "Bob", "--screenshot", home.Path() + "/b.png", "about:blank"});

    const std::string archive = home.Path() + "/extensions.qkz";
    const TCliResult backup = RunCli({"backup", "--app", "firefox", "--profile", "Ann's", "--output", archive,
                                      "--components", "general-settings,extensions", "--quiet"},
                                     home.Path());
    ASSERT_EQ(backup.ExitCode, 0) << backup.Err;
    const TCliResult restore = RunCli(
        {"restore", "--archive", archive, "--app", "firefox", "--profile", "Bob", "--quiet"}, home.Path());
    ASSERT_EQ(restore.ExitCode, 0) << restore.Err;
    EXPECT_EQ(restore.Err, "");

    // The restored files name B, spelled as Firefox spells its paths, URLs
    // and module parameters, and no longer A.
    const std::string database = ReadFileForTest(b + "/extensions.json");
    const std::string startup = DecodeMozLz4(ReadFileForTest(b + "/addonStartup.json.lz4"));
    const std::string modules = ReadFileForTest(b + "/pkcs11.txt");
    const std::string root = "\"rootURI\":\"jar:file://" + bUrl + AddonFile + "!/\"";
    EXPECT_NE(database.find("\"path\":\"" + b + AddonFile + "\""), std::string::npos) << database;
    EXPECT_NE(database.find(root), std::string::npos) << database;
    EXPECT_NE(startup.find("\"path\":\"" + b + "/extensions\""), std::string::npos) << startup;
    EXPECT_NE(startup.find(root), std::string::npos) << startup;
    EXPECT_NE(modules.find("configdir='sql:" + home.Path() + "/other place/Bob\\'s [new]; copy' "),
              std::string::npos)
        << modules;
    for (const std::string& text : {database, startup, modules})
        EXPECT_EQ(text.find(fs::path(a).filename().string()), std::string::npos) << text;

    // Firefox takes the saved locations as they are (it warns and rebuilds
    // them when they lie elsewhere) and runs the extension from B; A is out
    // of the way, so nothing can be loaded from there.
    fs::rename(a, a + ".gone");
    EXPECT_EQ(RunInFirefox(b, AddonStateScript, LogFile()), RunningFrom(bUrl));
}

namespace {

/// `text` with the profile folder `linux` named as Firefox on Windows names
/// its folder `windows` (a path with backslashes): file URLs get the drive
/// in their path, every other mention the Windows path with its rest's
/// separators as backslashes, each backslash written as `backslash`.
std::string AsMadeOnWindows(std::string text, const std::string& linux, const std::string& windows,
                            const std::string& backslash)
{
    std::string url = "file:///" + windows;
    std::replace(url.begin(), url.end(), '\\', '/');
    for (auto at = text.find("file://" + linux); at != std::string::npos; at = text.find("file://" + linux))
        text.replace(at, 7 + linux.size(), url);
    for (auto at = text.find(linux); at != std::string::npos; at = text.find(linux)) {
        const auto end = text.find_first_of("\"'", at);
        std::string path = windows + text.substr(at + linux.size(), end - at - linux.size());
        std::replace(path.begin(), path.end(), '/', '\\');
        std::string written;
        for (const char c : path)
            written += c == '\\' ? backslash : std::string(1, c);
        text.replace(at, end - at, written);
    }
    return text;
}

} // namespace

// A backup laid out as one made on Windows, byte by byte, from the files
// Firefox wrote for an add-on: its paths and addresses name a "C:\" profile.
TEST_F(ExtensionsEndToEndTest, ExtensionOfAProfileMadeOnWindowsStaysEnabledWithoutARepair)
{
    const std::string b = home.Path() + "/restored";
    RunToEnd({"firefox-esr", "-headless", "-CreateProfile", "Ann"});
    RunToEnd({"firefox-esr", "-headless", "-CreateProfile", "Bob " + b});
    const std::string a = MadeFolder("Ann");
    WriteExtension(a);
    const std::string userJs = "user_pref(\"marionette.port\", 0);\n"
                               "user_pref(\"xpinstall.signatures.required\", false);\n"
                               "user_pref(\"extensions.autoDisableScopes\", 0);\n"
                               "user_pref(\"extensions.enabledScopes\", 15);\n";
    home.WriteFile(fs::relative(a, home.Path()).string() + "/user.js", userJs);
    ASSERT_EQ(RunInFirefox(a, AddonStateScript, LogFile()), RunningFrom(a));

    const std::string windows = "C:\\Users\\bob\\AppData\\Roaming\\Mozilla\\Firefox\\Profiles\\abc.default";
    const std::string database = AsMadeOnWindows(ReadFileForTest(a + "/extensions.json"), a, windows, "\\\\");
    ASSERT_NE(database.find("C:\\\\Users\\\\bob"), std::string::npos) << database;
    TComponentBoxes boxes;
    boxes[GeneralSettingsBox].Checked = true;
    boxes[ExtensionsBox].Checked = true;
    home.WriteFile(
        "windows.qkz",
        BuildZip({{std::string(ArchiveHeaderName), WriteArchiveHeader(FirefoxAppType, boxes, {}, {})},
                  {"prefs.js", ReadFileForTest(a + "/prefs.js") +
                                   "user_pref(\"browser.download.dir\", \"D:\\\\Downloads\");\n"},
                  {"extensions.json", database},
                  {"addonStartup.json.lz4",
                   EncodeMozLz4(AsMadeOnWindows(DecodeMozLz4(ReadFileForTest(a + "/addonStartup.json.lz4")),
                                                a, windows, "\\\\"))},
                  {"pkcs11.txt", AsMadeOnWindows(ReadFileForTest(a + "/pkcs11.txt"), a, windows, "\\\\")},
                  {"extensions/" + AddonId + ".xpi", ReadFileForTest(a + AddonFile)}}));
    const TCliResult restore = RunCli({"restore", "--archive", home.Path() + "/windows.qkz", "--app",
                                       "firefox", "--profile", "Bob", "--quiet"},
                                      home.Path());
    ASSERT_EQ(restore.ExitCode, 0) << restore.Err;
    EXPECT_EQ(ReadFileForTest(b + "/prefs.js").find("Downloads"), std::string::npos);
    for (const char* file : {"extensions.json", "pkcs11.txt"})
        EXPECT_EQ(ReadFileForTest(b + "/" + file).find("C:"), std::string::npos) << file;

    // Nothing of Ann's profile is left to be loaded: the add-on runs from
    // Bob's, and Firefox rebuilt no add-on location.
    fs::rename(a, a + ".gone");
    home.WriteFile("restored/user.js", userJs);
    EXPECT_EQ(RunInFirefox(b, AddonStateScript, LogFile()), RunningFrom(b));
}
