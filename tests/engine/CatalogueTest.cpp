// Tests of the component catalogue: header flags, the order a restore walks, what each side takes.

#include "engine/Catalogue.h"

#include <algorithm>
#include <map>
#include <set>
#include <vector>

#include <gtest/gtest.h>

using namespace quillbank;

namespace {

std::vector<std::string_view> Names(std::span<const std::string_view> files)
{
    return {files.begin(), files.end()};
}

bool Contains(std::span<const std::string_view> files, std::string_view name)
{
    return std::ranges::find(files, name) != files.end();
}

const TBackupComponent& Backup(TComponentBox box)
{
    return *std::ranges::find(BackupComponents(), box, &TBackupComponent::Box);
}

const TRestoreComponent& Restore(TComponentBox box)
{
    return *FindRestoreComponent(box);
}

} // namespace

TEST(CatalogueTest, HeaderFlagsSkipTheAccountsOnlyModifier)
{
    // Flags count from 1 in the header: user styles are its 7th, the cache its 14th and last.
    EXPECT_EQ(HeaderFlagOrder[6], UserStylesBox);
    EXPECT_EQ(HeaderFlagOrder.back(), CacheBox);
    EXPECT_EQ(std::ranges::count(HeaderFlagOrder, AccountsSettingsOnlyBox), 0);
}

TEST(CatalogueTest, RestoreWalksEveryComponentOnceInTheRunOrder)
{
    const std::vector<TComponentBox> expected = {
        GeneralSettingsBox,    EmailsBox,       AddressBooksBox,   BookmarksBox, HistoryBox,
        SidebarsBox,           UserStylesBox,   SavedPasswordsBox, CookiesBox,   SavedFormDetailsBox,
        DownloadedFileListBox, CertificatesBox, ExtensionsBox,     CacheBox};
    std::vector<TComponentBox> walked;
    for (const TRestoreComponent& component : RestoreComponents()) {
        walked.push_back(component.Box);
    }
    EXPECT_EQ(walked, expected);
    EXPECT_EQ(FindRestoreComponent(AccountsSettingsOnlyBox), nullptr);
}

TEST(CatalogueTest, SkippedTypesOnRestore)
{
    std::map<AppType, std::set<TComponentBox>> skipped;
    for (const TRestoreComponent& component : RestoreComponents()) {
        for (AppType type = FirstAppType; type <= LastAppType; ++type) {
            if (IsSkippedOnRestore(component.Box, type)) {
                skipped[type].insert(component.Box);
            }
        }
    }
    const std::map<AppType, std::set<TComponentBox>> expected = {
        {SeaMonkeyAppType, {ExtensionsBox, CacheBox}},
        {FirefoxAppType, {EmailsBox, AddressBooksBox}},
        {ThunderbirdAppType,
         {BookmarksBox, HistoryBox, SidebarsBox, CookiesBox, SavedFormDetailsBox, DownloadedFileListBox}},
    };
    EXPECT_EQ(skipped, expected);
    EXPECT_FALSE(IsSkippedOnRestore(AccountsSettingsOnlyBox, FirefoxAppType));
}

TEST(CatalogueTest, SidesDifferWhereTheyShould)
{
    EXPECT_TRUE(Contains(Restore(HistoryBox).Files, "places.sqlite-journal"));
    EXPECT_FALSE(Contains(Backup(HistoryBox).Files, "places.sqlite-journal"));
    EXPECT_TRUE(Contains(Backup(BookmarksBox).Files, "places.sqlite-journal"));
    EXPECT_TRUE(Contains(Restore(CookiesBox).Files, "cookies.sqlite-journal"));
    for (const TBackupComponent& component : BackupComponents()) {
        EXPECT_FALSE(Contains(component.Files, "cookies.sqlite-journal"));
    }
    EXPECT_EQ(Names(Backup(SavedFormDetailsBox).Files),
              (std::vector<std::string_view>{"formhistory.dat", "URL.tbl", "formhistory.sqlite",
                                             "autofill-profiles.json"}));
    EXPECT_EQ(Names(Restore(SavedFormDetailsBox).Files),
              (std::vector<std::string_view>{"formhistory.dat", "formhistory.sqlite", "URL.tbl",
                                             "autofill-profiles.json"}));
    EXPECT_EQ(Backup(GeneralSettingsBox).Files[1], "user.js");
    EXPECT_EQ(Restore(GeneralSettingsBox).Files[5], "user.js");
    EXPECT_EQ(Restore(UserStylesBox).Files[1], "chrome/userChrome.css");
}

TEST(CatalogueTest, BackupListsEmailsApartAndOnlyGeneralSettingsNeedsPrefs)
{
    EXPECT_EQ(BackupComponents().size(), 13u);
    EXPECT_EQ(BackupComponents().front().Box, GeneralSettingsBox);
    for (const TBackupComponent& component : BackupComponents()) {
        EXPECT_NE(component.Box, EmailsBox);
        EXPECT_EQ(component.NeedsPrefsJs, component.Box == GeneralSettingsBox);
    }
    const TEmailsBackup& mail = EmailsBackup();
    EXPECT_FALSE(Contains(mail.Files, "global-messages-db.sqlite"));
    EXPECT_EQ(Names(mail.FullOnlyFiles), (std::vector<std::string_view>{"global-messages-db.sqlite"}));
    EXPECT_EQ(Restore(EmailsBox).Files[5], "global-messages-db.sqlite");
    EXPECT_EQ(Names(mail.AccountsOnlyExternalMasks),
              (std::vector<std::string_view>{"*.dat", "*.rdf", "*.msf", "*.rc"}));
    EXPECT_EQ(mail.AccountsOnlyProfileFolders.front(), (TFolderMask{"Mail", "*.dat"}));
}

TEST(CatalogueTest, OnlySavedPasswordsExtractsFoldersFirst)
{
    for (const TRestoreComponent& component : RestoreComponents()) {
        EXPECT_EQ(component.FoldersFirst, component.Box == SavedPasswordsBox);
        EXPECT_EQ(component.TaskText.Section, "TForm1");
        EXPECT_EQ(component.ResultText.Section, "Quillbank14");
    }
    EXPECT_EQ(Restore(AddressBooksBox).TaskText.Key, "LANG_KONTATKY1");
    EXPECT_EQ(Restore(CertificatesBox).ResultText.Key, "LANG_CERTIF_R_OK");
    EXPECT_EQ(Restore(DownloadedFileListBox).ResultText.Key, "LANG_AKCE_SOUBORY_R_OK");
}

TEST(CatalogueTest, LegacySectionsAreTrimmedAndCaseSensitive)
{
    ASSERT_NE(FindLegacySection("\t Uzivatelske styly \r"), nullptr);
    EXPECT_EQ(FindLegacySection("Uzivatelske styly ")->Box, UserStylesBox);
    EXPECT_EQ(FindLegacySection("Download manager")->Box, DownloadedFileListBox);
    EXPECT_EQ(FindLegacySection("mail"), nullptr);
    EXPECT_EQ(FindLegacySection("Oblibene  polozky"), nullptr);
    std::set<TComponentBox> inSubFolders;
    for (const TLegacySection& section : LegacySections()) {
        EXPECT_NE(section.Box, CertificatesBox);
        if (section.InSubFolder) {
            inSubFolders.insert(section.Box);
        }
    }
    EXPECT_EQ(LegacySections().size(), 11u);
    EXPECT_EQ(inSubFolders, (std::set<TComponentBox>{EmailsBox, UserStylesBox}));
}
