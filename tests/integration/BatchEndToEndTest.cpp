// The built programs as a user runs them: a portable copy of quillbank and
// quillbank-cli in a fake home, an unattended backup of a profile that the
// real firefox-esr made and filled, restored by the command-line tool into
// another profile. Also a task file with errors, and the wizard started with
// more than one argument. Every program started here is ended and reaped
// before its test finishes.

#include "tests/support/FakeHome.h"
#include "tests/support/RealApps.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <sstream>

#include <gtest/gtest.h>

using quillbank::testing::ErrorLogMessages;
using quillbank::testing::FirefoxInstallDir;
using quillbank::testing::InstalledVersion;
using quillbank::testing::ReadFileForTest;
using quillbank::testing::TAppProcess;
using quillbank::testing::TRealAppsTest;
using quillbank::testing::WaitUntil;
using Lines = std::vector<std::string>;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

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

/// This year in local time, as file names take it.
std::string ThisYear()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return std::to_string(local.tm_year + 1900);
}

class BatchEndToEndTest : public TRealAppsTest
{
protected:
    std::string programDir = MakePortableCopy();
    int runs = 0;

    void SetUp() override
    {
        // The unattended backup has to do without a display.
        TRealAppsTest::SetUp();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            home.SetEnv(name, std::nullopt);
    }

    /// Both programs and their working files, copied from the build's bin
    /// folder (where this test program lies too) into a folder of the home.
    std::string MakePortableCopy()
    {
        const fs::path bin = fs::read_symlink("/proc/self/exe").parent_path();
        const std::string folder = home.MakeDir("portable");
        for (const char* name :
             {"quillbank", "quillbank-cli", "Default.lng", "Backup.ini", "Profilefiles.txt"})
            fs::copy_file(bin / name, fs::path(folder) / name);
        return folder;
    }

    /// Writes the task file "task.ini" into the portable folder, beside the settings.
    void WriteTask(const Lines& lines) const
    {
        std::string text;
        for (const std::string& line : lines)
            text += line + "\r\n";
        home.WriteFile("portable/task.ini", text);
    }

    std::string ErrorLog() const
    {
        return ErrorLogMessages(home.Path() + "/.local/state/quillbank/error.log");
    }

    /// Runs a program to its end; its exit code, and its output in `output`.
    int Run(const std::vector<std::string>& arguments, std::string& output)
    {
        const std::string log = home.Path() + "/run" + std::to_string(++runs) + ".log";
        const int code = TAppProcess(arguments, log).WaitForExit(30s);
        output = ReadFileForTest(log);
        return code;
    }

    /// Runs Firefox to its end, and expects it to succeed.
    void RunFirefox(const std::vector<std::string>& arguments)
    {
        std::vector<std::string> command = {"firefox-esr", "-headless"};
        command.insert(command.end(), arguments.begin(), arguments.end());
        std::string output;
        EXPECT_EQ(Run(command, output), 0) << "firefox-esr failed:\n" << output;
    }

    /// The folder Firefox made for a profile: the one whose name ends in ".NAME".
    std::string FirefoxProfile(const std::string& name)
    {
        const std::string root = home.Path() + "/.config/mozilla/firefox";
        for (const auto& entry : fs::directory_iterator(root))
            if (entry.is_directory() && entry.path().filename().string().ends_with("." + name))
                return entry.path().string();
        ADD_FAILURE() << "no folder for profile " << name << " in " << root;
        return home.Path() + "/missing";
    }
};

} // namespace

TEST_F(BatchEndToEndTest, TaskFileBacksUpAFirefoxProfileThatTheToolRestoresIntoAnother)
{
    if (InstalledVersion(FirefoxInstallDir).empty())
        GTEST_SKIP() << "firefox-esr is not installed (scripts/install-deps.sh installs it)";
    RunFirefox({"-CreateProfile", "Daily"});
    RunFirefox({"-CreateProfile", "Spare"});
    const std::string page = home.WriteFile("page.html", "<title>page</title>text");
    RunFirefox({"-P", "Daily", "--screenshot", home.Path() + "/shot.png", "file://" + page});
    const std::string daily = FirefoxProfile("Daily");
    const std::string spare = FirefoxProfile("Spare");
    ASSERT_TRUE(fs::exists(daily + "/prefs.js") && fs::exists(daily + "/places.sqlite")) << daily;
    ASSERT_FALSE(fs::exists(spare + "/prefs.js")) << spare;

    // The task file lies beside the settings, here the portable folder; the
    // program is started from elsewhere and names it by its bare name.
    WriteTask({"[General]", "action=Backup", "application=FireFox", "profile=dail",
               "output=" + home.Path() + "/Backups/<profile>-<year>.qkz", "password=a long passphrase"});
    const std::string archive = home.Path() + "/Backups/Daily-" + ThisYear() + ".qkz";
    std::string output;
    EXPECT_EQ(Run({programDir + "/quillbank", "task.ini"}, output), 0) << output;
    ASSERT_TRUE(fs::is_regular_file(archive)) << output;
    EXPECT_EQ(fs::status(archive).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(ErrorLog(), "");

    home.WriteFile("password", "a long passphrase\n");
    // A Firefox of this machine outside the fake home does not touch its profiles.
    EXPECT_EQ(Run({programDir + "/quillbank-cli", "restore", "--archive", archive, "--profile-dir", spare,
                   "--password-file", home.Path() + "/password", "--force"},
                  output),
              0)
        << output;
    EXPECT_EQ(ReadFileForTest(spare + "/places.sqlite"), ReadFileForTest(daily + "/places.sqlite"));
    // The restore rewrites prefs.js, but every preference Firefox wrote comes back.
    const Lines restored = NonEmptyLines(ReadFileForTest(spare + "/prefs.js"));
    ASSERT_FALSE(restored.empty());
    EXPECT_EQ(restored.front(), "// Mozilla User Preferences");
    int preferences = 0;
    for (const std::string& line : NonEmptyLines(ReadFileForTest(daily + "/prefs.js"))) {
        if (!line.starts_with("user_pref("))
            continue;
        ++preferences;
        EXPECT_NE(std::find(restored.begin(), restored.end(), line), restored.end()) << line;
    }
    EXPECT_GT(preferences, 5);
}

TEST_F(BatchEndToEndTest, BadTaskFileEndsWithoutABackupAndLogsItsProblems)
{
    WriteTask({"[General]", "action=restore", "application=opera", "profile=default",
               "output=" + home.Path() + "/Backups/<profile>.qkz", "password=secret"});
    std::string output;
    EXPECT_EQ(Run({programDir + "/quillbank", "task.ini"}, output), 1) << output;
    EXPECT_FALSE(fs::exists(home.Path() + "/Backups"));
    EXPECT_EQ(ErrorLog(), "Bad action defined in config file.\nBad application defined in config file.\n");
}

TEST_F(BatchEndToEndTest, TwoArgumentsStartTheWizard)
{
    // The wizard needs a display of some kind.
    home.SetEnv("QT_QPA_PLATFORM", "offscreen");
    // Were the file read as a task, its errors would be in the log.
    WriteTask({"[General]", "action=restore", "application=opera"});
    TAppProcess wizard({programDir + "/quillbank", "task.ini", "more"}, LogFile());
    EXPECT_FALSE(WaitUntil([&wizard] { return wizard.Ended(); }, 1s)) << ReadFileForTest(LogFile());
    wizard.Kill();
    EXPECT_EQ(ErrorLog(), "");
}

TEST_F(BatchEndToEndTest, OptionsArePrintedOrRefusedAndNeverReadAsTaskFiles)
{
    // Files of these names would be read as tasks, and their errors logged.
    for (const char* name : {"--help", "--version", "--bogus"})
        home.WriteFile(std::string("portable/") + name, "[General]\naction=restore\n");
    std::string output;
    EXPECT_EQ(Run({programDir + "/quillbank", "--version"}, output), 0) << output;
    EXPECT_EQ(output, "quillbank 1.4.9\n");
    EXPECT_EQ(Run({programDir + "/quillbank", "--help"}, output), 0) << output;
    EXPECT_TRUE(output.starts_with("Usage: quillbank [TASK-FILE]\n")) << output;
    EXPECT_EQ(Run({programDir + "/quillbank", "--bogus"}, output), 2) << output;
    EXPECT_TRUE(output.starts_with("quillbank: unknown option --bogus\n")) << output;
    EXPECT_EQ(ErrorLog(), "");
}
