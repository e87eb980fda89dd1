// End-to-end tests of backup and restore: profiles of Debian's firefox-esr and
// thunderbird, made and filled by the applications themselves in a fake home,
// go through a backup file and back; the restored Firefox profile is started
// again. Also password-protected archives and the legacy text container.
// Every program started here is ended and reaped before its test finishes.

#include "apps/ProfileDiscovery.h"
#include "apps/WizardState.h"
#include "config/InterfaceTexts.h"
#include "engine/ArchiveHeader.h"
#include "engine/BackupRun.h"
#include "engine/Catalogue.h"
#include "engine/KeyStore.h"
#include "engine/KnownFiles.h"
#include "engine/RestoreRun.h"
#include "engine/RunEnvironment.h"
#include "tests/cli/CliRun.h"
#include "tests/support/FakeHome.h"
#include "tests/support/RealApps.h"
#include "tests/support/ScriptedUserInterface.h"
#include "tests/support/ZipBuilder.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::EndProcessesOfHome;
using quillbank::testing::FirefoxInstallDir;
using quillbank::testing::InstalledVersion;
using quillbank::testing::ReadFileForTest;
using quillbank::testing::RunCli;
using quillbank::testing::RunInFirefox;
using quillbank::testing::TAppProcess;
using quillbank::testing::TCliResult;
using quillbank::testing::ThunderbirdInstallDir;
using quillbank::testing::TRealAppsTest;
using quillbank::testing::TScriptedUserInterface;
using quillbank::testing::WaitUntil;
using Lines = std::vector<std::string>;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

void WriteFile(const std::string& path, const std::string& content)
{
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

void AppendToFile(const std::string& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary | std::ios::app) << content;
}

/// The lines of a text that are not empty, without their line ends.
Lines NonEmptyLines(const std::string& text)
{
    Lines lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.ends_with('\r'))
            line.pop_back();
        if (!line.empty())
            lines.push_back(line);
    }
    return lines;
}

bool HasLine(const std::string& text, const std::string& line)
{
    const Lines lines = NonEmptyLines(text);
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

/// The regular files below `folder`, as paths relative to it.
Lines FilesBelow(const std::string& folder)
{
    Lines files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (fs::is_regular_file(entry.symlink_status()))
            files.push_back(fs::relative(entry.path(), folder).string());
    std::sort(files.begin(), files.end());
    return files;
}

/// The same file below both folders, with the same bytes.
::testing::AssertionResult SameFile(const std::string& original, const std::string& copy,
                                    const std::string& name)
{
    if (!fs::is_regular_file(copy + "/" + name))
        return ::testing::AssertionFailure() << name << " was not restored";
    if (ReadFileForTest(copy + "/" + name) != ReadFileForTest(original + "/" + name))
        return ::testing::AssertionFailure() << name << " differs from the original";
    return ::testing::AssertionSuccess();
}

class RunsEndToEndTest : public TRealAppsTest
{
protected:
    std::string programDir = MakeProgramDir();
    TInterfaceTexts texts{programDir + "/Default.lng"};
    TScriptedUserInterface ui;
    int toolRuns = 0;

    /// Adds a login to `profile` through Firefox itself; "added" with a line
    /// end when it worked.
    std::string AddLogin(const std::string& profile, const std::string& user, const std::string& password)
    {
        return RunInFirefox(
            ScriptedProfile(profile),
            "const [done] = arguments;"
            "const login = Cc['@mozilla.org/login-manager/loginInfo;1']"
            "  .createInstance(Ci.nsILoginInfo);"
            "login.init('https://example.org', 'https://example.org', null, '" +
                user + "', '" + password +
                "', '', '');"
                "Services.logins.addLoginAsync(login).then(() => done('added'), e => done('' + e));",
            LogFile());
    }

    /// The logins Firefox reads in `profile`, "user:password" joined by
    /// commas, or "none".
    std::string ListLogins(const std::string& profile)
    {
        return RunInFirefox(ScriptedProfile(profile),
                            "const [done] = arguments;"
                            "Services.logins.getAllLogins().then("
                            "  all => done(all.map(l => l.username + ':' + l.password).join(',') || 'none'),"
                            "  e => done('' + e));",
                            LogFile());
    }

    /// `profile`, with the user.js that lets RunInFirefox reach it.
    const std::string& ScriptedProfile(const std::string& profile)
    {
        home.WriteFile(profile.substr(home.Path().size() + 1) + "/user.js",
                       "user_pref(\"marionette.port\", 0);\n");
        return profile;
    }

    /// The program's folder with the shipped working files and default settings.
    std::string MakeProgramDir()
    {
        const std::string folder = home.MakeDir("program");
        for (const char* name : {"Default.lng", "Profilefiles.txt"})
            fs::copy_file(fs::path(QUILLBANK_SOURCE_DIR) / "data" / name, fs::path(folder) / name);
        home.WriteFile("program/Backup.ini", "");
        return folder;
    }

    static bool RealAppsInstalled()
    {
        return !InstalledVersion(FirefoxInstallDir).empty() &&
               !InstalledVersion(ThunderbirdInstallDir).empty();
    }

    TArchiveEnvironment Environment(TWizardState& state)
    {
        return RunEnvironment(ui, texts, state, programDir);
    }

    /// Runs a command-line tool to its end; its exit code, and its output in `output`.
    int RunTool(const std::vector<std::string>& arguments, std::string& output)
    {
        const std::string log = home.Path() + "/tool" + std::to_string(++toolRuns) + ".log";
        const int code = TAppProcess(arguments, log).WaitForExit(30s);
        output = ReadFileForTest(log);
        return code;
    }

    /// What SQLite's own check says of a database, then the first value of
    /// `statement` (run with `value` bound, and committed).
    std::string RunSql(const std::string& database, const std::string& statement, const std::string& value)
    {
        std::string output;
        RunTool({"python3", "-c",
                 "import sqlite3, sys\n"
                 "db = sqlite3.connect(sys.argv[1])\n"
                 "print(db.execute('PRAGMA integrity_check').fetchone()[0])\n"
                 "row = db.execute(sys.argv[2], sys.argv[3:]).fetchone()\n"
                 "db.commit()\n"
                 "print(row[0] if row else '')\n",
                 database, statement, value},
                output);
        return output;
    }

    /// Has Firefox make the profile `name`, and gives its folder.
    std::string NewFirefoxProfile(const std::string& name)
    {
        RunToEnd({"firefox-esr", "-headless", "-CreateProfile", name});
        return ProfileFolder(FirefoxAppType, name);
    }

    /// The folder of a listed profile of the application type.
    std::string ProfileFolder(AppType type, const std::string& name)
    {
        TWizardState state;
        state.SelectedAppType = type;
        ListProfiles(state, texts);
        for (const TProfileEntry& entry : state.ProfileEntries)
            if (entry.Name == name)
                return entry.Path;
        ADD_FAILURE() << "profile " << name << " is not listed";
        return home.Path() + "/missing";
    }

    /// A restore of `archive` into the listed profile `profile`, as the wizard
    /// leaves it once the backup file is chosen.
    TWizardState RestoreState(AppType type, const std::string& archive, const std::string& profile)
    {
        TWizardState state;
        state.Operation = TOperation::Restore;
        state.SelectedAppType = type;
        ListProfiles(state, texts);
        state.SelectedProfileLine = profile;
        state.ArchivePath = archive;
        return state;
    }

    Lines Calls(std::string_view prefix) const
    {
        Lines found;
        for (const std::string& call : ui.calls)
            if (call.starts_with(prefix))
                found.push_back(call.substr(prefix.size()));
        return found;
    }

    /// Everything that asked the user something.
    Lines Questions() const
    {
        Lines found;
        for (const std::string& call : ui.calls)
            if (call.starts_with("box ") || call == "password" || call.starts_with("folder|"))
                found.push_back(call);
        return found;
    }

    void RestoreProtectedArchive(const std::string& settings, const std::string& method);
};

} // namespace

TEST_F(RunsEndToEndTest, FirefoxProfileRestoredIntoAnotherProfileStartsWithItsHistoryAndCookies)
{
    if (!RealAppsInstalled())
        GTEST_SKIP() << "firefox-esr or thunderbird is not installed (scripts/install-deps.sh installs them)";
    const std::string a = NewFirefoxProfile("A");
    const std::string b = NewFirefoxProfile("B");
    const std::string page = home.WriteFile(
        "page.html", "<title>page</title><script>document.cookie = 'kept=1; max-age=86400';</script>text");
    RunToEnd(
        {"firefox-esr", "-headless", "-P", "A", "--screenshot", home.Path() + "/a.png", "file://" + page});
    ASSERT_TRUE(fs::exists(a + "/places.sqlite") && fs::exists(a + "/cookies.sqlite")) << a;
    // Firefox drops the cookies of local pages when it starts: this one goes to a web site.
    EXPECT_EQ(RunSql(a + "/cookies.sqlite",
                     "UPDATE moz_cookies SET host = '.example.org', path = '/' WHERE name = ?", "kept"),
              "ok\n\n");
    // Preferences a Firefox restore drops: a mail setting and the cache's folder.
    const Lines keptPrefs = NonEmptyLines(ReadFileForTest(a + "/prefs.js"));
    AppendToFile(a + "/prefs.js", "user_pref(\"mail.server.server1.name\", \"stray\");\n"
                                  "user_pref(\"browser.cache.disk.parent_directory\", \"/elsewhere\");\n");

    TWizardState backupState;
    backupState.Operation = TOperation::Backup;
    backupState.SelectedAppType = FirefoxAppType;
    TBackupRequest request;
    request.Application = FirefoxAppType;
    request.ProfileDir = a + "/";
    request.ArchivePath = home.MakeDir("backups") + "/firefox.qkz";
    request.Boxes = CheckProfileFolder(a, texts, ui);
    request.UnknownEntries = TKnownFiles(programDir).FindUnknown(a, request.Boxes);
    request.UnknownTicks.assign(request.UnknownEntries.size(), true);
    RunBackup(request, backupState, Environment(backupState));
    EXPECT_EQ(Questions(), Lines{});
    std::string output;
    EXPECT_EQ(RunTool({"unzip", "-t", request.ArchivePath}, output), 0) << output;

    TWizardState state = RestoreState(2, request.ArchivePath, "B");
    ASSERT_TRUE(DetectBackupFile(state.ArchivePath, state, Environment(state)));
    EXPECT_EQ(state.ArchiveFormat, TArchiveFormat::Zip);
    TRestoreRequest restore;
    ReadArchiveHeader(state, restore.Boxes, Environment(state));
    for (TComponentBox box : HeaderFlagOrder)
        EXPECT_EQ(restore.Boxes[box].Checked, request.Boxes[box].Checked) << "box " << box;
    EXPECT_EQ(state.UnknownEntries, request.UnknownEntries);
    restore.UnknownTicks.assign(state.UnknownEntries.size(), true);
    RunRestore(restore, state, Environment(state));
    EXPECT_EQ(state.ProfileDir, b + "/");
    EXPECT_EQ(Questions(), Lines{});

    // Files naming the profile folder now name B; the caches are gone, and
    // B keeps its own lock.
    const std::set<std::string> moved = {"prefs.js", "extensions.json", "addonStartup.json.lz4",
                                         "pkcs11.txt"};
    for (const std::string& file : FilesBelow(a)) {
        if (file == ".parentlock" || file == "compatibility.ini")
            EXPECT_FALSE(file == "compatibility.ini" && fs::exists(b + "/" + file)) << file;
        else
            EXPECT_TRUE(moved.contains(file) || SameFile(a, b, file)) << file;
    }
    for (const std::string file : {"extensions.json", "pkcs11.txt"})
        EXPECT_EQ(ReadFileForTest(b + "/" + file).find(a + "/"), std::string::npos) << file;
    EXPECT_NE(ReadFileForTest(b + "/pkcs11.txt").find("configdir='sql:" + b + "'"), std::string::npos);
    EXPECT_EQ(NonEmptyLines(ReadFileForTest(b + "/prefs.js")), keptPrefs);
    EXPECT_FALSE(fs::exists(b + "/prefs.zal"));

    // Firefox takes the restored profile: it shows another page and ends
    // normally, and the databases it found are still the restored ones.
    const std::string other = home.WriteFile("other.html", "<title>other</title>other");
    RunToEnd(
        {"firefox-esr", "-headless", "-P", "B", "--screenshot", home.Path() + "/b.png", "file://" + other});
    EXPECT_TRUE(fs::exists(home.Path() + "/b.png")) << ReadFileForTest(LogFile());
    EXPECT_EQ(RunSql(b + "/places.sqlite", "SELECT count(*) FROM moz_places WHERE url = ?", "file://" + page),
              "ok\n1\n");
    EXPECT_EQ(RunSql(b + "/cookies.sqlite",
                     "SELECT count(*) FROM moz_cookies WHERE host = '.example.org' AND name = ?", "kept"),
              "ok\n1\n");
}

// The profile Firefox uses every day takes a restore of another profile,
// and the undo gives back every one of its files, byte for byte: Firefox
// then reads its own history and login again.
TEST_F(RunsEndToEndTest, ARestoreIntoAProfileInUseIsUndoneByteForByteAndFirefoxReadsItsOwnDataAgain)
{
    if (!RealAppsInstalled())
        GTEST_SKIP() << "firefox-esr or thunderbird is not installed (scripts/install-deps.sh installs them)";
    const std::string other = NewFirefoxProfile("Other");
    const std::string daily = NewFirefoxProfile("Daily");
    ASSERT_EQ(AddLogin(other, "alice", "s3cret"), "added\n");
    ASSERT_EQ(AddLogin(daily, "bob", "mine"), "added\n");
    // The daily profile has an add-on, and a page in its history.
    home.WriteFile(daily.substr(home.Path().size() + 1) + "/extensions/probe@quillbank.test.xpi",
                   quillbank::testing::BuildZip(
                       {{"manifest.json",
                         R"({"manifest_version": 2, "name": "Probe", "version": "1.0", )"
                         R"("browser_specific_settings": {"gecko": {"id": "probe@quillbank.test"}}})"}}));
    const std::string page = home.WriteFile("page.html", "<title>page</title>text");
    RunToEnd({"firefox-esr", "-headless", "-P", "Daily", "--screenshot", home.Path() + "/a.png",
              "file://" + page});
    RunToEnd({"firefox-esr", "-headless", "-P", "Other", "--screenshot", home.Path() + "/b.png",
              "file://" + home.WriteFile("other.html", "<title>other</title>other")});
    const std::string archive = home.MakeDir("backups") + "/other.qkz";
    const TCliResult backup = RunCli(
        {"backup", "--app", "firefox", "--profile", "Other", "--output", archive, "--quiet"}, home.Path());
    ASSERT_EQ(backup.ExitCode, 0) << backup.Err;

    std::map<std::string, std::string> before;
    for (const std::string& file : FilesBelow(daily))
        before[file] = ReadFileForTest(daily + "/" + file);
    const TCliResult restore = RunCli(
        {"restore", "--archive", archive, "--app", "firefox", "--profile", "Daily", "--quiet"}, home.Path());
    ASSERT_EQ(restore.ExitCode, 0) << restore.Err;
    EXPECT_TRUE(SameFile(other, daily, "logins.json"));
    const TCliResult undo =
        RunCli({"restore", "--undo", "--app", "firefox", "--profile", "Daily"}, home.Path());
    ASSERT_EQ(undo.ExitCode, 0) << undo.Err;

    std::map<std::string, std::string> after;
    for (const std::string& file : FilesBelow(daily))
        after[file] = ReadFileForTest(daily + "/" + file);
    EXPECT_EQ(after.size(), before.size());
    for (const auto& [file, content] : before)
        EXPECT_TRUE(after.contains(file) && after[file] == content) << file;
    for (const auto& [file, content] : after)
        EXPECT_TRUE(before.contains(file)) << file << " is left over";

    EXPECT_EQ(ListLogins(daily), "bob:mine\n");
    EXPECT_EQ(
        RunSql(daily + "/places.sqlite", "SELECT count(*) FROM moz_places WHERE url = ?", "file://" + page),
        "ok\n1\n");
}

TEST_F(RunsEndToEndTest, SavedPasswordsAloneKeepALoginFirefoxStillReads)
{
    if (!RealAppsInstalled())
        GTEST_SKIP() << "firefox-esr or thunderbird is not installed (scripts/install-deps.sh installs them)";
    const std::string a = NewFirefoxProfile("A");
    const std::string b = NewFirefoxProfile("B");
    EXPECT_EQ(AddLogin(a, "alice", "s3cret"), "added\n");
    // B starts once, so it has its own key database to be replaced.
    EXPECT_EQ(ListLogins(b), "none\n");

    TWizardState backupState;
    TBackupRequest request;
    request.Application = FirefoxAppType;
    request.ProfileDir = a + "/";
    request.ArchivePath = home.MakeDir("backups") + "/passwords.qkz";
    const TComponentBoxes offered = CheckProfileFolder(a, texts, ui);
    ASSERT_TRUE(offered[SavedPasswordsBox].Checked);
    EXPECT_TRUE(offered[CertificatesBox].Checked);
    request.Boxes[SavedPasswordsBox].Checked = true;
    RunBackup(request, backupState, Environment(backupState));

    TWizardState state = RestoreState(2, request.ArchivePath, "B");
    ASSERT_TRUE(DetectBackupFile(state.ArchivePath, state, Environment(state)));
    TRestoreRequest restore;
    ReadArchiveHeader(state, restore.Boxes, Environment(state));
    EXPECT_TRUE(restore.Boxes[SavedPasswordsBox].Checked);
    RunRestore(restore, state, Environment(state));
    EXPECT_EQ(Questions(), Lines{});
    EXPECT_TRUE(SameFile(a, b, "key4.db"));
    EXPECT_EQ(ListLogins(b), "alice:s3cret\n");
}

TEST_F(RunsEndToEndTest, CertificatesAloneBringTheLoginsTheirKeyProtectsAndFirefoxReadsThem)
{
    if (!RealAppsInstalled())
        GTEST_SKIP() << "firefox-esr or thunderbird is not installed (scripts/install-deps.sh installs them)";
    const std::string a = NewFirefoxProfile("A");
    const std::string b = NewFirefoxProfile("B");
    // Each profile has a key of its own and a login encrypted with it.
    ASSERT_EQ(AddLogin(a, "alice", "s3cret"), "added\n");
    ASSERT_EQ(AddLogin(b, "bob", "other"), "added\n");
    ASSERT_FALSE(SameFile(a, b, "key4.db"));

    TWizardState backupState;
    TBackupRequest request;
    request.Application = FirefoxAppType;
    request.ProfileDir = a + "/";
    request.ArchivePath = home.MakeDir("backups") + "/whole.qkz";
    request.Boxes = CheckProfileFolder(a, texts, ui);
    ASSERT_TRUE(request.Boxes[CertificatesBox].Checked);
    RunBackup(request, backupState, Environment(backupState));

    TWizardState state = RestoreState(2, request.ArchivePath, "B");
    ASSERT_TRUE(DetectBackupFile(state.ArchivePath, state, Environment(state)));
    TRestoreRequest restore;
    ReadArchiveHeader(state, restore.Boxes, Environment(state));
    for (int box = 1; box <= ComponentBoxCount; ++box)
        restore.Boxes.Boxes[box].Checked = box == CertificatesBox;
    // The backup holds every file of B that A's key would leave unreadable.
    EXPECT_EQ(OrphanedByRestore(state, restore.Boxes, Environment(state)), std::vector<TOrphanedFile>{});
    RunRestore(restore, state, Environment(state));
    EXPECT_TRUE(SameFile(a, b, "key4.db"));
    EXPECT_TRUE(SameFile(a, b, "logins.json"));
    EXPECT_FALSE(SameFile(a, b, "places.sqlite"));
    EXPECT_EQ(ListLogins(b), "alice:s3cret\n");
}

TEST_F(RunsEndToEndTest, ThunderbirdMailFolderOutsideTheProfileReturnsToItsPlace)
{
    if (!RealAppsInstalled())
        GTEST_SKIP() << "firefox-esr or thunderbird is not installed (scripts/install-deps.sh installs them)";
    RunToEnd({"thunderbird", "-headless", "-CreateProfile", "T"});
    const std::string profile = ProfileFolder(ThunderbirdAppType, "T");
    {
        // Thunderbird does not end by itself: it runs until its prefs.js is there.
        TAppProcess thunderbird({"thunderbird", "--headless", "-P", "T"}, LogFile());
        ASSERT_TRUE(WaitUntil([&profile] { return fs::exists(profile + "/prefs.js"); }, 60s))
            << ReadFileForTest(LogFile());
    }
    EndProcessesOfHome(home.Path());

    const std::string localInbox =
        "From - Mon Jan  1 00:00:00 2024\nFrom: a@example.org\nSubject: local\n\nlocal\n";
    WriteFile(profile + "/Mail/Local Folders/Inbox", localInbox);
    const std::string external = home.Path() + "/Mail elsewhere/Účet 9";
    const std::string externalInbox = "From - Tue Jan  2 00:00:00 2024\nSubject: away\n\naway\n";
    WriteFile(external + "/Inbox", externalInbox);
    const std::string archived = "From - Wed Jan  3 00:00:00 2024\n\nold\n";
    WriteFile(external + "/Archives.sbd/2024", archived);
    const std::string directoryLine = "user_pref(\"mail.server.server9.directory\", \"" + external + "\");";
    AppendToFile(profile + "/prefs.js", directoryLine +
                                            "\nuser_pref(\"mail.server.server9.type\", \"none\");\n" +
                                            "user_pref(\"mail.identity.id9.fullName\", \"Nine\");\n");
    WriteFile(profile + "/notes.txt", "notes");
    WriteFile(profile + "/addon-data/deep/state.json", "{\"state\": 1}");
    WriteFile(profile + "/skipped.txt", "skipped");
    WriteFile(profile + "/skipped-data/x", "x");

    const TComponentBoxes offered = CheckProfileFolder(profile, texts, ui);
    EXPECT_TRUE(offered[EmailsBox].Checked && offered[EmailsBox].Enabled);
    TWizardState backupState;
    backupState.Operation = TOperation::Backup;
    backupState.SelectedAppType = ThunderbirdAppType;
    TBackupRequest request;
    request.Application = ThunderbirdAppType;
    request.ProfileDir = profile + "/";
    request.ArchivePath = home.Path() + "/thunderbird.qkz";
    request.Boxes[EmailsBox].Checked = true;
    request.UnknownEntries = TKnownFiles(programDir).FindUnknown(profile, offered);
    request.UnknownTicks.assign(request.UnknownEntries.size(), true);
    for (const TUnknownEntry& entry : std::vector<TUnknownEntry>{
             {"notes.txt", false}, {"addon-data", true}, {"skipped.txt", false}, {"skipped-data", true}})
        EXPECT_NE(std::find(request.UnknownEntries.begin(), request.UnknownEntries.end(), entry),
                  request.UnknownEntries.end())
            << entry.Name;
    RunBackup(request, backupState, Environment(backupState));
    EXPECT_EQ(backupState.MailFolders, (std::vector<TMailFolder>{{external, "Účet 9"}}));
    EXPECT_EQ(Questions(), Lines{});

    fs::remove_all(home.Path() + "/Mail elsewhere");
    for (const auto& entry : fs::directory_iterator(profile))
        fs::remove_all(entry.path());

    TWizardState state = RestoreState(3, request.ArchivePath, "T");
    ASSERT_TRUE(DetectBackupFile(state.ArchivePath, state, Environment(state)));
    TRestoreRequest restore;
    ReadArchiveHeader(state, restore.Boxes, Environment(state));
    EXPECT_TRUE(restore.Boxes[EmailsBox].Checked);
    EXPECT_EQ(state.MailFolders, (std::vector<TMailFolder>{{external, "Účet 9"}}));
    for (const TUnknownEntry& entry : state.UnknownEntries)
        restore.UnknownTicks.push_back(entry.Name == "notes.txt" || entry.Name == "addon-data");
    // The user saw the folder outside the profile and agreed.
    restore.KeepPathsOutsideProfile = true;
    ui.calls.clear();
    RunRestore(restore, state, Environment(state));
    EXPECT_EQ(Questions(), Lines{});
    EXPECT_EQ(Calls("report|"), (Lines{"Emails restore... OK", "Unknow files restore... OK"}));

    EXPECT_EQ(ReadFileForTest(external + "/Inbox"), externalInbox);
    EXPECT_EQ(ReadFileForTest(external + "/Archives.sbd/2024"), archived);
    EXPECT_FALSE(fs::exists(profile + "/Účet 9"));
    EXPECT_EQ(ReadFileForTest(profile + "/Mail/Local Folders/Inbox"), localInbox);
    const std::string prefs = ReadFileForTest(profile + "/prefs.js");
    EXPECT_TRUE(HasLine(prefs, directoryLine)) << prefs;
    EXPECT_TRUE(HasLine(prefs, "user_pref(\"mail.identity.id9.fullName\", \"Nine\");")) << prefs;
    EXPECT_FALSE(fs::exists(profile + "/prefs.zal"));
    // Only the ticked unknown entries come back.
    EXPECT_EQ(ReadFileForTest(profile + "/notes.txt"), "notes");
    EXPECT_EQ(ReadFileForTest(profile + "/addon-data/deep/state.json"), "{\"state\": 1}");
    EXPECT_FALSE(fs::exists(profile + "/skipped.txt"));
    EXPECT_FALSE(fs::exists(profile + "/skipped-data"));
    EXPECT_FALSE(fs::exists(profile + "/cert9.db"));
}

TEST_F(RunsEndToEndTest, ThunderbirdAddressBooksAndCertificatesTravelAsThunderbirdWroteThem)
{
    if (!RealAppsInstalled())
        GTEST_SKIP() << "firefox-esr or thunderbird is not installed (scripts/install-deps.sh installs them)";
    RunToEnd({"thunderbird", "-headless", "-CreateProfile", "A"});
    RunToEnd({"thunderbird", "-headless", "-CreateProfile", "B"});
    const std::string a = ProfileFolder(ThunderbirdAppType, "A");
    const std::string b = ProfileFolder(ThunderbirdAppType, "B");
    // Whether an address book of `folder`, with its log, is one that SQLite
    // reads as sound, its tables in place. Read from a copy: Thunderbird
    // keeps its databases locked while it runs.
    auto holdsAddressBook = [this](const std::string& folder, const std::string& name) {
        const std::string copy = home.MakeDir("copy");
        for (const std::string& file : {name, name + "-wal"}) {
            fs::remove(copy + "/" + file);
            std::error_code error;
            fs::copy_file(folder + "/" + file, copy + "/" + file, error);
        }
        return fs::exists(copy + "/" + name) &&
               RunSql(copy + "/" + name, "SELECT count(*) FROM sqlite_master WHERE name = ?", "properties") ==
                   "ok\n1\n";
    };
    {
        // Thunderbird does not end by itself: it runs until it has made its
        // address books and key databases, and is then killed, as a crash
        // would end it: the address books keep their latest changes in
        // their "-wal" files.
        TAppProcess thunderbird({"thunderbird", "--headless", "-P", "A"}, LogFile());
        ASSERT_TRUE(WaitUntil(
            [&] {
                return fs::exists(a + "/cert9.db") && fs::exists(a + "/key4.db") &&
                       fs::exists(a + "/prefs.js") && holdsAddressBook(a, "abook.sqlite") &&
                       holdsAddressBook(a, "history.sqlite");
            },
            60s))
            << ReadFileForTest(LogFile());
    }
    EndProcessesOfHome(home.Path());

    const TComponentBoxes offered = CheckProfileFolder(a, texts, ui);
    for (TComponentBox box : {AddressBooksBox, CertificatesBox, GeneralSettingsBox})
        EXPECT_TRUE(offered[box].Enabled && offered[box].Checked) << "box " << box;

    const std::string archive = home.Path() + "/thunderbird.qkz";
    const TCliResult backup =
        RunCli({"backup", "--app", "thunderbird", "--profile", "A", "--output", archive, "--components",
                "address-books,certificates,general-settings", "--no-unknown", "--quiet"},
               home.Path());
    ASSERT_EQ(backup.ExitCode, 0) << backup.Err;
    const TCliResult restore = RunCli(
        {"restore", "--archive", archive, "--app", "thunderbird", "--profile", "B", "--quiet"}, home.Path());
    ASSERT_EQ(restore.ExitCode, 0) << restore.Err;
    EXPECT_EQ(restore.Err, "");

    // The databases come across as Thunderbird left them, each with its log
    // when it has one; what no chosen component covers stays behind.
    for (const std::string database : {"abook.sqlite", "history.sqlite", "cert9.db", "key4.db"}) {
        EXPECT_TRUE(SameFile(a, b, database));
        if (fs::exists(a + "/" + database + "-wal"))
            EXPECT_TRUE(SameFile(a, b, database + "-wal"));
        else
            EXPECT_FALSE(fs::exists(b + "/" + database + "-wal")) << database;
    }
    for (const char* file : {"openpgp.sqlite", "global-messages-db.sqlite"})
        EXPECT_FALSE(fs::exists(b + "/" + file)) << file;
    // Each restored address book and its log make one sound database.
    EXPECT_TRUE(holdsAddressBook(b, "abook.sqlite"));
    EXPECT_TRUE(holdsAddressBook(b, "history.sqlite"));
}

void RunsEndToEndTest::RestoreProtectedArchive(const std::string& settings, const std::string& method)
{
    home.WriteFile("program/Backup.ini", settings);
    const std::string source = home.MakeDir("source");
    home.WriteFile("source/prefs.js", "user_pref(\"browser.startup.page\", 3);\n");
    home.WriteFile("source/places.sqlite", std::string("SQLite format 3\0places", 22));
    home.WriteFile("source/cookies.sqlite", std::string("SQLite format 3\0cookies", 23));
    home.WriteFile("source/addon-data/deep/state.json", "{}");
    TWizardState backupState;
    backupState.Operation = TOperation::Backup;
    backupState.SelectedAppType = FirefoxAppType;
    TBackupRequest request;
    request.Application = FirefoxAppType;
    request.ProfileDir = source + "/";
    request.ArchivePath = home.Path() + "/protected.qkz";
    request.Password = "correct horse";
    // As in any Firefox backup, Bookmarks and History both take places.sqlite.
    for (TComponentBox box : {GeneralSettingsBox, BookmarksBox, HistoryBox, CookiesBox})
        request.Boxes[box].Checked = true;
    request.UnknownEntries = {{"addon-data", true}};
    request.UnknownTicks = {true};
    RunBackup(request, backupState, Environment(backupState));

    // Another reader opens it with the password, and tells how it is encrypted.
    std::string output;
    EXPECT_EQ(RunTool({"7z", "t", "-pcorrect horse", request.ArchivePath}, output), 0) << output;
    RunTool({"7z", "l", "-slt", request.ArchivePath}, output);
    EXPECT_NE(output.find("Method = " + method), std::string::npos) << output;
    EXPECT_EQ(output.find("Encrypted = -"), std::string::npos) << output;

    const std::string target = home.MakeDir("target");
    TWizardState state;
    state.Operation = TOperation::Restore;
    state.SelectedAppType = FirefoxAppType;
    state.ArchivePath = request.ArchivePath;
    state.ProfileEntries = {{"target", target}};
    state.SelectedProfileLine = "target";
    ui.calls.clear();
    ui.QueuePassword("wrong");
    ui.QueuePassword("correct horse");
    ASSERT_TRUE(DetectBackupFile(state.ArchivePath, state, Environment(state)));
    TRestoreRequest restore;
    ReadArchiveHeader(state, restore.Boxes, Environment(state));
    restore.UnknownTicks.assign(state.UnknownEntries.size(), true);
    RunRestore(restore, state, Environment(state));
    EXPECT_EQ(Questions(), (Lines{"password", "password"}));
    EXPECT_TRUE(ui.AllAnswersUsed());
    for (const char* file : {"places.sqlite", "cookies.sqlite", "addon-data/deep/state.json"})
        EXPECT_TRUE(SameFile(source, target, file));
    EXPECT_EQ(ReadFileForTest(target + "/prefs.js"), "user_pref(\"browser.startup.page\", 3);\r\n");
}

TEST_F(RunsEndToEndTest, AesArchiveAsksForThePasswordUntilItIsRight)
{
    RestoreProtectedArchive("", "AES-256 Deflate");
}

TEST_F(RunsEndToEndTest, ZipCryptoArchiveAsksForThePasswordUntilItIsRight)
{
    RestoreProtectedArchive("[General]\r\nencryption=zipcrypto\r\n", "ZipCrypto Deflate");
}

TEST_F(RunsEndToEndTest, LegacyContainerIsDetectedAndRestoredRecordByRecord)
{
    const std::string separator = "****////\\\\\\\\****\r\n";
    auto record = [&separator](const std::string& section, const std::string& path,
                               const std::string& lines) {
        return section + "\r\n" + path + "\r\n(ignored)\r\n" + lines + separator;
    };
    // General settings, Bookmarks, User styles and Cookies are in it; Saved passwords is not.
    home.WriteFile("old backup.txt",
                   "Quillbank\r\nRevize: 2\r\nVerze: 1.3\r\n" + separator + "YNNYNNYNYNNNNN\r\n" + separator +
                       record(" Nastaveni ", "prefs.js",
                              "# Mozilla User Preferences\r\n\r\nuser_pref(\"browser.startup.page\", 3);\r\n"
                              "user_pref(\"mail.server.server1.name\", \"stray\");\r\n") +
                       record("Oblibene polozky", "bookmarks.html",
                              "<!DOCTYPE NETSCAPE-Bookmark-file-1>\r\n<DL><p>\r\n</DL><p>\r\n") +
                       record("Ulozena hesla", "signons.txt", "#2c\r\n.\r\n") +
                       record("Uzivatelske styly", "chrome\\userChrome.css", "#nav-bar { color: red; }\r\n") +
                       record("Cookies", "cookies.txt", ".example.org\tTRUE\t/\tFALSE\t0\tname\tvalue\r\n"));
    const std::string target = home.MakeDir("profile");
    home.WriteFile("profile/prefs.js", "user_pref(\"replaced\", 1);\n");
    TWizardState state;
    state.Operation = TOperation::Restore;
    state.SelectedAppType = ThunderbirdAppType;
    state.ArchivePath = home.Path() + "/old backup.txt";
    // Legacy containers are made for one application type.
    EXPECT_FALSE(DetectBackupFile(state.ArchivePath, state, Environment(state)));
    state.SelectedAppType = FirefoxAppType;
    ASSERT_TRUE(DetectBackupFile(state.ArchivePath, state, Environment(state)));
    EXPECT_EQ(state.ArchiveFormat, TArchiveFormat::LegacyContainer);
    TRestoreRequest restore;
    ReadArchiveHeader(state, restore.Boxes, Environment(state));
    for (TComponentBox box : HeaderFlagOrder) {
        const bool inside =
            box == GeneralSettingsBox || box == BookmarksBox || box == UserStylesBox || box == CookiesBox;
        EXPECT_TRUE(restore.Boxes[box].Checked == inside && restore.Boxes[box].Enabled == inside)
            << "box " << box;
    }
    state.ProfileEntries = {{"profile", target}};
    state.SelectedProfileLine = "profile";
    RunRestore(restore, state, Environment(state));

    EXPECT_EQ(Questions(), Lines{});
    EXPECT_EQ(Calls("report|"),
              (Lines{"Restored file: prefs.js", "Restored file: bookmarks.html",
                     "Restored file: chrome/userChrome.css", "Restored file: cookies.txt"}));
    // Every line comes back with CR LF; the restore's clean-up of prefs.js
    // drops the empty line and the mail setting.
    EXPECT_EQ(ReadFileForTest(target + "/prefs.js"),
              "# Mozilla User Preferences\r\nuser_pref(\"browser.startup.page\", 3);\r\n");
    EXPECT_EQ(ReadFileForTest(target + "/bookmarks.html"),
              "<!DOCTYPE NETSCAPE-Bookmark-file-1>\r\n<DL><p>\r\n</DL><p>\r\n");
    EXPECT_EQ(ReadFileForTest(target + "/chrome/userChrome.css"), "#nav-bar { color: red; }\r\n");
    EXPECT_EQ(ReadFileForTest(target + "/cookies.txt"), ".example.org\tTRUE\t/\tFALSE\t0\tname\tvalue\r\n");
    EXPECT_FALSE(fs::exists(target + "/signons.txt"));
    EXPECT_EQ(FilesBelow(target),
              (Lines{"bookmarks.html", "chrome/userChrome.css", "cookies.txt", "prefs.js"}));
}
