// The README's recipes for scheduled backups and the shipped systemd user
// units, run exactly as written on a profile that the real firefox-esr made:
// the shell command and the crontab line through sh in the home, as cron runs
// them; the options file as the README writes it; the service's ExecStart
// with its specifiers expanded and its words split as systemd does, in its
// WorkingDirectory. quillbank-cli is found on PATH, as installed.

#include "apps/RunningCheck.h"
#include "tests/cli/CliRun.h"
#include "tests/support/FakeHome.h"
#include "tests/support/RealApps.h"

#include <filesystem>
#include <regex>
#include <sstream>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::FirefoxInstallDir;
using quillbank::testing::InstalledVersion;
using quillbank::testing::JsonQuery;
using quillbank::testing::ReadFileForTest;
using quillbank::testing::RunCli;
using quillbank::testing::TAppProcess;
using quillbank::testing::TCliResult;
using quillbank::testing::TRealAppsTest;
using Lines = std::vector<std::string>;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

Lines SplitLines(const std::string& text)
{
    Lines lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

/// The fenced code block of the README that holds `needle`, without its fences.
std::string ReadmeBlockHolding(const std::string& needle)
{
    const Lines lines = SplitLines(ReadFileForTest(QUILLBANK_SOURCE_DIR "/README.md"));
    std::string block;
    bool inside = false;
    for (const std::string& line : lines) {
        if (line.starts_with("```")) {
            if (inside && block.find(needle) != std::string::npos)
                return block;
            inside = !inside;
            block.clear();
        } else if (inside) {
            block += line + "\n";
        }
    }
    ADD_FAILURE() << "no code block of README.md holds " << needle;
    return "";
}

/// The value of the one line "KEY=VALUE" of a unit file.
std::string UnitSetting(const std::string& unitFile, const std::string& key)
{
    std::string value;
    int found = 0;
    for (const std::string& line : SplitLines(ReadFileForTest(unitFile)))
        if (line.starts_with(key + "=")) {
            value = line.substr(key.size() + 1);
            ++found;
        }
    EXPECT_EQ(found, 1) << key << " in " << unitFile;
    return value;
}

/// A unit file's value with the specifiers expanded as the user manager
/// expands them: %h the home, %i the instance, %E the configuration folder.
/// Any other specifier fails the test: this one does not know it.
std::string ExpandSpecifiers(const std::string& value, const std::string& home, const std::string& instance)
{
    std::string expanded;
    for (std::size_t at = 0; at < value.size(); ++at) {
        if (value[at] != '%' || at + 1 == value.size()) {
            expanded += value[at];
            continue;
        }
        switch (value[++at]) {
        case 'h':
            expanded += home;
            break;
        case 'i':
            expanded += instance;
            break;
        case 'E':
            expanded += home + "/.config";
            break;
        case '%':
            expanded += '%';
            break;
        default:
            ADD_FAILURE() << "a specifier this test does not expand: %" << value[at] << " in " << value;
        }
    }
    return expanded;
}

/// ExecStart's words, split at blanks; quotes and escapes, which this test
/// does not handle as systemd does, fail it.
Lines CommandWords(const std::string& command)
{
    EXPECT_EQ(command.find_first_of("\"'\\$;"), std::string::npos) << command;
    Lines words;
    std::istringstream in(command);
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

class ScheduledBackupsTest : public TRealAppsTest
{
protected:
    std::string unitDir = QUILLBANK_SOURCE_DIR "/packaging/systemd";
    int runs = 0;

    void SetUp() override
    {
        TRealAppsTest::SetUp();
        if (InstalledVersion(FirefoxInstallDir).empty())
            GTEST_SKIP() << "firefox-esr is not installed (scripts/install-deps.sh installs it)";
        if (IsAppRunning(FirefoxAppType))
            GTEST_SKIP() << "a Firefox is running on this machine";
        // The tool as installed: found on PATH.
        const char* path = std::getenv("PATH");
        home.SetEnv("PATH",
                    QUILLBANK_BINARY_DIR "/bin:" + std::string(path != nullptr ? path : "/usr/bin:/bin"));
    }

    /// Runs `arguments` in `folder` to its end; its exit code, its output in `output`.
    int RunIn(const std::string& folder, Lines arguments, std::string& output)
    {
        arguments.insert(arguments.begin(), {"env", "-C", folder});
        const std::string log = home.Path() + "/run" + std::to_string(++runs) + ".log";
        const int code = TAppProcess(arguments, log).WaitForExit(120s);
        output = ReadFileForTest(log);
        return code;
    }

    /// The backups in ~/Backups, by name.
    Lines Backups() const
    {
        Lines names;
        for (const auto& entry : fs::directory_iterator(home.Path() + "/Backups"))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    /// Expects `name` in ~/Backups to be a backup of the Firefox profile default-esr.
    void ExpectBackupOfTheProfile(const std::string& name)
    {
        const TCliResult inspect =
            RunCli({"inspect", home.Path() + "/Backups/" + name, "--json"}, home.Path());
        ASSERT_EQ(inspect.ExitCode, 0) << name << ": " << inspect.Err;
        EXPECT_EQ(
            JsonQuery(inspect.Out, "(d['application']['name'], 'bookmarks' in d['components'])", home.Path()),
            "('firefox', True)");
    }
};

} // namespace

TEST_F(ScheduledBackupsTest, TheReadmesCommandCronLineAndTheUnitsMakeBackupsInAFreshHome)
{
    RunToEnd({"firefox-esr", "-headless", "-CreateProfile", "default-esr"});
    const std::string page = home.WriteFile("page.html", "<title>page</title>text");
    RunToEnd({"firefox-esr", "-headless", "-P", "default-esr", "--screenshot", home.Path() + "/shot.png",
              "file://" + page});
    ASSERT_FALSE(fs::exists(home.Path() + "/Backups"));
    const std::regex timed(R"(Firefox-default-esr-\d{8}-\d{4}\.qkz)");
    std::string output;

    // The command, with its password file; ~/Backups does not exist yet.
    home.WriteFile(".config/Quillbank/password", "a long passphrase\n");
    fs::permissions(home.Path() + "/.config/Quillbank/password",
                    fs::perms::owner_read | fs::perms::owner_write);
    const std::string command = ReadmeBlockHolding("--password-file");
    EXPECT_EQ(RunIn(home.Path(), {"/bin/sh", "-c", command}, output), 0) << command << output;
    EXPECT_EQ(output, "");
    EXPECT_EQ(fs::status(home.Path() + "/Backups").permissions(), fs::perms::owner_all);
    ASSERT_EQ(Backups().size(), 1u);
    EXPECT_TRUE(
        std::regex_match(Backups().front(), std::regex(R"(Firefox-default-esr-\d{4}-\d\d-\d\d-\d{4}\.qkz)")))
        << Backups().front();
    fs::remove_all(home.Path() + "/Backups");

    // The crontab line: its first five fields are the schedule, the rest is
    // given to sh; a "%" in it would have to be written "\%".
    const std::string cronBlock = ReadmeBlockHolding("30 2 * * * ");
    ASSERT_EQ(SplitLines(cronBlock).size(), 1u) << cronBlock;
    const std::string cronLine = SplitLines(cronBlock).front();
    EXPECT_EQ(cronLine.find('%'), std::string::npos) << cronLine;
    const std::string cronCommand = cronLine.substr(std::string("30 2 * * * ").size());
    EXPECT_EQ(RunIn(home.Path(), {"/bin/sh", "-c", cronCommand}, output), 0) << cronCommand << output;
    EXPECT_EQ(output, "");
    ASSERT_EQ(Backups().size(), 1u);
    EXPECT_TRUE(std::regex_match(Backups().front(), timed)) << Backups().front();
    ExpectBackupOfTheProfile(Backups().front());
    fs::remove_all(home.Path() + "/Backups");

    // The units: the README writes the options file (its systemctl line needs
    // a user manager, which tests do not have), the timer starts the service
    // of its instance, and the service runs its ExecStart in its folder.
    std::string script;
    for (const std::string& line : SplitLines(ReadmeBlockHolding("quillbank-backup@default-esr.timer")))
        if (!line.starts_with("systemctl "))
            script += line + "\n";
    EXPECT_EQ(RunIn(home.Path(), {"/bin/sh", "-c", script}, output), 0) << script << output;
    ASSERT_TRUE(fs::is_regular_file(home.Path() + "/.config/Quillbank/backup-default-esr.conf"));

    const std::string service = unitDir + "/quillbank-backup@.service";
    EXPECT_EQ(UnitSetting(unitDir + "/quillbank-backup@.timer", "WantedBy"), "timers.target");
    EXPECT_EQ(UnitSetting(service, "Type"), "oneshot");
    const std::string folder = UnitSetting(service, "WorkingDirectory");
    ASSERT_EQ(folder, "~"); // the home of the user
    const Lines words =
        CommandWords(ExpandSpecifiers(UnitSetting(service, "ExecStart"), home.Path(), "default-esr"));
    EXPECT_EQ(RunIn(home.Path(), words, output), 0) << output;
    EXPECT_EQ(output, "");
    ASSERT_EQ(Backups().size(), 1u);
    EXPECT_TRUE(std::regex_match(Backups().front(), timed)) << Backups().front();
    ExpectBackupOfTheProfile(Backups().front());

    // An instance without its options file fails, naming the file.
    const Lines other =
        CommandWords(ExpandSpecifiers(UnitSetting(service, "ExecStart"), home.Path(), "other"));
    EXPECT_EQ(RunIn(home.Path(), other, output), 1);
    EXPECT_NE(output.find(home.Path() + "/.config/Quillbank/backup-other.conf: cannot read the options file"),
              std::string::npos)
        << output;
}
