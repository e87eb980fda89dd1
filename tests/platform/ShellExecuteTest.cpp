// Tests of splitting command lines by the Windows rules and starting detached programs.

#include "platform/ShellExecute.h"

#include "tests/support/FakeHome.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace quillbank {
namespace {

using ::quillbank::testing::ReadFileForTest;
using ::quillbank::testing::TFakeHome;
using Args = std::vector<std::string>;

// ---------------------------------------------------------------------------
// Splitting by the Windows command-line rules

TEST(SplitWindowsCommandLineTest, BlanksSeparateArguments)
{
    EXPECT_EQ(SplitWindowsCommandLine(""), Args{});
    EXPECT_EQ(SplitWindowsCommandLine(" \t "), Args{});
    EXPECT_EQ(SplitWindowsCommandLine("-CreateProfile my profile"),
              (Args{"-CreateProfile", "my", "profile"}));
    EXPECT_EQ(SplitWindowsCommandLine("  a \t\tb  "), (Args{"a", "b"}));
    // Only blanks and tabs separate; other characters belong to the argument.
    EXPECT_EQ(SplitWindowsCommandLine("a\nb\rc"), Args{"a\nb\rc"});
    EXPECT_EQ(SplitWindowsCommandLine("Gr\xC3\xB6\xC3\x9F"
                                      "e x"),
              (Args{"Gr\xC3\xB6\xC3\x9F"
                    "e",
                    "x"}));
}

TEST(SplitWindowsCommandLineTest, QuotesGroupAndVanish)
{
    EXPECT_EQ(SplitWindowsCommandLine(R"(-CreateProfile "work /home/u/My Profiles/work")"),
              (Args{"-CreateProfile", "work /home/u/My Profiles/work"}));
    EXPECT_EQ(SplitWindowsCommandLine(R"(a"b c"d e)"), (Args{"ab cd", "e"}));
    EXPECT_EQ(SplitWindowsCommandLine(R"("a b)"), Args{"a b"}); // unterminated: to the end
    EXPECT_EQ(SplitWindowsCommandLine(R"("a b" )"), Args{"a b"});
}

TEST(SplitWindowsCommandLineTest, EmptyQuotesMakeAnEmptyArgument)
{
    EXPECT_EQ(SplitWindowsCommandLine(R"("")"), Args{""});
    EXPECT_EQ(SplitWindowsCommandLine(R"(a "" b)"), (Args{"a", "", "b"}));
    EXPECT_EQ(SplitWindowsCommandLine(R"(a "")"), (Args{"a", ""}));
    EXPECT_EQ(SplitWindowsCommandLine(R"(")"), Args{""});
}

TEST(SplitWindowsCommandLineTest, BackslashesAreLiteralUnlessBeforeAQuote)
{
    EXPECT_EQ(SplitWindowsCommandLine(R"(C:\Program Files\x)"), (Args{R"(C:\Program)", R"(Files\x)"}));
    EXPECT_EQ(SplitWindowsCommandLine(R"(\\server\share\\ \)"), (Args{R"(\\server\share\\)", R"(\)"}));
    EXPECT_EQ(SplitWindowsCommandLine(R"("a\b\\c\\\d")"), Args{R"(a\b\\c\\\d)"});
}

TEST(SplitWindowsCommandLineTest, BackslashesBeforeAQuoteAreHalved)
{
    // 2n backslashes + quote: n backslashes, and the quote opens or closes.
    EXPECT_EQ(SplitWindowsCommandLine(R"(a\\"b c")"), Args{R"(a\b c)"});
    EXPECT_EQ(SplitWindowsCommandLine(R"(a\\\\"b c")"), Args{R"(a\\b c)"});
    EXPECT_EQ(SplitWindowsCommandLine(R"("C:\Program Files\\" next)"),
              (Args{R"(C:\Program Files\)", "next"}));
    // 2n+1 backslashes + quote: n backslashes and a literal quote.
    EXPECT_EQ(SplitWindowsCommandLine(R"(a\"b c)"), (Args{R"(a"b)", "c"}));
    EXPECT_EQ(SplitWindowsCommandLine(R"(a\\\"b c)"), (Args{R"(a\"b)", "c"}));
    EXPECT_EQ(SplitWindowsCommandLine(R"("say \"hi\" now")"), Args{R"(say "hi" now)"});
    EXPECT_EQ(SplitWindowsCommandLine(R"(\")"), Args{R"(")"});
}

TEST(SplitWindowsCommandLineTest, DoubledQuoteInsideQuotesIsALiteralQuote)
{
    EXPECT_EQ(SplitWindowsCommandLine(R"("a""b c")"), Args{R"(a"b c)"});
    EXPECT_EQ(SplitWindowsCommandLine(R"(""")"), Args{R"(")"});
    EXPECT_EQ(SplitWindowsCommandLine(R"("""" x)"), (Args{R"(")", "x"}));
    EXPECT_EQ(SplitWindowsCommandLine(R"("a\\""b")"), Args{R"(a\"b)"});
    // Outside quotes "" opens and closes: nothing is added.
    EXPECT_EQ(SplitWindowsCommandLine(R"(a""b c)"), (Args{"ab", "c"}));
}

// ---------------------------------------------------------------------------
// Starting detached programs

/// Waits until a program writes `path` (the scripts rename a finished file
/// into place) and returns its content.
std::string WaitForFile(const std::string& path)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        if (fs::exists(path))
            return ReadFileForTest(path);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return "(not written)";
}

bool HasChildren()
{
    int status = 0;
    return !(waitpid(-1, &status, WNOHANG) < 0 && errno == ECHILD);
}

std::string WriteExecutable(const TFakeHome& home, const std::string& relativePath,
                            const std::string& content, fs::perms perms = fs::perms::owner_all)
{
    const std::string path = home.WriteFile(relativePath, content);
    fs::permissions(path, perms);
    return path;
}

TEST(ShellExecuteTest, StartsProgramWithArgumentsSplitByWindowsRules)
{
    TFakeHome home;
    const std::string out = home.Path() + "/out";
    const std::string script = "printf '[%s]' \\\"$0\\\" \\\"$1\\\" \\\"$2\\\" > '" + out + ".tmp' && mv '" +
                               out + ".tmp' '" + out + "'";
    ASSERT_TRUE(StartDetached("/bin/sh", "-c \"" + script + R"(" "first arg" "quote\"inside" back\slash)"));
    EXPECT_EQ(WaitForFile(out), R"([first arg][quote"inside][back\slash])");
}

TEST(ShellExecuteTest, ProgramRunsInItsOwnSessionWithoutInputAndIsNotOurChild)
{
    TFakeHome home;
    const std::string out = home.Path() + "/out";
    // The program outlives the call: it is still sleeping when the check runs.
    const std::string script = "{ readlink /proc/self/fd/0; cat /proc/self/stat; } > '" + out +
                               ".tmp' && mv '" + out + ".tmp' '" + out + "'; sleep 1";
    ASSERT_TRUE(StartDetached("/bin/sh", "-c \"" + script + "\""));
    EXPECT_FALSE(HasChildren()) << "an intermediate or the program itself is still our child";

    const std::string report = WaitForFile(out);
    const auto newline = report.find('\n');
    ASSERT_NE(newline, std::string::npos) << report;
    EXPECT_EQ(report.substr(0, newline), "/dev/null");
    // /proc/PID/stat: "pid (comm) state ppid pgrp session ...".
    const auto afterName = report.rfind(')');
    ASSERT_NE(afterName, std::string::npos) << report;
    char state = 0;
    long parent = 0;
    long group = 0;
    long session = 0;
    ASSERT_EQ(
        std::sscanf(report.c_str() + afterName + 1, " %c %ld %ld %ld", &state, &parent, &group, &session), 4);
    EXPECT_NE(session, static_cast<long>(getsid(0)));
    EXPECT_NE(group, static_cast<long>(getpgrp()));
}

TEST(ShellExecuteTest, SearchesPathOnlyForNamesWithoutSlash)
{
    TFakeHome home;
    const std::string out = home.Path() + "/out";
    // The first folder's copy cannot be run, so the search goes on to the second.
    WriteExecutable(home, "bin1/qb-test-tool", "#!/bin/sh\nexit 3\n",
                    fs::perms::owner_read | fs::perms::owner_write);
    WriteExecutable(home, "bin2/qb-test-tool",
                    "#!/bin/sh\necho \"$1\" > \"$2.tmp\" && /bin/mv \"$2.tmp\" \"$2\"\n");
    WriteExecutable(home, "bin2/sub/qb-test-tool", "#!/bin/sh\nexit 0\n");
    home.SetEnv("PATH", home.Path() + "/bin1:" + home.Path() + "/bin2");

    ASSERT_TRUE(StartDetached("qb-test-tool", "\"hello world\" " + out));
    EXPECT_EQ(WaitForFile(out), "hello world\n");
    // A name with a slash is taken as a path, never looked up in PATH.
    EXPECT_FALSE(StartDetached("sub/qb-test-tool", ""));
    EXPECT_FALSE(StartDetached("qb-test-tool-missing", ""));
}

TEST(ShellExecuteTest, ReportsProgramsThatCannotBeStarted)
{
    TFakeHome home;
    const std::string notExecutable = WriteExecutable(home, "plain.sh", "#!/bin/sh\nexit 0\n",
                                                      fs::perms::owner_read | fs::perms::owner_write);
    const std::string badFormat = WriteExecutable(home, "garbage.bin",
                                                  "\x7F"
                                                  "ELF\x01\x02junk");
    const std::string badInterpreter = WriteExecutable(home, "bad.sh", "#!/nonexistent/interpreter\n");

    EXPECT_FALSE(StartDetached("", ""));
    EXPECT_FALSE(StartDetached(home.Path() + "/missing", "-CreateProfile test"));
    EXPECT_FALSE(StartDetached("quillbank-no-such-program-anywhere", ""));
    EXPECT_FALSE(StartDetached(home.Path(), ""));
    EXPECT_FALSE(StartDetached(notExecutable, ""));
    EXPECT_FALSE(StartDetached(badFormat, ""));
    EXPECT_FALSE(StartDetached(badInterpreter, ""));
    EXPECT_FALSE(HasChildren());
}

} // namespace
} // namespace quillbank
