// Tests of the backup header: its lines, Windows paths and code pages, recognising backups, hostile headers.

#include "engine/ArchiveHeader.h"

#include "apps/WizardState.h"
#include "config/InterfaceTexts.h"
#include "config/errorlog.h"
#include "engine/BackupTask.h"
#include "engine/PendingArchive.h"
#include "tests/support/ArchiveFixture.h"
#include "tests/support/FakeHome.h"
#include "tests/support/ScriptedUserInterface.h"
#include "tests/support/ZipBuilder.h"

#include <filesystem>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::ErrorLogMessages;
using quillbank::testing::ReadFileForTest;
using quillbank::testing::TArchiveTest;
using quillbank::testing::TImmediateExit;
namespace fs = std::filesystem;

namespace {

const std::string Separator = "****////\\\\\\\\****";

class ArchiveHeaderTest : public TArchiveTest
{
protected:
    std::string profile = home.MakeDir("profile") + "/";

    ArchiveHeaderTest()
    {
        state.SelectedAppType = FirefoxAppType;
        state.ArchivePath = home.Path() + "/backup.qkz";
    }

    /// A ZIP backup holding prefs.js and the given header.
    void MakeZipBackup(const std::string& header, const std::string& password = "")
    {
        home.WriteFile("profile/prefs.js", "x");
        TBackupTask task(profile, profile, ui);
        task.AddFile("prefs.js");
        TArchive(state.ArchivePath, password, profile, Environment()).AddTask(task, header);
    }
};

} // namespace

TEST_F(ArchiveHeaderTest, HeaderWithoutListsIsEightLines)
{
    TComponentBoxes boxes;
    boxes[GeneralSettingsBox].Checked = true;
    boxes[AccountsSettingsOnlyBox].Checked = true; // never recorded
    boxes[UserStylesBox].Checked = true;
    boxes[CacheBox].Checked = true;
    EXPECT_EQ(WriteArchiveHeader(FirefoxAppType, boxes, {}, {}),
              "Quillbank\r\nRevize: 2\r\nVerze: \r\n" + Separator + "\r\nYNNNNNYNNNNNNY\r\n" + Separator +
                  "\r\n" + Separator + "\r\n" + Separator + "\r\n");
}

TEST_F(ArchiveHeaderTest, ListsGoBetweenSeparatorsWithoutALimit)
{
    for (int i = 0; i < 30; ++i)
        state.MailFolders.push_back({"/mnt/mail/account" + std::to_string(i), "account" + std::to_string(i)});
    const std::string header = WriteArchiveHeader(FirefoxAppType, {}, state.MailFolders,
                                                  {{"adblockplus", true}, {"notes.txt", false}});
    EXPECT_NE(header.find("/mnt/mail/account29\r\n" + Separator +
                          "\r\ndir\r\nadblockplus\r\nfile\r\nnotes.txt\r\n" + Separator + "\r\n"),
              std::string::npos);

    MakeZipBackup(header);
    TComponentBoxes boxes;
    state.MailFolders.clear();
    ReadArchiveHeader(state, boxes, Environment());
    EXPECT_EQ(state.ArchiveFormat, TArchiveFormat::Zip);
    EXPECT_EQ(state.MailFolders.size(), 30u);
    EXPECT_EQ(state.UnknownEntries,
              (std::vector<TUnknownEntry>{{"adblockplus", true}, {"notes.txt", false}}));
}

TEST_F(ArchiveHeaderTest, ArchiveFoldersAreReadOnlyWhenTheirCountMatches)
{
    const std::string separator = Separator + "\r\n";
    const std::string start = "Quillbank\r\nRevize: 3\r\nVerze: \r\n" + separator + "NYNNNNNNNNNNNN\r\n" +
                              separator + "/x1/Box\r\n/x2/Box\r\n" + separator + separator;
    TComponentBoxes boxes;
    MakeZipBackup(start + "Box~1\r\nBox~2\r\n" + separator);
    ReadArchiveHeader(state, boxes, Environment());
    EXPECT_EQ(state.MailFolders, (std::vector<TMailFolder>{{"/x1/Box", "Box~1"}, {"/x2/Box", "Box~2"}}));
    // One name short: the folders keep their own names.
    MakeZipBackup(start + "Box~1\r\n" + separator);
    ReadArchiveHeader(state, boxes, Environment());
    EXPECT_EQ(state.MailFolders, (std::vector<TMailFolder>{{"/x1/Box", "Box"}, {"/x2/Box", "Box"}}));
}

// A header written on Windows: paths with backslashes, names in the code
// page of that machine (here the language file's Central European one).
TEST_F(ArchiveHeaderTest, WindowsPathsAndCodePageNamesOfAHeaderAreRead)
{
    home.WriteFile("program/Default.lng", "[Common]\r\nDefaultCharset=238\r\n");
    const std::string separator = Separator + "\r\n";
    MakeZipBackup(
        "Quillbank\r\nRevize: 3\r\nVerze: \r\n" + separator + "NYNNNNNNNNNNNN\r\n" + separator +
        "C:\\Po\x9ata\\Archiv\r\n\\\\server\\share\\Doru\xe8\x65n\xe1\r\n/home/b\xc3\xb6\x62/Mail\r\n" +
        separator + "file\r\nPozn\xe1mky.txt\r\n" + separator);
    TComponentBoxes boxes;
    ReadArchiveHeader(state, boxes, Environment());
    EXPECT_EQ(state.MailFolders, (std::vector<TMailFolder>{{"C:\\Po\xc5\xa1ta\\Archiv", "Archiv"},
                                                           {"\\\\server\\share\\Doru\xc4\x8d\x65n\xc3\xa1",
                                                            "Doru\xc4\x8d\x65n\xc3\xa1"},
                                                           {"/home/b\xc3\xb6\x62/Mail", "Mail"}}));
    EXPECT_EQ(state.UnknownEntries, (std::vector<TUnknownEntry>{{"Pozn\xc3\xa1mky.txt", false}}));
}

TEST_F(ArchiveHeaderTest, ShortFlagsLineAndMissingFinalSeparatorAreRead)
{
    MakeZipBackup("Quillbank\r\nRevize: 3\r\nVerze: \r\n" + Separator + "\r\nYNYYYY      \r\n" + Separator +
                  "\r\n" + Separator + "\r\ndir\r\nextensions-data\r\n");
    TComponentBoxes boxes;
    boxes[CacheBox] = {true, true};
    ReadArchiveHeader(state, boxes, Environment());
    for (TComponentBox box : {GeneralSettingsBox, AddressBooksBox, BookmarksBox, HistoryBox, SidebarsBox})
        EXPECT_TRUE(boxes[box].Checked && boxes[box].Enabled) << box;
    for (TComponentBox box : {EmailsBox, UserStylesBox, CertificatesBox, ExtensionsBox, CacheBox})
        EXPECT_FALSE(boxes[box].Checked || boxes[box].Enabled) << box;
    EXPECT_EQ(state.UnknownEntries, (std::vector<TUnknownEntry>{{"extensions-data", true}}));
}

TEST_F(ArchiveHeaderTest, ZipBackupsOfAnyTypeAndLegacyContainersOfTheirOwnType)
{
    MakeZipBackup("Quillbank\r\nRevize: 2\r\n");
    state.SelectedAppType = ThunderbirdAppType;
    EXPECT_TRUE(DetectBackupFile(state.ArchivePath, state, Environment()));
    EXPECT_EQ(state.ArchiveFormat, TArchiveFormat::Zip);

    const std::string legacy = home.WriteFile("old.txt", " Quillbank \r\nRevize: 258\r\nVerze: 1.3\r\n");
    state.ArchiveFormat = TArchiveFormat::Unknown;
    EXPECT_FALSE(DetectBackupFile(legacy, state, Environment())); // 258 % 256 names Firefox
    state.SelectedAppType = FirefoxAppType;
    EXPECT_TRUE(DetectBackupFile(legacy, state, Environment()));
    EXPECT_EQ(state.ArchiveFormat, TArchiveFormat::LegacyContainer);
    EXPECT_FALSE(
        DetectBackupFile(home.WriteFile("bad.txt", "Quillbank\r\nRevize: two\r\n"), state, Environment()));
    EXPECT_FALSE(DetectBackupFile(home.WriteFile("quillbank.txt", "quillbank\r\nRevize: 2\r\n"), state,
                                  Environment()));
    EXPECT_FALSE(DetectBackupFile(home.Path() + "/missing.qkz", state, Environment()));
}

TEST_F(ArchiveHeaderTest, DamagedOrHeaderlessFilesAreNoBackups)
{
    MakeZipBackup("h");
    std::string bytes = ReadFileForTest(state.ArchivePath);
    home.WriteFile("truncated.qkz", bytes.substr(0, bytes.size() / 2));
    EXPECT_FALSE(DetectBackupFile(home.Path() + "/truncated.qkz", state, Environment()));
    EXPECT_FALSE(DetectBackupFile(home.WriteFile("empty.qkz", ""), state, Environment()));
    EXPECT_FALSE(
        DetectBackupFile(home.WriteFile("noise.qkz", std::string(4096, '\x50')), state, Environment()));
    // A header copy in the documents folder plays no part.
    home.WriteFile("Documents/indexfile.txt", "Quillbank\r\n");
    fs::remove(state.ArchivePath);
    home.WriteFile("profile/other", "x");
    TBackupTask task(profile, profile, ui);
    task.AddFile("other");
    TArchive(state.ArchivePath, "", profile, Environment()).AddTask(task);
    EXPECT_FALSE(DetectBackupFile(state.ArchivePath, state, Environment()));
    EXPECT_EQ(ReadFileForTest(home.Path() + "/Documents/indexfile.txt"), "Quillbank\r\n");
}

// A file given to the wizard to open: its content alone says whether it is a backup.
TEST_F(ArchiveHeaderTest, BackupFilesAreKnownByContentAlone)
{
    MakeZipBackup("Quillbank\r\nRevize: 3\r\n");
    const std::string renamed = home.Path() + "/backup.bin";
    fs::copy_file(state.ArchivePath, renamed);
    EXPECT_TRUE(IsBackupFile(renamed));
    EXPECT_TRUE(IsBackupFile(home.WriteFile("old.txt", " Quillbank \r\nRevize: 258\r\nVerze: 1.3\r\n")));

    // A task file, other ZIP archives, damaged and odd files are not.
    EXPECT_FALSE(IsBackupFile(home.WriteFile("task.qkz", "[General]\naction=backup\n")));
    EXPECT_FALSE(
        IsBackupFile(home.WriteFile("other.qkz", quillbank::testing::BuildZip({{"notes.txt", "x"}}))));
    EXPECT_FALSE(
        IsBackupFile(home.WriteFile("nested.qkz", quillbank::testing::BuildZip({{"a/indexfile.txt", "x"}}))));
    const std::string bytes = ReadFileForTest(state.ArchivePath);
    EXPECT_FALSE(IsBackupFile(home.WriteFile("truncated.qkz", bytes.substr(0, bytes.size() / 2))));
    EXPECT_FALSE(IsBackupFile(home.WriteFile("empty.qkz", "")));
    EXPECT_FALSE(IsBackupFile(home.WriteFile("bad.txt", "Quillbank\r\nRevize: two\r\n")));
    // One long line without an end is read no further than its start.
    EXPECT_FALSE(IsBackupFile(home.WriteFile("line.qkz", std::string(1 << 20, 'Q'))));
    EXPECT_FALSE(IsBackupFile(home.MakeDir("folder.qkz")));
    EXPECT_FALSE(IsBackupFile(home.Path() + "/missing.qkz"));
}

// A small archive whose header inflates to 40 MB of line ends, declared or
// hidden behind a small declared size, and one of more lines than a header
// has: each is no backup. A child limited to 256 MiB of address space reads
// them all.
TEST_F(ArchiveHeaderTest, HeadersBeyondTheirLimitsAreRefusedWithBoundedMemory)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit";
#endif
    using quillbank::testing::BuildZip;
    using quillbank::testing::TZipEntrySpec;
    const std::string name(ArchiveHeaderName);
    std::string manyLines =
        "Quillbank\r\nRevize: 2\r\nVerze: \r\n" + Separator + "\r\nY\r\n" + Separator + "\r\n";
    for (std::size_t i = 6; i < HeaderLineLimit; ++i)
        manyLines += "\r\n";
    std::vector<std::string> archives;
    {
        // Gone before the child starts: its memory holds none of it.
        const std::string newlines = "Quillbank\r\n" + std::string(40'000'000, '\n');
        TZipEntrySpec hidden{name, newlines, true};
        hidden.DeclaredSize = 100;
        archives = {home.WriteFile("declared.qkz", BuildZip({{name, newlines, true}})),
                    home.WriteFile("hidden.qkz", BuildZip({hidden})),
                    home.WriteFile("lines.qkz", BuildZip({{name, manyLines, true}}))};
    }
    EXPECT_LT(fs::file_size(archives[0]), 100'000u);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlimit limit{256u << 20, 256u << 20};
        setrlimit(RLIMIT_AS, &limit);
        int refused = 0;
        for (const std::string& archive : archives) {
            ui.QueueAnswer(TBoxAnswer::Ok);
            refused += DetectBackupFile(archive, state, Environment()) ? 0 : 1;
            state.ArchivePath = archive;
            state.ArchiveFormat = TArchiveFormat::Zip;
            try {
                TComponentBoxes boxes;
                ReadArchiveHeader(state, boxes, Environment());
            } catch (const TImmediateExit&) {
                ++refused;
            }
        }
        _exit(refused == 6 ? 0 : 2);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "the child died of signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const std::string log = ErrorLogMessages();
    EXPECT_NE(
        log.find("declared.qkz: the header declares 40000011 bytes, more than the 4.0 MiB a header may hold"),
        std::string::npos)
        << log;
    EXPECT_NE(log.find("hidden.qkz: entry \"indexfile.txt\" not extracted"), std::string::npos) << log;
    EXPECT_NE(log.find("lines.qkz: the header has 100000 lines or more"), std::string::npos) << log;

    // One line fewer is still a header.
    manyLines.resize(manyLines.size() - 2);
    MakeZipBackup(manyLines);
    TComponentBoxes boxes;
    EXPECT_EQ(ReadArchiveHeader(state, boxes, Environment()), FirefoxAppType);
}

TEST_F(ArchiveHeaderTest, EncryptedHeaderNeedsThePassword)
{
    MakeZipBackup("Quillbank\r\n", "secret");
    ui.QueuePassword(std::nullopt);
    EXPECT_FALSE(DetectBackupFile(state.ArchivePath, state, Environment()));
    state.BackupPassword = "secret";
    EXPECT_TRUE(DetectBackupFile(state.ArchivePath, state, Environment()));
}

TEST_F(ArchiveHeaderTest, VerificationReadsEveryEntryBack)
{
    const std::string header = WriteArchiveHeader(FirefoxAppType, {}, {}, {});
    MakeZipBackup(header, "pw");
    EXPECT_TRUE(TArchive(state.ArchivePath, "pw", profile, Environment()).VerifyArchive(header));
    EXPECT_FALSE(TArchive(state.ArchivePath, "pw", profile, Environment()).VerifyArchive(header + "x"));
    EXPECT_FALSE(TArchive(state.ArchivePath, "wrong", profile, Environment()).VerifyArchive(header));
    std::string bytes = ReadFileForTest(state.ArchivePath);
    bytes[bytes.size() / 3] = static_cast<char>(bytes[bytes.size() / 3] ^ 0x20);
    home.WriteFile("backup.qkz", bytes);
    EXPECT_FALSE(TArchive(state.ArchivePath, "pw", profile, Environment()).VerifyArchive(header));
    EXPECT_TRUE(ui.calls.empty()); // verification never asks
}

TEST_F(ArchiveHeaderTest, PendingArchiveReplacesTheOldBackupOnlyWhenCommitted)
{
    home.WriteFile("backup.qkz", "previous backup");
    const std::string pending = PendingArchivePath(state.ArchivePath);
    EXPECT_EQ(pending, home.Path() + "/.backup.qkz.qbpart");
    home.WriteFile(".backup.qkz.qbpart", "left by a killed run");
    RemoveStalePendingArchive(state.ArchivePath);
    EXPECT_FALSE(fs::exists(pending));
    EXPECT_FALSE(CommitPendingArchive(state.ArchivePath)); // nothing to commit
    EXPECT_EQ(ReadFileForTest(state.ArchivePath), "previous backup");
    home.WriteFile(".backup.qkz.qbpart", "new backup");
    EXPECT_TRUE(CommitPendingArchive(state.ArchivePath));
    EXPECT_EQ(ReadFileForTest(state.ArchivePath), "new backup");
    EXPECT_FALSE(fs::exists(pending));
}

TEST_F(ArchiveHeaderTest, UnreadableFileEndsTheProgram)
{
    home.MakeDir("folder.qkz");
    ui.QueueAnswer(TBoxAnswer::Ok);
    EXPECT_THROW(DetectBackupFile(home.Path() + "/folder.qkz", state, Environment()), TImmediateExit);
    EXPECT_EQ(
        ui.calls.front(),
        "box ok warning|Warning|A critical error occurred while accessing the file. The program will exit.");
}

TEST_F(ArchiveHeaderTest, ReadingAHeaderGivesTheApplicationItNames)
{
    TComponentBoxes boxes;
    MakeZipBackup("Quillbank\r\nRevize: 3\r\nVerze: \r\n" + Separator + "\r\nYN\r\n" + Separator + "\r\n");
    EXPECT_EQ(ReadArchiveHeader(state, boxes, Environment()), ThunderbirdAppType);
    fs::remove(state.ArchivePath);
    MakeZipBackup("Quillbank\r\nRevize: 12\r\n");
    EXPECT_EQ(ReadArchiveHeader(state, boxes, Environment()), NoAppType);
    state.ArchivePath = home.WriteFile("old.txt", "Quillbank\r\nRevize: 258\r\nVerze: 1.3\r\n" + Separator +
                                                      "\r\nYN\r\n" + Separator + "\r\n");
    EXPECT_EQ(ReadArchiveHeader(state, boxes, Environment()), FirefoxAppType);
    EXPECT_EQ(state.ArchiveFormat, TArchiveFormat::LegacyContainer);
}
