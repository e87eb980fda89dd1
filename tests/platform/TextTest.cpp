// Tests of the text helpers: trimming, case folding, replacing, numbers, byte counts, visible text.

#include "platform/Text.h"

#include <algorithm>

#include <gtest/gtest.h>

using namespace std::string_literals;

using namespace quillbank;

TEST(Text, TrimDropsBlanksAndControlCharacters)
{
    EXPECT_EQ(Trim(" \t\r\n\x01 a b \x1f\n"), "a b");
    EXPECT_EQ(Trim(" \t "), "");
    EXPECT_EQ(Trim("\xC3\xA9"), "\xC3\xA9"); // UTF-8 bytes are not blanks
}

TEST(Text, CaseFoldingIsAsciiOnly)
{
    EXPECT_TRUE(EqualsIgnoreCase("LANG_Warning", "lang_WARNING"));
    EXPECT_FALSE(EqualsIgnoreCase("abc", "abcd"));
}

TEST(Text, ReplaceAllNeverRescansInsertedText)
{
    EXPECT_EQ(ReplaceAll("<a><a>", "<a>", "<a><a>"), "<a><a><a><a>");
    EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");
    EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
    EXPECT_EQ(ReplaceFirst("%s and %s", "%s", "x"), "x and %s");
    EXPECT_EQ(ReplaceFirst("none", "%s", "x"), "none");
}

TEST(Text, SplitLinesTakesEitherLineBreakAndKeepsEmptyLines)
{
    using Lines = std::vector<std::string_view>;
    EXPECT_EQ(SplitLines(""), Lines{});
    EXPECT_EQ(SplitLines("one"), Lines{"one"});
    EXPECT_EQ(SplitLines("one\r\n\ntwo\n"), (Lines{"one", "", "two"}));
    EXPECT_EQ(SplitLines("a\rb\r\r\n"), (Lines{"a\rb\r"}));
}

TEST(Text, TryParseIntAcceptsOnlyWholeDecimalNumbers)
{
    int value = 7;
    EXPECT_TRUE(TryParseInt("-2", value));
    EXPECT_EQ(value, -2);
    EXPECT_TRUE(TryParseInt("+3", value));
    EXPECT_EQ(value, 3);
    for (const char* bad : {"", "+", "-", "two", "3x", " 3", "+-3", "++3", "0x10", "2147483648", "1.5"}) {
        value = 42;
        EXPECT_FALSE(TryParseInt(bad, value)) << bad;
        EXPECT_EQ(value, 42) << bad;
    }
    EXPECT_TRUE(TryParseInt("-2147483648", value));
}

TEST(Text, ByteCountsAreReadable)
{
    EXPECT_EQ(HumanBytes(0), "0 B");
    EXPECT_EQ(HumanBytes(1023), "1023 B");
    EXPECT_EQ(HumanBytes(1536), "1.5 KiB");
    EXPECT_EQ(HumanBytes(5ll << 30), "5.0 GiB");
}

TEST(Text, AnsiConversionIsTheIdentityEvenForInvalidUtf8)
{
    const std::string bytes("a\xFF\xC3(\0z", 6);
    EXPECT_EQ(AnsiToUtf8(bytes), bytes);
    EXPECT_EQ(Utf8ToAnsi(bytes), bytes);
}

TEST(Text, DecodeTextFileConvertsUtf16)
{
    EXPECT_EQ(DecodeTextFile("\xFE\xFF\0A\0\xE9"s), "A\xC3\xA9");
    // A surrogate pair (U+1F600) and a lone surrogate, which becomes U+FFFD.
    EXPECT_EQ(DecodeTextFile("\xFF\xFE\x3D\xD8\x00\xDE\x00\xD8"s), "\xF0\x9F\x98\x80\xEF\xBF\xBD");
    // An odd trailing byte is dropped rather than read past the end.
    EXPECT_EQ(DecodeTextFile(std::string("\xFF\xFE"
                                         "A\0B",
                                         5)),
              "A");
    EXPECT_EQ(DecodeTextFile("plain"), "plain");
}

TEST(Text, VisibleTextLeavesNoLineBreakEscapeOrReorderingBehind)
{
    const std::string hostile = "a\nforged line\rover\x1b[2Jb\x7f\t\0c"s;
    const std::string shown = VisibleText(hostile);
    EXPECT_EQ(shown, "a\\nforged line\\rover\\x1b[2Jb\\x7f\\t\\x00c");
    EXPECT_TRUE(std::none_of(shown.begin(), shown.end(),
                             [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }));
    // C1 controls, the line separator and a right-to-left override.
    EXPECT_EQ(VisibleText("\xC2\x85x\xC2\x9B"
                          "1m\xE2\x80\xA8y\xE2\x80\xAEgpj.exe"),
              "\\u0085x\\u009b1m\\u2028y\\u202egpj.exe");
}

TEST(Text, VisibleTextShowsInvalidUtf8AsBytesAndKeepsTheRest)
{
    EXPECT_EQ(VisibleText("caf\xC3\xA9 \xE6\x97\xA5 \xF0\x9F\x98\x80 C:\\dir"),
              "caf\xC3\xA9 \xE6\x97\xA5 \xF0\x9F\x98\x80 C:\\dir");
    // A lone continuation byte, a cut sequence, an overlong slash, a surrogate.
    EXPECT_EQ(VisibleText("\x80|\xC3|\xC0\xAF|\xED\xA0\x80"), "\\x80|\\xc3|\\xc0\\xaf|\\xed\\xa0\\x80");
    // Escaping what was escaped changes nothing.
    const std::string once = VisibleText("\x1b]0;\xFF\n\xE2\x80\xAE");
    EXPECT_EQ(VisibleText(once), once);
}

TEST(Text, ASpecSetMatchesAsEachOfItsSpecsWouldWhateverTheirFirstCharacter)
{
    const std::vector<std::string> specs = {"Mail\\Local Folders\\*.*", "prefs.js", "?ookies.sqlite", "*.rdf",
                                            "\xC3\xA9t\xC3\xA9/*",      ""};
    const TSpecSet set(specs);
    const std::vector<std::string> names = {"Mail/Local Folders/Inbox",
                                            "mail/local folders/Trash.msf",
                                            "Mail/Local FoldersX",
                                            "PREFS.JS",
                                            "prefs.jsx",
                                            "cookies.sqlite",
                                            "Xookies.sqlite",
                                            "localstore.rdf",
                                            "\xC3\xA9t\xC3\xA9/a",
                                            "\xC3\x89t\xC3\xA9/a",
                                            "",
                                            "x"};
    for (const std::string& name : names) {
        const bool expected = std::any_of(specs.begin(), specs.end(), [&](const std::string& spec) {
            return MatchesWildcard(name, NormalizedSpec(spec));
        });
        EXPECT_EQ(set.Matches(name), expected) << name;
    }
    EXPECT_TRUE(set.Matches("Mail/Local Folders/Inbox"));
    EXPECT_TRUE(set.Matches(""));
    EXPECT_FALSE(set.Matches("Mail/Local FoldersX"));
    EXPECT_FALSE(TSpecSet({}).Matches("prefs.js"));
}
