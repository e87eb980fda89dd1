// quillbank-cli's commands on profiles in a fake home, run in the test's process
// and, where a test says so, as the built program a script runs: every
// command, its JSON parsed back, its exit codes, passwords from a file and
// from standard input, the refusal while the application runs.

#include "apps/RunningCheck.h"
#include "engine/ArchiveHeader.h"
#include "platform/Text.h"
#include "tests/cli/CliRun.h"
#include "tests/cli/InProcessRun.h"
#include "tests/support/FakeHome.h"
#include "tests/support/RealApps.h"
#include "tests/support/RegistryDatImage.h"
#include "tests/support/TestData.h"
#include "tests/support/ZipBuilder.h"

#include <filesystem>
#include <regex>
#include <set>
#include <signal.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::EntryNamesIn;
using quillbank::testing::ErrorLogMessages;
using quillbank::testing::FileContentsBelow;
using quillbank::testing::FlipAesEntryBit;
using quillbank::testing::JsonQuery;
using quillbank::testing::MarkAesEntryWithChecksum;
using quillbank::testing::NoiseBytes;
using quillbank::testing::ReadFileForTest;
using quillbank::testing::RegistryDatWithProfiles;
using quillbank::testing::RunCli;
using quillbank::testing::RunCliInProcess;
using quillbank::testing::TAppProcess;
using quillbank::testing::TCliResult;
using quillbank::testing::TFakeHome;
using quillbank::testing::TRealAppsLock;
using quillbank::testing::WaitUntil;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

/// A copy of "sleep" running under the name of Firefox's executable.
class TFakeFirefox
{
public:
    explicit TFakeFirefox(const TFakeHome& home)
    {
        const std::string program = home.Path() + "/firefox-esr";
        fs::copy_file("/bin/sleep", program);
        pid_ = fork();
        if (pid_ == 0) {
            execl(program.c_str(), program.c_str(), "60", static_cast<char*>(nullptr));
            _exit(127);
        }
        WaitUntil([] { return IsAppRunning(FirefoxAppType); }, 10s);
    }
    ~TFakeFirefox()
    {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    TFakeFirefox(const TFakeFirefox&) = delete;
    TFakeFirefox& operator=(const TFakeFirefox&) = delete;

private:
    pid_t pid_ = -1;
};

class CliCommandsTest : public ::testing::Test
{
protected:
    // No other test's Firefox, real or fake, may run beside these.
    TRealAppsLock lock{TRealAppsLock::EUse::NeedsNoneRunning};
    TFakeHome home;
    std::string root = home.MakeDir(".mozilla/firefox");
    std::string work = root + "/abcd.work";
    // Does not compress, so that a damaged byte lands in file data.
    std::string places = NoiseBytes(200000, 7);
    bool builtProgram = false;

    CliCommandsTest()
    {
        home.WriteFile(".mozilla/firefox/profiles.ini",
                       "[General]\nStartWithLastProfile=1\n\n"
                       "[Profile0]\nName=Work Profile\nIsRelative=1\nPath=abcd.work\n\n"
                       "[Profile1]\nName=default\nIsRelative=1\nPath=efgh.default\n");
        home.WriteFile(".mozilla/firefox/abcd.work/prefs.js", "user_pref(\"browser.startup.page\", 3);\n");
        home.WriteFile(".mozilla/firefox/abcd.work/places.sqlite", places);
        home.WriteFile(".mozilla/firefox/abcd.work/cookies.sqlite",
                       std::string("SQLite format 3\0cookies", 23));
        home.WriteFile(".mozilla/firefox/abcd.work/formhistory.sqlite", "form history");
        home.WriteFile(".mozilla/firefox/abcd.work/notes.txt", "notes");
        home.WriteFile(".mozilla/firefox/abcd.work/addon-data/deep/state.json", "{}");
        home.MakeDir(".mozilla/firefox/efgh.default");
        home.WriteFile("password.txt", "correct horse\n");
        home.WriteFile("wrong.txt", "wrong horse\n");
    }

    /// Runs the command line in this process; after RunTheBuiltProgram(), as
    /// the built program.
    TCliResult Run(const std::vector<std::string>& arguments, const std::string& input = "")
    {
        return builtProgram ? RunCli(arguments, home.Path(), input) : RunCliInProcess(arguments, input);
    }
    /// From now on the test's runs start build/bin/quillbank-cli, so that its
    /// exit codes and standard files are the ones a script sees.
    void RunTheBuiltProgram() { builtProgram = true; }
    std::string Query(const std::string& json, const std::string& expression)
    {
        return JsonQuery(json, expression, home.Path());
    }
    std::string Archive(const std::string& name = "backup.qkz") const { return home.Path() + "/" + name; }

    /// A backup of the work profile; expects it to succeed.
    void Backup(const std::vector<std::string>& extra, const std::string& input = "")
    {
        std::vector<std::string> arguments = {"backup", "--app",    "firefox", "--profile",
                                              "work",   "--output", Archive()};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        const TCliResult result = Run(arguments, input);
        ASSERT_EQ(result.ExitCode, 0) << result.Err;
        ASSERT_EQ(result.Out, Archive() + "\n");
    }
};

} // namespace

TEST_F(CliCommandsTest, BadUsageExitsWithTwoAndHelpIsThereForEachCommand)
{
    RunTheBuiltProgram();
    for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
             {},
             {"frobnicate"},
             {"backup", "--app", "firefox", "--profile", "work"},
             {"backup", "--app", "firefox", "--profile", "work", "--profile-dir", work, "--output",
              Archive()},
             {"backup", "--app", "firefox", "--profile", "work", "--output", Archive(), "--level", "10"},
             {"backup", "--app", "firefox", "--profile", "work", "--output", Archive(), "--level=x"},
             {"backup", "--app", "firefox", "--profile", "work", "--output", Archive(), "--components",
              "mail"},
             {"backup", "--app", "firefox", "--profile", "work", "--output", Archive(), "--encryption",
              "aes256"},
             {"backup", "--app", "firefox", "--profile", "work", "--output", Archive(), "--encryption", "des",
              "--password-stdin"},
             {"backup", "--app", "firefox", "--profile", "work", "--output", Archive(), "--password-stdin",
              "--password-file", home.Path() + "/password.txt"},
             {"backup", "--app", "firefox", "--profile", "work", "--output", Archive(), "--bogus"},
             {"backup", "--app", "firefox", "--profile", "work", "--output", Archive(), "--dry-run=yes"},
             {"backup", "--app", "firefox", "--app", "thunderbird", "--profile", "work", "--output",
              Archive()},
             {"restore", "--app", "firefox", "--profile", "work"},
             {"restore", "--archive", Archive(), "--profile", "work"},
             {"restore", "--archive", Archive(), "--profile-dir", work, "--components",
              "accounts-settings-only"},
             {"inspect"},
             {"inspect", "a.qkz", "b.qkz"},
             {"verify"},
             {"verify", Archive(), "--list"},
             {"list", "extra"},
             {"info", "extra"},
             {"prune", "--app", "firefox", "--profile", "work", "--folder", home.Path()},
             {"prune", "--app", "firefox", "--profile", "work", "--keep-last", "1"},
             {"prune", "--app", "firefox", "--folder", home.Path(), "--keep-last", "1"},
             {"prune", "--app", "firefox", "--profile", "work", "--folder", home.Path(), "--keep-daily",
              "-1"},
             {"backup", "--app", "firefox", "--profile", "work", "--output", Archive(), "--keep-weekly", "x"},
         }) {
        const TCliResult result = Run(arguments);
        EXPECT_EQ(result.ExitCode, 2) << ::testing::PrintToString(arguments) << "\n" << result.Err;
        EXPECT_NE(result.Err, "") << ::testing::PrintToString(arguments);
        EXPECT_EQ(result.Out, "") << ::testing::PrintToString(arguments);
    }
    EXPECT_FALSE(fs::exists(Archive()));
    for (const char* command : {"list", "backup", "restore", "inspect", "verify", "prune", "info"}) {
        const TCliResult result = Run({command, "--help"});
        EXPECT_EQ(result.ExitCode, 0) << command;
        EXPECT_TRUE(result.Out.starts_with(std::string("Usage: quillbank-cli ") + command)) << result.Out;
    }
    const TCliResult help = Run({"--help"});
    EXPECT_EQ(help.ExitCode, 0);
    for (const char* command : {"list", "backup", "restore", "inspect", "verify", "prune", "info"})
        EXPECT_NE(help.Out.find(std::string("  ") + command + " "), std::string::npos) << command;
}

TEST_F(CliCommandsTest, ACommandLogsEachProblemOnceInTheStateFolder)
{
    RunTheBuiltProgram();
    home.WriteFile("bad.qkz", "not a zip archive");
    for (int run = 0; run < 3; ++run)
        EXPECT_EQ(Run({"inspect", Archive("bad.qkz")}).ExitCode, 1);
    const std::string line = Archive("bad.qkz") + ": cannot open the archive: Not a zip archive\n";
    const std::string log = home.Path() + "/.local/state/quillbank/error.log";
    EXPECT_EQ(ErrorLogMessages(log), line + line + line);
    const TCliResult info = Run({"info"});
    EXPECT_NE(info.Out.find("Error log:          " + log + "\n"), std::string::npos) << info.Out;
}

TEST_F(CliCommandsTest, ListShowsEveryProfileWithItsFolderAsTextAndAsJson)
{
    RunTheBuiltProgram();
    const TCliResult json = Run({"list", "--json"});
    ASSERT_EQ(json.ExitCode, 0) << json.Err;
    EXPECT_EQ(Query(json.Out,
                    "[(a['type'], a['profileRoot']) for a in d['applications'] if a['name'] == 'firefox']"),
              "[(2, '" + root + "/')]");
    EXPECT_EQ(Query(json.Out,
                    "[(p['name'], p['folder']) for a in d['applications'] if a['name'] == 'firefox' "
                    "for p in a['profiles']]"),
              "[('Work Profile', '" + work + "'), ('default', '" + root + "/efgh.default')]");
    EXPECT_EQ(Query(json.Out, "sorted(set(type(a[k]).__name__ for a in d['applications'] for k in "
                              "('line', 'version', 'installDir', 'installed', 'profiles')))"),
              "['bool', 'list', 'str']");

    const TCliResult text = Run({"list"});
    ASSERT_EQ(text.ExitCode, 0) << text.Err;
    EXPECT_NE(text.Out.find("    Work Profile  " + work + "\n"), std::string::npos) << text.Out;

    // Profiles of a second root: each names its root.
    const std::string snap = home.Path() + "/snap/firefox/common/.mozilla/firefox";
    home.WriteFile("snap/firefox/common/.mozilla/firefox/profiles.ini",
                   "[Profile0]\nName=default\nIsRelative=1\nPath=s.default\n");
    const TCliResult both = Run({"list"});
    EXPECT_NE(both.Out.find("  profiles in " + root + "/, " + snap + "/:\n"), std::string::npos) << both.Out;
    EXPECT_NE(both.Out.find("    Work Profile (~/.mozilla/firefox)  " + work + "\n"), std::string::npos)
        << both.Out;
    EXPECT_NE(both.Out.find("    default (~/snap/firefox/common/.mozilla/firefox)  " + snap + "/s.default\n"),
              std::string::npos)
        << both.Out;
    EXPECT_EQ(
        Query(Run({"list", "--json"}).Out,
              "[p['root'] for a in d['applications'] if a['name'] == 'firefox' for p in a['profiles']]"),
        "['" + root + "', '" + root + "', '" + snap + "']");
}

TEST_F(CliCommandsTest, BackupInspectVerifyAndRestoreWithAPasswordFile)
{
    RunTheBuiltProgram();
    Backup({"--password-file", home.Path() + "/password.txt", "--components", "bookmarks,cookies,history"});
    const std::string password = home.Path() + "/password.txt";

    const TCliResult inspect = Run({"inspect", Archive(), "--json", "--password-file", password});
    ASSERT_EQ(inspect.ExitCode, 0) << inspect.Err;
    EXPECT_EQ(Query(inspect.Out, "(d['archive'], d['format'], d['application'], d['encryption'])"),
              "('" + Archive() + "', 'zip', {'type': 2, 'name': 'firefox'}, 'aes256')");
    EXPECT_EQ(Query(inspect.Out, "d['components']"), "['bookmarks', 'history', 'cookies']");
    EXPECT_EQ(Query(inspect.Out, "sorted((e['name'], e['folder']) for e in d['unknownEntries'])"),
              "[('addon-data', True), ('notes.txt', False)]");
    // The header, places.sqlite, cookies.sqlite, notes.txt, addon-data/deep/state.json.
    EXPECT_EQ(Query(inspect.Out, "(d['entries'], d['mailFolders'], d['fileSize'] == " +
                                     std::to_string(fs::file_size(Archive())) + ")"),
              "(5, [], True)");
    EXPECT_EQ(Query(inspect.Out, "d['size'] > 200000 and d['compressedSize'] > 200000"), "True");

    const TCliResult verify = Run({"verify", Archive(), "--password-file", password});
    EXPECT_EQ(verify.ExitCode, 0) << verify.Err;
    EXPECT_EQ(verify.Out, Archive() + ": OK, 5 entries, " + Query(inspect.Out, "d['size']") + " bytes\n");

    const std::string target = home.MakeDir("portable");
    const TCliResult restore =
        Run({"restore", "--archive", Archive(), "--profile-dir", target, "--password-file", password});
    ASSERT_EQ(restore.ExitCode, 0) << restore.Err;
    EXPECT_EQ(restore.Out, target + "\n");
    EXPECT_EQ(ReadFileForTest(target + "/places.sqlite"), places);
    EXPECT_EQ(ReadFileForTest(target + "/cookies.sqlite"), std::string("SQLite format 3\0cookies", 23));
    EXPECT_EQ(ReadFileForTest(target + "/notes.txt"), "notes");
    EXPECT_EQ(ReadFileForTest(target + "/addon-data/deep/state.json"), "{}");
    // Not backed up: General settings and Saved form details.
    EXPECT_FALSE(fs::exists(target + "/prefs.js"));
    EXPECT_FALSE(fs::exists(target + "/formhistory.sqlite"));

    // Into a listed profile, named by a part of its name.
    const TCliResult listed = Run({"restore", "--archive", Archive(), "--app", "FIRE", "--profile", "DEFAULT",
                                   "--password-file", password, "--no-unknown", "--components", "cookies"});
    ASSERT_EQ(listed.ExitCode, 0) << listed.Err;
    EXPECT_EQ(listed.Out, root + "/efgh.default\n");
    EXPECT_TRUE(fs::exists(root + "/efgh.default/cookies.sqlite"));
    EXPECT_FALSE(fs::exists(root + "/efgh.default/places.sqlite"));
    EXPECT_FALSE(fs::exists(root + "/efgh.default/notes.txt"));
}

// Backup, verify and restore each print one summary object with --json;
// inspect --list names every entry, as text and as JSON.
TEST_F(CliCommandsTest, EveryRunSummarisesItselfAsJsonAndInspectListsEveryEntry)
{
    const std::string password = home.Path() + "/password.txt";
    const TCliResult backup =
        Run({"backup", "--app", "firefox", "--profile", "work", "--output", Archive(), "--components",
             "bookmarks,cookies", "--password-file", password, "--json"});
    ASSERT_EQ(backup.ExitCode, 0) << backup.Err;
    const std::string common = "(d['archive'], d['application'], d['profile'], d['components'], d['files'], "
                               "d['bytes'], d['leftOut'], d['outcome'], d['seconds'] >= 0)";
    // places.sqlite, cookies.sqlite and the unknown notes.txt and addon-data/deep/state.json.
    const std::string bytes = std::to_string(places.size() + 23 + 5 + 2);
    EXPECT_EQ(Query(backup.Out, common),
              "('" + Archive() + "', {'type': 2, 'name': 'firefox'}, {'name': 'Work Profile', 'folder': '" +
                  work + "'}, ['bookmarks', 'cookies'], 4, " + bytes + ", [], 'done', True)");
    EXPECT_EQ(Query(backup.Out, "(d['dryRun'], d['account']['entries']['files'], d['removed'])"),
              "(False, 4, [])");

    const TCliResult verify = Run({"verify", Archive(), "--password-file", password, "--json"});
    ASSERT_EQ(verify.ExitCode, 0) << verify.Err;
    EXPECT_EQ(Query(verify.Out, "(d['application']['name'], d['profile'], d['files'], d['outcome'])"),
              "('firefox', None, 5, 'done')");

    const std::string target = home.MakeDir("portable");
    const TCliResult restore =
        Run({"restore", Archive(), "--profile-dir", target, "--password-file", password, "--json"});
    ASSERT_EQ(restore.ExitCode, 0) << restore.Err;
    // Its progress counts the bytes written, as a backup's does.
    EXPECT_NE(restore.Err.find("100% (" + HumanBytes(std::stoll(bytes)) + " of "), std::string::npos)
        << restore.Err;
    EXPECT_EQ(Query(restore.Out, common),
              "('" + Archive() + "', {'type': 2, 'name': 'firefox'}, {'name': 'portable', 'folder': '" +
                  target + "'}, ['bookmarks', 'cookies'], 4, " + bytes + ", [], 'done', True)");

    const TCliResult list = Run({"inspect", Archive(), "--list", "--json", "--password-file", password});
    ASSERT_EQ(list.ExitCode, 0) << list.Err;
    EXPECT_EQ(Query(list.Out,
                    "sorted((e['name'], e['size'], e['encrypted'], e['compressedSize'] > 0) for e in "
                    "d['list'] if e['name'] != 'indexfile.txt')"),
              "[('addon-data/deep/state.json', 2, True, True), ('cookies.sqlite', 23, True, True), "
              "('notes.txt', 5, True, True), ('places.sqlite', " +
                  std::to_string(places.size()) + ", True, True)]");
    const TCliResult text = Run({"inspect", Archive(), "--list", "--password-file", password});
    ASSERT_EQ(text.ExitCode, 0) << text.Err;
    EXPECT_NE(text.Out.find("\n        Size  Compressed  Encrypted  Name\n"), std::string::npos) << text.Out;
    EXPECT_NE(text.Out.find("           5  "), std::string::npos) << text.Out;
    EXPECT_NE(text.Out.find("  yes        notes.txt\n"), std::string::npos) << text.Out;

    // A run that fails still gives its object, saying why.
    fs::resize_file(Archive(), fs::file_size(Archive()) / 2);
    const TCliResult damaged = Run({"verify", Archive(), "--password-file", password, "--json"});
    EXPECT_EQ(damaged.ExitCode, 1);
    EXPECT_EQ(Query(damaged.Out, "(d['outcome'], d['failure'] != '')"), "('failed', True)");
}

// Chosen components are all a restore writes; the unknown entries come along
// only when asked for.
TEST_F(CliCommandsTest, RestoreOfChosenComponentsTakesUnknownEntriesOnlyWhenAsked)
{
    Backup({"--components", "bookmarks,cookies"});
    const std::string chosen = home.MakeDir("chosen");
    const TCliResult only =
        Run({"restore", "--archive", Archive(), "--profile-dir", chosen, "--components", "cookies"});
    ASSERT_EQ(only.ExitCode, 0) << only.Err;
    EXPECT_EQ(EntryNamesIn(chosen), (std::set<std::string>{"cookies.sqlite"}));

    const std::string withUnknown = home.MakeDir("with-unknown");
    const TCliResult asked = Run({"restore", "--archive", Archive(), "--profile-dir", withUnknown,
                                  "--components", "cookies", "--unknown"});
    ASSERT_EQ(asked.ExitCode, 0) << asked.Err;
    EXPECT_EQ(EntryNamesIn(withUnknown),
              (std::set<std::string>{"addon-data", "cookies.sqlite", "notes.txt"}));

    EXPECT_EQ(Run({"restore", "--archive", Archive(), "--profile-dir", chosen, "--unknown", "--no-unknown"})
                  .ExitCode,
              2);
    EXPECT_EQ(EntryNamesIn(chosen), (std::set<std::string>{"cookies.sqlite"}));
}

// The manual names every option each command's help lists, and groff
// renders it without a warning.
TEST_F(CliCommandsTest, TheManualCoversEveryOptionAndRendersWithoutWarnings)
{
    const std::string manual = ReadFileForTest(QUILLBANK_SOURCE_DIR "/docs/quillbank-cli.1");
    for (const char* command : {"list", "backup", "restore", "inspect", "verify", "prune", "info"}) {
        std::istringstream help(Run({command, "--help"}).Out);
        for (std::string line; std::getline(help, line);) {
            // The option lines: "  --name VALUE   what it does", "  -q, --quiet ...".
            if (!line.starts_with("  -"))
                continue;
            const std::size_t at = line.find("--");
            const std::string option = line.substr(at, line.find_first_of(" =", at) - at);
            std::string escaped;
            for (char c : option)
                escaped += c == '-' ? std::string("\\-") : std::string(1, c);
            EXPECT_NE(manual.find(escaped), std::string::npos) << command << " " << option;
        }
    }
    EXPECT_EQ(
        quillbank::testing::RunPython(
            "import subprocess, sys\n"
            "r = subprocess.run(['groff', '-man', '-ww', '-z', '-Tutf8', sys.argv[1]], capture_output=True, "
            "text=True)\n"
            "print(r.returncode, repr(r.stderr))",
            {QUILLBANK_SOURCE_DIR "/docs/quillbank-cli.1"}, home.Path()),
        "0 ''");
}

TEST_F(CliCommandsTest, UndoTakesBackTheLastRestoreOnceAndListSaysWhenItCan)
{
    Backup({});
    home.WriteFile(".mozilla/firefox/abcd.work/prefs.js", "user_pref(\"browser.startup.page\", 1);\n");
    home.WriteFile(".mozilla/firefox/abcd.work/places.sqlite", "older places");
    home.WriteFile(".mozilla/firefox/abcd.work/places.sqlite-wal", "older log");
    home.WriteFile(".mozilla/firefox/abcd.work/mine.txt", "not in the backup");
    fs::remove(work + "/cookies.sqlite");
    const auto before = FileContentsBelow(work);
    const std::string undoable = "[p['undoable'] for a in d['applications'] for p in a['profiles'] if "
                                 "p['name'] == 'Work Profile']";
    EXPECT_EQ(Query(Run({"list", "--json"}).Out, undoable), "[False]");

    const TCliResult restore =
        Run({"restore", "--archive", Archive(), "--app", "firefox", "--profile", "work"});
    ASSERT_EQ(restore.ExitCode, 0) << restore.Err;
    EXPECT_EQ(ReadFileForTest(work + "/places.sqlite"), places);
    const std::string rollbacks = home.Path() + "/.local/state/quillbank/rollback";
    ASSERT_EQ(EntryNamesIn(rollbacks).size(), 1u);
    EXPECT_TRUE(EntryNamesIn(rollbacks).begin()->starts_with("abcd.work-"));
    const std::string listed = Run({"list", "--json"}).Out;
    EXPECT_EQ(Query(listed, undoable), "[True]");
    const std::string since = Query(listed, "[p['lastRestore'] for a in d['applications'] for p in "
                                            "a['profiles'] if p['name'] == 'Work Profile'][0]");
    EXPECT_EQ(since.size(), 19u) << since;
    EXPECT_NE(Run({"list"}).Out.find("    Work Profile  " + work + "\n      undo possible: the restore of " +
                                     since + "\n"),
              std::string::npos);
    // Held by an instance that still runs (this test) through its lock link.
    fs::create_symlink("127.0.0.1:+" + std::to_string(getpid()), work + "/lock");
    EXPECT_EQ(Run({"restore", "--undo", "--app", "firefox", "--profile", "work"}).ExitCode, 3);
    fs::remove(work + "/lock");
    EXPECT_EQ(ReadFileForTest(work + "/places.sqlite"), places);

    const TCliResult undo = Run({"restore", "--undo", "--app", "firefox", "--profile", "work"});
    ASSERT_EQ(undo.ExitCode, 0) << undo.Err;
    EXPECT_EQ(undo.Out, work + "\n");
    EXPECT_EQ(FileContentsBelow(work), before);
    // Once: a second undo would reach back past the restore it took back.
    const TCliResult again = Run({"restore", "--undo", "--profile-dir", work});
    EXPECT_EQ(again.ExitCode, 1);
    EXPECT_NE(again.Err.find("no restore to undo"), std::string::npos) << again.Err;
    EXPECT_EQ(Query(Run({"list", "--json"}).Out, undoable), "[False]");
}

TEST_F(CliCommandsTest, TheReadmesUndoExampleRunsAsWritten)
{
    ASSERT_EQ(
        Run({"backup", "--app", "firefox", "--profile", "work", "--output", Archive("firefox.qkz")}).ExitCode,
        0);
    const std::string profile = root + "/efgh.default";
    home.WriteFile(".mozilla/firefox/efgh.default/prefs.js", "user_pref(\"own\", 1);\n");
    home.WriteFile(".mozilla/firefox/efgh.default/places.sqlite", "own places");
    const auto before = FileContentsBelow(profile);
    const TCliResult restore =
        Run({"restore", "--archive", Archive("firefox.qkz"), "--app", "firefox", "--profile", "default"});
    ASSERT_EQ(restore.ExitCode, 0) << restore.Err;
    ASSERT_NE(FileContentsBelow(profile), before);
    const TCliResult undo = Run({"restore", "--undo", "--app", "firefox", "--profile", "default"});
    ASSERT_EQ(undo.ExitCode, 0) << undo.Err;
    EXPECT_EQ(FileContentsBelow(profile), before);
}

TEST_F(CliCommandsTest, NoRollbackArchiveWhenToldAndTheStateFolderComesFromTheEnvironment)
{
    Backup({});
    EXPECT_EQ(Run({"restore", "--archive", Archive(), "--profile-dir", work, "--no-rollback"}).ExitCode, 0);
    EXPECT_FALSE(fs::exists(home.Path() + "/.local/state"));
    EXPECT_EQ(Run({"restore", "--undo", "--profile-dir", work}).ExitCode, 1);
    for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
             {"restore", "--undo"},
             {"restore", "--undo", "--profile-dir", work, "--archive", Archive()},
             {"restore", "--undo", "--profile-dir", work, "--no-rollback"},
             {"restore", "--undo", "--profile-dir", work, "--components", "history"},
         })
        EXPECT_EQ(Run(arguments).ExitCode, 2) << ::testing::PrintToString(arguments);

    home.SetEnv("XDG_STATE_HOME", home.Path() + "/state");
    const TCliResult info = Run({"info"});
    EXPECT_NE(info.Out.find("  rollback archives:  yes\n"), std::string::npos) << info.Out;
    EXPECT_NE(info.Out.find("Rollback archives:  " + home.Path() + "/state/quillbank/rollback\n"),
              std::string::npos)
        << info.Out;
    EXPECT_EQ(Run({"restore", "--archive", Archive(), "--profile-dir", work, "--quiet"}).ExitCode, 0);
    EXPECT_EQ(EntryNamesIn(home.Path() + "/state/quillbank/rollback").size(), 1u);
    EXPECT_EQ(Run({"restore", "--undo", "--profile-dir", work, "--quiet"}).ExitCode, 0);
}

// The legacy registry can list a folder whose name ends in a blank: the
// restore goes into that folder, not into one without the blank.
TEST_F(CliCommandsTest, RestoreIntoAListedFolderWhoseNameEndsInABlank)
{
    Backup({"--components", "cookies", "--no-unknown"});
    fs::remove(root + "/profiles.ini");
    const std::string blank = home.MakeDir(".mozilla/firefox/blank ");
    home.WriteFile(".mozilla/firefox/registry.dat", RegistryDatWithProfiles({{"blank", blank}}).Bytes());
    const TCliResult restore =
        Run({"restore", "--archive", Archive(), "--app", "firefox", "--profile", "blank"});
    ASSERT_EQ(restore.ExitCode, 0) << restore.Err;
    EXPECT_EQ(restore.Out, blank + "\n");
    EXPECT_EQ(EntryNamesIn(blank), (std::set<std::string>{"cookies.sqlite"}));
    EXPECT_FALSE(fs::exists(root + "/blank"));
}

TEST_F(CliCommandsTest, PasswordFromStandardInputAndWrongOrMissingPasswordsExitWithFour)
{
    RunTheBuiltProgram();
    Backup({"--password-stdin"}, "from stdin\r\nnot this line\n");
    EXPECT_EQ(Run({"verify", Archive(), "--password-stdin"}, "from stdin\n").ExitCode, 0);
    EXPECT_EQ(Run({"inspect", Archive(), "--password-stdin"}, "from stdin").ExitCode, 0);

    const TCliResult wrong = Run({"verify", Archive(), "--password-stdin"}, "from stdin but wrong\n");
    EXPECT_EQ(wrong.ExitCode, 4);
    EXPECT_NE(wrong.Err.find(Archive() + ": wrong password"), std::string::npos) << wrong.Err;
    const TCliResult missing = Run({"verify", Archive()});
    EXPECT_EQ(missing.ExitCode, 4);
    EXPECT_NE(missing.Err.find("--password-file"), std::string::npos) << missing.Err;
    EXPECT_EQ(Run({"inspect", Archive()}).ExitCode, 4);
    EXPECT_EQ(Run({"inspect", Archive(), "--password-file", home.Path() + "/wrong.txt"}).ExitCode, 4);
    EXPECT_EQ(Run({"verify", Archive(), "--password-stdin"}, "").ExitCode, 4); // an empty password

    const std::string target = home.MakeDir("target");
    EXPECT_EQ(Run({"restore", "--archive", Archive(), "--profile-dir", target, "--password-stdin"}, "wrong\n")
                  .ExitCode,
              4);
    EXPECT_EQ(Run({"restore", "--archive", Archive(), "--profile-dir", target}).ExitCode, 4);
    EXPECT_TRUE(fs::is_empty(target));
    EXPECT_EQ(
        Run({"restore", "--archive", Archive(), "--profile-dir", target, "--password-stdin"}, "from stdin\n")
            .ExitCode,
        0);
    EXPECT_EQ(ReadFileForTest(target + "/places.sqlite"), places);

    // A password file that cannot be read is bad usage, naming the file.
    const TCliResult unreadable = Run({"verify", Archive(), "--password-file", home.Path() + "/none.txt"});
    EXPECT_EQ(unreadable.ExitCode, 2);
    EXPECT_NE(unreadable.Err.find(home.Path() + "/none.txt"), std::string::npos) << unreadable.Err;
}

// What users of other backup tools take for granted: suggestions for slips,
// the archive as an argument or an option, --no-clobber, and an error for a
// component asked for that is not there.
TEST_F(CliCommandsTest, CommandLineConventions)
{
    for (const auto& [arguments, suggestion] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"bakup"}, "unknown command \"bakup\" (did you mean \"backup\"?)"},
             {{"backup", "--outptu", Archive()}, "unknown option --outptu (did you mean \"--output\"?)"},
             {{"backup", "--app", "firefox", "--profile", "work", "--output", Archive(), "--components",
               "cookie"},
              "unknown component \"cookie\" in --components (did you mean \"cookies\"?)"},
         }) {
        const TCliResult result = Run(arguments);
        EXPECT_EQ(result.ExitCode, 2);
        EXPECT_NE(result.Err.find(suggestion), std::string::npos) << result.Err;
    }
    EXPECT_EQ(Run({"frobnicate"}).Err.find("did you mean"), std::string::npos);

    // The profile holds no cache: asking for it names it, and nothing is written.
    const TCliResult noCache = Run({"backup", "--app", "firefox", "--profile", "work", "--output", Archive(),
                                    "--components", "cookies,cache"});
    EXPECT_EQ(noCache.ExitCode, 2);
    EXPECT_NE(noCache.Err.find("quillbank-cli backup: cache was asked for, but the profile holds none"),
              std::string::npos)
        << noCache.Err;
    EXPECT_FALSE(fs::exists(Archive()));

    Backup({"--components", "cookies"});
    const std::string target = home.MakeDir("target");
    const TCliResult noHistory =
        Run({"restore", Archive(), "--profile-dir", target, "--components", "cookies,history"});
    EXPECT_EQ(noHistory.ExitCode, 2);
    EXPECT_NE(noHistory.Err.find("history was asked for, but the backup holds none"), std::string::npos)
        << noHistory.Err;
    EXPECT_TRUE(fs::is_empty(target));

    const std::string before = ReadFileForTest(Archive());
    const TCliResult kept =
        Run({"backup", "--app", "firefox", "--profile", "work", "--output", Archive(), "--no-clobber"});
    EXPECT_EQ(kept.ExitCode, 1);
    EXPECT_NE(kept.Err.find("--no-clobber"), std::string::npos) << kept.Err;
    EXPECT_EQ(ReadFileForTest(Archive()), before);

    EXPECT_EQ(Run({"verify", "--archive", Archive()}).ExitCode, 0);
    EXPECT_EQ(Run({"inspect", "--archive", Archive()}).ExitCode, 0);
    EXPECT_EQ(Run({"inspect", Archive(), "--archive", Archive()}).ExitCode, 2);
    EXPECT_EQ(Run({"verify", "--archive", Archive(), Archive()}).ExitCode, 2);
    EXPECT_EQ(Run({"restore", "--archive", Archive(), "--profile-dir", target}).ExitCode, 0);
}

// For unattended runs: the password from a command (a keyring's lookup), a
// warning for a password file others can read, and one for a backup without
// a password that holds what opens the user's accounts.
TEST_F(CliCommandsTest, PasswordsFromACommandAndWarningsAboutExposedSecrets)
{
    // The password command writes to the program's own standard error.
    RunTheBuiltProgram();
    const std::string password = home.Path() + "/password.txt";
    fs::permissions(password, fs::perms::owner_read | fs::perms::owner_write);
    const TCliResult fromCommand =
        Run({"backup", "--app", "firefox", "--profile", "work", "--output", Archive(), "--password-command",
             "printf 'correct horse\\nnot this line\\n'; echo on-standard-error >&2"});
    ASSERT_EQ(fromCommand.ExitCode, 0) << fromCommand.Err;
    EXPECT_NE(fromCommand.Err.find("on-standard-error\n"), std::string::npos) << fromCommand.Err;
    EXPECT_EQ(fromCommand.Err.find("warning"), std::string::npos) << fromCommand.Err;
    const TCliResult verified = Run({"verify", Archive(), "--password-file", password});
    EXPECT_EQ(verified.ExitCode, 0) << verified.Err;
    EXPECT_EQ(verified.Err, "");

    for (const char* failing : {"exit 3", "true", "/nonexistent/secret-tool lookup x"}) {
        const TCliResult failed = Run({"verify", Archive(), "--password-command", failing});
        EXPECT_EQ(failed.ExitCode, 4) << failing << "\n" << failed.Err;
        EXPECT_NE(failed.Err.find("quillbank-cli verify: "), std::string::npos) << failed.Err;
    }
    EXPECT_NE(Run({"verify", Archive(), "--password-command", "exit 3"}).Err.find("exit status 3"),
              std::string::npos);
    EXPECT_EQ(Run({"verify", Archive(), "--password-command", "true", "--password-file", password}).ExitCode,
              2);

    fs::permissions(password, fs::perms::group_read, fs::perm_options::add);
    const TCliResult exposed = Run({"verify", Archive(), "--password-file", password});
    EXPECT_EQ(exposed.ExitCode, 0);
    EXPECT_EQ(exposed.Err, "quillbank-cli verify: warning: " + password +
                               " can be read by its group (mode 0640); make it readable by its owner only "
                               "(chmod 600)\n");

    // Cookies without a password: one line, and none with --quiet or a password.
    const std::vector<std::string> plain = {
        "backup",       "--app",          "firefox", "--profile", "work", "--output", Archive("plain.qkz"),
        "--components", "cookies,history"};
    const TCliResult unprotected = Run(plain);
    ASSERT_EQ(unprotected.ExitCode, 0) << unprotected.Err;
    EXPECT_NE(unprotected.Err.find("quillbank-cli backup: warning: " + Archive("plain.qkz") +
                                   " holds cookies without a password"),
              std::string::npos)
        << unprotected.Err;
    std::vector<std::string> quiet = plain;
    quiet.push_back("--quiet");
    EXPECT_EQ(Run(quiet).Err, "");
    std::vector<std::string> history = plain;
    history.back() = "history";
    EXPECT_EQ(Run(history).Err.find("warning"), std::string::npos);
}

TEST_F(CliCommandsTest, RestoreListsTheFoldersOutsideTheProfileAndWritesThereOnlyWhenTold)
{
    const std::string outside = home.Path() + "/elsewhere/Mail";
    TComponentBoxes boxes;
    boxes[EmailsBox].Checked = true;
    boxes[GeneralSettingsBox].Checked = true;
    const std::string header = WriteArchiveHeader(ThunderbirdAppType, boxes, {{outside, "Mail"}}, {});
    home.WriteFile("mail.qkz",
                   quillbank::testing::BuildZip(
                       {{std::string(ArchiveHeaderName), header},
                        {"prefs.js", "user_pref(\"mail.server.server1.directory\", \"" + outside + "\");\n"},
                        {"Mail/Local Folders/Inbox", "mail"}}));
    const std::string target = home.MakeDir("target");
    const std::vector<std::string> restore = {"restore", "--archive", Archive("mail.qkz"), "--profile-dir",
                                              target};

    const TCliResult refused = Run(restore);
    EXPECT_EQ(refused.ExitCode, 2);
    EXPECT_NE(refused.Err.find("outside the profile:\n  " + outside + "\n"), std::string::npos)
        << refused.Err;
    EXPECT_NE(refused.Err.find("--outside-profile"), std::string::npos) << refused.Err;
    EXPECT_TRUE(fs::is_empty(target));
    EXPECT_FALSE(fs::exists(home.Path() + "/elsewhere"));

    // Without the emails nothing goes outside: nothing to ask.
    EXPECT_EQ(Run({"restore", "--archive", Archive("mail.qkz"), "--profile-dir", target, "--components",
                   "general-settings"})
                  .ExitCode,
              0);

    std::vector<std::string> allowed = restore;
    allowed.push_back("--outside-profile");
    const TCliResult done = Run(allowed);
    EXPECT_EQ(done.ExitCode, 0) << done.Err;
    EXPECT_NE(done.Err.find(outside), std::string::npos) << done.Err;
}

// A backup made on Windows: its header records the account folders as
// Windows paths, and its prefs.js names places of that machine.
TEST_F(CliCommandsTest, RestoreOfABackupMadeOnWindowsPlacesEveryFolderAndSaysWhere)
{
    TComponentBoxes boxes;
    boxes[EmailsBox].Checked = true;
    const std::string profileOnWindows =
        "C:\\\\Users\\\\bob\\\\AppData\\\\Roaming\\\\Thunderbird\\\\Profiles\\\\"
        "abc.default";
    const std::string prefs =
        "user_pref(\"mail.server.server1.directory\", \"" + profileOnWindows +
        "\\\\Mail\\\\Local Folders\");\n"
        "user_pref(\"mail.server.server1.directory-rel\", \"[ProfD]Mail/Local Folders\");\n"
        "user_pref(\"mail.server.server2.directory\", \"C:\\\\Mail\\\\Archive\");\n"
        "user_pref(\"mail.server.server3.directory\", \"D:\\\\Team\");\n"
        "user_pref(\"mail.compose.attach.dir\", \"E:\\\\Attachments\");\n";
    home.WriteFile("windows.qkz",
                   quillbank::testing::BuildZip(
                       {{std::string(ArchiveHeaderName),
                         WriteArchiveHeader(ThunderbirdAppType, boxes,
                                            {{"C:\\Mail\\Archive", "Archive"}, {"D:\\Team", "Team"}}, {})},
                        {"prefs.js", prefs},
                        {"Mail/Local Folders/Inbox", "local"},
                        {"Archive/Inbox", "archived"},
                        {"Team/Inbox", "team"}}));
    const std::string target = home.MakeDir("target");
    const std::string mapped = home.Path() + "/mapped/Team";
    const std::vector<std::string> restore = {
        "restore", "--archive",   Archive("windows.qkz"), "--profile-dir",     target,
        "--app",   "thunderbird", "--map-folder",         "d:/team=" + mapped, "--outside-profile"};

    const TCliResult done = Run(restore);
    EXPECT_EQ(done.ExitCode, 0) << done.Err;
    EXPECT_NE(done.Err.find("Mail folder restored: C:\\Mail\\Archive -> " + target + "/Mail/Archive\n"),
              std::string::npos)
        << done.Err;
    EXPECT_NE(done.Err.find("Mail folder restored: D:\\Team -> " + mapped + "\n"), std::string::npos)
        << done.Err;
    EXPECT_NE(done.Err.find("mail.compose.attach.dir: E:\\Attachments\n"), std::string::npos) << done.Err;
    EXPECT_EQ(ReadFileForTest(target + "/Mail/Archive/Inbox"), "archived");
    EXPECT_EQ(ReadFileForTest(mapped + "/Inbox"), "team");
    EXPECT_EQ(ReadFileForTest(target + "/prefs.js"),
              "user_pref(\"mail.server.server1.directory\", \"" + target +
                  "/Mail/Local Folders\");\r\n"
                  "user_pref(\"mail.server.server1.directory-rel\", \"[ProfD]Mail/Local Folders\");\r\n"
                  "user_pref(\"mail.server.server2.directory\", \"" +
                  target +
                  "/Mail/Archive\");\r\n"
                  "user_pref(\"mail.server.server3.directory\", \"" +
                  mapped + "\");\r\n");

    // A place that cannot be made: the folder is named with the reason, and
    // the emails, the one component, count as not restored.
    home.WriteFile("plainfile", "");
    std::vector<std::string> blocked = restore;
    blocked[8] = "D:\\Team=" + home.Path() + "/plainfile/Team";
    const TCliResult failed = Run(blocked);
    EXPECT_EQ(failed.ExitCode, 1) << failed.Err;
    EXPECT_NE(failed.Err.find("not restored: D:\\Team: the folder " + home.Path() +
                              "/plainfile/Team cannot be created"),
              std::string::npos)
        << failed.Err;

    for (const char* mapping : {"D:\\Team", "D:\\Team=relative", "/home/x=/y", "D:\\Elsewhere=/y"}) {
        std::vector<std::string> wrong = restore;
        wrong[8] = mapping;
        EXPECT_EQ(Run(wrong).ExitCode, 2) << mapping;
    }
}

// An undo takes back the folders a restore placed anew, inside the profile
// and at the place the user chose.
TEST_F(CliCommandsTest, AnUndoRemovesTheFoldersOfABackupMadeOnWindows)
{
    TComponentBoxes boxes;
    boxes[EmailsBox].Checked = true;
    home.WriteFile(
        "windows.qkz",
        quillbank::testing::BuildZip(
            {{std::string(ArchiveHeaderName),
              WriteArchiveHeader(ThunderbirdAppType, boxes,
                                 {{"C:\\Mail\\Archive", "Archive"}, {"D:\\Team", "Team"}}, {})},
             {"prefs.js", "user_pref(\"mail.server.server2.directory\", \"C:\\\\Mail\\\\Archive\");\n"
                          "user_pref(\"mail.server.server3.directory\", \"D:\\\\Team\");\n"},
             {"Archive/Inbox", "archived"},
             {"Team/Inbox", "team"}}));
    const std::string target = home.MakeDir("target");
    home.WriteFile("target/prefs.js", "user_pref(\"x\", 1);\n");
    const std::string mapped = home.Path() + "/mapped/Team";
    const TCliResult done =
        Run({"restore", "--archive", Archive("windows.qkz"), "--profile-dir", target, "--app", "thunderbird",
             "--map-folder", "D:\\Team=" + mapped, "--outside-profile"});
    ASSERT_EQ(done.ExitCode, 0) << done.Err;
    ASSERT_EQ(ReadFileForTest(mapped + "/Inbox"), "team");

    const TCliResult undo = Run({"restore", "--undo", "--profile-dir", target, "--app", "thunderbird"});
    EXPECT_EQ(undo.ExitCode, 0) << undo.Err;
    EXPECT_EQ(EntryNamesIn(target), (std::set<std::string>{"prefs.js"}));
    EXPECT_EQ(ReadFileForTest(target + "/prefs.js"), "user_pref(\"x\", 1);\n");
    EXPECT_FALSE(fs::exists(home.Path() + "/mapped"));
}

TEST_F(CliCommandsTest, RestoreLeavesOutSettingsNamingPlacesOutsideTheProfileUnlessTold)
{
    const std::string downloads = "user_pref(\"browser.download.dir\", \"" + home.Path() + "/Downloads\");";
    const std::string prefs = "user_pref(\"browser.startup.page\", 3);\n" + downloads + "\n";
    TComponentBoxes boxes;
    boxes[GeneralSettingsBox].Checked = true;
    home.WriteFile("settings.qkz",
                   quillbank::testing::BuildZip(
                       {{std::string(ArchiveHeaderName), WriteArchiveHeader(FirefoxAppType, boxes, {}, {})},
                        {"prefs.js", prefs}}));
    // The same prefs.js as an unknown entry is cleaned all the same.
    home.WriteFile("unknown.qkz", quillbank::testing::BuildZip(
                                      {{std::string(ArchiveHeaderName),
                                        WriteArchiveHeader(FirefoxAppType, {}, {}, {{"prefs.js", false}})},
                                       {"prefs.js", prefs}}));
    for (const char* archive : {"settings.qkz", "unknown.qkz"}) {
        const std::string target = home.MakeDir(std::string("target-") + archive);
        const std::vector<std::string> restore = {"restore", "--archive", Archive(archive), "--profile-dir",
                                                  target,    "--app",     "firefox"};
        const TCliResult left = Run(restore);
        EXPECT_EQ(left.ExitCode, 0) << left.Err;
        EXPECT_NE(left.Err.find("outside the profile (left out; give --outside-profile to keep them):\n"
                                "  browser.download.dir: " +
                                home.Path() + "/Downloads\n"),
                  std::string::npos)
            << archive << left.Err;
        EXPECT_EQ(ReadFileForTest(target + "/prefs.js"), "user_pref(\"browser.startup.page\", 3);\r\n")
            << archive;

        std::vector<std::string> kept = restore;
        kept.push_back("--outside-profile");
        EXPECT_EQ(Run(kept).ExitCode, 0);
        EXPECT_NE(ReadFileForTest(target + "/prefs.js").find(downloads), std::string::npos) << archive;
    }
}

TEST_F(CliCommandsTest, RestoreThatOrphansTheProfilesSecretsIsRefusedUnlessTheKeyMayBeReplaced)
{
    const std::string profile = root + "/efgh.default";
    home.WriteFile(".mozilla/firefox/efgh.default/key4.db", "key B");
    home.WriteFile(".mozilla/firefox/efgh.default/logins.json", "logins B");
    TComponentBoxes boxes;
    boxes[CertificatesBox].Checked = true;
    home.WriteFile("certificates.qkz",
                   quillbank::testing::BuildZip(
                       {{std::string(ArchiveHeaderName), WriteArchiveHeader(FirefoxAppType, boxes, {}, {})},
                        {"key4.db", "key A"},
                        {"cert9.db", "certificates A"}}));
    std::vector<std::string> restore = {"restore", "--archive",    Archive("certificates.qkz"),
                                        "--app",   "firefox",      "--profile",
                                        "default", "--components", "certificates"};

    const TCliResult refused = Run(restore);
    EXPECT_EQ(refused.ExitCode, 2);
    EXPECT_NE(refused.Err.find("would no longer open:\n  logins.json (saved passwords)\n"), std::string::npos)
        << refused.Err;
    EXPECT_NE(refused.Err.find("--replace-key"), std::string::npos) << refused.Err;
    EXPECT_EQ(ReadFileForTest(profile + "/key4.db"), "key B");
    EXPECT_FALSE(fs::exists(profile + "/cert9.db"));

    restore.push_back("--replace-key");
    const TCliResult done = Run(restore);
    EXPECT_EQ(done.ExitCode, 0) << done.Err;
    EXPECT_NE(done.Err.find("logins.json (saved passwords)"), std::string::npos) << done.Err;
    EXPECT_EQ(ReadFileForTest(profile + "/key4.db"), "key A");
    EXPECT_EQ(ReadFileForTest(profile + "/logins.json"), "logins B");
}

// Names from a backup reach the terminal with their control characters
// escaped: none adds a line or drives the terminal.
TEST_F(CliCommandsTest, NamesFromABackupCannotAddLinesOrTerminalEscapes)
{
    const std::string outside = home.Path() + "/else\rwhere\x1b[2J";
    const std::string outsideShown = home.Path() + "/else\\rwhere\\x1b[2J";
    TComponentBoxes boxes;
    boxes[EmailsBox].Checked = true;
    const std::string header = WriteArchiveHeader(ThunderbirdAppType, boxes, {{outside, "Mail"}},
                                                  {{"note\r\x1b]0;owned\x07.txt", false}});
    // The archive library refuses other control characters in entry names.
    quillbank::testing::TZipEntrySpec damaged{"bad\nforged: OK\r.txt", "data"};
    damaged.DeclaredCrc = 1;
    home.WriteFile("names.qkz", quillbank::testing::BuildZip({{std::string(ArchiveHeaderName), header},
                                                              {"Mail/Local Folders/Inbox", "mail"},
                                                              damaged}));
    auto expectPlain = [](const std::string& text) {
        for (const char control : {'\x1b', '\r', '\x07'})
            EXPECT_EQ(text.find(control), std::string::npos) << text;
    };

    const TCliResult inspect = Run({"inspect", Archive("names.qkz")});
    EXPECT_EQ(inspect.ExitCode, 0) << inspect.Err;
    expectPlain(inspect.Out);
    EXPECT_NE(inspect.Out.find("\n  " + outsideShown + "\n"), std::string::npos) << inspect.Out;
    EXPECT_NE(inspect.Out.find("\n  note\\r\\x1b]0;owned\\x07.txt\n"), std::string::npos) << inspect.Out;

    const std::string target = home.MakeDir("target");
    const TCliResult restore = Run({"restore", "--archive", Archive("names.qkz"), "--profile-dir", target});
    EXPECT_EQ(restore.ExitCode, 2);
    expectPlain(restore.Err);
    EXPECT_NE(restore.Err.find("outside the profile:\n  " + outsideShown + "\n"), std::string::npos)
        << restore.Err;

    const TCliResult verify = Run({"verify", Archive("names.qkz")});
    EXPECT_EQ(verify.ExitCode, 1);
    expectPlain(verify.Err);
    EXPECT_NE(verify.Err.find("entry \"bad\\nforged: OK\\r.txt\" is damaged: "), std::string::npos)
        << verify.Err;
    EXPECT_EQ(std::count(verify.Err.begin(), verify.Err.end(), '\n'), 1) << verify.Err;
}

TEST_F(CliCommandsTest, ABackupWhoseEntriesOverlapIsRefusedByEveryCommand)
{
    quillbank::testing::TZipEntrySpec copy{"copy.sqlite", "places"};
    copy.LocalOffset = 0;
    home.WriteFile(
        "overlap.qkz",
        quillbank::testing::BuildZip(
            {{"places.sqlite", "places"}, {std::string(ArchiveHeaderName), "Quillbank\r\n"}, copy}));
    const std::string target = home.MakeDir("target");
    EXPECT_EQ(Run({"inspect", Archive("overlap.qkz")}).ExitCode, 1);
    const TCliResult verify = Run({"verify", Archive("overlap.qkz")});
    EXPECT_EQ(verify.ExitCode, 1);
    EXPECT_NE(verify.Err.find("the entries \"places.sqlite\" and \"copy.sqlite\" overlap in the file"),
              std::string::npos)
        << verify.Err;
    EXPECT_EQ(
        Run({"restore", "--archive", Archive("overlap.qkz"), "--profile-dir", target, "--app", "firefox"})
            .ExitCode,
        1);
    EXPECT_TRUE(fs::is_empty(target));
}

TEST_F(CliCommandsTest, VerifyFailsOnADamagedOrTruncatedArchive)
{
    Backup({"--components", "bookmarks", "--no-unknown"});
    EXPECT_EQ(Run({"verify", Archive()}).ExitCode, 0);
    const std::string bytes = ReadFileForTest(Archive());
    // places.sqlite is nearly all of the archive: its middle is file data.
    std::string damaged = bytes;
    damaged[damaged.size() / 2] = static_cast<char>(damaged[damaged.size() / 2] ^ 0x5A);
    home.WriteFile("damaged.qkz", damaged);
    const TCliResult result = Run({"verify", Archive("damaged.qkz")});
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_NE(result.Err.find(Archive("damaged.qkz") + ": entry \"places.sqlite\" is damaged"),
              std::string::npos)
        << result.Err;
    EXPECT_EQ(result.Out, "");

    home.WriteFile("truncated.qkz", bytes.substr(0, bytes.size() - 100));
    EXPECT_EQ(Run({"verify", Archive("truncated.qkz")}).ExitCode, 1);
    EXPECT_EQ(Run({"verify", Archive("missing.qkz")}).ExitCode, 1);
    EXPECT_EQ(Run({"verify", home.WriteFile("text.qkz", "no archive")}).ExitCode, 1);

    // Damaged and protected: damage, not a wrong password.
    Backup({"--components", "bookmarks", "--no-unknown", "--password-file", home.Path() + "/password.txt"});
    damaged = ReadFileForTest(Archive());
    damaged[damaged.size() / 2] = static_cast<char>(damaged[damaged.size() / 2] ^ 0x5A);
    home.WriteFile("damaged.qkz", damaged);
    EXPECT_EQ(
        Run({"verify", Archive("damaged.qkz"), "--password-file", home.Path() + "/password.txt"}).ExitCode,
        1);
    EXPECT_EQ(Run({"verify", Archive("damaged.qkz"), "--password-file", home.Path() + "/wrong.txt"}).ExitCode,
              4);

    // Altered by someone without the password, who made its checksum match:
    // the authentication code finds it out.
    damaged = ReadFileForTest(Archive());
    MarkAesEntryWithChecksum(damaged, "places.sqlite",
                             FlipAesEntryBit(damaged, "places.sqlite", places, true));
    home.WriteFile("damaged.qkz", damaged);
    const TCliResult tampered =
        Run({"verify", Archive("damaged.qkz"), "--password-file", home.Path() + "/password.txt"});
    EXPECT_EQ(tampered.ExitCode, 1);
    EXPECT_NE(tampered.Err.find(Archive("damaged.qkz") + ": entry \"places.sqlite\" is damaged"),
              std::string::npos)
        << tampered.Err;
}

TEST_F(CliCommandsTest, ARestoreWithADamagedEntryIsPartlyRestoredOrFailsNamingIt)
{
    Backup({"--components", "bookmarks,cookies", "--no-unknown"});
    std::string damaged = ReadFileForTest(Archive());
    damaged[damaged.size() / 2] = static_cast<char>(damaged[damaged.size() / 2] ^ 0x5A);
    home.WriteFile("damaged.qkz", damaged);
    const std::string target = home.MakeDir("target");
    home.WriteFile("target/places.sqlite", "old places");
    const std::vector<std::string> restore = {"restore", "--archive", Archive("damaged.qkz"), "--profile-dir",
                                              target};

    const TCliResult partly = Run(restore);
    EXPECT_EQ(partly.ExitCode, 5);
    for (const std::string& said : std::vector<std::string>{
             "Bookmarks restore... FAILED\n- Not restored: places.sqlite: the archive is damaged\n",
             "Cookies restore... OK\n",
             Archive("damaged.qkz") + ": not restored: places.sqlite: the archive is damaged\n",
             target + ": partly restored\n"})
        EXPECT_NE(partly.Err.find(said), std::string::npos) << said << "\n" << partly.Err;
    EXPECT_EQ(ReadFileForTest(target + "/places.sqlite"), "old places");
    EXPECT_EQ(ReadFileForTest(target + "/cookies.sqlite"), std::string("SQLite format 3\0cookies", 23));

    // Nothing came through whole: the restore failed, and says why even when quiet.
    std::vector<std::string> bookmarks = restore;
    bookmarks.insert(bookmarks.end(), {"--components", "bookmarks", "--quiet"});
    const TCliResult failed = Run(bookmarks);
    EXPECT_EQ(failed.ExitCode, 1);
    EXPECT_NE(failed.Err.find(
                  "failed: places.sqlite: the archive is damaged; the profile was put back as it was\n"),
              std::string::npos)
        << failed.Err;
    EXPECT_EQ(failed.Out, "");
}

TEST_F(CliCommandsTest, EncryptionAndCompressionLevelComeFromTheCommandLine)
{
    Backup({"--password-file", home.Path() + "/password.txt", "--encryption", "zipcrypto", "--level", "0",
            "--components", "bookmarks", "--no-unknown"});
    const TCliResult inspect =
        Run({"inspect", Archive(), "--json", "--password-file", home.Path() + "/password.txt"});
    ASSERT_EQ(inspect.ExitCode, 0) << inspect.Err;
    EXPECT_EQ(Query(inspect.Out, "d['encryption']"), "zipcrypto");
    // Stored: each entry is as long as its data and the 12 bytes of the encryption header.
    EXPECT_EQ(Query(inspect.Out, "d['compressedSize'] - d['size']"), std::to_string(12 * 2));
    EXPECT_EQ(Run({"verify", Archive(), "--password-file", home.Path() + "/password.txt"}).ExitCode, 0);
    EXPECT_EQ(Run({"verify", Archive(), "--password-file", home.Path() + "/wrong.txt"}).ExitCode, 4);

    Backup({"--level", "9", "--components", "general-settings", "--no-unknown"});
    const TCliResult plain = Run({"inspect", Archive(), "--json"});
    EXPECT_EQ(Query(plain.Out, "(d['encryption'], d['entries'], d['components'])"),
              "('none', 2, ['general-settings'])");
}

// In use is what the profile's own lock says: a running Firefox does not
// stand in the way of a profile it does not hold.
TEST_F(CliCommandsTest, BackupAndRestoreRefuseWhileTheProfileIsInUseUnlessForced)
{
    Backup({"--components", "cookies", "--no-unknown"});
    fs::rename(Archive(), Archive("before.qkz"));
    const std::string target = home.MakeDir("target");
    const std::string defaultProfile = root + "/efgh.default";
    {
        lock.HoldAlone();
        TFakeFirefox firefox(home);
        ASSERT_TRUE(IsAppRunning(FirefoxAppType));
        EXPECT_EQ(Run({"backup", "--app", "firefox", "--profile", "work", "--output", Archive()}).ExitCode,
                  0);
        fs::remove(Archive());
    }
    // The lock link of an instance of this machine that still runs (this test).
    const std::string holder = "127.0.0.1:+" + std::to_string(getpid());
    for (const std::string& profile : {work, target, defaultProfile})
        fs::create_symlink(holder, profile + "/lock");
    const TCliResult backup =
        Run({"backup", "--app", "firefox", "--profile", "work", "--output", Archive(), "--quiet"});
    EXPECT_EQ(backup.ExitCode, 3);
    EXPECT_NE(backup.Err.find("Firefox is using the profile"), std::string::npos) << backup.Err;
    EXPECT_FALSE(fs::exists(Archive()));
    const TCliResult restore = Run({"restore", "--archive", Archive("before.qkz"), "--profile-dir", target});
    EXPECT_EQ(restore.ExitCode, 3);
    EXPECT_TRUE(EntryNamesIn(target) == std::set<std::string>{"lock"});
    // The type a portable restore takes from the backup is checked too.
    EXPECT_EQ(Run({"restore", "--archive", Archive("before.qkz"), "--app", "firefox", "--profile", "default"})
                  .ExitCode,
              3);

    EXPECT_EQ(
        Run({"backup", "--app", "firefox", "--profile", "work", "--output", Archive(), "--force"}).ExitCode,
        0);
    EXPECT_EQ(
        Run({"restore", "--archive", Archive("before.qkz"), "--profile-dir", target, "--force"}).ExitCode, 0);
    EXPECT_TRUE(fs::exists(target + "/cookies.sqlite"));
    // Reading an archive needs no such care.
    EXPECT_EQ(Run({"verify", Archive()}).ExitCode, 0);
    // A link another machine holds, or one left by an instance that ended, does not count.
    fs::remove(work + "/lock");
    fs::create_symlink("192.0.2.7:+" + std::to_string(getpid()), work + "/lock");
    EXPECT_EQ(Run({"backup", "--app", "firefox", "--profile", "work", "--output", Archive()}).ExitCode, 0);
}

TEST_F(CliCommandsTest, NamesMatchAnyPartInAnyCaseAndTheOutputTakesPlaceholders)
{
    const TCliResult result = Run({"backup", "--app", "IREF", "--profile", "rk PRO", "--output",
                                   home.Path() + "/<application> <profile>.qkz", "--quiet"});
    EXPECT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(result.Out, "");
    EXPECT_TRUE(fs::exists(home.Path() + "/Firefox Work Profile.qkz"));

    const TCliResult noApp = Run({"backup", "--app", "opera", "--profile", "work", "--output", Archive()});
    EXPECT_EQ(noApp.ExitCode, 1);
    EXPECT_NE(noApp.Err.find("no application matches \"opera\""), std::string::npos) << noApp.Err;
    const TCliResult noProfile =
        Run({"backup", "--app", "firefox", "--profile", "home", "--output", Archive()});
    EXPECT_EQ(noProfile.ExitCode, 1);
    EXPECT_NE(noProfile.Err.find("Work Profile, default"), std::string::npos) << noProfile.Err;
    // Missing folders are made, every level, for their owner only; a file
    // where a folder belongs is named.
    const TCliResult nested =
        Run({"backup", "--app", "firefox", "--profile", "work", "--output", home.Path() + "/new/a/b.qkz"});
    EXPECT_EQ(nested.ExitCode, 0) << nested.Err;
    EXPECT_TRUE(fs::is_regular_file(home.Path() + "/new/a/b.qkz"));
    for (const char* level : {"/new", "/new/a"})
        EXPECT_EQ(fs::status(home.Path() + level).permissions(), fs::perms::owner_all) << level;
    home.WriteFile("blocked", "a file");
    const TCliResult blocked = Run(
        {"backup", "--app", "firefox", "--profile", "work", "--output", home.Path() + "/blocked/a/b.qkz"});
    EXPECT_EQ(blocked.ExitCode, 1);
    EXPECT_NE(blocked.Err.find("cannot make its folder: " + home.Path() + "/blocked/a: Not a directory"),
              std::string::npos)
        << blocked.Err;
    // A profile without prefs.js cannot be backed up.
    const TCliResult empty =
        Run({"backup", "--app", "firefox", "--profile", "default", "--output", Archive()});
    EXPECT_EQ(empty.ExitCode, 1);
    EXPECT_NE(empty.Err.find("corrupted"), std::string::npos) << empty.Err;
    EXPECT_FALSE(fs::exists(Archive()));
}

// A whole name wins over names it is part of; a part that fits several
// profiles names none and lists them; without --profile the profile the
// installation starts with is taken and named.
TEST_F(CliCommandsTest, AWholeNameWinsAPartMustFitOneAndTheDefaultIsNamed)
{
    home.WriteFile(".mozilla/firefox/profiles.ini",
                   "[Profile0]\nName=Work Profile\nIsRelative=1\nPath=abcd.work\nDefault=1\n\n"
                   "[Profile1]\nName=default\nIsRelative=1\nPath=efgh.default\n"
                   "[Profile2]\nName=WORK\nIsRelative=1\nPath=ijkl.work\n");
    const std::string exact = root + "/ijkl.work";
    home.WriteFile(".mozilla/firefox/ijkl.work/prefs.js", "user_pref(\"browser.startup.page\", 1);\n");
    const TCliResult whole = Run({"backup", "--app", "firefox", "--profile", "work", "--output", Archive()});
    EXPECT_EQ(whole.ExitCode, 0) << whole.Err;
    EXPECT_NE(whole.Err.find("Backing up " + exact + " into"), std::string::npos) << whole.Err;

    const TCliResult several =
        Run({"backup", "--app", "firefox", "--profile", "wor", "--output", Archive("x.qkz")});
    EXPECT_EQ(several.ExitCode, 2);
    EXPECT_NE(several.Err.find("\"wor\" fits several profiles of firefox: \"Work Profile\" (" + work +
                               "), \"WORK\" (" + exact + "); give the whole name of one\n"),
              std::string::npos)
        << several.Err;
    EXPECT_FALSE(fs::exists(Archive("x.qkz")));

    const TCliResult chosen = Run({"backup", "--app", "firefox", "--output", Archive("default.qkz")});
    EXPECT_EQ(chosen.ExitCode, 0) << chosen.Err;
    EXPECT_NE(chosen.Err.find("No --profile given: using firefox's default profile \"Work Profile\" (" +
                              work + ")"),
              std::string::npos)
        << chosen.Err;
    const TCliResult quiet =
        Run({"backup", "--app", "firefox", "--output", Archive("default.qkz"), "--quiet"});
    EXPECT_EQ(quiet.ExitCode, 0);
    EXPECT_EQ(quiet.Err, "");
}

TEST_F(CliCommandsTest, DefaultComponentsAreWhatTheProfileHoldsAndProgressIsPlainLines)
{
    home.WriteFile(".mozilla/firefox/abcd.work/cache/entry", "cached");
    const TCliResult result =
        Run({"backup", "--app", "firefox", "--profile-dir", work, "--output", Archive("<profile>.qkz")});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(result.Out, Archive("abcd.work.qkz") + "\n");
    // Not a terminal: the files one per line, the percentage at tenths.
    EXPECT_NE(result.Err.find("\nFile: places.sqlite\n"), std::string::npos) << result.Err;
    EXPECT_NE(result.Err.find("\n100%"), std::string::npos) << result.Err;
    EXPECT_EQ(result.Err.find('\r'), std::string::npos);
    const TCliResult inspect = Run({"inspect", Archive("abcd.work.qkz"), "--json"});
    // The cache is offered, never taken by default.
    EXPECT_EQ(Query(inspect.Out, "d['components']"),
              "['general-settings', 'bookmarks', 'history', 'cookies', 'saved-form-details']");
    EXPECT_EQ(Query(inspect.Out, "sorted(e['name'] for e in d['unknownEntries'])"),
              "['addon-data', 'notes.txt']");

    const TCliResult quiet = Run({"backup", "--app", "firefox", "--profile", "work", "--output", Archive(),
                                  "-q", "--components", "cache"});
    EXPECT_EQ(quiet.ExitCode, 0);
    EXPECT_EQ(quiet.Out + quiet.Err, "");
    const TCliResult held = Run({"inspect", Archive(), "--json"});
    EXPECT_EQ(Query(held.Out, "d['components']"), "['cache']");
}

// A backup unpacked into the profile with an ordinary ZIP tool leaves its
// header there; it names Thunderbird so that a header taken from it shows.
TEST_F(CliCommandsTest, AHeaderUnpackedIntoTheProfileIsLeftOutAndTheBackupKeepsItsOwn)
{
    home.WriteFile(".mozilla/firefox/abcd.work/indexfile.txt", "Quillbank\r\nRevize: 3\r\n");
    const TCliResult backup = Run({"backup", "--app", "firefox", "--profile", "work", "--output", Archive()});
    EXPECT_EQ(backup.ExitCode, 5) << backup.Err;
    EXPECT_NE(backup.Err.find(Archive() + ": incomplete, not backed up: " + work +
                              "/indexfile.txt: the name is the backup's own header\n"),
              std::string::npos)
        << backup.Err;
    const TCliResult inspect = Run({"inspect", Archive(), "--json"});
    EXPECT_EQ(
        Query(inspect.Out, "(d['application']['name'], sorted(e['name'] for e in d['unknownEntries']))"),
        "('firefox', ['addon-data', 'notes.txt'])");
}

TEST_F(CliCommandsTest, BackupAccountsForEveryFileAndADryRunPrintsTheSameWritingNothing)
{
    home.WriteFile(".mozilla/firefox/abcd.work/cache/entry", "cached");
    home.WriteFile(".mozilla/firefox/abcd.work/.parentlock", "");
    home.WriteFile(".mozilla/firefox/abcd.work/startupCache/startupCache.8.little", "startup");
    const std::string out = home.MakeDir("out");
    const std::vector<std::string> backup = {"backup",       "--app",    "firefox",      "--profile",
                                             "work",         "--output", out + "/b.qkz", "--no-unknown",
                                             "--components", "bookmarks"};

    const TCliResult text = Run(backup);
    ASSERT_EQ(text.ExitCode, 0) << text.Err;
    EXPECT_EQ(text.Out, out + "/b.qkz\n");
    EXPECT_NE(
        text.Err.find("\nBacked up: 1 files, 195.3 KiB (Bookmarks 1)\nLeft out by a rule: the cache (not "
                      "chosen) 1, lock files 1, caches the applications rebuild 1, components not chosen 3, "
                      "unknown entries not ticked 2\n"),
        std::string::npos)
        << text.Err;

    std::vector<std::string> json = backup;
    json.push_back("--json");
    const TCliResult written = Run(json);
    ASSERT_EQ(written.ExitCode, 0) << written.Err;
    EXPECT_EQ(Query(written.Out, "(d['archive'], d['dryRun'], d['account']['components'])"),
              "('" + out + "/b.qkz', False, {'bookmarks': {'files': 1, 'bytes': 200000}})");
    EXPECT_EQ(
        Query(written.Out, "[(r, c['files']) for r, c in d['account']['leftOutByRule'].items()]"),
        "[('cache', 1), ('lock-files', 1), ('rebuilt-caches', 1), ('not-chosen', 3), ('not-ticked', 2), "
        "('no-component', 0)]");
    EXPECT_EQ(Query(written.Out, "(d['account']['entries'], d['account']['unknownEntries'], "
                                 "d['account']['leftOutByFault'])"),
              "({'files': 1, 'bytes': 200000}, {'files': 0, 'bytes': 0}, [])");

    fs::remove(out + "/b.qkz");
    json.push_back("--dry-run");
    const TCliResult trial = Run(json);
    ASSERT_EQ(trial.ExitCode, 0) << trial.Err;
    EXPECT_EQ(Query(trial.Out, "d['dryRun']"), "True");
    EXPECT_EQ(Query(trial.Out, "d['account']"), Query(written.Out, "d['account']"));
    EXPECT_TRUE(fs::is_empty(out));

    std::vector<std::string> dryRun = backup;
    dryRun.push_back("--dry-run");
    const TCliResult lines = Run(dryRun);
    ASSERT_EQ(lines.ExitCode, 0) << lines.Err;
    EXPECT_TRUE(lines.Out.starts_with("To back up: 1 files, 195.3 KiB (Bookmarks 1)\nLeft out by a rule: "))
        << lines.Out;
    dryRun.push_back("--quiet");
    const TCliResult quiet = Run(dryRun);
    EXPECT_EQ(quiet.ExitCode, 0);
    EXPECT_EQ(quiet.Out + quiet.Err, "");
    // No folder made for the output either.
    dryRun[6] = out + "/new/b.qkz";
    EXPECT_EQ(Run(dryRun).ExitCode, 0);
    EXPECT_TRUE(fs::is_empty(out));
}

TEST_F(CliCommandsTest, LegacyContainerIsInspectedAndRestoredForTheApplicationItNames)
{
    const std::string separator = "****////\\\\\\\\****\r\n";
    home.WriteFile("old backup.txt",
                   "Quillbank\r\nRevize: 2\r\nVerze: 1.3\r\n" + separator + "NNNYNNNNYNNNNN\r\n" + separator +
                       "Oblibene polozky\r\nbookmarks.html\r\n"
                       "(ignored)\r\n<DL><p>\r\n" +
                       separator + "Cookies\r\ncookies.txt\r\n(ignored)\r\n.example.org\tTRUE\r\n" +
                       separator);
    const TCliResult inspect = Run({"inspect", home.Path() + "/old backup.txt", "--json"});
    ASSERT_EQ(inspect.ExitCode, 0) << inspect.Err;
    EXPECT_EQ(Query(inspect.Out, "(d['format'], d['application']['name'], d['components'], d['entries'])"),
              "('legacy', 'firefox', ['bookmarks', 'cookies'], None)");
    const TCliResult text = Run({"inspect", home.Path() + "/old backup.txt"});
    EXPECT_NE(text.Out.find("legacy text container"), std::string::npos) << text.Out;

    const std::string target = home.MakeDir("target");
    const TCliResult restore = Run({"restore", "--archive", home.Path() + "/old backup.txt", "--profile-dir",
                                    target, "--components", "cookies"});
    ASSERT_EQ(restore.ExitCode, 0) << restore.Err;
    EXPECT_EQ(ReadFileForTest(target + "/cookies.txt"), ".example.org\tTRUE\r\n");
    EXPECT_FALSE(fs::exists(target + "/bookmarks.html"));
    // It is no ZIP archive: nothing to verify.
    EXPECT_EQ(Run({"verify", home.Path() + "/old backup.txt"}).ExitCode, 1);
    // Made for Firefox, it is no Thunderbird backup.
    EXPECT_EQ(Run({"restore", "--archive", home.Path() + "/old backup.txt", "--profile-dir", target, "--app",
                   "thunderbird"})
                  .ExitCode,
              1);
}

// The completion scripts ask quillbank-cli itself, so they offer what its
// option tables hold; bash's is run here as bash runs it on <Tab>.
TEST_F(CliCommandsTest, BashCompletesCommandsOptionsAndNamesAsTheToolKnowsThem)
{
    const std::string script = home.WriteFile(
        "complete.sh", "source '" QUILLBANK_SOURCE_DIR "/packaging/completions/quillbank-cli.bash'\n"
                       "complete -p quillbank-cli\n"
                       "COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1)); _quillbank_cli\n"
                       "printf '%s\\n' \"${COMPREPLY[@]}\"\n");
    const std::string path = QUILLBANK_BINARY_DIR "/bin:" + std::string(std::getenv("PATH"));
    using Offered = std::set<std::string>;
    int completions = 0;
    auto complete = [&](const std::vector<std::string>& words) {
        std::vector<std::string> command = {"env", "PATH=" + path, "bash", script};
        command.insert(command.end(), words.begin(), words.end());
        const std::string log = home.Path() + "/complete" + std::to_string(++completions) + ".log";
        EXPECT_EQ(TAppProcess(command, log).WaitForExit(30s), 0);
        std::istringstream output(ReadFileForTest(log));
        std::string registration;
        std::getline(output, registration);
        EXPECT_EQ(registration, "complete -F _quillbank_cli quillbank-cli");
        Offered offered;
        for (std::string line; std::getline(output, line);)
            if (!line.empty())
                offered.insert(line);
        return offered;
    };

    // Every command the help lists, and every option each command's help names.
    const TCliResult help = Run({"--help"});
    Offered commands = {"--help", "--version"};
    std::istringstream lines(help.Out.substr(help.Out.find("Commands:\n") + 10));
    for (std::string line; std::getline(lines, line) && !line.empty();)
        commands.insert(line.substr(2, line.find(' ', 2) - 2));
    EXPECT_EQ(complete({"quillbank-cli", ""}), commands);
    const std::regex longOption(R"((^|[\s(,])(--[a-z][a-z0-9-]*))");
    for (const std::string& command : commands) {
        if (command.starts_with("--"))
            continue;
        const Offered offered = complete({"quillbank-cli", command, "-"});
        const std::string usage = Run({command, "--help"}).Out;
        for (auto match = std::sregex_iterator(usage.begin(), usage.end(), longOption);
             match != std::sregex_iterator(); ++match)
            EXPECT_TRUE(offered.contains((*match)[2].str()))
                << command << " " << (*match)[2] << " is not offered";
        EXPECT_TRUE(offered.contains("--options-file")) << command;
        // And nothing the command does not take.
        for (const std::string& option : offered)
            EXPECT_EQ(Run({command, option}).Err.find("unknown option"), std::string::npos)
                << command << " " << option;
    }

    // The applications of this machine's installations may be listed too.
    EXPECT_TRUE(complete({"quillbank-cli", "backup", "--app", ""}).contains("firefox"));
    EXPECT_EQ(complete({"quillbank-cli", "backup", "--app", "fire", "--profile", "W"}),
              Offered{"Work\\ Profile"});
    EXPECT_EQ(complete({"quillbank-cli", "restore", "--components", "bookmarks,hi"}),
              Offered{"bookmarks,history"});
    EXPECT_EQ(complete({"quillbank-cli", "backup", "--components", "c"}),
              (Offered{"cache", "certificates", "cookies"}));
}
