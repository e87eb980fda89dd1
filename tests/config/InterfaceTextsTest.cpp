// Tests of the interface texts: the language file's entries over the English ones, quotes, font, charset.

#include "config/InterfaceTexts.h"

#include "config/errorlog.h"
#include "tests/support/FakeHome.h"

#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::ErrorLogMessages;
using quillbank::testing::TFakeHome;

namespace {

class InterfaceTextsTest : public ::testing::Test
{
protected:
    TFakeHome home;
    std::string languageFile = home.Path() + "/Default.lng";
    TInterfaceTexts texts{languageFile};

    void Write(const std::string& content) { home.WriteFile("Default.lng", content); }
};

} // namespace

TEST_F(InterfaceTextsTest, FileEntryWinsOverTheEnglishText)
{
    Write("[TForm1]\r\nLANG_WARNING=Varování\r\n");
    EXPECT_EQ(texts.GetText("TForm1", "LANG_WARNING"), "Varování");
}

TEST_F(InterfaceTextsTest, MissingFileMissingOrEmptyEntryGivesTheEnglishText)
{
    EXPECT_EQ(texts.GetText("TForm1", "LANG_WARNING"), "Warning");
    Write("[TForm1]\r\nLANG_WARNING=\r\n");
    EXPECT_EQ(texts.GetText("TForm1", "LANG_WARNING"), "Warning");
    Write("[TForm1]\r\nLANG_WARNING=\"\"\r\n");
    EXPECT_EQ(texts.GetText("TForm1", "LANG_WARNING"), "Warning");
}

TEST_F(InterfaceTextsTest, EntryUnderAnotherSectionIsNotFound)
{
    Write("[Quillbank14]\r\nLANG_PREFS_JS_NOT_FOUND=wrong place\r\n"
          "[TForm1]\r\nLANG_PREFS_JS_NOT_FOUND=wrong too\r\n");
    EXPECT_EQ(texts.GetText("LANG_DIRECTORY", "LANG_PREFS_JS_NOT_FOUND"),
              "Config file prefs.js doesn't found.");
}

TEST_F(InterfaceTextsTest, FileNamesMatchInAnyCaseButTheBuiltInTableExactly)
{
    Write("[tform1]\r\nlang_warning=Achtung\r\n");
    EXPECT_EQ(texts.GetText("TForm1", "LANG_WARNING"), "Achtung");
    EXPECT_EQ(texts.GetText("TForm1", "LANG_Question"), "");
    EXPECT_EQ(texts.GetText("TForm1", "LANG_QUESTION"), "Question");
}

TEST_F(InterfaceTextsTest, QuotesKeepBlanksAndTheTextIsNotTrimmedAgain)
{
    Write("[TForm1]\r\nLANG_OKNO_1=\" - Vítejte \"\r\n");
    EXPECT_EQ(texts.GetText("TForm1", "LANG_OKNO_1"), " - Vítejte ");
}

TEST_F(InterfaceTextsTest, AnEditedFileShowsAtTheNextLookup)
{
    Write("[TForm1]\r\nLANG_WARNING=one\r\n");
    EXPECT_EQ(texts.GetText("TForm1", "LANG_WARNING"), "one");
    Write("[TForm1]\r\nLANG_WARNING=two\r\n");
    EXPECT_EQ(texts.GetText("TForm1", "LANG_WARNING"), "two");
}

TEST_F(InterfaceTextsTest, GetTextFmtReplacesTheFirstPercentSOnly)
{
    EXPECT_EQ(texts.GetTextFmt("TForm1", "LANG_DETEKCE", "Firefox"),
              "Firefox is running. Exit it and click the Retry button.");
    Write("[TForm1]\r\nLANG_DETEKCE=%s and %s\r\nLANG_DETEKCE2=no placeholder\r\n"
          "[Quillbank14]\r\nLANG_DETEKCE=%S stays\r\n");
    EXPECT_EQ(texts.GetTextFmt("TForm1", "LANG_DETEKCE", "%s"), "%s and %s");
    EXPECT_EQ(texts.GetTextFmt("TForm1", "LANG_DETEKCE", "A"), "A and %s");
    EXPECT_EQ(texts.GetTextFmt("TForm1", "LANG_DETEKCE2", "A"), "no placeholder");
    EXPECT_EQ(texts.GetTextFmt("Quillbank14", "LANG_DETEKCE", "A"), "%S stays");
}

TEST_F(InterfaceTextsTest, FontAndCharset)
{
    EXPECT_EQ(texts.GetFontName(), "");
    EXPECT_EQ(texts.GetCharset(), 1);
    Write("[Common]\r\nFont=DejaVu Sans\r\nDefaultCharset=238\r\n");
    EXPECT_EQ(texts.GetFontName(), "DejaVu Sans");
    EXPECT_EQ(texts.GetCharset(), 238);
    EXPECT_FALSE(std::filesystem::exists(ErrorLogPath()));
}

TEST_F(InterfaceTextsTest, CharsetThatIsNotAnIntegerIsLoggedAndGivesOne)
{
    Write("[Common]\r\nDefaultCharset=EASTEUROPE\r\n");
    EXPECT_EQ(texts.GetCharset(), 1);
    const std::string log = ErrorLogMessages();
    EXPECT_NE(log.find("\"EASTEUROPE\""), std::string::npos) << log;
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1);
}
