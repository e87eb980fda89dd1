// quillbank-cli on profiles that the real firefox-esr and thunderbird made
// and filled in a fake home: every command, and a backup restored into
// another profile that Firefox then starts with. Every program started here
// is ended and reaped before its test finishes.

#include "apps/MozManager.h"
#include "apps/RunningCheck.h"
#include "apps/WizardState.h"
#include "config/InterfaceTexts.h"
#include "engine/ArchiveHeader.h"
#include "engine/BatchMode.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "profile/AccountFolder.h"
#include "profile/PrefsParser.h"
#include "tests/cli/CliRun.h"
#include "tests/support/FakeHome.h"
#include "tests/support/RealApps.h"
#include "tests/support/ScriptedUserInterface.h"
#include "tests/support/ZipBuilder.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::EndProcessesOfHome;
using quillbank::testing::FirefoxInstallDir;
using quillbank::testing::InstalledVersion;
using quillbank::testing::JsonQuery;
using quillbank::testing::ReadFileForTest;
using quillbank::testing::RunCli;
using quillbank::testing::TAppProcess;
using quillbank::testing::TCliResult;
using quillbank::testing::ThunderbirdInstallDir;
using quillbank::testing::TRealAppsTest;
using quillbank::testing::WaitUntil;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

using Names = std::set<std::string>;

/// The entry names of an archive.
Names ArchiveEntries(const std::string& path)
{
    const std::vector<std::string> names = quillbank::testing::ZipEntryNames(path);
    return {names.begin(), names.end()};
}

/// The regular files below `folder`, relative to it.
Names RegularFiles(const std::string& folder)
{
    Names files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files.insert(fs::relative(entry.path(), folder).generic_string());
    return files;
}

/// A message file holding one message that names its account.
std::string Mailbox(const std::string& account)
{
    return "From - Mon Jan  1 00:00:00 2024\nFrom: a@example.org\nSubject: " + account + "\n\n" + account +
           "\n";
}

class CliRealAppsTest : public TRealAppsTest
{
protected:
    TCliResult Run(const std::vector<std::string>& arguments, const std::string& input = "")
    {
        return RunCli(arguments, home.Path(), input);
    }
    std::string Query(const std::string& json, const std::string& expression)
    {
        return JsonQuery(json, expression, home.Path());
    }

    /// Thunderbird, started once on the profile `name` with `userJs` as its
    /// user.js, has set up the accounts it names: it runs until `done` holds.
    template <typename Done>
    void SetUpAccounts(const std::string& name, const std::string& profile, const std::string& userJs,
                       Done done)
    {
        home.WriteFile(fs::relative(profile, home.Path()).string() + "/user.js", userJs);
        {
            TAppProcess thunderbird({"thunderbird", "--headless", "-P", name}, LogFile());
            ASSERT_TRUE(WaitUntil(done, 60s)) << ReadFileForTest(LogFile());
        }
        EndProcessesOfHome(home.Path());
    }

    /// Checks that every regular file below each root, stored in the archive
    /// under the root's prefix ("" for the profile), is an entry of `archive`
    /// or counted in the account that `backup --json` printed as `json`, and
    /// that the archive holds nothing else but its header.
    void ExpectEveryFileAccountedFor(const std::string& json, const std::string& archive,
                                     const std::map<std::string, std::string>& prefixOfRoot)
    {
        const Names entries = ArchiveEntries(archive);
        std::size_t onDisk = 0, archived = 0;
        for (const auto& [root, prefix] : prefixOfRoot)
            for (const std::string& file : RegularFiles(root)) {
                ++onDisk;
                archived += entries.contains(prefix + file) ? 1 : 0;
            }
        EXPECT_EQ(entries.size(), archived + 1);
        EXPECT_EQ(Query(json, "d['account']['entries']['files']"), std::to_string(archived));
        EXPECT_EQ(Query(json, "sum(c['files'] for c in d['account']['leftOutByRule'].values()) + "
                              "len(d['account']['leftOutByFault'])"),
                  std::to_string(onDisk - archived))
            << json;
    }

    /// The folder `list --json` gives for a profile of the application.
    std::string ListedFolder(const std::string& app, const std::string& profile)
    {
        const TCliResult list = Run({"list", "--json"});
        EXPECT_EQ(list.ExitCode, 0) << list.Err;
        return Query(list.Out, "[p['folder'] for a in d['applications'] if a['name'] == '" + app +
                                   "' for p in a['profiles'] if p['name'] == '" + profile + "'][0]");
    }
};

} // namespace

TEST_F(CliRealAppsTest, FirefoxProfileGoesThroughEveryCommandAndFirefoxStartsWithTheRestoredOne)
{
    if (InstalledVersion(FirefoxInstallDir).empty())
        GTEST_SKIP() << "firefox-esr is not installed (scripts/install-deps.sh installs it)";
    RunToEnd({"firefox-esr", "-headless", "-CreateProfile", "Daily"});
    RunToEnd({"firefox-esr", "-headless", "-CreateProfile", "Spare"});
    const std::string page = home.WriteFile("page.html", "<title>page</title>text");
    RunToEnd({"firefox-esr", "-headless", "-P", "Daily", "--screenshot", home.Path() + "/a.png",
              "file://" + page});

    const TCliResult list = Run({"list", "--json"});
    ASSERT_EQ(list.ExitCode, 0) << list.Err;
    EXPECT_EQ(Query(list.Out, "[(a['installed'], a['version'], a['installDir']) for a in d['applications'] "
                              "if a['name'] == 'firefox']"),
              "[(True, '" + InstalledVersion(FirefoxInstallDir) + "', '" + FirefoxInstallDir + "')]");
    EXPECT_EQ(Query(list.Out, "sorted(p['name'] for a in d['applications'] if a['name'] == 'firefox' "
                              "for p in a['profiles'])"),
              "['Daily', 'Spare']");
    const std::string daily = ListedFolder("firefox", "Daily");
    const std::string spare = ListedFolder("firefox", "Spare");
    ASSERT_TRUE(fs::exists(daily + "/places.sqlite")) << daily;

    home.WriteFile("password", "a long passphrase\n");
    // Readable by its owner only, as a password file should be.
    fs::permissions(home.Path() + "/password", fs::perms::owner_read | fs::perms::owner_write);
    const std::string archive = home.MakeDir("backups") + "/Firefox <profile>.qkz";
    const TCliResult backup =
        Run({"backup", "--app", "fire", "--profile", "daily", "--output", archive, "--password-stdin"},
            "a long passphrase\n");
    ASSERT_EQ(backup.ExitCode, 0) << backup.Err;
    const std::string written = home.Path() + "/backups/Firefox Daily.qkz";
    EXPECT_EQ(backup.Out, written + "\n");

    const TCliResult inspect =
        Run({"inspect", written, "--json", "--password-file", home.Path() + "/password"});
    ASSERT_EQ(inspect.ExitCode, 0) << inspect.Err;
    EXPECT_EQ(Query(inspect.Out, "(d['application']['name'], d['encryption'], d['mailFolders'])"),
              "('firefox', 'aes256', [])");
    EXPECT_EQ(Query(inspect.Out, "[c for c in ('general-settings', 'bookmarks', 'history', 'cookies') "
                                 "if c not in d['components']]"),
              "[]");
    EXPECT_EQ(Query(inspect.Out, "d['entries'] > 5 and d['size'] > 0"), "True");

    EXPECT_EQ(Run({"verify", written, "--password-file", home.Path() + "/password"}).ExitCode, 0);
    EXPECT_EQ(Run({"verify", written, "--password-stdin"}, "not it\n").ExitCode, 4);

    const TCliResult restore = Run({"restore", "--archive", written, "--app", "firefox", "--profile", "spare",
                                    "--password-file", home.Path() + "/password", "--quiet"});
    ASSERT_EQ(restore.ExitCode, 0) << restore.Err;
    EXPECT_EQ(restore.Out + restore.Err, "");
    for (const char* file : {"places.sqlite", "cookies.sqlite", "cert9.db", "key4.db"})
        EXPECT_EQ(ReadFileForTest(spare + "/" + file), ReadFileForTest(daily + "/" + file)) << file;

    // Firefox takes the restored profile and ends normally.
    RunToEnd({"firefox-esr", "-headless", "-P", "Spare", "--screenshot", home.Path() + "/b.png",
              "file://" + page});
    EXPECT_TRUE(fs::exists(home.Path() + "/b.png")) << ReadFileForTest(LogFile());
}

TEST_F(CliRealAppsTest, ThunderbirdMailIsBackedUpAndRestoredIntoAPortableFolder)
{
    if (InstalledVersion(ThunderbirdInstallDir).empty())
        GTEST_SKIP() << "thunderbird is not installed (scripts/install-deps.sh installs it)";
    RunToEnd({"thunderbird", "-headless", "-CreateProfile", "Mail"});
    const std::string profile = ListedFolder("thunderbird", "Mail");
    {
        // Thunderbird does not end by itself: it runs until its prefs.js is there.
        TAppProcess thunderbird({"thunderbird", "--headless", "-P", "Mail"}, LogFile());
        ASSERT_TRUE(WaitUntil([&profile] { return fs::exists(profile + "/prefs.js"); }, 60s))
            << ReadFileForTest(LogFile());
        // While it runs, it is refused.
        const TCliResult refused =
            Run({"backup", "--app", "bird", "--profile", "mail", "--output", home.Path() + "/tb.qkz"});
        EXPECT_EQ(refused.ExitCode, 3) << refused.Err;
    }
    EndProcessesOfHome(home.Path());
    const std::string inbox = "From - Mon Jan  1 00:00:00 2024\nFrom: a@example.org\nSubject: kept\n\nkept\n";
    home.WriteFile(fs::relative(profile, home.Path()).string() + "/Mail/Local Folders/Inbox", inbox);
    home.WriteFile(fs::relative(profile, home.Path()).string() + "/prefs.js",
                   ReadFileForTest(profile + "/prefs.js") +
                       "user_pref(\"mail.server.server1.directory\", \"" + profile +
                       "/Mail/Local Folders\");\n"
                       "user_pref(\"mail.server.server1.type\", \"none\");\n"
                       "user_pref(\"mail.identity.id1.fullName\", \"Kept\");\n");

    const TCliResult backup =
        Run({"backup", "--app", "bird", "--profile", "mail", "--output", home.Path() + "/tb.qkz",
             "--components", "general-settings,emails", "--no-unknown"});
    ASSERT_EQ(backup.ExitCode, 0) << backup.Err;
    const TCliResult inspect = Run({"inspect", home.Path() + "/tb.qkz", "--json"});
    EXPECT_EQ(Query(inspect.Out, "(d['application'], d['components'], d['unknownEntries'])"),
              "({'type': 3, 'name': 'thunderbird'}, ['general-settings', 'emails'], [])");

    const std::string target = home.MakeDir("portable");
    const TCliResult restore =
        Run({"restore", "--archive", home.Path() + "/tb.qkz", "--profile-dir", target});
    ASSERT_EQ(restore.ExitCode, 0) << restore.Err;
    EXPECT_EQ(ReadFileForTest(target + "/Mail/Local Folders/Inbox"), inbox);
    EXPECT_TRUE(fs::exists(target + "/prefs.js"));
}

/// The accounts of a prefs.js written by `SetUpAccounts`: "Local Folders"
/// (server1) and one local-mail account per folder, in order.
std::string AccountsUserJs(const std::vector<std::string>& folders)
{
    std::string accounts = "account1";
    std::string prefs = "user_pref(\"mail.accountmanager.localfoldersserver\", \"server1\");\n"
                        "user_pref(\"mail.account.account1.server\", \"server1\");\n"
                        "user_pref(\"mail.server.server1.type\", \"none\");\n"
                        "user_pref(\"mail.server.server1.hostname\", \"Local Folders\");\n"
                        "user_pref(\"mail.server.server1.userName\", \"nobody\");\n";
    for (std::size_t i = 0; i < folders.size(); ++i) {
        const std::string n = std::to_string(i + 2);
        accounts += ",account" + n;
        prefs += "user_pref(\"mail.account.account" + n + ".server\", \"server" + n + "\");\n" +
                 "user_pref(\"mail.server.server" + n + ".type\", \"none\");\n" +
                 "user_pref(\"mail.server.server" + n + ".hostname\", \"host" + n + "\");\n" +
                 "user_pref(\"mail.server.server" + n + ".userName\", \"user\");\n" +
                 "user_pref(\"mail.server.server" + n + ".directory\", \"" + folders[i] + "\");\n";
    }
    return prefs + "user_pref(\"mail.accountmanager.accounts\", \"" + accounts + "\");\n";
}

TEST_F(CliRealAppsTest, ThunderbirdAccountFoldersEverywhereAreBackedUpWholeAndRestoredToTheirPlaces)
{
    if (InstalledVersion(ThunderbirdInstallDir).empty())
        GTEST_SKIP() << "thunderbird is not installed (scripts/install-deps.sh installs it)";
    RunToEnd({"thunderbird", "-headless", "-CreateProfile", "Accounts"});
    const std::string profile = ListedFolder("thunderbird", "Accounts");
    // Outside the profile: reached from it by "[ProfD]../..", two folders
    // with one name, and one whose name begins with the profile folder's.
    const std::vector<std::string> folders = {home.Path() + "/elsewhere/pop.example.org",
                                              home.Path() + "/x1/pop.example.com",
                                              home.Path() + "/x2/pop.example.com", profile + "-archive"};
    SetUpAccounts("Accounts", profile, AccountsUserJs(folders), [&] {
        const auto prefs = ReadWholeFile(profile + "/prefs.js");
        return prefs && prefs->find("server5.directory-rel") != std::string::npos &&
               std::ranges::all_of(folders, [](const std::string& f) { return fs::exists(f + "/Trash"); });
    });
    // Thunderbird recorded the folders relative to the profile too.
    EXPECT_NE(ReadFileForTest(profile + "/prefs.js").find("\"[ProfD]../../elsewhere/pop.example.org\""),
              std::string::npos);
    // Each account's own mail, so that a mix-up shows.
    std::map<std::string, std::string> inboxes = {{profile + "/Mail/Local Folders/Inbox", Mailbox("local")}};
    for (const std::string& folder : folders)
        inboxes[folder + "/Inbox"] = Mailbox(folder);
    for (const auto& [path, content] : inboxes)
        home.WriteFile(fs::relative(path, home.Path()).string(), content);

    const std::string archive = home.Path() + "/accounts.qkz";
    const TCliResult backup =
        Run({"backup", "--app", "thunderbird", "--profile", "Accounts", "--output", archive, "--json"});
    ASSERT_EQ(backup.ExitCode, 0) << backup.Err;
    const Names entries = ArchiveEntries(archive);
    const std::map<std::string, std::string> prefixOfRoot = {
        {profile, ""},
        {folders[0], "pop.example.org/"},
        {folders[1], "pop.example.com~1/"},
        {folders[2], "pop.example.com~2/"},
        {folders[3], fs::path(folders[3]).filename().string() + "/"}};
    for (const auto& [folder, prefix] : prefixOfRoot) {
        if (folder == profile)
            continue;
        for (const std::string& file : RegularFiles(folder))
            EXPECT_TRUE(entries.contains(prefix + file)) << folder << "/" << file;
    }
    for (const std::string& file : RegularFiles(profile + "/Mail"))
        EXPECT_TRUE(entries.contains("Mail/" + file)) << file;
    ExpectEveryFileAccountedFor(backup.Out, archive, prefixOfRoot);

    // Into a fresh profile elsewhere, with the folders outside it gone.
    RunToEnd({"thunderbird", "-headless", "-CreateProfile", "Fresh " + home.Path() + "/moved/Fresh"});
    for (const std::string& folder : folders)
        fs::remove_all(folder);
    const std::string target = home.Path() + "/moved/Fresh";
    const TCliResult restore =
        Run({"restore", "--archive", archive, "--profile-dir", target, "--outside-profile"});
    ASSERT_EQ(restore.ExitCode, 0) << restore.Err;
    for (const auto& [path, content] : inboxes) {
        const std::string restored =
            path.starts_with(profile + "/Mail/") ? target + path.substr(profile.size()) : path;
        EXPECT_EQ(ReadFileForTest(restored), content) << restored;
    }
    // Every account of the restored profile leads to its own folder.
    const TInterfaceTexts texts(home.Path() + "/Default.lng");
    const TPrefsParser prefs(target + "/prefs.js", texts);
    Names located;
    for (const TPrefsParserAccount& account : prefs.Accounts())
        located.insert(LocateAccountFolder(account, target + "/").Path);
    EXPECT_EQ(located,
              (Names{target + "/Mail/Local Folders", folders[0], folders[1], folders[2], folders[3]}));
}

// A backup laid out as one made on Windows, byte by byte: account folders
// recorded as "C:\" and "D:\" paths, entry names in code page 1250 without
// ZIP's UTF-8 flag, and a prefs.js with Windows paths.
TEST_F(CliRealAppsTest, ThunderbirdFindsEveryAccountFolderOfABackupMadeOnWindows)
{
    if (InstalledVersion(ThunderbirdInstallDir).empty())
        GTEST_SKIP() << "thunderbird is not installed (scripts/install-deps.sh installs it)";
    const std::string target = home.Path() + "/restored";
    RunToEnd({"thunderbird", "-headless", "-CreateProfile", "Restored " + target});
    const std::string oldProfile =
        "C:\\\\Users\\\\bob\\\\AppData\\\\Roaming\\\\Thunderbird\\\\Profiles\\\\abc.default";
    std::string prefs = "user_pref(\"mail.accountmanager.localfoldersserver\", \"server1\");\n"
                        "user_pref(\"mail.accountmanager.accounts\", \"account1,account2,account3\");\n"
                        "user_pref(\"mail.server.server1.directory\", \"" +
                        oldProfile +
                        "\\\\Mail\\\\Local Folders\");\n"
                        "user_pref(\"mail.server.server1.directory-rel\", \"[ProfD]Mail/Local Folders\");\n"
                        "user_pref(\"mail.server.server2.directory\", \"C:\\\\Mail\\\\Archive\");\n"
                        "user_pref(\"mail.server.server3.directory\", \"D:\\\\Team\");\n"
                        "user_pref(\"mail.compose.attach.dir\", \"E:\\\\Attachments\");\n";
    for (const char* n : {"1", "2", "3"})
        prefs += std::string("user_pref(\"mail.account.account") + n + ".server\", \"server" + n + "\");\n" +
                 "user_pref(\"mail.server.server" + n + ".type\", \"none\");\n" +
                 "user_pref(\"mail.server.server" + n + ".hostname\", \"host" + n + "\");\n" +
                 "user_pref(\"mail.server.server" + n + ".userName\", \"nobody\");\n";
    TComponentBoxes boxes;
    boxes[EmailsBox].Checked = true;
    auto windows = [](std::string name, std::string content) {
        quillbank::testing::TZipEntrySpec entry(std::move(name), std::move(content));
        entry.Utf8Flag = false;
        return entry;
    };
    home.WriteFile("windows.qkz",
                   quillbank::testing::BuildZip(
                       {{std::string(ArchiveHeaderName),
                         WriteArchiveHeader(ThunderbirdAppType, boxes,
                                            {{"C:\\Mail\\Archive", "Archive"}, {"D:\\Team", "Team"}}, {})},
                        {"prefs.js", prefs},
                        windows("Mail\\Local Folders\\Doru\xe8\x65n\xe1 po\x9ata", Mailbox("local")),
                        windows("Archive\\Entw\xfcrfe", Mailbox("archive")),
                        {"Team/Inbox", Mailbox("team")}}));
    const std::string mapped = home.Path() + "/mapped/Team";
    const TCliResult restore =
        Run({"restore", "--archive", home.Path() + "/windows.qkz", "--profile-dir", target, "--app",
             "thunderbird", "--codepage", "1250", "--map-folder", "D:\\Team=" + mapped, "--outside-profile"});
    ASSERT_EQ(restore.ExitCode, 0) << restore.Err;
    EXPECT_EQ(ReadFileForTest(target + "/Mail/Local Folders/Doru\xc4\x8d\x65n\xc3\xa1 po\xc5\xa1ta"),
              Mailbox("local"));
    EXPECT_EQ(ReadFileForTest(target + "/Mail/Archive/Entw\xc3\xbcrfe"), Mailbox("archive"));
    EXPECT_EQ(ReadFileForTest(mapped + "/Inbox"), Mailbox("team"));

    // Thunderbird lists each account's folders where the restore put them:
    // it adds its own special folders there.
    const std::vector<std::string> folders = {target + "/Mail/Local Folders", target + "/Mail/Archive",
                                              mapped};
    {
        TAppProcess thunderbird({"thunderbird", "--headless", "-P", "Restored"}, LogFile());
        ASSERT_TRUE(WaitUntil(
            [&] {
                return std::ranges::all_of(folders,
                                           [](const std::string& f) { return fs::exists(f + "/Trash"); });
            },
            60s))
            << ReadFileForTest(LogFile());
    }
    EndProcessesOfHome(home.Path());
    const TInterfaceTexts texts(home.Path() + "/Default.lng");
    const TPrefsParser restored(target + "/prefs.js", texts);
    Names located;
    for (const TPrefsParserAccount& account : restored.Accounts())
        located.insert(LocateAccountFolder(account, target + "/").Path);
    EXPECT_EQ(located, (Names{folders.begin(), folders.end()}));
    EXPECT_EQ(ReadFileForTest(target + "/prefs.js").find("Attachments"), std::string::npos);
}

TEST_F(CliRealAppsTest, ThunderbirdWithLocalFoldersOnlyKeepsItsMailAndAccountsForEveryFile)
{
    if (InstalledVersion(ThunderbirdInstallDir).empty())
        GTEST_SKIP() << "thunderbird is not installed (scripts/install-deps.sh installs it)";
    RunToEnd({"thunderbird", "-headless", "-CreateProfile", "Local"});
    const std::string profile = ListedFolder("thunderbird", "Local");
    SetUpAccounts("Local", profile, AccountsUserJs({}), [&] {
        const auto prefs = ReadWholeFile(profile + "/prefs.js");
        return prefs && prefs->find("server1.directory-rel") != std::string::npos &&
               fs::exists(profile + "/Mail/Local Folders/Trash");
    });
    // No identity and no server but "Local Folders".
    EXPECT_EQ(ReadFileForTest(profile + "/prefs.js").find("mail.identity."), std::string::npos);
    home.WriteFile(fs::relative(profile, home.Path()).string() + "/Mail/Local Folders/Inbox",
                   Mailbox("local"));

    const std::string archive = home.Path() + "/local.qkz";
    const TCliResult backup =
        Run({"backup", "--app", "thunderbird", "--profile", "Local", "--output", archive, "--json"});
    ASSERT_EQ(backup.ExitCode, 0) << backup.Err;
    EXPECT_TRUE(ArchiveEntries(archive).contains("Mail/Local Folders/Inbox"));
    ExpectEveryFileAccountedFor(backup.Out, archive, {{profile, ""}});
}

TEST_F(CliRealAppsTest, FirefoxProfileAfterAFirstRunAccountsForEveryFile)
{
    if (InstalledVersion(FirefoxInstallDir).empty())
        GTEST_SKIP() << "firefox-esr is not installed (scripts/install-deps.sh installs it)";
    RunToEnd({"firefox-esr", "-headless", "-CreateProfile", "Browse"});
    const std::string profile = ListedFolder("firefox", "Browse");
    home.WriteFile("page.html", "<title>page</title>text");
    RunToEnd({"firefox-esr", "-headless", "-P", "Browse", "--screenshot", home.Path() + "/shot.png",
              "file://" + home.Path() + "/page.html"});
    EndProcessesOfHome(home.Path());

    const std::string archive = home.Path() + "/browse.qkz";
    const TCliResult backup =
        Run({"backup", "--app", "firefox", "--profile", "Browse", "--output", archive, "--json"});
    ASSERT_EQ(backup.ExitCode, 0) << backup.Err;
    EXPECT_TRUE(ArchiveEntries(archive).contains("places.sqlite"));
    ExpectEveryFileAccountedFor(backup.Out, archive, {{profile, ""}});
}

// A real Firefox holds profile A. Profile B, which no Firefox has opened,
// is backed up all the same from the command line, as the wizard checks it
// and as a task file names it; A is refused.
TEST_F(CliRealAppsTest, ARunningFirefoxStandsInTheWayOfItsOwnProfileOnly)
{
    RunToEnd({"firefox-esr", "-headless", "-CreateProfile", "Alpha"});
    RunToEnd({"firefox-esr", "-headless", "-CreateProfile", "Beta"});
    const std::string alpha = ListedFolder("firefox", "Alpha");
    const std::string beta = ListedFolder("firefox", "Beta");
    // Made, never opened: settings of its own, and no lock file.
    home.WriteFile(fs::relative(beta, home.Path()).string() + "/prefs.js",
                   "user_pref(\"browser.startup.page\", 3);\n");
    ASSERT_FALSE(fs::exists(beta + "/.parentlock"));

    TAppProcess firefox({"firefox-esr", "--headless", "--no-remote", "--profile", alpha, "about:blank"},
                        LogFile());
    ASSERT_TRUE(WaitUntil([&alpha] { return IsProfileInUse(FirefoxAppType, alpha); }, 60s))
        << ReadFileForTest(LogFile());
    ASSERT_TRUE(IsAppRunning(FirefoxAppType));

    const TCliResult backupB =
        Run({"backup", "--app", "firefox", "--profile", "beta", "--output", home.Path() + "/b.qkz"});
    EXPECT_EQ(backupB.ExitCode, 0) << backupB.Err;
    const TCliResult backupA = Run({"backup", "--app", "firefox", "--profile", "alpha", "--output", "a.qkz"});
    EXPECT_EQ(backupA.ExitCode, 3) << backupA.Err;

    // The wizard's check before a run: no question for B, one for A.
    const TInterfaceTexts texts(home.Path() + "/Default.lng");
    quillbank::testing::TScriptedUserInterface ui;
    EXPECT_TRUE(WaitForProfileFree(FirefoxAppType, beta, texts, ui));
    EXPECT_TRUE(ui.calls.empty());
    ui.QueueAnswer(TBoxAnswer::Cancel);
    EXPECT_FALSE(WaitForProfileFree(FirefoxAppType, alpha, texts, ui));

    // A task file's profile, as the unattended backup checks it.
    TAppStatusTable status{};
    const TMozManager manager(texts, status);
    for (const auto& [name, inUse] : {std::pair<std::string, bool>{"beta", false}, {"alpha", true}}) {
        home.WriteFile("program/task.ini", "[General]\naction=backup\napplication=firefox\nprofile=" + name +
                                               "\noutput=" + home.Path() + "/task.qkz\n");
        TWizardState state;
        TBatchTask task;
        ASSERT_TRUE(ReadBatchTask(home.Path() + "/program", "task.ini", manager, state, task));
        EXPECT_EQ(IsProfileInUse(state.SelectedAppType, task.Profile->Directory()), inUse) << name;
    }
    EXPECT_FALSE(firefox.Ended()) << ReadFileForTest(LogFile());
}

// Firefox makes its profiles in the XDG root of a fresh home, and in the
// classic root of a home that has one: both roots made here by Firefox
// itself are listed, each profile with its root, and each is found by name.
TEST_F(CliRealAppsTest, ProfilesFirefoxMadeInTheXdgAndTheClassicRootAreAllListed)
{
    RunToEnd({"firefox-esr", "-headless", "-CreateProfile", "Fresh"});
    const std::string xdg = home.Path() + "/.config/mozilla/firefox";
    ASSERT_TRUE(fs::exists(xdg + "/profiles.ini"));
    fs::rename(home.Path() + "/.config/mozilla", home.Path() + "/xdg-aside");
    const std::string classic = home.MakeDir(".mozilla/firefox");
    RunToEnd({"firefox-esr", "-headless", "-CreateProfile", "Classic"});
    ASSERT_TRUE(fs::exists(classic + "/profiles.ini"));
    fs::remove_all(home.Path() + "/.config/mozilla");
    fs::rename(home.Path() + "/xdg-aside", home.Path() + "/.config/mozilla");

    const TCliResult list = Run({"list", "--json"});
    ASSERT_EQ(list.ExitCode, 0) << list.Err;
    EXPECT_EQ(Query(list.Out, "[(p['name'], p['root']) for a in d['applications'] if a['name'] == 'firefox' "
                              "for p in a['profiles']]"),
              "[('Classic', '" + classic + "'), ('Fresh', '" + xdg + "')]");
    const TCliResult text = Run({"list"});
    EXPECT_NE(text.Out.find("    Fresh (~/.config/mozilla/firefox)  " + xdg + "/"), std::string::npos)
        << text.Out;
    // Found by their names, in any letter case.
    for (const std::string listed : {"Fresh", "Classic"}) {
        home.WriteFile(fs::relative(ListedFolder("firefox", listed), home.Path()).string() + "/prefs.js",
                       "user_pref(\"browser.startup.page\", 3);\n");
        const TCliResult backup = Run({"backup", "--app", "firefox", "--profile", ToLowerAscii(listed),
                                       "--output", home.Path() + "/x.qkz"});
        EXPECT_EQ(backup.ExitCode, 0) << listed << backup.Err;
    }
}
