// Tests of code pages: their names and charsets, and decoding bytes in them.

#include "platform/CodePage.h"

#include <gtest/gtest.h>

using namespace quillbank;

TEST(CodePage, NamesAndCharsetsGiveTheCodePageIconvKnows)
{
    for (const char* name : {"1250", "cp1250", "CP1250", " windows-1250 "})
        EXPECT_EQ(KnownCodePage(name), "CP1250") << name;
    EXPECT_EQ(KnownCodePage("ISO-8859-2"), "iso-8859-2");
    for (const char* name : {"", "0", "-1", "cp", "no such page", "windows-"})
        EXPECT_EQ(KnownCodePage(name), std::nullopt) << name;
    EXPECT_EQ(CodePageOfCharset(238), "CP1250");
    EXPECT_EQ(CodePageOfCharset(204), "CP1251");
    EXPECT_EQ(CodePageOfCharset(1), "CP1252");
    EXPECT_EQ(CodePageOfCharset(-5), "CP1252");
}

TEST(CodePage, BytesAreDecodedOrRefusedWhole)
{
    EXPECT_EQ(DecodeCodePage("Doru\xe8\x65n\xe1 po\x9ata", "CP1250"),
              "Doru\xc4\x8d\x65n\xc3\xa1 po\xc5\xa1ta");
    EXPECT_EQ(DecodeCodePage("Entw\xfcrfe", "CP1252"), "Entw\xc3\xbcrfe");
    // A lead byte of code page 932 takes the backslash after it into one character.
    EXPECT_EQ(DecodeCodePage("\x83\x5c", "CP932"), "\xe3\x82\xbd");
    EXPECT_EQ(DecodeCodePage("\x81", "CP1250"), std::nullopt);
    EXPECT_EQ(DecodeCodePage("\x83", "CP932"), std::nullopt);
    EXPECT_EQ(DecodeCodePage(std::string("a\0b", 3), "CP1250"), std::nullopt);
    EXPECT_EQ(DecodeCodePage("a", "no such page"), std::nullopt);
    EXPECT_TRUE(IsUtf8("Entw\xc3\xbcrfe"));
    EXPECT_FALSE(IsUtf8("Entw\xfcrfe"));
    EXPECT_FALSE(IsUtf8("\xc0\xaf"));
}
