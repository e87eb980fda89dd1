// Tests of the prefs.js parser: lines and their quirks, mail accounts and their folders, hostile content.

#include "profile/PrefsParser.h"

#include "config/InterfaceTexts.h"
#include "tests/support/FakeHome.h"

#include <gtest/gtest.h>

using namespace std::string_literals;

using namespace quillbank;
using quillbank::testing::TFakeHome;

TEST(PrefsParserScanner, NameAndValueOfOrdinaryLines)
{
    EXPECT_EQ(PrefName(R"(user_pref("mail.server.server2.type", "imap");)"), "mail.server.server2.type");
    EXPECT_EQ(PrefValue(R"(user_pref("mail.server.server2.type", "imap");)"), "imap");
    EXPECT_EQ(PrefValue(R"(user_pref("mail.server.server2.port", 110);)"), " 110");
    EXPECT_EQ(PrefValue(R"(user_pref("mail.server.server2.login_at_startup", true);)"), " true");
}

TEST(PrefsParserScanner, QuirksThatAreBehaviour)
{
    // An empty string value is a blank and two quotes, never empty.
    EXPECT_EQ(PrefValue(R"(user_pref("a", "");)"), R"( "")");
    // An escaped quote ends the value early; the value then ends in a backslash.
    EXPECT_EQ(PrefValue(R"(user_pref("a", "say \"hi\"");)"), R"(say \)");
    // Backslashes are not unescaped.
    EXPECT_EQ(PrefValue(R"(user_pref("a", "C:\\Mail");)"), R"(C:\\Mail)");
    // Comments and lines without quotes have an empty name.
    EXPECT_EQ(PrefName("// Mozilla User Preferences"), "");
    EXPECT_EQ(PrefName(""), "");
    EXPECT_EQ(PrefValue(R"(user_pref("a"))"), "");
    EXPECT_EQ(PrefValue(R"(user_pref("a" ) , 5;)"), "");
}

TEST(PrefsParserScanner, ReplaceStringValue)
{
    EXPECT_EQ(ReplaceStringValue(R"(user_pref("x.directory", "/old/path");)", "/new"),
              R"(user_pref("x.directory", "/new");)");
    // A comment after the value is lost; the blanks before the value stay.
    EXPECT_EQ(ReplaceStringValue(R"(user_pref("x",   "old"); // note)", "v"), R"(user_pref("x",   "v");)");
    // Degenerate lines never fail.
    EXPECT_EQ(ReplaceStringValue("", "v"), "v\");");
    EXPECT_EQ(ReplaceStringValue("no comma", "v"), "v\");");
    EXPECT_EQ(ReplaceStringValue(",", "v"), ",v\");");
}

namespace {

class PrefsParserTest : public ::testing::Test
{
protected:
    TFakeHome home;
    std::string profile = home.MakeDir("profile");
    TInterfaceTexts texts{home.Path() + "/Default.lng"};

    std::vector<TPrefsParserAccount> Parse(const std::string& content)
    {
        home.WriteFile("profile/prefs.js", content);
        return TPrefsParser(profile + "/prefs.js", texts).Accounts();
    }
};

} // namespace

TEST_F(PrefsParserTest, AccountsInOrderOfFirstOccurrence)
{
    const auto accounts = Parse("user_pref(\"mail.server.server5.type\", \"imap\");\n"
                                "user_pref(\"mail.server.server2.type\", \"pop3\");\r\n"
                                "user_pref(\"mail.server.server5.charset\", \"UTF-8\");\n");
    ASSERT_EQ(accounts.size(), 2u);
    EXPECT_EQ(accounts[0].Number, 5);
    EXPECT_EQ(accounts[0].ServerType, "imap");
    EXPECT_EQ(accounts[0].Charset, "UTF-8");
    EXPECT_EQ(accounts[1].Number, 2);
    EXPECT_EQ(accounts[1].ServerType, "pop3");
}

TEST_F(PrefsParserTest, InvalidServerNumbersCreateNoAccount)
{
    EXPECT_TRUE(Parse("user_pref(\"mail.server.serverX.type\", \"imap\");\n"
                      "user_pref(\"mail.server.server0.type\", \"imap\");\n"
                      "user_pref(\"mail.server.server-1.type\", \"imap\");\n"
                      "user_pref(\"mail.server.server3\", \"imap\");\n"
                      "user_pref(\"Mail.server.server3.type\", \"imap\");\n")
                    .empty());
}

TEST_F(PrefsParserTest, DirectoryHasItsBackslashesMadeSingle)
{
    const auto accounts = Parse("user_pref(\"mail.server.server2.directory\", \"/mnt/mail\\\\box\");\n"
                                "user_pref(\"mail.server.server5.type\", \"none\");\n");
    ASSERT_EQ(accounts.size(), 2u);
    EXPECT_EQ(accounts[0].Directory, "/mnt/mail\\box");
    EXPECT_EQ(accounts[1].Directory, "");
}

TEST_F(PrefsParserTest, FieldsAreSetIndependentlyAndLaterLinesWin)
{
    const auto accounts =
        Parse("user_pref(\"mail.server.server1.directory-rel\", \"[ProfD]Mail/pop\");\n"
              "user_pref(\"mail.server.server1.newsrc.file\", \"/a/newsrc\");\n"
              "user_pref(\"mail.server.server1.newsrc.file-rel\", \"[ProfD]News/newsrc\");\n");
    ASSERT_EQ(accounts.size(), 1u);
    EXPECT_EQ(accounts[0].DirectoryRel, "[ProfD]Mail/pop");
    EXPECT_EQ(accounts[0].Directory, "");
    EXPECT_EQ(accounts[0].NewsrcFile, "[ProfD]News/newsrc");
}

TEST_F(PrefsParserTest, MissingFileFailsWithTheLocalisedText)
{
    try {
        TPrefsParser parser(profile + "/prefs.js", texts);
        FAIL() << "no error for a missing prefs.js";
    } catch (const EPrefsNotFound& error) {
        EXPECT_STREQ(error.what(), "Config file prefs.js doesn't found.");
    }
    TPrefsParser deferred(profile + "/prefs.js", texts, false); // nothing read yet
    EXPECT_TRUE(deferred.Accounts().empty());
}

TEST_F(PrefsParserTest, HostileContentNeverFails)
{
    std::string content = "user_pref(\"mail.server.server1.type\", \"" + std::string(1 << 20, 'x') + "\");\n";
    content += "user_pref(\"mail.server.server2.type\", \"a\0b\");\n"s;
    content += "user_pref(\"mail.server.server3.type\", \"\xFF\xFE\");\n";
    content += "user_pref(\"mail.server.server99999999999.type\", \"imap\");\n";
    content += "\"\"\"\"\"\",,,)))(((\n\r\n\r\r\n\"unterminated\n";
    const auto accounts = Parse(content);
    ASSERT_EQ(accounts.size(), 3u);
    EXPECT_EQ(accounts[0].ServerType.size(), 1u << 20);
    EXPECT_EQ(accounts[1].ServerType, "a\0b"s);
    EXPECT_EQ(accounts[2].ServerType, "\xFF\xFE");
}

TEST_F(PrefsParserTest, HasMailSettings)
{
    // Any server counts, "Local Folders" alone too, with or without an identity.
    for (const char* type : {"none", "pop3", "imap", "nntp", "rss"}) {
        home.WriteFile("profile/prefs.js",
                       "user_pref(\"mail.server.server1.type\", \"" + std::string(type) + "\");\n");
        EXPECT_TRUE(HasMailSettings(profile + "/")) << type;
    }
    home.WriteFile("profile/prefs.js", "user_pref(\"mail.identity.id1.fullName\", \"Me\");\n");
    EXPECT_TRUE(HasMailSettings(profile + "/"));
    home.WriteFile("profile/prefs.js", "user_pref(\"mail.server.default.check_time\", 5);\n"
                                       "user_pref(\"Mail.Server.Server1.type\", \"none\");\n"
                                       "user_pref(\"browser.startup.page\", 1);\n");
    EXPECT_FALSE(HasMailSettings(profile + "/")); // defaults only; names are case-sensitive
    home.WriteFile("profile/prefs.js",
                   "// user_pref(\"mail.identity.id1\nuser_pref(\"mail.identity.x\", 1);");
    EXPECT_TRUE(HasMailSettings(profile + "/"));
    EXPECT_THROW(HasMailSettings(home.Path() + "/missing/"), EPrefsReadError);
}
