// Tests of the archive layer: storing and extracting files, progress, passwords, damaged and hostile entries.

#include "engine/Archive.h"

#include "apps/WizardState.h"
#include "config/InterfaceTexts.h"
#include "config/errorlog.h"
#include "engine/BackupTask.h"
#include "engine/ParallelDeflate.h"
#include "tests/support/ArchiveFixture.h"
#include "tests/support/FakeHome.h"
#include "tests/support/TestData.h"
#include "tests/support/ZipBuilder.h"

#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <zip.h>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::ErrorLogMessages;
using quillbank::testing::NoiseBytes;
using quillbank::testing::ReadFileForTest;
using quillbank::testing::TArchiveTest;
using quillbank::testing::WordText;
using quillbank::testing::ZipEntryNames;
namespace fs = std::filesystem;

namespace {

class ArchiveTest : public TArchiveTest
{
protected:
    std::string profile = home.MakeDir("profile") + "/";
    std::string archive = home.Path() + "/backup.qkz";

    /// Writes the profile files and backs them up, with `header` as the header.
    void Backup(std::initializer_list<std::pair<std::string, std::string>> files,
                const std::string& password = "")
    {
        for (const auto& [name, content] : files)
            home.WriteFile("profile/" + name, content);
        TBackupTask task(profile, profile, ui);
        for (const auto& file : files)
            task.AddFile(file.first);
        TArchive(archive, password, profile, Environment()).AddTask(task, "Quillbank\r\n");
    }

    zip_uint16_t EncryptionOf(const std::string& entry)
    {
        int error = 0;
        zip_t* za = zip_open(archive.c_str(), ZIP_RDONLY, &error);
        zip_stat_t st;
        zip_stat(za, entry.c_str(), 0, &st);
        zip_discard(za);
        return st.encryption_method;
    }
};

} // namespace

TEST_F(ArchiveTest, ATaskStoresItsFilesAndExternalFilesOnceAndComesBackWhole)
{
    home.WriteFile("profile/prefs.js", "user_pref(\"a\", 1);\n");
    home.WriteFile("profile/chrome/userChrome.css", "css");
    home.WriteFile("outside/Archive Mail/Inbox", "mail");
    home.WriteFile("outside/Archive Mail/Inbox.msf", "index");
    TBackupTask task(profile, profile, ui);
    task.AddFile("prefs.js");
    task.AddFile("prefs.js"); // listed twice, stored once
    task.AddFile("chrome/userChrome.css");
    task.ListFolder("Archive Mail", "*.*", home.Path() + "/outside/");
    TArchive factory(archive, "", profile, Environment());
    factory.AddTask(task, "header\r\n");
    EXPECT_EQ(ZipEntryNames(archive),
              (std::vector<std::string>{"Archive Mail/Inbox", "Archive Mail/Inbox.msf",
                                        "chrome/userChrome.css", "indexfile.txt", "prefs.js"}));
    EXPECT_EQ(fs::status(archive).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);

    const std::string restored = home.MakeDir("restored");
    EXPECT_EQ(factory.ExtractFolderTo("", "*.*", restored), 5);
    EXPECT_EQ(ReadFileForTest(restored + "/chrome/userChrome.css"), "css");
    EXPECT_EQ(ReadFileForTest(restored + "/Archive Mail/Inbox"), "mail");
    EXPECT_EQ(ReadFileForTest(restored + "/indexfile.txt"), "header\r\n");
}

TEST_F(ArchiveTest, SpecsMatchAcrossFoldersWithoutRegardToCase)
{
    Backup({{"12345.s", "a"}, {"sub/deep.S", "b"}, {"cert8.dir/x/y.db", "c"}, {"other.txt", "d"}});
    TArchive factory(archive, "", profile, Environment());
    const std::string out = home.MakeDir("out");
    EXPECT_EQ(factory.ExtractFolderTo("", "*.s", out), 2);
    EXPECT_EQ(factory.ExtractFolderTo("CERT8.DIR", "*.*", out), 1);
    EXPECT_EQ(factory.ExtractFileTo("sub\\deep.s", out), 1);
    EXPECT_EQ(factory.ExtractFileTo("?ther.txt", out), 1);
    EXPECT_EQ(factory.ExtractFileTo("missing", out), 0);
    EXPECT_TRUE(fs::exists(out + "/cert8.dir/x/y.db"));
}

TEST_F(ArchiveTest, ProgressMovesFileByFileDuringABackup)
{
    state.Operation = TOperation::Backup;
    Backup({{"a.txt", std::string(300, 'a')}, {"b.txt", std::string(100, 'b')}});
    std::vector<std::string> progress;
    for (const std::string& call : ui.calls)
        if (call.starts_with("task|") || call.starts_with("position|"))
            progress.push_back(call);
    // Each file: its task line and the bar counting it as done at its start,
    // then twice the bar at its end. The header from memory has no file
    // behind it and reports nothing.
    const std::vector<std::string> expected{"task|File: a.txt", "position|75",      "position|75",
                                            "position|75",      "task|File: b.txt", "position|100",
                                            "position|100",     "position|100"};
    EXPECT_EQ(progress, expected);
    EXPECT_GT(ui.processEventsCount, 0);
}

TEST_F(ArchiveTest, ProgressOfAnEmptyTaskStaysAtZeroAndARestoreShowsNone)
{
    state.Operation = TOperation::Backup;
    Backup({{"empty", ""}});
    EXPECT_EQ(ui.calls,
              (std::vector<std::string>{"task|File: empty", "position|0", "position|0", "position|0"}));
    ui.calls.clear();
    state.Operation = TOperation::Restore;
    TArchive(archive, "", profile, Environment()).ExtractFile("*.*");
    EXPECT_TRUE(ui.calls.empty());
}

TEST_F(ArchiveTest, PasswordIsAskedOnceAndRememberedByTheObject)
{
    Backup({{"key4.db", "secret"}, {"logins.json", "{}"}}, "pass word");
    EXPECT_EQ(EncryptionOf("key4.db"), ZIP_EM_AES_256);
    EXPECT_EQ(EncryptionOf("indexfile.txt"), ZIP_EM_AES_256);

    const std::string out = home.MakeDir("out");
    TArchive factory(archive, "", out, Environment());
    ui.QueuePassword("wrong");
    ui.QueuePassword("pass word");
    EXPECT_EQ(factory.ExtractFolder("", "*.db"), 1);
    EXPECT_EQ(state.BackupPassword, "pass word");
    EXPECT_EQ(factory.ExtractFolder("", "*.json"), 1); // no second question
    EXPECT_EQ(ui.calls, (std::vector<std::string>{"password", "password"}));
    EXPECT_EQ(ReadFileForTest(out + "/key4.db"), "secret");

    // A new object takes the known password with its first file extract ...
    EXPECT_EQ(TArchive(archive, "", out, Environment()).ExtractFile("key4.db"), 1);
    // ... but a folder extract does not touch the password, so it asks.
    ui.QueuePassword(std::nullopt);
    EXPECT_EQ(TArchive(archive, "", out, Environment()).ExtractFolder("", "*.db"), 0);
    EXPECT_EQ(ui.calls.size(), 3u);
}

TEST_F(ArchiveTest, WrongPasswordsAreNotAskedForEndlesslyAndLeaveFilesAlone)
{
    Backup({{"a.db", "new a"}, {"b.db", "new b"}}, "right");
    home.WriteFile("out/a.db", "good old a");
    TArchive factory(archive, "", home.Path() + "/out", Environment());
    for (int i = 0; i < 10; ++i)
        ui.QueuePassword("wrong");
    EXPECT_EQ(factory.ExtractFolder("", "*.db"), 0);
    EXPECT_EQ(ui.calls.size(), 3u); // a few tries for the first entry, then no more questions
    EXPECT_EQ(ReadFileForTest(home.Path() + "/out/a.db"), "good old a");
    EXPECT_TRUE(fs::is_empty(home.Path() + "/out/") == false);
    EXPECT_EQ(std::distance(fs::directory_iterator(home.Path() + "/out"), fs::directory_iterator()), 1);
}

TEST_F(ArchiveTest, EmptyPasswordMeansNoEncryptionAndZipCryptoCanBeChosen)
{
    Backup({{"a", "x"}}, "");
    EXPECT_EQ(EncryptionOf("a"), ZIP_EM_NONE);
    home.WriteFile("program/Backup.ini", "[General]\nencryption = ZipCrypto\ncompressionLevel=42\n");
    fs::remove(archive);
    Backup({{"a", "x"}}, "pw");
    EXPECT_EQ(EncryptionOf("a"), ZIP_EM_TRAD_PKWARE);
    const std::string out = home.MakeDir("out");
    state.BackupPassword = "pw";
    EXPECT_EQ(TArchive(archive, "", out, Environment()).ExtractFile("a"), 1);
}

TEST_F(ArchiveTest, AFileTwoPartsRestoreIsWrittenOnceUnlessChangedInBetween)
{
    Backup({{"logins.json", "logins"}, {"key4.db", "keys"}});
    const std::string out = home.MakeDir("out") + "/";
    TArchive restore(archive, "", out, Environment());
    const auto inode = [](const std::string& path) {
        struct stat info = {};
        return ::stat(path.c_str(), &info) == 0 ? info.st_ino : ino_t{0};
    };
    for (const std::string name : {"logins.json", "key4.db"}) {
        SCOPED_TRACE(name);
        const std::uint64_t before = restore.ExtractedEntries();
        EXPECT_EQ(restore.ExtractFile(name), 1);
        const ino_t placed = inode(out + name);
        EXPECT_EQ(restore.ExtractFile(name), 1);
        EXPECT_EQ(inode(out + name), placed);
        EXPECT_EQ(restore.ExtractedEntries(), before + 1);

        home.WriteFile("out/" + name, "changed since");
        EXPECT_EQ(restore.ExtractFile(name), 1);
        EXPECT_NE(ReadFileForTest(out + name), "changed since");
        EXPECT_EQ(restore.ExtractedEntries(), before + 2);
    }
}

TEST_F(ArchiveTest, AFileThatVanishedBeforeTheWriteIsLeftOutAndReported)
{
    home.WriteFile("profile/keep", "k");
    home.WriteFile("profile/gone", "g");
    TBackupTask task(profile, profile, ui);
    task.AddFile("keep");
    task.AddFile("gone");
    fs::remove(profile + "gone");
    TArchive(archive, "", profile, Environment()).AddTask(task, "h");
    EXPECT_EQ(ZipEntryNames(archive), (std::vector<std::string>{"indexfile.txt", "keep"}));
    ASSERT_FALSE(ui.calls.empty());
    EXPECT_NE(ui.calls.back().find("File: " + profile + "gone"), std::string::npos) << ui.calls.back();
    EXPECT_NE(ErrorLogMessages().find("gone"), std::string::npos);
}

TEST_F(ArchiveTest, HostileEntriesAreRefusedOneByOneAndTheRestIsExtracted)
{
    {
        int error = 0;
        zip_t* za = zip_open(archive.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
        auto add = [&](const char* name, const char* content) {
            const zip_int64_t index =
                zip_file_add(za, name, zip_source_buffer(za, content, std::strlen(content), 0), 0);
            return index;
        };
        add("../evil", "x");
        add("/etc/evil", "x");
        add("C:/evil", "x");
        add("a/../../evil", "x");
        add("..\\evil2", "x");
        const zip_int64_t link = add("link", "/etc/passwd");
        zip_file_set_external_attributes(za, static_cast<zip_uint64_t>(link), 0, ZIP_OPSYS_UNIX,
                                         (S_IFLNK | 0777u) << 16);
        add("fine/file", "ok");
        ASSERT_EQ(zip_close(za), 0);
    }
    const std::string out = home.MakeDir("dest/inner");
    TArchive factory(archive, "", out, Environment());
    EXPECT_EQ(factory.ExtractFile("*"), 1);
    EXPECT_EQ(ReadFileForTest(out + "/fine/file"), "ok");
    EXPECT_FALSE(fs::exists(home.Path() + "/dest/evil"));
    EXPECT_FALSE(fs::exists(home.Path() + "/dest/evil2"));
    EXPECT_FALSE(fs::exists(out + "/link"));
    const std::string log = ErrorLogMessages();
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 6) << log;
    // Each refusal is kept too, with the entry and the reason.
    const std::string outside = "it would lie outside " + out + "/";
    EXPECT_EQ(factory.ReportedProblems(), (std::vector<TLeftOutFile>{{"../evil", outside},
                                                                     {"/etc/evil", outside},
                                                                     {"C:/evil", outside},
                                                                     {"a/../../evil", outside},
                                                                     {"../evil2", outside},
                                                                     {"link", "it is a symbolic link"}}));
}

TEST_F(ArchiveTest, ADamagedEntryNeverReplacesAGoodFile)
{
    Backup({{"places.sqlite", std::string(5000, 'p')}});
    // Flip a byte inside the first entry's data (after its local header,
    // name and extra field): the checksum no longer matches.
    std::string bytes = ReadFileForTest(archive);
    const auto field = [&bytes](std::size_t at) {
        return static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8;
    };
    const std::size_t data = 30 + field(26) + field(28);
    bytes[data + 2] = static_cast<char>(bytes[data + 2] ^ 0x55);
    home.WriteFile("backup.qkz", bytes);
    home.WriteFile("out/places.sqlite", "good");
    TArchive factory(archive, "", home.Path() + "/out", Environment());
    EXPECT_EQ(factory.ExtractFile("places.sqlite"), 0);
    EXPECT_EQ(factory.ReportedProblems(),
              (std::vector<TLeftOutFile>{{"places.sqlite", "the archive is damaged"}}));
    EXPECT_EQ(ReadFileForTest(home.Path() + "/out/places.sqlite"), "good");
    EXPECT_EQ(std::distance(fs::directory_iterator(home.Path() + "/out"), fs::directory_iterator()), 1);
}

TEST_F(ArchiveTest, CheckArchiveReadsEveryEntryAndTellsAWrongPasswordFromDamage)
{
    const std::string noise(100000, '\0');
    std::string data = noise;
    unsigned seed = 1;
    for (char& byte : data) {
        seed = seed * 1103515245u + 12345u;
        byte = static_cast<char>(seed >> 16);
    }
    Backup({{"a.txt", "alpha"}, {"places.sqlite", data}}, "pw");
    TArchiveCheck check = TArchive(archive, "pw", Environment()).CheckArchive();
    EXPECT_EQ(check.Outcome, TArchiveCheck::TOutcome::Passed);
    EXPECT_EQ(check.Failure, "");
    EXPECT_EQ(check.EntriesRead, 3u); // with the header
    EXPECT_EQ(check.BytesRead, 5u + data.size() + std::string("Quillbank\r\n").size());

    for (const char* password : {"", "wrong"}) {
        check = TArchive(archive, password, Environment()).CheckArchive();
        EXPECT_EQ(check.Outcome, TArchiveCheck::TOutcome::WrongPassword) << password;
        EXPECT_EQ(check.Failure, "a.txt");
    }
    EXPECT_EQ(ui.calls, std::vector<std::string>{}); // never asked

    std::string bytes = ReadFileForTest(archive);
    bytes[bytes.size() / 2] = static_cast<char>(bytes[bytes.size() / 2] ^ 1);
    home.WriteFile("damaged.qkz", bytes);
    check = TArchive(home.Path() + "/damaged.qkz", "pw", Environment()).CheckArchive();
    EXPECT_EQ(check.Outcome, TArchiveCheck::TOutcome::Damaged);
    EXPECT_EQ(check.Failure, "places.sqlite");
    EXPECT_EQ(check.EntriesRead, 1u);

    check = TArchive(home.WriteFile("text.qkz", "not a zip"), "", Environment()).CheckArchive();
    EXPECT_EQ(check.Outcome, TArchiveCheck::TOutcome::CannotOpen);
    EXPECT_NE(check.Failure, "");
}

TEST_F(ArchiveTest, EntriesAreListedWithSizesAndEncryption)
{
    Backup({{"a.txt", std::string(1000, 'a')}, {"sub/b.txt", "b"}}, "pw");
    const auto entries = TArchive(archive, "", Environment()).ListEntries();
    ASSERT_TRUE(entries.has_value());
    ASSERT_EQ(entries->size(), 3u);
    EXPECT_EQ((*entries)[0].Name, "a.txt");
    EXPECT_EQ((*entries)[0].Size, 1000u);
    EXPECT_LT((*entries)[0].CompressedSize, 1000u);
    EXPECT_EQ((*entries)[1].Name, "sub/b.txt");
    EXPECT_EQ((*entries)[2].Name, "indexfile.txt");
    for (const TArchiveEntry& entry : *entries)
        EXPECT_EQ(entry.Encryption, "aes256") << entry.Name;
    EXPECT_FALSE(TArchive(home.Path() + "/missing.qkz", "", Environment()).ListEntries().has_value());
}

TEST_F(ArchiveTest, LevelAndEncryptionCanBeSetOverTheSettings)
{
    home.WriteFile("program/Backup.ini", "[General]\nencryption=aes256\ncompressionLevel=9\n");
    home.WriteFile("profile/a.txt", std::string(1000, 'a'));
    TBackupTask task(profile, profile, ui);
    task.AddFile("a.txt");
    TArchive factory(archive, "pw", profile, Environment());
    factory.SetCompressionLevel(-3); // brought within 0 to 9: stored
    factory.SetEncryption(TZipEncryption::ZipCrypto);
    factory.AddTask(task, "Quillbank\r\n");
    EXPECT_EQ(EncryptionOf("a.txt"), ZIP_EM_TRAD_PKWARE);
    const auto entries = TArchive(archive, "", Environment()).ListEntries();
    ASSERT_TRUE(entries.has_value());
    EXPECT_EQ((*entries)[0].Encryption, "zipcrypto");
    EXPECT_EQ((*entries)[0].CompressedSize, 1000u + 12u);
    EXPECT_EQ(TArchive(archive, "pw", Environment()).CheckArchive().Outcome, TArchiveCheck::TOutcome::Passed);
}

// Encrypted entries too large to be read whole are decrypted and inflated as
// they stream: compressed and stored ones alike, checked, and refused when
// damaged.
TEST_F(ArchiveTest, LargeEncryptedEntriesStreamBackWholeAndTheirDamageIsCaught)
{
    const std::string mail = WordText(6'000'000, 3);
    const std::string noise = NoiseBytes(5'000'000, 4);
    Backup({{"Inbox", mail}, {"cache.bin", noise}}, "pw");
    EXPECT_EQ(EncryptionOf("Inbox"), ZIP_EM_AES_256);
    EXPECT_TRUE(TArchive(archive, "pw", profile, Environment()).VerifyArchive("Quillbank\r\n"));

    const std::string out = home.MakeDir("out");
    state.BackupPassword = "pw";
    TArchive(archive, "", out, Environment()).ExtractFileList({"Inbox", "cache.bin"});
    EXPECT_TRUE(ReadFileForTest(out + "/Inbox") == mail);
    EXPECT_TRUE(ReadFileForTest(out + "/cache.bin") == noise);

    // One flipped bit in each entry's data: the mail compresses to some
    // 900 KB and comes first, the noise fills the rest.
    std::string bytes = ReadFileForTest(archive);
    for (const std::size_t at : {std::size_t{400'000}, bytes.size() - 1'000'000})
        bytes[at] = static_cast<char>(bytes[at] ^ 1);
    home.WriteFile("damaged.qkz", bytes);
    const std::string damagedOut = home.MakeDir("damaged-out");
    EXPECT_EQ(TArchive(home.Path() + "/damaged.qkz", "pw", Environment()).CheckArchive().Outcome,
              TArchiveCheck::TOutcome::Damaged);
    TArchive(home.Path() + "/damaged.qkz", "", damagedOut, Environment())
        .ExtractFileList({"Inbox", "cache.bin"});
    EXPECT_TRUE(fs::is_empty(damagedOut));
}

// Files that end exactly on a boundary of the pieces the backup compresses
// in parallel, or a byte either side of it, are written and restored whole,
// in the clear (their checksums joined piece by piece) and encrypted (the
// authentication code closing the last piece).
TEST_F(ArchiveTest, FilesAroundPieceBoundariesComeBackWhole)
{
    constexpr std::size_t P = TParallelDeflate::PieceSize;
    std::vector<std::pair<std::string, std::string>> files;
    for (const std::size_t size :
         {P - 1, P, P + 1, 2 * P - 1, 2 * P, 2 * P + 1, 5 * P - 1, 5 * P, 5 * P + 1}) {
        const auto seed = static_cast<std::uint32_t>(files.size());
        files.emplace_back("db" + std::to_string(seed) + ".sqlite",
                           seed % 2 == 0 ? WordText(size, seed) : NoiseBytes(size, seed));
        home.WriteFile("profile/" + files.back().first, files.back().second);
    }
    TBackupTask task(profile, profile, ui);
    for (const auto& file : files)
        task.AddFile(file.first);
    for (const std::string password : {"", "pw"}) {
        SCOPED_TRACE(password.empty() ? "in the clear" : "encrypted");
        const std::string written = home.Path() + "/backup-" + password + ".qkz";
        TArchive(written, password, profile, Environment()).AddTask(task, "Quillbank\r\n");
        const std::string out = home.MakeDir("out-" + password);
        EXPECT_EQ(TArchive(written, password, out, Environment()).ExtractFolderTo("", "*.sqlite", out),
                  static_cast<int>(files.size()));
        for (const auto& [name, content] : files)
            EXPECT_TRUE(ReadFileForTest(out + "/" + name) == content) << name;
    }
}
