// The built quillbank-cli on a pseudo-terminal, as a person at a terminal
// runs it: Ctrl-C at the password prompt leaves the terminal echoing, and a
// dumb terminal gets no escape sequences.

#include "tests/cli/CliRun.h"
#include "tests/support/FakeHome.h"
#include "tests/support/RealApps.h"

#include <cerrno>
#include <csignal>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::RunCli;
using quillbank::testing::TFakeHome;
using quillbank::testing::WaitUntil;
using namespace std::chrono_literals;

namespace {

/// quillbank-cli started on a new pseudo-terminal, with the test's environment.
class TOnTerminal
{
public:
    explicit TOnTerminal(const std::vector<std::string>& arguments)
    {
        std::vector<std::string> command = {QUILLBANK_BINARY_DIR "/bin/quillbank-cli"};
        command.insert(command.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& argument : command)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        winsize size{};
        size.ws_col = 100;
        size.ws_row = 30;
        pid_ = forkpty(&master_, nullptr, nullptr, &size);
        if (pid_ == 0) {
            execv(argv[0], argv.data());
            _exit(127);
        }
    }
    ~TOnTerminal()
    {
        if (pid_ > 0 && !ended_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(master_);
    }
    TOnTerminal(const TOnTerminal&) = delete;
    TOnTerminal& operator=(const TOnTerminal&) = delete;

    /// Reads what the program writes until `text` has come, or its end.
    bool ReadUntil(const std::string& text)
    {
        char buffer[4096];
        while (output_.find(text) == std::string::npos) {
            const ssize_t got = read(master_, buffer, sizeof buffer);
            if (got <= 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return false;
            output_.append(buffer, static_cast<std::size_t>(got));
        }
        return true;
    }
    const std::string& Output() const { return output_; }
    void Type(const std::string& keys) const
    {
        ASSERT_EQ(write(master_, keys.data(), keys.size()), ssize_t(keys.size()));
    }
    bool Echoes() const
    {
        termios settings{};
        return tcgetattr(master_, &settings) == 0 && (settings.c_lflag & ECHO) != 0;
    }
    /// The wait status.
    int Wait()
    {
        int status = 0;
        waitpid(pid_, &status, 0);
        ended_ = true;
        return status;
    }

private:
    int master_ = -1;
    pid_t pid_ = -1;
    bool ended_ = false;
    std::string output_;
};

class CliTerminalTest : public ::testing::Test
{
protected:
    TFakeHome home;
    std::string archive = home.Path() + "/backup.qkz";

    CliTerminalTest()
    {
        home.WriteFile(".mozilla/firefox/profiles.ini",
                       "[Profile0]\nName=work\nIsRelative=1\nPath=abcd.work\n");
        home.WriteFile(".mozilla/firefox/abcd.work/prefs.js", "user_pref(\"a\", 1);\n");
        home.WriteFile(".mozilla/firefox/abcd.work/places.sqlite", std::string(300000, 'p'));
    }
};

} // namespace

TEST_F(CliTerminalTest, CtrlCAtThePasswordPromptLeavesTheTerminalEchoing)
{
    ASSERT_EQ(RunCli({"backup", "--app", "firefox", "--profile", "work", "--output", archive, "--force",
                      "--password-stdin", "--quiet"},
                     home.Path(), "secret\n")
                  .ExitCode,
              0);
    TOnTerminal terminal({"verify", archive});
    ASSERT_TRUE(terminal.ReadUntil("Password for " + archive + ": ")) << terminal.Output();
    ASSERT_TRUE(WaitUntil([&terminal] { return !terminal.Echoes(); }, 10s));
    terminal.Type("\x03");
    const int status = terminal.Wait();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
    EXPECT_TRUE(terminal.Echoes());
}

TEST_F(CliTerminalTest, ADumbTerminalGetsPlainLinesAndOthersABarRedrawnInPlace)
{
    for (const char* term : {"dumb", "xterm"}) {
        home.SetEnv("TERM", term);
        TOnTerminal terminal(
            {"backup", "--app", "firefox", "--profile", "work", "--output", archive, "--force"});
        terminal.ReadUntil("\x01"); // to its end
        EXPECT_EQ(terminal.Wait(), 0) << terminal.Output();
        EXPECT_NE(terminal.Output().find("File: places.sqlite"), std::string::npos) << terminal.Output();
        EXPECT_EQ(terminal.Output().find('\033') != std::string::npos, std::string(term) != "dumb")
            << term << ": " << terminal.Output();
    }
}
