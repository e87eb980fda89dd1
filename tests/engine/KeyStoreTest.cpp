// Tests of the files a key database protects: which go with a restored key, and which it leaves without.

#include "engine/KeyStore.h"

#include "apps/WizardState.h"
#include "tests/support/ArchiveFixture.h"
#include "tests/support/ZipBuilder.h"

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::TArchiveTest;
using Names = std::vector<std::string>;
using Orphans = std::vector<TOrphanedFile>;

namespace {

TComponentBoxes Ticked(std::initializer_list<TComponentBox> ticked)
{
    TComponentBoxes boxes;
    for (TComponentBox box : ticked)
        boxes[box].Checked = true;
    return boxes;
}

class KeyStoreTest : public TArchiveTest
{
protected:
    std::string target = home.MakeDir("target");

    void TargetHolds(std::initializer_list<std::string> names)
    {
        for (const std::string& name : names)
            home.WriteFile("target/" + name, "old " + name);
    }

    Orphans Orphaned(const Names& entries, std::initializer_list<TComponentBox> ticked,
                     AppType type = FirefoxAppType)
    {
        return OrphanedProtectedFiles(entries, Ticked(ticked), type, target);
    }
};

} // namespace

TEST(FilesGoingWithKeysTest, AKeyBringsTheProtectedFilesTheArchiveHolds)
{
    const std::string_view certificates[] = {"cert9.db", "key4.db", "pkcs11.txt"};
    const Names entries = {"key4.db", "cert9.db", "logins.json", "encrypted-openpgp-passphrase.txt"};
    EXPECT_EQ(FilesGoingWithKeys(certificates, entries),
              (std::vector<std::string_view>{"logins.json", "encrypted-openpgp-passphrase.txt"}));
    // Without the key in the archive nothing is replaced, and nothing comes along.
    EXPECT_TRUE(FilesGoingWithKeys(certificates, {"cert9.db", "logins.json"}).empty());
    // Nor when the list holds no key.
    const std::string_view cookies[] = {"cookies.sqlite"};
    EXPECT_TRUE(FilesGoingWithKeys(cookies, entries).empty());
}

TEST(FilesGoingWithKeysTest, BothKeysNameAFileOnce)
{
    const std::string_view keys[] = {"key4.db", "key3.db"};
    EXPECT_EQ(FilesGoingWithKeys(keys, {"key4.db", "key3.db", "logins.json", "signons.sqlite"}),
              (std::vector<std::string_view>{"logins.json", "signons.sqlite"}));
}

TEST_F(KeyStoreTest, TheTargetsSecretsTheBackupLacksAreOrphaned)
{
    TargetHolds({"key4.db", "logins.json", "logins-backup.json", "cert9.db", "pkcs11.txt", "places.sqlite"});
    const Names certificatesOnly = {"indexfile.txt", "key4.db", "cert9.db", "pkcs11.txt"};
    EXPECT_EQ(Orphaned(certificatesOnly, {CertificatesBox}),
              (Orphans{{"logins.json", TSecret::Logins, "key4.db"},
                       {"logins-backup.json", TSecret::Logins, "key4.db"}}));
    // A backup holding every protected file the target holds orphans nothing.
    const Names whole = {"key4.db", "cert9.db", "pkcs11.txt", "logins.json", "logins-backup.json"};
    EXPECT_EQ(Orphaned(whole, {CertificatesBox}), Orphans{});
    // Nor does a restore that leaves the key alone.
    EXPECT_EQ(Orphaned(certificatesOnly, {BookmarksBox}), Orphans{});
    EXPECT_EQ(Orphaned({"cert9.db", "pkcs11.txt"}, {CertificatesBox}), Orphans{});
}

TEST_F(KeyStoreTest, EveryComponentThatReplacesTheKeyCounts)
{
    TargetHolds({"logins.json", "encrypted-openpgp-passphrase.txt", "cert9.db"});
    const Names passwords = {"key4.db", "logins.json"};
    EXPECT_EQ(Orphaned(passwords, {SavedPasswordsBox}),
              (Orphans{{"encrypted-openpgp-passphrase.txt", TSecret::OpenPgpPassphrase, "key4.db"},
                       {"cert9.db", TSecret::ClientCertificates, "key4.db"}}));
    const Names mail = {"prefs.js", "key4.db", "encrypted-openpgp-passphrase.txt"};
    EXPECT_EQ(Orphaned(mail, {EmailsBox}, ThunderbirdAppType),
              (Orphans{{"logins.json", TSecret::Logins, "key4.db"},
                       {"cert9.db", TSecret::ClientCertificates, "key4.db"}}));
    // Emails are not restored into Firefox's profiles: its key stays.
    EXPECT_EQ(Orphaned(mail, {EmailsBox}, FirefoxAppType), Orphans{});
}

TEST_F(KeyStoreTest, TheOlderKeyOrphansTheOlderStores)
{
    TargetHolds({"signons.sqlite", "logins.json", "cert8.db"});
    EXPECT_EQ(Orphaned({"key3.db", "cert8.db", "key4.db"}, {CertificatesBox}),
              (Orphans{{"logins.json", TSecret::Logins, "key4.db"},
                       {"signons.sqlite", TSecret::Logins, "key3.db"}}));
}

TEST_F(KeyStoreTest, OnlyAnEntryOfTheVeryNameReplacesAFile)
{
    // An entry in another letter case, below a folder, climbing out or with
    // the other separator lands elsewhere, if anywhere: the target's file stays.
    TargetHolds({"key4.db", "logins.json"});
    const Names lookalikes = {"LOGINS.JSON", "../logins.json", "/logins.json", "target/logins.json",
                              ".\\logins.json"};
    Names entries = lookalikes;
    entries.push_back("key4.db");
    EXPECT_EQ(Orphaned(entries, {CertificatesBox}), (Orphans{{"logins.json", TSecret::Logins, "key4.db"}}));
    // Nor does a key of another name replace the target's key.
    Names noKey = lookalikes;
    noKey.push_back("KEY4.DB");
    EXPECT_EQ(Orphaned(noKey, {CertificatesBox}), Orphans{});
    const std::string_view certificates[] = {"key4.db"};
    EXPECT_TRUE(FilesGoingWithKeys(certificates, noKey).empty());
}

TEST_F(KeyStoreTest, TheRestoreOfAWizardStateListsItsArchive)
{
    TargetHolds({"logins.json"});
    state.ArchivePath = home.WriteFile(
        "backup.qkz",
        quillbank::testing::BuildZip({{"indexfile.txt", "Quillbank\r\n"}, {"key4.db", "new key"}}));
    state.ArchiveFormat = TArchiveFormat::Zip;
    state.SelectedAppType = FirefoxAppType;
    state.ProfileEntries = {{"target", target}};
    state.SelectedProfileLine = "target";
    EXPECT_EQ(OrphanedByRestore(state, Ticked({CertificatesBox}), Environment()),
              (Orphans{{"logins.json", TSecret::Logins, "key4.db"}}));
    // A legacy container holds no key database.
    state.ArchiveFormat = TArchiveFormat::LegacyContainer;
    EXPECT_EQ(OrphanedByRestore(state, Ticked({CertificatesBox}), Environment()), Orphans{});
}
