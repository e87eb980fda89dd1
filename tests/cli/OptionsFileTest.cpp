// Tests of options files: their options taking their place, and mistakes named by file and line.

#include "cli/OptionsFile.h"

#include "cli/ExitCodes.h"
#include "tests/support/FakeHome.h"

#include <gtest/gtest.h>

using namespace quillbank::cli;
using quillbank::testing::TFakeHome;
using Arguments = std::vector<std::string>;

namespace {

/// The message and exit code WithOptionsFiles fails with; "(accepted)" and 0 when it does not.
std::pair<std::string, int> Failure(const Arguments& arguments)
{
    try {
        WithOptionsFiles(arguments);
    } catch (const ECommandError& error) {
        return {error.what(), error.ExitCode()};
    }
    return {"(accepted)", 0};
}

} // namespace

TEST(OptionsFile, ItsOptionsTakeItsPlaceOneALineWithValuesAsWritten)
{
    TFakeHome home;
    const std::string file =
        home.WriteFile("backup-default.conf", "# Nightly backup of the default profile\r\n"
                                              "--app firefox\r\n"
                                              "\n"
                                              "  --profile   Work Profile  \n"
                                              "--output=Backups/<profile> <hour>.qkz\n"
                                              "\t# indented comment\n"
                                              "--quiet");
    EXPECT_EQ(WithOptionsFiles({"--json", "--options-file", file, "--force"}),
              (Arguments{"--json", "--app", "firefox", "--profile", "Work Profile",
                         "--output=Backups/<profile> <hour>.qkz", "--quiet", "--force"}));
    EXPECT_EQ(WithOptionsFiles({"--options-file=" + file}).size(), 6u);
    // After "--" everything is an argument.
    EXPECT_EQ(WithOptionsFiles({"--", "--options-file", file}), (Arguments{"--", "--options-file", file}));
    EXPECT_EQ(WithOptionsFiles({home.WriteFile("empty.conf", "")}), (Arguments{home.Path() + "/empty.conf"}));
    EXPECT_EQ(WithOptionsFiles({"--options-file", home.Path() + "/empty.conf"}), Arguments{});
}

TEST(OptionsFile, MistakesNameTheFileAndLine)
{
    TFakeHome home;
    const std::string bare = home.WriteFile("bare.conf", "--app firefox\nprofile default\n");
    EXPECT_EQ(Failure({"--options-file", bare}),
              std::pair(bare + ":2: not an option: \"profile default\"", ExitUsage));
    const std::string dashes = home.WriteFile("dashes.conf", "--\n");
    EXPECT_EQ(Failure({"--options-file", dashes}),
              std::pair(dashes + ":1: not an option: \"--\"", ExitUsage));
    const std::string nested = home.WriteFile("nested.conf", "--options-file " + bare + "\n");
    EXPECT_EQ(Failure({"--options-file", nested}),
              std::pair(nested + ":1: an options file cannot name another", ExitUsage));
    const std::string self = home.WriteFile("self.conf", "--options-file=self.conf\n");
    EXPECT_EQ(Failure({"--options-file", self}).second, ExitUsage);
    EXPECT_EQ(Failure({"--app", "firefox", "--options-file"}),
              std::pair(std::string("--options-file needs a value"), ExitUsage));

    const std::string missing = home.Path() + "/missing.conf";
    EXPECT_EQ(Failure({"--options-file", missing}),
              std::pair(missing + ": cannot read the options file", ExitFailure));
    EXPECT_EQ(Failure({"--options-file", home.MakeDir("folder.conf")}).second, ExitFailure);
    const std::string huge = home.WriteFile("huge.conf", std::string(OptionsFileLimit + 1, '#'));
    EXPECT_EQ(Failure({"--options-file", huge}),
              std::pair(huge + ": the options file is larger than 64 KiB", ExitFailure));
}
