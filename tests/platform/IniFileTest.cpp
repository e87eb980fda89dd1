// Tests of the INI file reader: names in any case, quotes, first entries winning, UTF-16, hostile files.

#include "platform/IniFile.h"

#include "tests/support/FakeHome.h"

#include <gtest/gtest.h>

using namespace std::string_literals;

using quillbank::ReadProfileString;
using quillbank::TIniFile;

TEST(IniFile, NamesMatchWithoutRegardToCaseAndBlanks)
{
    const auto ini = TIniFile::FromText("[ General ]\r\n  FileFormat  =  x.qkz  \r\n");
    EXPECT_EQ(ini.ReadString("general", "FILEFORMAT"), "x.qkz");
    EXPECT_TRUE(ini.HasSection("GENERAL"));
}

TEST(IniFile, OnePairOfSurroundingQuotesIsRemovedAndKeepsBlanks)
{
    const auto ini = TIniFile::FromText("[S]\n"
                                        "double=\" - Welcome\"\n"
                                        "single=' x '\n"
                                        "nested=\"\"inner\"\"\n"
                                        "mixed=\"a'\n"
                                        "lone=\"\n"
                                        "inside=a \"b\" c\n");
    EXPECT_EQ(ini.ReadString("S", "double"), " - Welcome");
    EXPECT_EQ(ini.ReadString("S", "single"), " x ");
    EXPECT_EQ(ini.ReadString("S", "nested"), "\"inner\"");
    EXPECT_EQ(ini.ReadString("S", "mixed"), "\"a'");
    EXPECT_EQ(ini.ReadString("S", "lone"), "\"");
    EXPECT_EQ(ini.ReadString("S", "inside"), "a \"b\" c");
}

TEST(IniFile, FirstSectionAndFirstKeyWin)
{
    const auto ini = TIniFile::FromText("[A]\nk=first\nk=second\n[B]\nk=b\n[a]\nk=third\nonly=later\n");
    EXPECT_EQ(ini.ReadString("A", "k"), "first");
    EXPECT_EQ(ini.ReadString("a", "only", "default"), "default");
    ASSERT_EQ(ini.ReadSection("A").size(), 2u);
    EXPECT_EQ(ini.ReadSection("A")[1].second, "second");
}

TEST(IniFile, CommentsLinesWithoutEqualsAndKeysBeforeSectionsAreIgnored)
{
    const auto ini = TIniFile::FromText("orphan=1\n[S]\n; k=comment\nk\n  \nv=1=2\n");
    EXPECT_EQ(ini.ReadString("S", "k", "none"), "none");
    EXPECT_EQ(ini.ReadString("S", "; k", "none"), "none");
    EXPECT_EQ(ini.ReadString("S", "v"), "1=2");
    EXPECT_EQ(ini.ReadString("", "orphan", "none"), "none");
}

TEST(IniFile, MissingSectionOrKeyGivesTheFallback)
{
    const auto ini = TIniFile::FromText("[S]\nk=\n");
    EXPECT_EQ(ini.ReadString("S", "k", "fb"), "");
    EXPECT_EQ(ini.ReadString("S", "other", "fb"), "fb");
    EXPECT_EQ(ini.ReadString("T", "k", "fb"), "fb");
}

TEST(IniFile, ByteOrderMarksAndUtf16AreRead)
{
    EXPECT_EQ(TIniFile::FromText("\xEF\xBB\xBF[S]\nk=v\n").ReadString("S", "k"), "v");
    constexpr char utf16leBytes[] = "\xFF\xFE[\0S\0]\0\n\0k\0=\0\xE9\0\n\0";
    const std::string utf16le(utf16leBytes, sizeof utf16leBytes - 1);
    EXPECT_EQ(TIniFile::FromText(utf16le).ReadString("S", "k"), "\xC3\xA9");
}

TEST(IniFile, HostileContentNeverBreaksReading)
{
    std::string text = "[S\n";                          // section without ]
    text += "k=a\0b"s + "\n";                           // NUL inside a value
    text += "bad=\xFF\xFE\xC3\n";                       // invalid UTF-8
    text += "[" + std::string(100000, 'x') + "]\n";     // huge section name
    text += "long=" + std::string(1 << 20, 'y') + "\n"; // huge value
    text += "[T]]\nk=t\n";
    const auto ini = TIniFile::FromText(text);
    EXPECT_EQ(ini.ReadString("S", "k"), "a\0b"s);
    EXPECT_EQ(ini.ReadString("S", "bad"), "\xFF\xFE\xC3");
    EXPECT_EQ(ini.ReadString(std::string(100000, 'x'), "long").size(), 1u << 20);
    EXPECT_EQ(ini.ReadString("T", "k"), "t");
}

TEST(IniFile, ReadProfileStringRereadsTheFileEachTime)
{
    quillbank::testing::TFakeHome home;
    const std::string path = home.WriteFile("a.ini", "[S]\nk=one\n");
    EXPECT_EQ(ReadProfileString(path, "S", "k"), "one");
    home.WriteFile("a.ini", "[S]\nk=two\n");
    EXPECT_EQ(ReadProfileString(path, "S", "k"), "two");
    EXPECT_EQ(ReadProfileString(home.Path() + "/missing.ini", "S", "k", "fb"), "fb");
    EXPECT_FALSE(TIniFile::Load(home.Path()).has_value()); // a folder is not readable as a file
}
