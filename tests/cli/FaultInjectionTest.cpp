// The built quillbank-cli run with writes failing (no space left on device)
// or reads failing (I/O error) from the Nth call on, for every N until the
// run gets through, and killed in the middle of a backup.
#include "apps/RunningCheck.h"
#include "engine/PendingArchive.h"
#include "tests/cli/CliRun.h"
#include "tests/support/FakeHome.h"
#include "tests/support/RealApps.h"
#include "tests/support/TestData.h"
#include "tests/support/ZipBuilder.h"

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

using namespace quillbank;
using namespace quillbank::testing;
namespace fs = std::filesystem;

namespace {

class FaultInjectionTest : public ::testing::Test
{
protected:
    TRealAppsLock lock{TRealAppsLock::EUse::NeedsNoneRunning};
    TFakeHome home;
    std::string profile = home.MakeDir(".mozilla/firefox/abcd.work");
    std::string backups = home.MakeDir("backups");
    std::string archive = backups + "/backup.qkz";
    /// The sanitizer's options for a run with the interposer preloaded, made
    /// once from the test's own (the sanitizer must come first otherwise).
    std::string preloadAsanOptions =
        std::string(std::getenv("ASAN_OPTIONS") ? std::getenv("ASAN_OPTIONS") : "") +
        ":verify_asan_link_order=0";

    FaultInjectionTest()
    {
        home.WriteFile(".mozilla/firefox/profiles.ini",
                       "[Profile0]\nName=work\nIsRelative=1\nPath=abcd.work\n");
        WriteProfile("old");
    }

    void SetUp() override
    {
        if (IsAppRunning(FirefoxAppType) || IsAppRunning(ThunderbirdAppType))
            GTEST_SKIP() << "a Firefox or Thunderbird is running on this machine";
    }

    /// The profile's files, each holding `version` in its own way.
    void WriteProfile(const std::string& version)
    {
        for (const auto& [name, content] : Files(version))
            home.WriteFile(".mozilla/firefox/abcd.work/" + name, content);
    }
    static std::vector<std::pair<std::string, std::string>> Files(const std::string& version)
    {
        return {{"prefs.js", "user_pref(\"browser.startup.homepage\", \"" + version + "\");\n"},
                {"places.sqlite", version + NoiseBytes(300000, 1)},
                {"cookies.sqlite", version + " cookies"},
                {"notes.txt", version + " notes"}};
    }

    TCliResult Backup(const std::vector<std::string>& options = {})
    {
        std::vector<std::string> arguments = {"backup", "--app",    "firefox", "--profile",
                                              "work",   "--output", archive,   "--quiet"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        return RunCli(arguments, home.Path());
    }

    /// Runs the tool with the fault interposer, failing `variable`'s calls from the `at`th on.
    TCliResult RunFailing(const std::vector<std::string>& arguments, const std::string& variable, int at)
    {
        home.SetEnv("ASAN_OPTIONS", preloadAsanOptions);
        home.SetEnv("LD_PRELOAD", QUILLBANK_FAULT_LIBRARY);
        home.SetEnv(variable, std::to_string(at));
        const TCliResult result = RunCli(arguments, home.Path());
        home.SetEnv("LD_PRELOAD", std::nullopt);
        home.SetEnv(variable, std::nullopt);
        return result;
    }

    std::set<std::string> BackupFolder() const { return EntryNamesIn(backups); }

    /// Backs up with writes failing from the Nth on, for every N until a
    /// run gets through: each failed run says so and keeps the previous
    /// archive, the one that gets through writes one that verifies, whose
    /// bytes are returned.
    std::string ExpectEveryFailingWriteKeepsThePreviousArchive(const std::vector<std::string>& options)
    {
        EXPECT_EQ(Backup(options).ExitCode, 0);
        const std::string previous = ReadFileForTest(archive);
        WriteProfile("new");
        std::vector<std::string> backup = {"backup", "--app",    "firefox", "--profile",
                                           "work",   "--output", archive,   "--quiet"};
        backup.insert(backup.end(), options.begin(), options.end());
        std::vector<std::string> verify = {"verify", archive};
        verify.insert(verify.end(), options.begin(), options.end());
        for (int at = 1; at < 3000; ++at) {
            const TCliResult run = RunFailing(backup, "QUILLBANK_FAIL_WRITE_AT", at);
            EXPECT_EQ(BackupFolder(), std::set<std::string>{"backup.qkz"}) << "failing write " << at;
            if (run.ExitCode == 0) {
                const TCliResult verified = RunCli(verify, home.Path());
                EXPECT_EQ(verified.ExitCode, 0) << "failing write " << at << ": " << verified.Err;
                return ReadFileForTest(archive);
            }
            EXPECT_EQ(ReadFileForTest(archive), previous) << "failing write " << at;
            EXPECT_FALSE(run.Err.empty()) << "failing write " << at;
        }
        ADD_FAILURE() << "no backup got through";
        return {};
    }
};

TEST_F(FaultInjectionTest, BackupFailingAtEveryWriteKeepsThePreviousArchive)
{
    ExpectEveryFailingWriteKeepsThePreviousArchive({});
}

// Once written, a protected archive has the checksums of its encrypted
// entries cleared: a write failing there fails the backup too, and the run
// that gets through leaves none.
TEST_F(FaultInjectionTest, ProtectedBackupFailingAtEveryWriteKeepsThePreviousArchive)
{
    const std::vector<std::string> password = {"--password-file", home.WriteFile("password.txt", "pw\n")};
    const std::string written = ExpectEveryFailingWriteKeepsThePreviousArchive(password);
    for (const auto& [name, layout] : EntryLayouts(written)) {
        EXPECT_EQ(FieldAt(written, layout.LocalCrcAt, 4), 0u) << name;
        EXPECT_EQ(FieldAt(written, layout.CentralCrcAt, 4), 0u) << name;
    }
}

// "New" is a file as the archive holds it, or as a complete restore leaves
// it (prefs.js is rewritten at the end).
TEST_F(FaultInjectionTest, RestoreFailingAtEveryReadOrWriteLeavesEachFileOldOrNew)
{
    WriteProfile("new");
    ASSERT_EQ(Backup().ExitCode, 0);
    const std::string target = home.MakeDir("target") + "/";
    const std::vector<std::string> restore = {
        "restore",       "--archive",    archive,
        "--profile-dir", target,         "--quiet",
        "--no-unknown",  "--components", "general-settings,history,cookies"};
    ASSERT_EQ(RunCli(restore, home.Path()).ExitCode, 0);
    // What a restore that gets through leaves, of each file it writes.
    std::map<std::string, std::string> restored;
    std::map<std::string, std::set<std::string>> allowed;
    for (const auto& [name, content] : Files("new")) {
        allowed[name] = {content, ReadFileForTest(target + name)};
        if (fs::exists(target + name))
            restored[name] = ReadFileForTest(target + name);
    }
    for (const auto& [name, content] : Files("old"))
        allowed[name].insert(content);

    for (const char* variable : {"QUILLBANK_FAIL_READ_AT", "QUILLBANK_FAIL_WRITE_AT"}) {
        bool through = false;
        for (int at = 1; at < 3000 && !through; ++at) {
            for (const auto& [name, content] : Files("old"))
                home.WriteFile("target/" + name, content);
            through = RunFailing(restore, variable, at).ExitCode == 0;
            for (const auto& [name, contents] : allowed)
                EXPECT_TRUE(contents.contains(ReadFileForTest(target + name)))
                    << variable << "=" << at << ": " << name << " is neither old nor new";
            // A run that ends with success restored everything it was to restore.
            if (through) {
                for (const auto& [name, content] : restored)
                    EXPECT_EQ(ReadFileForTest(target + name), content)
                        << variable << "=" << at << ": " << name;
            }
            for (const auto& entry : fs::recursive_directory_iterator(target))
                EXPECT_EQ(entry.path().string().find("qbpart"), std::string::npos) << variable << "=" << at;
        }
        EXPECT_TRUE(through) << variable;
    }
}

// Whatever write fails, a rollback archive is offered only when it is
// complete; a restore that fails is taken back at once (its files were held
// by links, put back by renames), one that is partly done by an undo: the
// profile ends as before.
TEST_F(FaultInjectionTest, RestoreFailingAtEveryWriteIsUndoneToTheProfileAsBefore)
{
    WriteProfile("new");
    ASSERT_EQ(Backup().ExitCode, 0);
    const std::string work = profile + "/";
    const std::string rollbacks = home.Path() + "/.local/state/quillbank/rollback";
    const std::vector<std::string> restore = {"restore", "--archive", archive, "--app",
                                              "firefox", "--profile", "work",  "--quiet"};
    const std::vector<std::string> undo = {"restore",   "--undo", "--app",  "firefox",
                                           "--profile", "work",   "--quiet"};
    bool through = false;
    for (int at = 1; at < 3000 && !through; ++at) {
        fs::remove_all(work);
        fs::remove_all(rollbacks);
        WriteProfile("old");
        home.WriteFile(".mozilla/firefox/abcd.work/mine.txt", "kept");
        const auto before = FileContentsBelow(work);
        const int exitCode = RunFailing(restore, "QUILLBANK_FAIL_WRITE_AT", at).ExitCode;
        through = exitCode == 0;
        // Failed, or not started: taken back at once, though no write gets through.
        if (exitCode == 1) {
            EXPECT_EQ(FileContentsBelow(work), before) << "failing write " << at;
        }
        for (const std::string& name :
             fs::exists(rollbacks) ? EntryNamesIn(rollbacks) : std::set<std::string>{})
            EXPECT_FALSE(name.starts_with(".")) << "failing write " << at << ": " << name;
        const TCliResult undone = RunCli(undo, home.Path());
        if (undone.ExitCode != 0) {
            EXPECT_NE(undone.Err.find("no restore to undo"), std::string::npos) << at << ": " << undone.Err;
        }
        EXPECT_EQ(FileContentsBelow(work), before) << "failing write " << at;
    }
    EXPECT_TRUE(through);
}

// An undo is interrupted by a failing write before it renames anything:
// the profile stays as the restore left it, and the undo is still offered.
TEST_F(FaultInjectionTest, UndoFailingAtEveryWriteLeavesTheProfileAsBeforeOrAfterIt)
{
    WriteProfile("new");
    ASSERT_EQ(Backup().ExitCode, 0);
    WriteProfile("old");
    const std::string work = profile + "/";
    const std::string rollbacks = home.Path() + "/.local/state/quillbank/rollback";
    const auto before = FileContentsBelow(work);
    ASSERT_EQ(
        RunCli({"restore", "--archive", archive, "--profile-dir", work, "--quiet"}, home.Path()).ExitCode, 0);
    const auto after = FileContentsBelow(work);
    ASSERT_NE(after, before);
    const auto kept = FileContentsBelow(rollbacks);
    ASSERT_EQ(kept.size(), 1u);
    const std::vector<std::string> undo = {"restore", "--undo", "--profile-dir", work, "--quiet"};
    bool through = false;
    for (int at = 1; at < 3000 && !through; ++at) {
        fs::remove_all(rollbacks);
        for (const auto& [name, content] : kept)
            home.WriteFile(".local/state/quillbank/rollback/" + name, content);
        for (const auto& [name, content] : after)
            home.WriteFile(".mozilla/firefox/abcd.work/" + name, content);
        through = RunFailing(undo, "QUILLBANK_FAIL_WRITE_AT", at).ExitCode == 0;
        const auto found = FileContentsBelow(work);
        EXPECT_EQ(found, through ? before : after) << "failing write " << at;
        for (const auto& entry : fs::recursive_directory_iterator(work))
            EXPECT_EQ(entry.path().string().find("qbpart"), std::string::npos) << "failing write " << at;
    }
    EXPECT_TRUE(through);
}

/// Makes a history database in WAL mode in `folder`: "places.sqlite" holding
/// 200 bookmarks and 200 visits, "places.sqlite-wal" 200 more visits and
/// changes to the first ones, and the "places.sqlite-shm" of the two, copied
/// while the database is still open. Each row starts with `tag`.
constexpr const char* MakeDatabaseWithLog = R"(
import os, shutil, sqlite3, sys
folder, tag = sys.argv[1], sys.argv[2]
work = os.path.join(folder, 'making')
os.makedirs(work)
db = sqlite3.connect(os.path.join(work, 'places.sqlite'))
db.execute('PRAGMA journal_mode=WAL')
db.execute('PRAGMA wal_autocheckpoint=0')
rows = lambda what: [(tag + ' ' + what + ' %d ' % i + 'x' * 100,) for i in range(200)]
for table in ('bookmarks', 'visits'):
    db.execute('CREATE TABLE %s(url TEXT)' % table)
    db.executemany('INSERT INTO %s VALUES (?)' % table, rows(table))
db.commit()
db.execute('PRAGMA wal_checkpoint(TRUNCATE)')
db.executemany('INSERT INTO visits VALUES (?)', rows('logged'))
db.execute('UPDATE visits SET url = url || ? WHERE rowid % 3 = 0', (' ' + tag,))
db.commit()
for suffix in ('', '-wal', '-shm'):
    shutil.copyfile(os.path.join(work, 'places.sqlite' + suffix), os.path.join(folder, 'places.sqlite' + suffix))
os._exit(0)
)";

/// Opens each database made so that it is given and prints, a line for each,
/// its integrity check, the tags of its rows and their number.
constexpr const char* CheckDatabases = R"(
import sqlite3, sys
for path in sys.argv[1:]:
    db = sqlite3.connect(path)
    check = db.execute('PRAGMA integrity_check').fetchone()[0]
    urls = [url for table in ('bookmarks', 'visits') for (url,) in db.execute('SELECT url FROM ' + table)]
    print(check, ','.join(sorted({url.split(' ')[0] for url in urls})), len(urls))
    db.close()
)";

// A database and its log are restored as one: whatever read or write
// fails, the target's database opens whole, with all of its old rows or all
// of the backup's, never some of each.
TEST_F(FaultInjectionTest, RestoringADatabaseWithItsLogLeavesItWholeAndOldOrNewAtEveryFailure)
{
    const std::string made = home.MakeDir("new-database");
    ASSERT_EQ(RunPython(MakeDatabaseWithLog, {made, "new"}, home.Path()), "");
    for (const char* name : {"places.sqlite", "places.sqlite-wal"})
        home.WriteFile(".mozilla/firefox/abcd.work/" + std::string(name), ReadFileForTest(made + "/" + name));
    ASSERT_EQ(Backup().ExitCode, 0);
    const std::string target = home.MakeDir("target") + "/";
    ASSERT_EQ(RunPython(MakeDatabaseWithLog, {target, "old"}, home.Path()), "");
    fs::remove_all(target + "making");
    std::map<std::string, std::string> old;
    for (const std::string& name : EntryNamesIn(target))
        old[name] = ReadFileForTest(target + name);
    ASSERT_EQ(old.size(), 3u);
    const std::vector<std::string> restore = {"restore",       "--archive",    archive,
                                              "--profile-dir", target,         "--quiet",
                                              "--no-unknown",  "--components", "history"};

    // What each run left is copied aside and all of it opened at the end:
    // one Python for hundreds of runs.
    for (const char* variable : {"QUILLBANK_FAIL_READ_AT", "QUILLBANK_FAIL_WRITE_AT"}) {
        std::vector<std::string> leftDatabases;
        bool through = false;
        for (int at = 1; at < 3000 && !through; ++at) {
            for (const auto& [name, content] : old)
                home.WriteFile("target/" + name, content);
            through = RunFailing(restore, variable, at).ExitCode == 0;
            const std::string left = home.MakeDir(std::string("left/") + variable + "-" + std::to_string(at));
            for (const std::string& name : EntryNamesIn(target)) {
                EXPECT_EQ(name.find("qbpart"), std::string::npos) << variable << "=" << at;
                fs::copy_file(target + name, left + "/" + name);
            }
            leftDatabases.push_back(left + "/places.sqlite");
        }
        ASSERT_TRUE(through) << variable;
        std::istringstream found(RunPython(CheckDatabases, leftDatabases, home.Path()));
        std::string line;
        for (std::size_t run = 0; run < leftDatabases.size(); ++run) {
            std::getline(found, line);
            // The run that got through left the backup's database.
            const bool last = run + 1 == leftDatabases.size();
            EXPECT_TRUE(line == "ok new 600" || (!last && line == "ok old 600"))
                << variable << "=" << run + 1 << ": " << line;
        }
    }
}

TEST_F(FaultInjectionTest, KilledBackupKeepsThePreviousArchiveAndTheNextRunCleansUp)
{
    ASSERT_EQ(Backup().ExitCode, 0);
    const std::string previous = ReadFileForTest(archive);
    home.WriteFile(".mozilla/firefox/abcd.work/places.sqlite", NoiseBytes(60u << 20, 2));
    const std::string log = home.Path() + "/cli.log";
    TAppProcess backup({std::string(QUILLBANK_BINARY_DIR) + "/bin/quillbank-cli", "backup", "--app",
                        "firefox", "--profile", "work", "--output", archive, "--quiet"},
                       log);
    // Killed once it is writing the new archive (a run that did not start never writes).
    const bool writing = WaitUntil([&] { return BackupFolder().size() > 1; }, std::chrono::seconds(60));
    backup.Kill();
    ASSERT_TRUE(writing) << ReadFileForTest(log);
    EXPECT_EQ(ReadFileForTest(archive), previous);

    home.WriteFile(".mozilla/firefox/abcd.work/places.sqlite", "small again");
    ASSERT_EQ(Backup().ExitCode, 0);
    EXPECT_EQ(BackupFolder(), std::set<std::string>{"backup.qkz"});
}

} // namespace

namespace {

// Profiles that fight back: files that cannot be read or vanish, links that
// loop or lead nowhere, paths longer than the system takes, odd names.
class FightingProfileTest : public FaultInjectionTest
{
protected:
    std::vector<std::string> backup = {"backup", "--app",    "firefox", "--profile",
                                       "work",   "--output", archive,   "--quiet"};

    TCliResult RunWith(const std::string& variable, const std::string& value)
    {
        home.SetEnv(variable, value);
        const TCliResult result = RunFailing(backup, "QUILLBANK_FAIL_WRITE_AT", 0);
        home.SetEnv(variable, std::nullopt);
        return result;
    }
};

TEST_F(FightingProfileTest, BackupWithReadsFailingAtEveryNIsCompleteIncompleteOrFailed)
{
    ASSERT_EQ(Backup().ExitCode, 0);
    const std::string previous = ReadFileForTest(archive);
    bool complete = false;
    for (int at = 1; at < 3000 && !complete; ++at) {
        const TCliResult run = RunFailing(backup, "QUILLBANK_FAIL_READ_AT", at);
        EXPECT_EQ(BackupFolder(), std::set<std::string>{"backup.qkz"}) << "failing read " << at;
        if (run.ExitCode == 1) {
            EXPECT_EQ(ReadFileForTest(archive), previous) << "failing read " << at;
            continue;
        }
        ASSERT_TRUE(run.ExitCode == 0 || run.ExitCode == 5) << "failing read " << at << ": " << run.Err;
        EXPECT_EQ(RunCli({"verify", archive}, home.Path()).ExitCode, 0) << "failing read " << at;
        complete = run.ExitCode == 0;
        if (run.ExitCode == 5) {
            EXPECT_NE(run.Err.find(": incomplete, not backed up: " + profile), std::string::npos) << run.Err;
        }
    }
    EXPECT_TRUE(complete);
}

TEST_F(FightingProfileTest, AFileThatVanishesBeforeItIsReadMakesTheBackupIncomplete)
{
    const TCliResult run = RunWith("QUILLBANK_VANISH_OPEN", "notes.txt");
    EXPECT_EQ(run.ExitCode, 5) << run.Err;
    EXPECT_NE(run.Err.find("incomplete, not backed up: " + profile + "/notes.txt"), std::string::npos)
        << run.Err;
    const TCliResult inspect = RunCli({"inspect", archive, "--json"}, home.Path());
    EXPECT_EQ(inspect.ExitCode, 0);
    // The header, prefs.js, places.sqlite and cookies.sqlite.
    EXPECT_NE(inspect.Out.find("\"entries\":4,"), std::string::npos) << inspect.Out;
}

TEST_F(FightingProfileTest, TheAccountNamesWhatAFaultLeftOutAndCountsUnreadableFilesNotChosen)
{
    backup.push_back("--json");
    const TCliResult vanished = RunWith("QUILLBANK_VANISH_OPEN", "notes.txt");
    EXPECT_EQ(vanished.ExitCode, 5) << vanished.Err;
    EXPECT_EQ(JsonQuery(vanished.Out,
                        "[(f['path'], f['reason'] != '') for f in d['account']['leftOutByFault']]",
                        home.Path()),
              "[('" + profile + "/notes.txt', True)]");

    // Cookies are not chosen: that they cannot be read stops nothing.
    backup.insert(backup.end(), {"--components", "history"});
    const TCliResult denied = RunWith("QUILLBANK_DENY_OPEN", "cookies.sqlite");
    EXPECT_EQ(denied.ExitCode, 0) << denied.Err;
    EXPECT_EQ(JsonQuery(denied.Out,
                        "(d['account']['entries']['files'], sum(r['files'] for r in "
                        "d['account']['leftOutByRule'].values()))",
                        home.Path()),
              "(2, 2)");
}

// A file the user may not read stops the backup before anything is written,
// naming the file: the previous backup stays.
TEST_F(FightingProfileTest, AnUnreadableFileIsNamedAndThePreviousBackupKept)
{
    ASSERT_EQ(Backup().ExitCode, 0);
    const std::string previous = ReadFileForTest(archive);
    const TCliResult run = RunWith("QUILLBANK_DENY_OPEN", "cookies.sqlite");
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_NE(run.Err.find(profile + "/cookies.sqlite\": Permission denied"), std::string::npos) << run.Err;
    EXPECT_EQ(ReadFileForTest(archive), previous);
    EXPECT_EQ(BackupFolder(), std::set<std::string>{"backup.qkz"});

    // A dry run stops where the backup would.
    backup.push_back("--dry-run");
    const TCliResult trial = RunWith("QUILLBANK_DENY_OPEN", "cookies.sqlite");
    EXPECT_EQ(trial.ExitCode, 1);
    EXPECT_NE(trial.Err.find(archive + ": no backup can be made"), std::string::npos) << trial.Err;
}

TEST_F(FightingProfileTest, LinkLoopsDanglingLinksAndOverlongPathsEndTheListing)
{
    fs::create_symlink("loop1", profile + "/loop2");
    fs::create_symlink("loop2", profile + "/loop1");
    fs::create_symlink("/nonexistent/target", profile + "/dangling");
    home.MakeDir(".mozilla/firefox/abcd.work/sub");
    fs::create_directory_symlink("..", profile + "/sub/up");
    // Deeper than PATH_MAX, made level by level from inside.
    int fd = open(profile.c_str(), O_RDONLY | O_DIRECTORY);
    const std::string level(200, 'd');
    for (int depth = 0; depth < 25 && fd >= 0; ++depth) {
        mkdirat(fd, level.c_str(), 0700);
        const int next = openat(fd, level.c_str(), O_RDONLY | O_DIRECTORY);
        close(fd);
        fd = next;
    }
    ASSERT_GE(fd, 0);
    const int file = openat(fd, "deep.txt", O_WRONLY | O_CREAT, 0600);
    close(file);
    close(fd);

    const TCliResult run = RunCli(backup, home.Path());
    EXPECT_TRUE(run.ExitCode == 0 || run.ExitCode == 5) << run.Err;
    EXPECT_EQ(RunCli({"verify", archive}, home.Path()).ExitCode, 0);
    const TCliResult inspect = RunCli({"inspect", archive, "--json"}, home.Path());
    for (const char* name : {"loop1", "loop2", "dangling"})
        EXPECT_EQ(inspect.Out.find(std::string("\"") + name + "\""), std::string::npos) << name;
}

// A name the archive library cannot hold (not valid UTF-8, or with control
// characters) is either stored or reported as left out (shown escaped), so
// the run ends incomplete: never a success without the file.
TEST_F(FightingProfileTest, NamesWithInvalidUtf8OrControlCharactersAreBackedUpOrReported)
{
    home.WriteFile(".mozilla/firefox/abcd.work/bad\xff\xfename.txt", "x");
    home.WriteFile(".mozilla/firefox/abcd.work/ctl\x01name.txt", "y");
    const TCliResult run = RunCli(backup, home.Path());
    const TCliResult inspect = RunCli({"inspect", archive, "--json"}, home.Path());
    // The header and the profile's four files, and the two odd ones.
    const bool stored = inspect.Out.find("\"entries\":7,") != std::string::npos;
    EXPECT_TRUE(stored || (run.ExitCode == 5 && run.Err.find("bad\\xff\\xfename.txt") != std::string::npos))
        << run.Err;
}

} // namespace

// Older backups go only after a complete new one: neither a failed nor an
// incomplete backup removes any, whatever the policy.
TEST_F(FightingProfileTest, AFailedOrIncompleteBackupRemovesNoOlderBackup)
{
    home.SetEnv("TZ", "UTC");
    for (const char* day : {"01", "02"}) {
        home.SetEnv("QUILLBANK_NOW", std::string("2026-03-") + day + "T09:00:00Z");
        ASSERT_EQ(RunCli({"backup", "--app", "firefox", "--profile", "work", "--output",
                          backups + "/old-" + day + ".qkz", "--quiet"},
                         home.Path())
                      .ExitCode,
                  0);
    }
    home.SetEnv("QUILLBANK_NOW", "2026-03-03T09:00:00Z");
    backup.insert(backup.end(), {"--keep-last", "1"});
    const std::set<std::string> older = {"old-01.qkz", "old-02.qkz"};

    EXPECT_EQ(RunWith("QUILLBANK_DENY_OPEN", "cookies.sqlite").ExitCode, 1);
    EXPECT_EQ(BackupFolder(), older);

    const TCliResult incomplete = RunWith("QUILLBANK_VANISH_OPEN", "notes.txt");
    EXPECT_EQ(incomplete.ExitCode, 5);
    EXPECT_NE(incomplete.Err.find(archive + ": incomplete, so no older backup is removed"), std::string::npos)
        << incomplete.Err;
    EXPECT_EQ(BackupFolder(), (std::set<std::string>{"backup.qkz", "old-01.qkz", "old-02.qkz"}));

    // The same backup, complete, keeps itself alone.
    EXPECT_EQ(Backup({"--keep-last", "1"}).ExitCode, 0);
    EXPECT_EQ(BackupFolder(), std::set<std::string>{"backup.qkz"});
}
