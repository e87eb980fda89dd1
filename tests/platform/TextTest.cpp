#include "platform/Text.h"

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
    EXPECT_TRUE(ContainsIgnoreCase("Mozilla Firefox", "FIRE"));
    EXPECT_FALSE(ContainsIgnoreCase("\xC3\x89", "\xC3\xA9"));
}

TEST(Text, ReplaceAllNeverRescansInsertedText)
{
    EXPECT_EQ(ReplaceAll("<a><a>", "<a>", "<a><a>"), "<a><a><a><a>");
    EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");
    EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
    EXPECT_EQ(ReplaceFirst("%s and %s", "%s", "x"), "x and %s");
    EXPECT_EQ(ReplaceFirst("none", "%s", "x"), "none");
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
