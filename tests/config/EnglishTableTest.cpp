// Tests that every looked-up text has a built-in English text, and of the shipped working files.

#include "config/InterfaceTexts.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "platform/Text.h"

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace quillbank {
namespace {

const std::string kDataDir = QUILLBANK_SOURCE_DIR "/data/";

struct TSectionKeys
{
    std::string section;
    std::vector<std::string> keys;
};

// Every key the program looks up, by the section it is looked up in.
const std::vector<std::string> kCommonKeys = {
    // Font and character set.
    "Font", "DefaultCharset"};
const std::vector<std::string> kWizardWindowKeys = {
    // Main window, its pages and message boxes, restore task lines.
    "LANG_OKNO_1",         "LANG_APLIKACE_WELCOME",
    "LANG_APLIKACE_VOLBA", "LANG_BUTTON_1",
    "LANG_BUTTON_2",       "LANG_BUTTON_3",
    "LANG_BUTTON_OK",      "LANG_BUTTON_KONEC",
    "LANG_WARNING",        "LANG_QUESTION",
    "LANG_VOLBA",          "LANG_NO_PROGRAM",
    "LANG_CO_PROVEST",     "LANG_ZALOHA",
    "LANG_OBNOVA",         "LANG_VOLBA_PROFILU",
    "LANG_TEXT2_1",        "LANG_TEXT4_1",
    "LANG_TEXT2_2",        "LANG_TEXT4_2",
    "LANG_END_PROGRAM",    "LANG_END_TEXT",
    "LANG_NEW_PROFIL",     "LANG_RELOAD",
    "LANG_CHOOSE",         "LANG_NEW_PROFIL_NAME",
    "LANG_PROFIL_EXIST",   "LANG_NO_NAME",
    "LANG_SOUCASTI",       "LANG_CHOOSE_ZALOHA",
    "LANG_CHOOSE_OBNOVA",  "LANG_CHECKBOX1",
    "LANG_CHECKBOX2",      "LANG_CHECKBOX3",
    "LANG_CHECKBOX4",      "LANG_CHECKBOX5",
    "LANG_CHECKBOX6",      "LANG_CHECKBOX7",
    "LANG_CHECKBOX8",      "LANG_CHECKBOX9",
    "LANG_CHECKBOX10",     "LANG_CHECKBOX11",
    "LANG_CHECKBOX12",     "LANG_CHECKBOX13",
    "LANG_CHECKBOX14",     "LANG_CHECKBOX14_HINT",
    "LANG_CHECKBOX15",     "LANG_GROUPBOX3",
    "LANG_BAD_FILE2",      "LANG_BAD_PROFIL",
    "LANG_NOT_FOUND",      "LANG_NOT_FOUND2",
    "LANG_PROV_AKCE",      "LANG_ZAVER",
    "LANG_WRITE_ERROR",    "LANG_WRITE_ERROR2",
    "LANG_END_FILE",       "LANG_KONEC",
    "LANG_DIR_ERROR",      "LANG_AKCE_OBECNE1",
    "LANG_AKCE_MAIL1",     "LANG_KONTATKY1",
    "LANG_FAVORITES1",     "LANG_HISTORIE1",
    "LANG_PANELY1",        "LANG_STYLY1",
    "LANG_HESLA1",         "LANG_COOKIES1",
    "LANG_FORMULAR1",      "LANG_DOWNLOAD1",
    "LANG_EXTENSIONS1",    "LANG_CACHE1",
    "LANG_SOUBOR",         "LANG_NOT_FOUND_FILE",
    "LANG_SOUBOR_EXIST",   "LANG_ONLYPROFIL",
    "LANG_NO_BACKUP_FILE", "LANG_BACKUP_RESTOR",
    "LANG_MEMO1",          "LANG_MEMO11",
    "LANG_MEMO12",         "LANG_MEMO2",
    "LANG_MEMO3",          "LANG_CERTIF1",
    "LANG_NO_FILES",       "LANG_DIR_DEFAULT",
    "LANG_LOCATION",       "LANG_DIALOGS",
    "LANG_NEW_BR",         "LANG_BADINIREAD",
    "LANG_BADINIWRITE",    "LANG_DETEKCE",
    "LANG_DETEKCE2"};
const std::vector<std::string> kQuillbank14Keys = {
    // Release 1.4 additions.
    "LANG_FILE",
    "LANG_OVERWRITE_PROFILE",
    "LANG_OUTSIDE_PROFILE",
    "LANG_WINDOWS_FOLDERS",
    "LANG_WINDOWS_FOLDER_CHOOSE",
    "LANG_OUTSIDE_PREFERENCES",
    "LANG_KEY_REPLACED",
    "LANG_SECRET_LOGINS",
    "LANG_SECRET_OPENPGP",
    "LANG_SECRET_CERTIFICATES",
    "LANG_INVALID_OUTPUT",
    "LANG_SELECT_PROFILE_FOLDER",
    "LANG_DIRECTORY",
    "LANG_UNKNOW",
    "LANG_UNKNOW_FILES",
    "LANG_UNKNOW_FILES_DESC",
    "LANG_AKCE_OBECNE_R_OK",
    "LANG_AKCE_MAIL_R_OK",
    "LANG_AKCE_KONTAKTY_R_OK",
    "LANG_AKCE_FAVORITES_R_OK",
    "LANG_AKCE_HISTORIE_R_OK",
    "LANG_AKCE_PANELY_R_OK",
    "LANG_AKCE_STYLY_R_OK",
    "LANG_AKCE_HESLA_R_OK",
    "LANG_AKCE_COOKIES_R_OK",
    "LANG_AKCE_FORMULARE_R_OK",
    "LANG_AKCE_SOUBORY_R_OK",
    "LANG_AKCE_EXTENSIONS_R_OK",
    "LANG_AKCE_CACHE_R_OK",
    "LANG_CERTIF_R_OK",
    "LANG_AKCE_UNKNOW_R_OK",
    "LANG_AKCE_OBECNE_R_FAILED",
    "LANG_AKCE_MAIL_R_FAILED",
    "LANG_AKCE_KONTAKTY_R_FAILED",
    "LANG_AKCE_FAVORITES_R_FAILED",
    "LANG_AKCE_HISTORIE_R_FAILED",
    "LANG_AKCE_PANELY_R_FAILED",
    "LANG_AKCE_STYLY_R_FAILED",
    "LANG_AKCE_HESLA_R_FAILED",
    "LANG_AKCE_COOKIES_R_FAILED",
    "LANG_AKCE_FORMULARE_R_FAILED",
    "LANG_AKCE_SOUBORY_R_FAILED",
    "LANG_AKCE_EXTENSIONS_R_FAILED",
    "LANG_AKCE_CACHE_R_FAILED",
    "LANG_CERTIF_R_FAILED",
    "LANG_AKCE_UNKNOW_R_FAILED",
    "LANG_NOT_RESTORED",
    "LANG_MAIL_FOLDER_PLACE",
    "LANG_PREF_DROPPED",
    "LANG_RUN_INCOMPLETE",
    "LANG_RUN_FAILED",
    "LANG_SKIPPED_HINT",
    "LANG_SKIPPED",
    "LANG_OTHER_APP_BACKUP",
    "LANG_PORTABLE",
    "LANG_PORTABLE_PROFILE",
    "LANG_PORTABLE_SELECT_PROFILE",
    "LANG_NO_PROFIL2",
    "LANG_NAME_BLANK_LOCATION",
    "LANG_PROFILE_NOT_MADE",
    "LANG_ERROR",
    "LANG_DETEKCE",
    "LANG_CHOOSE_FILE_BACKUP",
    "LANG_CHOOSE_FILE_RESTORE",
    "LANG_SEL_DESEL_ALL",
    "LANG_CANNOT_RESTORE_ORIG_EXT",
    "LANG_BACKUP_PARTS",
    "LANG_DISK_SPACE_CALCULATE",
    "LANG_PORTABLE_APPS",
    "LANG_ACCOUNT_BACKED_UP",
    "LANG_ACCOUNT_TO_BACK_UP",
    "LANG_ACCOUNT_FILES",
    "LANG_ACCOUNT_UNKNOWN",
    "LANG_ACCOUNT_BY_RULE",
    "LANG_ACCOUNT_BY_FAULT",
    "LANG_RULE_CACHE",
    "LANG_RULE_LOCK_FILES",
    "LANG_RULE_REBUILT",
    "LANG_RULE_NOT_CHOSEN",
    "LANG_RULE_NOT_TICKED",
    "LANG_RULE_NO_COMPONENT",
    "LANG_UNDO_RESTORE",
    "LANG_UNDO_DONE",
    "LANG_UNDO_FAILED"};
const std::vector<std::string> kBackupPasswordKeys = {
    // Backup password dialog.
    "LANG_ENCRYPT", "LANG_CAPTION", "LANG_TEXT", "LANG_HESLO", "LANG_HESLO2", "LANG_NO_PASS", "LANG_NO_STEJ"};
const std::vector<std::string> kRestorePasswordKeys = {
    // Restore password prompt.
    "LANG_CAPTION", "LANG_LABEL1"};
const std::vector<std::string> kDirectoryKeys = {
    // The missing prefs.js message.
    "LANG_PREFS_JS_NOT_FOUND"};

const std::vector<TSectionKeys> kLookedUpKeys = {
    {"Common", kCommonKeys},         {"TForm1", kWizardWindowKeys},    {"Quillbank14", kQuillbank14Keys},
    {"TForm4", kBackupPasswordKeys}, {"TForm5", kRestorePasswordKeys}, {"LANG_DIRECTORY", kDirectoryKeys},
};

std::string ReadDataFile(const std::string& name)
{
    const auto bytes = ReadWholeFile(kDataDir + name);
    EXPECT_TRUE(bytes.has_value()) << name;
    return bytes.value_or(std::string());
}

std::vector<std::string> SplitCrLfLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    for (auto end = text.find("\r\n"); end != std::string::npos; end = text.find("\r\n", start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    EXPECT_EQ(start, text.size()) << "the last line lacks its CR LF";
    return lines;
}

void ExpectCrLfOnly(const std::string& name)
{
    const std::string text = ReadDataFile(name);
    ASSERT_FALSE(text.empty()) << name;
    std::size_t crLfCount = 0;
    for (auto at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2))
        ++crLfCount;
    EXPECT_EQ(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')), crLfCount) << name;
    EXPECT_EQ(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\r')), crLfCount) << name;
}

TEST(EnglishTableTest, EveryLookedUpKeyHasAText)
{
    for (const auto& [section, keys] : kLookedUpKeys) {
        for (const std::string& key : keys) {
            if (key != "Font") {
                EXPECT_FALSE(TInterfaceTexts::GetDefaultText(key).empty()) << section << "/" << key;
            }
        }
    }
    EXPECT_EQ(TInterfaceTexts::GetDefaultText("Font"), "");
    EXPECT_EQ(TInterfaceTexts::GetDefaultText("DefaultCharset"), "1");
}

TEST(EnglishTableTest, TextsKeepTheirSignificantBlanks)
{
    EXPECT_EQ(TInterfaceTexts::GetDefaultText("LANG_SOUBOR"), "Restored file: ");
    EXPECT_EQ(TInterfaceTexts::GetDefaultText("LANG_OKNO_1"), " - Welcome");
    EXPECT_EQ(TInterfaceTexts::GetDefaultText("LANG_ZAVER"), " - Report");
    EXPECT_EQ(TInterfaceTexts::GetDefaultText("LANG_END_FILE"),
              "The backup file is corrupted.  The program will exit.");
    EXPECT_EQ(TInterfaceTexts::GetDefaultText("LANG_AKCE_HESLA_R_OK"), "Password restore ... OK");
    EXPECT_EQ(TInterfaceTexts::GetDefaultText("LANG_DIALOGS"), "Quillbank (*.qkz) | *.qkz");
    EXPECT_EQ(TInterfaceTexts::GetDefaultText("LANG_PREFS_JS_NOT_FOUND"),
              "Config file prefs.js doesn't found.");
}

TEST(EnglishTableTest, KeysMatchExactlyAndCaseSensitively)
{
    EXPECT_EQ(TInterfaceTexts::GetDefaultText("LANG_WARNING"), "Warning");
    EXPECT_EQ(TInterfaceTexts::GetDefaultText("lang_warning"), "");
    EXPECT_EQ(TInterfaceTexts::GetDefaultText("Lang_Warning"), "");
    EXPECT_EQ(TInterfaceTexts::GetDefaultText("LANG_WARNING "), "");
    EXPECT_EQ(TInterfaceTexts::GetDefaultText("LANG_WARN"), "");
    EXPECT_EQ(TInterfaceTexts::GetDefaultText("LANG_CHECKBOX"), "");
    EXPECT_EQ(TInterfaceTexts::GetDefaultText("defaultcharset"), "");
    EXPECT_EQ(TInterfaceTexts::GetDefaultText(""), "");
}

// Looked up under two sections each; the shipped file test checks both.
TEST(EnglishTableTest, KeysOfTwoSectionsHaveTheirText)
{
    EXPECT_EQ(TInterfaceTexts::GetDefaultText("LANG_CAPTION"), "Enter ZIP Password");
    EXPECT_EQ(TInterfaceTexts::GetDefaultText("LANG_DETEKCE"),
              "%s is running. Exit it and click the Retry button.");
}

TEST(EnglishTableShippedFilesTest, DefaultLngHoldsTheBuiltInTextOfEveryKey)
{
    const auto lng = TIniFile::Load(kDataDir + "Default.lng");
    ASSERT_TRUE(lng.has_value());
    const std::string absent = "<absent>";
    for (const auto& [section, keys] : kLookedUpKeys)
        for (const std::string& key : keys)
            EXPECT_EQ(lng->ReadString(section, key, absent), TInterfaceTexts::GetDefaultText(key))
                << section << "/" << key;
}

TEST(EnglishTableShippedFilesTest, DefaultLngHoldsNoKeyThatIsNotLookedUp)
{
    std::string section;
    for (const std::string& line : SplitCrLfLines(ReadDataFile("Default.lng"))) {
        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            section = line.substr(1, line.find(']') - 1);
            continue;
        }
        const std::string key = line.substr(0, line.find('='));
        bool listed = false;
        for (const auto& entry : kLookedUpKeys)
            if (entry.section == section)
                for (const std::string& known : entry.keys)
                    listed = listed || known == key;
        EXPECT_TRUE(listed) << "[" << section << "] " << line;
    }
}

TEST(EnglishTableShippedFilesTest, BackupIniSetsNothing)
{
    const auto ini = TIniFile::Load(kDataDir + "Backup.ini");
    ASSERT_TRUE(ini.has_value());
    EXPECT_TRUE(ini->HasSection("General"));
    for (const char* key : {"fileformat", "backupdir", "suitedir", "firefoxdir", "thunderbirddir",
                            "sunbirddir", "flockdir", "netscapedir", "netscapemessdir", "spicebirddir",
                            "songbirddir", "monitor", "askForPassword", "compressionLevel"})
        EXPECT_EQ(ini->ReadString("General", key, "<absent>"), "<absent>") << key;
}

TEST(EnglishTableShippedFilesTest, ShippedFilesUseCrLfLineEnds)
{
    ExpectCrLfOnly("Default.lng");
    ExpectCrLfOnly("Backup.ini");
    ExpectCrLfOnly("Profilefiles.txt");
}

TEST(EnglishTableShippedFilesTest, ProfilefilesListsRootEntriesOnce)
{
    std::set<std::string> seen;
    for (const std::string& line : SplitCrLfLines(ReadDataFile("Profilefiles.txt"))) {
        EXPECT_FALSE(line.empty()) << "blank line";
        EXPECT_EQ(Trim(line), line) << "blanks around '" << line << "'";
        EXPECT_TRUE(seen.insert(ToLowerAscii(line)).second) << "duplicate '" << line << "'";
        if (line.find("*.*") == std::string::npos) {
            EXPECT_EQ(line.find_first_of("/\\"), std::string::npos)
                << "file entry below the root '" << line << "'";
            continue;
        }
        ASSERT_TRUE(line.size() > 4 && line.ends_with("/*.*")) << "folder entry '" << line << "'";
        EXPECT_EQ(line.substr(0, line.size() - 4).find_first_of("/\\*"), std::string::npos)
            << "folder entry below the root '" << line << "'";
    }
    // A few entries whose loss would make whole components show up as unknown.
    for (const char* entry : {"prefs.js", "places.sqlite", "key3.db", "*.mab", "*.s", "*.w", "chrome/*.*",
                              "extensions/*.*", "Mail/*.*", "ImapMail/*.*", "cache/*.*", "viewSource.xml"})
        EXPECT_EQ(seen.count(ToLowerAscii(entry)), 1u) << entry;
}

} // namespace
} // namespace quillbank
