// Tests of splitting command lines by the Windows rules.

#include "platform/ShellExecute.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace quillbank {
namespace {

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

} // namespace
} // namespace quillbank
