// Tests of a whole backup run: what each component takes, mail folders, replacing the old backup safely.

#include "engine/BackupRun.h"

#include "apps/ProfileDiscovery.h"
#include "apps/WizardState.h"
#include "config/InterfaceTexts.h"
#include "engine/ArchiveHeader.h"
#include "engine/KnownFiles.h"
#include "engine/PendingArchive.h"
#include "platform/FileSystem.h"
#include "platform/NameBeside.h"
#include "tests/support/ArchiveFixture.h"
#include "tests/support/FakeHome.h"
#include "tests/support/ZipBuilder.h"

#include <algorithm>
#include <filesystem>
#include <zip.h>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::EntryNamesIn;
using quillbank::testing::ReadFileForTest;
using quillbank::testing::TArchiveTest;
using Names = std::vector<std::string>;
namespace fs = std::filesystem;

namespace {

/// The entries of an archive and the content of one of them.
struct TArchiveContent
{
    Names names;
    std::string header;
};

TArchiveContent ReadArchive(const std::string& path)
{
    TArchiveContent content;
    content.names = quillbank::testing::ZipEntryNames(path);
    int error = 0;
    zip_t* za = zip_open(path.c_str(), ZIP_RDONLY, &error);
    if (za == nullptr)
        return content;
    if (zip_file_t* header = zip_fopen(za, "indexfile.txt", 0)) {
        char buffer[4096];
        for (zip_int64_t got; (got = zip_fread(header, buffer, sizeof buffer)) > 0;)
            content.header.append(buffer, static_cast<std::size_t>(got));
        zip_fclose(header);
    }
    zip_discard(za);
    return content;
}

class BackupRunTest : public TArchiveTest
{
protected:
    TBackupRequest request;

    BackupRunTest()
    {
        request.Application = ThunderbirdAppType;
        request.ProfileDir = home.MakeDir("profile") + "/";
        request.ArchivePath = home.Path() + "/saves/tb.qkz";
        home.MakeDir("saves");
        home.WriteFile("profile/prefs.js", "user_pref(\"mail.identity.id1.fullName\", \"Me\");\n");
    }

    void Tick(std::initializer_list<TComponentBox> boxes)
    {
        for (TComponentBox box : boxes)
            request.Boxes[box].Checked = true;
    }

    TArchiveContent Run()
    {
        RunBackup(request, state, Environment());
        return ReadArchive(request.ArchivePath);
    }
};

} // namespace

TEST_F(BackupRunTest, NothingTickedGivesAnArchiveWithTheHeaderOnly)
{
    EXPECT_EQ(Run().names, Names{"indexfile.txt"});
    EXPECT_EQ(fs::status(request.ArchivePath).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(BackupRunTest, WithoutPrefsJsNothingIsWritten)
{
    fs::remove(request.ProfileDir + "prefs.js");
    home.WriteFile("saves/tb.qkz", "previous");
    const TRunOutcome outcome = RunBackup(request, state, Environment()).Run;
    EXPECT_EQ(outcome.Status, TRunStatus::Failed);
    EXPECT_EQ(outcome.Failure, request.ProfileDir + "prefs.js: no such file");
    EXPECT_EQ(ReadFileForTest(request.ArchivePath), "previous");
}

// Unattended, the archive is not read back: one that could not be written
// at all fails the run with the archive layer's reason.
TEST_F(BackupRunTest, AnArchiveThatCannotBeWrittenFailsTheRunSayingWhy)
{
    request.IsBatch = true;
    request.ArchivePath = home.Path() + "/gone/tb.qkz";
    const TBackupOutcome outcome = RunBackup(request, state, Environment());
    EXPECT_EQ(outcome.Run.Status, TRunStatus::Failed);
    EXPECT_TRUE(outcome.Run.Failure.starts_with(PendingArchivePath(request.ArchivePath) +
                                                ": cannot write the archive: "))
        << outcome.Run.Failure;
    EXPECT_EQ(outcome.Account.Entries().Files, 0);
}

TEST_F(BackupRunTest, ComponentsListTheirFilesAndFolders)
{
    for (const char* file :
         {"places.sqlite", "key3.db", "cert8.db", "bookmarkbackups/b.json", "12.s", "deep/1.mab", "abook.mab",
          "chrome/userChrome.css", "extensions/x/install.rdf", "cache/c1"})
        home.WriteFile("profile/" + std::string(file), file);
    Tick({GeneralSettingsBox, BookmarksBox, HistoryBox, SavedPasswordsBox, CertificatesBox, AddressBooksBox,
          UserStylesBox});
    const Names names = Run().names;
    EXPECT_EQ(names,
              (Names{"12.s", "abook.mab", "bookmarkbackups/b.json", "cert8.db", "chrome/userChrome.css",
                     "indexfile.txt", "key3.db", "places.sqlite", "prefs.js"}));
}

TEST_F(BackupRunTest, EmailsTakeTheExternalAccountFolderUnderItsOwnName)
{
    const std::string outside = home.MakeDir("elsewhere/Local Mail");
    home.WriteFile("elsewhere/Local Mail/Inbox", "mail");
    home.WriteFile("elsewhere/Local Mail/Inbox.msf", "index");
    home.WriteFile("profile/Mail/Local Folders/Sent", "sent");
    home.WriteFile("profile/global-messages-db.sqlite", "gloda");
    home.WriteFile("profile/prefs.js", "user_pref(\"mail.identity.id1.fullName\", \"Me\");\n"
                                       "user_pref(\"mail.server.server2.directory\", \"" +
                                           outside + "\");\n");
    Tick({EmailsBox});
    const TArchiveContent archive = Run();
    EXPECT_EQ(archive.names, (Names{"Local Mail/Inbox", "Local Mail/Inbox.msf", "Mail/Local Folders/Sent",
                                    "global-messages-db.sqlite", "indexfile.txt", "prefs.js"}));
    EXPECT_EQ(state.MailFolders, (std::vector<TMailFolder>{{outside, "Local Mail"}}));
    EXPECT_NE(archive.header.find("NYNNNNNNNNNNNN\r\n****////\\\\\\\\****\r\n" + outside + "\r\n"),
              std::string::npos)
        << archive.header;
}

TEST_F(BackupRunTest, AccountFoldersRecordedRelativeToTheProfileOrNamedLikeItAreTakenWhole)
{
    // The profile "profile" has a neighbour "profile-archive": outside it.
    home.WriteFile("profile-archive/Box/Inbox", "archived");
    home.WriteFile("elsewhere/pop.example.org/Inbox", "pop");
    home.WriteFile("profile/prefs.js", "user_pref(\"mail.server.server1.directory-rel\", "
                                       "\"[ProfD]../elsewhere/pop.example.org\");\n"
                                       "user_pref(\"mail.server.server2.directory-rel\", "
                                       "\"[ProfD]../profile-archive/Box\");\n"
                                       "user_pref(\"mail.server.server2.directory\", \"" +
                                           home.Path() + "/profile-archive/Box\");\n");
    Tick({EmailsBox});
    const TArchiveContent archive = Run();
    EXPECT_EQ(archive.names, (Names{"Box/Inbox", "indexfile.txt", "pop.example.org/Inbox", "prefs.js"}));
    EXPECT_EQ(state.MailFolders,
              (std::vector<TMailFolder>{{home.Path() + "/elsewhere/pop.example.org", "pop.example.org"},
                                        {home.Path() + "/profile-archive/Box", "Box"}}));
    // Every folder keeps its own name: the header is as it always was.
    EXPECT_TRUE(archive.header.ends_with(home.Path() + "/profile-archive/Box\r\n****////\\\\\\\\****\r\n"
                                                       "****////\\\\\\\\****\r\n"))
        << archive.header;
}

TEST_F(BackupRunTest, AccountFoldersWhoseNamesAreTakenGetArchiveFoldersOfTheirOwn)
{
    home.WriteFile("x1/pop.example.com/Inbox", "first");
    home.WriteFile("x2/pop.example.com/Inbox", "second");
    home.WriteFile("x3/mail/Inbox", "third"); // "Mail" is the profile's own folder
    home.WriteFile("x4/Archive/Inbox", "fourth");
    home.WriteFile("profile/Mail/Local Folders/Inbox", "local");
    std::string prefs;
    int number = 0;
    for (const char* folder : {"x1/pop.example.com", "x2/pop.example.com", "x3/mail", "x4/Archive"})
        prefs += "user_pref(\"mail.server.server" + std::to_string(++number) + ".directory\", \"" +
                 home.Path() + "/" + folder + "\");\n";
    home.WriteFile("profile/prefs.js", prefs);
    Tick({EmailsBox});
    const TArchiveContent archive = Run();
    EXPECT_EQ(archive.names,
              (Names{"Archive/Inbox", "Mail/Local Folders/Inbox", "indexfile.txt", "mail~1/Inbox",
                     "pop.example.com~1/Inbox", "pop.example.com~2/Inbox", "prefs.js"}));
    const Names stored = {"pop.example.com~1", "pop.example.com~2", "mail~1", "Archive"};
    ASSERT_EQ(state.MailFolders.size(), stored.size());
    for (std::size_t i = 0; i < stored.size(); ++i)
        EXPECT_EQ(state.MailFolders[i].ArchiveFolder, stored[i]);
    const std::string separator = "****////\\\\\\\\****\r\n";
    EXPECT_TRUE(archive.header.ends_with(separator + separator +
                                         "pop.example.com~1\r\npop.example.com~2\r\nmail~1\r\nArchive\r\n" +
                                         separator))
        << archive.header;

    // Read back, every folder finds its own archive folder.
    const std::vector<TMailFolder> written = state.MailFolders;
    state.MailFolders.clear();
    state.ArchivePath = request.ArchivePath;
    TComponentBoxes boxes;
    ReadArchiveHeader(state, boxes, Environment());
    EXPECT_EQ(state.MailFolders, written);
}

TEST_F(BackupRunTest, AccountsSettingsOnlyKeepsTheSettingsFilesOfTheMailFolders)
{
    home.WriteFile("profile/Mail/Local Folders/Inbox", "mail");
    home.WriteFile("profile/Mail/Local Folders/msgFilterRules.dat", "rules");
    home.WriteFile("profile/News/host/newsrc.rc", "rc");
    home.WriteFile("profile/global-messages-db.sqlite", "gloda");
    Tick({AccountsSettingsOnlyBox});
    const TArchiveContent archive = Run();
    EXPECT_EQ(archive.names, (Names{"Mail/Local Folders/msgFilterRules.dat", "News/host/newsrc.rc",
                                    "indexfile.txt", "prefs.js"}));
    EXPECT_NE(archive.header.find("\r\nNNNNNNNNNNNNNN\r\n"), std::string::npos); // Emails not recorded
    // Ticked beside Emails, it takes Emails' place.
    Tick({EmailsBox});
    EXPECT_EQ(Run().names, archive.names);
}

TEST_F(BackupRunTest, TickedUnknownEntriesArePairedWithTheOfferedList)
{
    home.WriteFile("profile/notes.txt", "n");
    home.WriteFile("profile/addon-data/a/b", "b");
    home.WriteFile("profile/skipped.txt", "s");
    request.UnknownEntries = {{"notes.txt", false}, {"skipped.txt", false}, {"addon-data", true}};
    request.UnknownTicks = {true, false, true};
    const TArchiveContent archive = Run();
    EXPECT_EQ(archive.names, (Names{"addon-data/a/b", "indexfile.txt", "notes.txt"}));
    EXPECT_NE(archive.header.find("file\r\nnotes.txt\r\ndir\r\naddon-data\r\n"), std::string::npos);
}

TEST_F(BackupRunTest, ANewBackupReplacesTheOldOneOnlyWhenComplete)
{
    home.WriteFile("saves/tb.qkz", "previous");
    home.WriteFile("saves/.tb.qkz.qbpart", "left by a killed run");
    Run();
    EXPECT_EQ(ReadArchive(request.ArchivePath).names, Names{"indexfile.txt"});
    EXPECT_FALSE(fs::exists(home.Path() + "/saves/.tb.qkz.qbpart"));
}

TEST_F(BackupRunTest, AnArchiveNamedAsLongAsTheFolderAllowsIsWrittenAndWhatAKilledRunLeftIsCleared)
{
    const std::string saves = home.Path() + "/saves";
    request.ArchivePath = saves + "/" + std::string(MaxFileNameLength(saves) - 4, 'n') + ".qkz";
    // The pending file, and the archive library's temporary beside it.
    const std::string pending = ExtractFileName(PendingArchivePath(request.ArchivePath));
    home.WriteFile("saves/" + pending, "left by a killed run");
    home.WriteFile("saves/" + pending + ".a1b2c3", "left by a killed run");
    EXPECT_EQ(Run().names, Names{"indexfile.txt"});
    EXPECT_EQ(EntryNamesIn(saves), std::set<std::string>{ExtractFileName(request.ArchivePath)});
}

// What an ordinary ZIP tool leaves when a backup is unpacked into the
// profile: a restore would take such a file (in any letter case) for the
// header, so the archive keeps the name for its own.
TEST_F(BackupRunTest, AProfileFileNamedLikeTheHeaderIsLeftOutAndNamed)
{
    home.WriteFile("profile/indexfile.txt", "Quillbank\r\nRevize: 2\r\n");
    home.WriteFile("profile/IndexFile.TXT", "unpacked on another system");
    home.WriteFile("profile/notes.txt", "n");
    request.UnknownEntries = {{"indexfile.txt", false}, {"IndexFile.TXT", false}, {"notes.txt", false}};
    request.UnknownTicks = {true, true, true};
    const TBackupOutcome outcome = RunBackup(request, state, Environment());
    const std::string reason = "the name is the backup's own header";
    const std::vector<TLeftOutFile> leftOut = {{request.ProfileDir + "indexfile.txt", reason},
                                               {request.ProfileDir + "IndexFile.TXT", reason}};
    EXPECT_EQ(outcome.Run.Status, TRunStatus::DoneWithLeftOut);
    EXPECT_EQ(outcome.Run.LeftOut, leftOut);
    EXPECT_EQ(outcome.Account.LeftOutByFault, leftOut);
    const TArchiveContent archive = ReadArchive(request.ArchivePath);
    EXPECT_EQ(archive.names, (Names{"indexfile.txt", "notes.txt"}));
    EXPECT_EQ(archive.header,
              WriteArchiveHeader(request.Application, request.Boxes, {}, {{"notes.txt", false}}));
}

TEST_F(BackupRunTest, TheRequestMayChooseLevelAndEncryptionOverTheSettings)
{
    home.WriteFile("program/Backup.ini", "[General]\nencryption=aes256\ncompressionLevel=9\n");
    home.WriteFile("profile/places.sqlite", std::string(5000, 'p'));
    Tick({BookmarksBox});
    request.Password = "pw";
    request.CompressionLevel = 0;
    request.Encryption = TZipEncryption::ZipCrypto;
    Run();
    int error = 0;
    zip_t* za = zip_open(request.ArchivePath.c_str(), ZIP_RDONLY, &error);
    ASSERT_NE(za, nullptr);
    zip_stat_t st;
    ASSERT_EQ(zip_stat(za, "places.sqlite", 0, &st), 0);
    EXPECT_EQ(st.encryption_method, ZIP_EM_TRAD_PKWARE);
    EXPECT_EQ(st.comp_method, ZIP_CM_STORE);
    zip_discard(za);
}

TEST_F(BackupRunTest, TodaysFilesTravelWithTheirGroupAndDatabasesWithTheirLogs)
{
    for (const char* file :
         {"places.sqlite", "places.sqlite-wal", "places.sqlite-shm", "favicons.sqlite", "logins.json",
          "key4.db", "cert9.db", "pkcs11.txt", "abook.sqlite", "abook.sqlite-wal", "abook-2.sqlite",
          "abook-2.sqlite-wal", "extensions.json", "extensions/a@b.xpi",
          "storage/default/moz-extension+++1234/idb/x.sqlite",
          "storage/default/https+++example.org/ls/data.sqlite", "storage/ls-archive.sqlite"})
        home.WriteFile("profile/" + std::string(file), file);
    Tick({HistoryBox, SavedPasswordsBox});
    EXPECT_EQ(Run().names, (Names{"favicons.sqlite", "indexfile.txt", "key4.db", "logins.json",
                                  "places.sqlite", "places.sqlite-wal"}));
    request.Boxes = {};
    Tick({AddressBooksBox, CertificatesBox, ExtensionsBox});
    EXPECT_EQ(Run().names,
              (Names{"abook-2.sqlite", "abook-2.sqlite-wal", "abook.sqlite", "abook.sqlite-wal", "cert9.db",
                     "extensions.json", "extensions/a@b.xpi", "indexfile.txt", "key4.db", "pkcs11.txt",
                     "storage/default/moz-extension+++1234/idb/x.sqlite"}));
}

TEST_F(BackupRunTest, WhatTheProfileHoldsGoesInThroughItsComponentOrAsAnUnknownEntry)
{
    // "Local Folders" only, and add-on data without an add-on database.
    home.WriteFile("profile/prefs.js", "user_pref(\"mail.server.server1.type\", \"none\");\n");
    for (const char* file : {"Mail/Local Folders/Inbox", "gm_scripts/a.user.js", "places.sqlite",
                             ".parentlock", "compatibility.ini"})
        home.WriteFile("profile/" + std::string(file), file);
    request.Boxes = CheckProfileFolder(request.ProfileDir, texts, ui);
    request.UnknownEntries =
        TKnownFiles(QUILLBANK_SOURCE_DIR "/data").FindUnknown(request.ProfileDir, request.Boxes);
    request.UnknownTicks.assign(request.UnknownEntries.size(), true);
    const TArchiveContent archive = Run();
    EXPECT_EQ(archive.names, (Names{"Mail/Local Folders/Inbox", "gm_scripts/a.user.js", "indexfile.txt",
                                    "places.sqlite", "prefs.js"}));
    EXPECT_NE(archive.header.find("YYNYYNNNNNNNNN\r\n"), std::string::npos) << archive.header;
    EXPECT_NE(archive.header.find("dir\r\ngm_scripts\r\n"), std::string::npos) << archive.header;
}
