// Retention through the built quillbank-cli: backups made on simulated days
// (QUILLBANK_NOW, in UTC) into one folder, then pruned by `backup --keep-*`
// and by `prune`; backups of another profile and files that are no backups
// stay whatever the policy says.

#include "engine/PendingArchive.h"
#include "tests/cli/CliRun.h"
#include "tests/support/FakeHome.h"

#include <filesystem>
#include <set>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::JsonQuery;
using quillbank::testing::RunCli;
using quillbank::testing::TCliResult;
using quillbank::testing::TFakeHome;
namespace fs = std::filesystem;

namespace {

class CliRetentionTest : public ::testing::Test
{
protected:
    TFakeHome home;
    std::string backups = home.MakeDir("backups");

    CliRetentionTest()
    {
        home.WriteFile(".mozilla/firefox/profiles.ini",
                       "[Profile0]\nName=work\nIsRelative=1\nPath=abcd.work\n\n"
                       "[Profile1]\nName=play\nIsRelative=1\nPath=efgh.play\n");
        home.WriteFile(".mozilla/firefox/abcd.work/prefs.js", "user_pref(\"a\", 1);\n");
        home.WriteFile(".mozilla/firefox/efgh.play/prefs.js", "user_pref(\"b\", 2);\n");
        // Days are those of the local time zone.
        home.SetEnv("TZ", "UTC");
        // Not a backup, though named like one.
        home.WriteFile("backups/notes.qkz", "just notes");
    }

    /// Backs `profile` up on `when` into the backups folder as `name`.
    TCliResult BackupOn(const std::string& when, const std::string& name,
                        const std::vector<std::string>& extra = {}, const std::string& profile = "work")
    {
        home.SetEnv("QUILLBANK_NOW", when);
        std::vector<std::string> arguments = {
            "backup", "--app", "firefox", "--profile", profile, "--output", backups + "/" + name, "--force"};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        const TCliResult result = RunCli(arguments, home.Path());
        home.SetEnv("QUILLBANK_NOW", std::nullopt);
        return result;
    }

    std::set<std::string> Folder() const
    {
        std::set<std::string> names;
        for (const fs::directory_entry& entry : fs::directory_iterator(backups))
            names.insert(entry.path().filename().string());
        return names;
    }

    /// Backups of the work profile on four days, two on the first, and one
    /// of the play profile.
    void MakeHistory()
    {
        for (const auto& [when, name] :
             std::vector<std::pair<std::string, std::string>>{{"2026-02-27T09:00:00Z", "w-0227a.qkz"},
                                                              {"2026-02-27T21:00:00Z", "w-0227b.qkz"},
                                                              {"2026-03-01T09:00:00Z", "w-0301.qkz"},
                                                              {"2026-03-02T09:00:00Z", "w-0302.qkz"}})
            ASSERT_EQ(BackupOn(when, name).ExitCode, 0);
        ASSERT_EQ(BackupOn("2026-02-01T09:00:00Z", "p-0201.qkz", {}, "play").ExitCode, 0);
    }
};

} // namespace

TEST_F(CliRetentionTest, ABackupKeepsTheNewestOfEachDayAndNamesEachRemoval)
{
    MakeHistory();
    // A newer backup that a killed run left under its hidden name is no backup yet.
    ASSERT_EQ(BackupOn("2026-03-04T09:00:00Z", "w-0304.qkz").ExitCode, 0);
    const std::string pending = PendingArchivePath(backups + "/w-0304.qkz");
    fs::rename(backups + "/w-0304.qkz", pending);
    const TCliResult run = BackupOn("2026-03-03T09:00:00Z", "w-0303.qkz", {"--keep-daily", "3"});
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_EQ(Folder(), (std::set<std::string>{"notes.qkz", "p-0201.qkz", "w-0301.qkz", "w-0302.qkz",
                                               "w-0303.qkz", fs::path(pending).filename().string()}));
    EXPECT_NE(run.Err.find("quillbank-cli backup: removed " + backups +
                           "/w-0227b.qkz (made 2026-02-27T21:00:00Z)\n"),
              std::string::npos)
        << run.Err;
    EXPECT_NE(run.Err.find("quillbank-cli backup: removed " + backups + "/w-0227a.qkz"), std::string::npos);

    // Of the day with two backups the newest counts for that day.
    ASSERT_EQ(BackupOn("2026-03-03T10:00:00Z", "w-0303b.qkz", {"--keep-daily", "4"}).ExitCode, 0);
    EXPECT_EQ(Folder(), (std::set<std::string>{"notes.qkz", "p-0201.qkz", "w-0301.qkz", "w-0302.qkz",
                                               "w-0303b.qkz", fs::path(pending).filename().string()}));
}

TEST_F(CliRetentionTest, TheNewBackupIsNeverRemovedEvenWhenOthersLookNewer)
{
    MakeHistory();
    // A clock set back: by its date the new backup is the oldest.
    const TCliResult run = BackupOn("2026-01-01T09:00:00Z", "w-0101.qkz", {"--keep-last", "1", "--quiet"});
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_EQ(run.Err, "");
    EXPECT_EQ(Folder(), (std::set<std::string>{"notes.qkz", "p-0201.qkz", "w-0101.qkz", "w-0302.qkz"}));
}

TEST_F(CliRetentionTest, PruneAppliesWeeklyAndMonthlyRulesAfterADryRun)
{
    MakeHistory();
    ASSERT_EQ(BackupOn("2026-03-09T09:00:00Z", "w-0309.qkz").ExitCode, 0);
    const std::vector<std::string> prune = {"prune", "--app",          "firefox", "--profile",
                                            "work",  "--folder",       backups,   "--keep-weekly",
                                            "2",     "--keep-monthly", "2"};
    std::vector<std::string> dryRun = prune;
    dryRun.push_back("--dry-run");
    dryRun.push_back("-v");
    const auto before = Folder();
    const TCliResult trial = RunCli(dryRun, home.Path());
    ASSERT_EQ(trial.ExitCode, 0) << trial.Err;
    EXPECT_EQ(Folder(), before);
    // Weeks: 9 March (week 11) and 2 March (week 10, the newest of 1 and 2
    // March being in different weeks: 1 March is a Sunday of week 9).
    // Months: March's newest (9 March) and February's (27 February, 21:00).
    EXPECT_EQ(trial.Out, "kept " + backups + "/w-0309.qkz (made 2026-03-09T09:00:00Z)\n" + "kept " + backups +
                             "/w-0302.qkz (made 2026-03-02T09:00:00Z)\n" + "would remove " + backups +
                             "/w-0301.qkz (made 2026-03-01T09:00:00Z)\n" + "kept " + backups +
                             "/w-0227b.qkz (made 2026-02-27T21:00:00Z)\n" + "would remove " + backups +
                             "/w-0227a.qkz (made 2026-02-27T09:00:00Z)\n");

    std::vector<std::string> json = prune;
    json.push_back("--json");
    const TCliResult run = RunCli(json, home.Path());
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_EQ(Folder(),
              (std::set<std::string>{"notes.qkz", "p-0201.qkz", "w-0227b.qkz", "w-0302.qkz", "w-0309.qkz"}));
    EXPECT_EQ(
        JsonQuery(run.Out,
                  "[(b['archive'].split('/')[-1], b['made'], b['kept'], b['removed']) for b in d['backups']]",
                  home.Path()),
        "[('w-0309.qkz', '2026-03-09T09:00:00Z', True, False), ('w-0302.qkz', '2026-03-02T09:00:00Z', True, "
        "False), ('w-0301.qkz', '2026-03-01T09:00:00Z', False, True), ('w-0227b.qkz', "
        "'2026-02-27T21:00:00Z', "
        "True, False), ('w-0227a.qkz', '2026-02-27T09:00:00Z', False, True)]");
    EXPECT_EQ(JsonQuery(run.Out, "(d['application'], d['dryRun'], d['outcome'])", home.Path()),
              "('Firefox', False, 'done')");

    // Without a rule prune would remove everything: that is bad usage.
    const TCliResult noRule =
        RunCli({"prune", "--app", "firefox", "--profile", "work", "--folder", backups, "--keep-last", "0"},
               home.Path());
    EXPECT_EQ(noRule.ExitCode, 2);
}

TEST_F(CliRetentionTest, ProtectedBackupsArePrunedOnlyWithTheirPassword)
{
    home.WriteFile("password.txt", "secret\n");
    const std::vector<std::string> protect = {"--password-file", home.Path() + "/password.txt"};
    ASSERT_EQ(BackupOn("2026-03-01T09:00:00Z", "w-0301.qkz", protect).ExitCode, 0);
    ASSERT_EQ(BackupOn("2026-03-02T09:00:00Z", "w-0302.qkz", protect).ExitCode, 0);
    std::vector<std::string> prune = {"prune",    "--app", "firefox",     "--profile", "work",
                                      "--folder", backups, "--keep-last", "1"};
    ASSERT_EQ(RunCli(prune, home.Path()).ExitCode, 0);
    EXPECT_EQ(Folder().size(), 3u);
    prune.insert(prune.end(), protect.begin(), protect.end());
    ASSERT_EQ(RunCli(prune, home.Path()).ExitCode, 0);
    EXPECT_EQ(Folder(), (std::set<std::string>{"notes.qkz", "w-0302.qkz"}));
}
