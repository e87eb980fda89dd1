// Archives built to attack the extraction: every case is extracted whole
// ("*") into an empty target folder beside the archive, through the archive
// layer as a restore uses it.
#include "apps/WizardState.h"
#include "config/InterfaceTexts.h"
#include "config/errorlog.h"
#include "engine/Archive.h"
#include "engine/BackupTask.h"
#include "tests/support/ArchiveFixture.h"
#include "tests/support/FakeHome.h"
#include "tests/support/ZipBuilder.h"

#include <filesystem>
#include <set>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::BuildZip;
using quillbank::testing::EntryNamesIn;
using quillbank::testing::ErrorLogMessages;
using quillbank::testing::ReadFileForTest;
using quillbank::testing::SetFieldAt;
using quillbank::testing::TArchiveTest;
using quillbank::testing::TZipEntrySpec;
namespace fs = std::filesystem;

namespace {

class HostileArchiveTest : public TArchiveTest
{
protected:
    std::string sandbox = home.MakeDir("sandbox") + "/";
    std::string target = home.MakeDir("sandbox/target") + "/";
    std::string archive = sandbox + "hostile.qkz";

    void Write(const std::vector<TZipEntrySpec>& entries)
    {
        home.WriteFile("sandbox/hostile.qkz", BuildZip(entries));
    }

    void ExtractAll() { TArchive(archive, "", target, Environment()).ExtractFileList({"*"}); }

    /// Every path below the target, relative to it, folders with a final "/".
    std::set<std::string> TargetTree() const
    {
        std::set<std::string> tree;
        for (const auto& entry : fs::recursive_directory_iterator(target)) {
            EXPECT_FALSE(entry.is_symlink()) << entry.path();
            EXPECT_EQ(entry.path().filename().string().find(".qbpart"), std::string::npos) << entry.path();
            tree.insert(fs::relative(entry.path(), target).string() + (entry.is_directory() ? "/" : ""));
        }
        return tree;
    }

    /// Nothing but the archive and the target beside the target, and nothing
    /// new in the fake home.
    void ExpectNothingOutside() const
    {
        EXPECT_EQ(EntryNamesIn(sandbox), (std::set<std::string>{"hostile.qkz", "target"}));
        std::set<std::string> inHome = EntryNamesIn(home.Path());
        inHome.erase(".local"); // the error log's folder
        EXPECT_EQ(inHome, (std::set<std::string>{"program", "sandbox"}));
    }

    std::string Log() const { return fs::exists(ErrorLogPath()) ? ErrorLogMessages() : ""; }

    void ExpectLogged(const std::string& entryName) const
    {
        EXPECT_NE(Log().find("entry \"" + entryName + "\""), std::string::npos) << Log();
    }
};

TEST_F(HostileArchiveTest, NamesThatClimbOutAreRefusedOneByOne)
{
    Write({{"../up.txt", "x"},
           {"a/../../up2.txt", "x"},
           {"/abs.txt", "x"},
           {"C:/drive.txt", "x"},
           {"..\\back.txt", "x"},
           {"sub\\..\\..\\back2.txt", "x"},
           {"ok.txt", "fine"}});
    ExtractAll();
    EXPECT_EQ(TargetTree(), (std::set<std::string>{"ok.txt"}));
    ExpectNothingOutside();
    for (const char* name :
         {"../up.txt", "a/../../up2.txt", "/abs.txt", "C:/drive.txt", "../back.txt", "sub/../../back2.txt"})
        ExpectLogged(name);
}

TEST_F(HostileArchiveTest, NulAndControlCharactersInNamesStayInside)
{
    Write({{std::string("evil\0/../../x.txt", 17), "x"}, {"ctl\x01\x1b[31m.txt", "y"}, {"tab\there/f", "z"}});
    ExtractAll();
    ExpectNothingOutside();
    for (const std::string& path : TargetTree())
        EXPECT_EQ(path.find(".."), std::string::npos) << path;
}

// libzip refuses an archive that names one entry twice: nothing is written.
// Archives made on Windows store names in the system's code page without
// ZIP's UTF-8 flag; Backup.ini says which one.
TEST_F(HostileArchiveTest, NamesWithoutTheUtf8FlagAreReadInTheCodePageAndStayInside)
{
    home.WriteFile("program/Backup.ini", "[General]\r\ncodePage=windows-1250\r\n");
    auto windows = [](std::string name) {
        TZipEntrySpec entry(std::move(name), "x");
        entry.Utf8Flag = false;
        return entry;
    };
    Write({windows("Mail\\Local Folders\\Doru\xe8\x65n\xe1 po\x9ata"),
           // Flagged names are UTF-8 whatever the code page.
           {"Mail/Entw\xc3\xbcrfe", "x"},
           // Other tools write UTF-8 without the flag: it stays UTF-8.
           windows("Mail/Gr\xc3\xbc\xc3\x9f\x65"),
           // 0x81 means nothing in code page 1250: read as the ZIP format's code page.
           windows("bad\x81"),
           // Bytes past ASCII never turn into separators or dots.
           windows("..\\\x8a"),
           windows("\x8a/../../up"),
           windows("/\x8a")});
    ExtractAll();

    EXPECT_EQ(TargetTree(),
              (std::set<std::string>{"Mail/", "Mail/Local Folders/",
                                     "Mail/Local Folders/Doru\xc4\x8d\x65n\xc3\xa1 po\xc5\xa1ta",
                                     "Mail/Entw\xc3\xbcrfe", "Mail/Gr\xc3\xbc\xc3\x9f\x65", "bad\xc3\xbc"}));
    ExpectNothingOutside();
    ExpectLogged("../\xc5\xa0");
    ExpectLogged("\xc5\xa0/../../up");
}

TEST_F(HostileArchiveTest, DuplicateNamesRefuseTheWholeArchive)
{
    home.WriteFile("sandbox/target/prefs.js", "old");
    Write({{"prefs.js", "first complete"}, {"other.txt", "o"}, {"prefs.js", "second complete"}});
    ExtractAll();
    EXPECT_EQ(TargetTree(), (std::set<std::string>{"prefs.js"}));
    EXPECT_EQ(ReadFileForTest(target + "prefs.js"), "old");
    EXPECT_NE(Log().find("hostile.qkz: cannot open the archive: the entry \"prefs.js\" appears twice"),
              std::string::npos)
        << Log();
    ExpectNothingOutside();
}

// File names are case-sensitive here: names differing in case only are two files.
TEST_F(HostileArchiveTest, NamesDifferingInCaseOnlyAreTwoCompleteFiles)
{
    Write({{"prefs.js", "lower"}, {"Prefs.js", "upper"}, {"PREFS.JS", "capitals"}});
    ExtractAll();
    EXPECT_EQ(TargetTree(), (std::set<std::string>{"prefs.js", "Prefs.js", "PREFS.JS"}));
    EXPECT_EQ(ReadFileForTest(target + "prefs.js"), "lower");
    EXPECT_EQ(ReadFileForTest(target + "Prefs.js"), "upper");
    EXPECT_EQ(ReadFileForTest(target + "PREFS.JS"), "capitals");
}

TEST_F(HostileArchiveTest, LinkEntriesAreNeverMadeNorWrittenThrough)
{
    TZipEntrySpec toParent{"chrome/up", "../../..", false};
    toParent.UnixMode = 0120777;
    TZipEntrySpec toAbsolute{"chrome/abs", sandbox, false};
    toAbsolute.UnixMode = 0120777;
    Write({toParent, toAbsolute, {"chrome/up/escaped.txt", "x"}, {"chrome/abs/escaped.txt", "x"}});
    ExtractAll();
    ExpectNothingOutside();
    ExpectLogged("chrome/up");
    ExpectLogged("chrome/abs");
    // The names below the refused links are plain folders of the target.
    EXPECT_TRUE(fs::is_directory(fs::symlink_status(target + "chrome/up")));
    EXPECT_EQ(ReadFileForTest(target + "chrome/abs/escaped.txt"), "x");
}

TEST_F(HostileArchiveTest, LyingSizesAndChecksumsKeepTheOldFile)
{
    home.WriteFile("sandbox/target/big.txt", "old big");
    home.WriteFile("sandbox/target/crc.txt", "old crc");
    TZipEntrySpec longer{"big.txt", std::string(1 << 20, 'b'), true};
    longer.DeclaredSize = 5;
    TZipEntrySpec badCrc{"crc.txt", "new content", false};
    badCrc.DeclaredCrc = 1234;
    Write({longer, badCrc});
    ExtractAll();
    EXPECT_EQ(ReadFileForTest(target + "big.txt"), "old big");
    EXPECT_EQ(ReadFileForTest(target + "crc.txt"), "old crc");
    EXPECT_EQ(TargetTree(), (std::set<std::string>{"big.txt", "crc.txt"}));
    ExpectLogged("big.txt");
    ExpectLogged("crc.txt");
}

// Many directory records sharing one block of data would write it many
// times over: the archive is refused whole, whatever the read asks for.
TEST_F(HostileArchiveTest, OverlappingEntriesRefuseTheWholeArchive)
{
    std::vector<TZipEntrySpec> entries = {{"data.bin", std::string(4096, 'd'), true}};
    for (int i = 0; i < 50; ++i) {
        TZipEntrySpec copy{"copy" + std::to_string(i) + ".bin", std::string(4096, 'd'), true};
        copy.LocalOffset = 0;
        entries.push_back(copy);
    }
    Write(entries);
    ExtractAll();
    EXPECT_TRUE(TargetTree().empty());
    ExpectNothingOutside();
    EXPECT_NE(Log().find("hostile.qkz: cannot open the archive: the entries \"data.bin\" and \"copy0.bin\" "
                         "overlap in the file"),
              std::string::npos)
        << Log();
    const TArchiveCheck check = TArchive(archive, "", target, Environment()).CheckArchive();
    EXPECT_EQ(check.Outcome, TArchiveCheck::TOutcome::CannotOpen);
    EXPECT_FALSE(TArchive(archive, "", target, Environment()).ListEntries());

    // An entry whose local header and data lie inside another entry's data.
    const std::string inner = BuildZip({{"inner.txt", "hidden"}});
    const std::string innerEntry = inner.substr(0, 30 + 9 + 6);
    TZipEntrySpec outer{"outer.bin", "pad" + innerEntry, false};
    TZipEntrySpec nested{"inner.txt", "hidden", false};
    nested.LocalOffset = 30 + 9 + 3;
    Write({outer, nested});
    ExtractAll();
    EXPECT_TRUE(TargetTree().empty());
    EXPECT_NE(Log().find("the entries \"outer.bin\" and \"inner.txt\" overlap in the file"),
              std::string::npos)
        << Log();
}

// A deflate bomb whose header declares a few bytes: the read stops once the
// entry yields more than declared, so a child limited to 256 MiB of address
// space extracts it without running out and writes nothing.
TEST_F(HostileArchiveTest, DeflateBombStopsAtItsDeclaredSize)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit";
#endif
    const std::string bomb = quillbank::testing::DeflateRun('\0', std::uint64_t{2} << 30);
    // A stored entry of 10 bytes whose data is then swapped for the bomb:
    // method deflate, compressed size the bomb's, declared size still 10.
    const std::string zip = BuildZip({{"bomb.bin", std::string(10, '\0'), false}});
    const std::string name = "bomb.bin";
    std::string local = zip.substr(0, 30 + name.size());
    const std::string central = zip.substr(30 + name.size() + 10);
    std::string directory = central;
    SetFieldAt(local, 8, 8, 2);
    SetFieldAt(local, 18, static_cast<std::uint32_t>(bomb.size()), 4);
    SetFieldAt(directory, 10, 8, 2);
    SetFieldAt(directory, 20, static_cast<std::uint32_t>(bomb.size()), 4);
    const auto directoryOffset = static_cast<std::uint32_t>(local.size() + bomb.size());
    SetFieldAt(directory, directory.size() - 6, directoryOffset, 4);
    home.WriteFile("sandbox/hostile.qkz", local + bomb + directory);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlimit limit{256u << 20, 256u << 20};
        setrlimit(RLIMIT_AS, &limit);
        ExtractAll();
        _exit(fs::exists(target + "bomb.bin") ? 2 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "the child died of signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    ExpectLogged("bomb.bin");
}

TEST_F(HostileArchiveTest, TruncatedAndNonZipFilesExtractNothing)
{
    TZipEntrySpec entry{"prefs.js", std::string(10000, 'p'), true};
    const std::string whole = BuildZip({entry});
    for (const std::string& bytes : {whole.substr(0, whole.size() / 2), whole.substr(0, whole.size() - 10),
                                     std::string("Quillbank\r\nnot a zip\r\n"), std::string()}) {
        home.WriteFile("sandbox/hostile.qkz", bytes);
        ExtractAll();
        EXPECT_TRUE(TargetTree().empty());
        ExpectNothingOutside();
    }
    EXPECT_NE(Log().find("cannot open the archive"), std::string::npos) << Log();
}

/// The traditional encryption's check: the byte the header decrypts to.
std::uint8_t CheckByteWith(const std::string& password, const std::string& encryptionHeader)
{
    std::uint32_t keys[3] = {0x12345678, 0x23456789, 0x34567890};
    auto update = [&](std::uint8_t byte) {
        keys[0] = ~static_cast<std::uint32_t>(crc32(~keys[0], &byte, 1));
        keys[1] = (keys[1] + (keys[0] & 0xff)) * 134775813u + 1;
        const std::uint8_t high = static_cast<std::uint8_t>(keys[1] >> 24);
        keys[2] = ~static_cast<std::uint32_t>(crc32(~keys[2], &high, 1));
    };
    for (const char c : password)
        update(static_cast<std::uint8_t>(c));
    std::uint8_t plain = 0;
    for (const char c : encryptionHeader) {
        const std::uint32_t temp = (keys[2] & 0xffff) | 2;
        plain = static_cast<std::uint8_t>(static_cast<std::uint8_t>(c) ^ ((temp * (temp ^ 1)) >> 8));
        update(plain);
    }
    return plain;
}

TEST_F(HostileArchiveTest, WrongPasswordPassingTheCheckByteWritesNothing)
{
    home.WriteFile("source/secret.txt", std::string(5000, 's'));
    const std::string source = home.Path() + "/source/";
    {
        TBackupTask task(source, source, ui);
        task.AddFile("secret.txt");
        TArchive writer(archive, "right", source, Environment());
        writer.SetEncryption(TZipEncryption::ZipCrypto);
        writer.SetCompressionLevel(0);
        writer.AddTask(task);
    }
    const std::string bytes = ReadFileForTest(archive);
    const std::size_t nameLength =
        static_cast<std::uint8_t>(bytes[26]) | (static_cast<std::uint8_t>(bytes[27]) << 8);
    const std::size_t extraLength =
        static_cast<std::uint8_t>(bytes[28]) | (static_cast<std::uint8_t>(bytes[29]) << 8);
    const std::string header = bytes.substr(30 + nameLength + extraLength, 12);
    const std::uint8_t expected = CheckByteWith("right", header);
    std::string wrong;
    for (int i = 0; wrong.empty(); ++i)
        if (const std::string candidate = "wrong" + std::to_string(i);
            CheckByteWith(candidate, header) == expected)
            wrong = candidate;

    home.WriteFile("sandbox/target/secret.txt", "old");
    state.BackupPassword = wrong;
    ui.QueuePassword(std::nullopt);
    ExtractAll();
    EXPECT_EQ(ReadFileForTest(target + "secret.txt"), "old");
    EXPECT_EQ(TargetTree(), (std::set<std::string>{"secret.txt"}));
    EXPECT_NE(Log().find("entry \"secret.txt\" not extracted: no or wrong password"), std::string::npos)
        << Log();
}

TEST_F(HostileArchiveTest, ManyEntriesAndDeepNamesAreBounded)
{
    std::vector<TZipEntrySpec> entries;
    for (int i = 0; i < 3000; ++i)
        entries.push_back({"many/" + std::to_string(i), "", false});
    std::string deep;
    for (int i = 0; i < 2100; ++i)
        deep += "d/";
    entries.push_back({deep + "deep.txt", "deep", false});
    Write(entries);
    ExtractAll();
    ExpectNothingOutside();
    EXPECT_EQ(std::distance(fs::directory_iterator(target + "many"), fs::directory_iterator()), 3000);
    ExpectLogged(deep + "deep.txt");
}

} // namespace

namespace {

// Links the user already has in the target profile.
class TargetLinksTest : public HostileArchiveTest
{
protected:
    std::string elsewhere = home.MakeDir("elsewhere") + "/";
};

TEST_F(TargetLinksTest, AFileThatIsASymbolicLinkIsReplacedNotWrittenThrough)
{
    home.WriteFile("elsewhere/victim.txt", "victim");
    fs::create_symlink(elsewhere + "victim.txt", target + "prefs.js");
    Write({{"prefs.js", "restored"}});
    ExtractAll();
    EXPECT_EQ(ReadFileForTest(elsewhere + "victim.txt"), "victim");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(target + "prefs.js")));
    EXPECT_EQ(ReadFileForTest(target + "prefs.js"), "restored");
}

TEST_F(TargetLinksTest, AFileWithASecondHardLinkIsReplacedNotWrittenThrough)
{
    home.WriteFile("sandbox/target/key4.db", "old keys");
    fs::create_hard_link(target + "key4.db", elsewhere + "key4-copy.db");
    Write({{"key4.db", "restored keys"}});
    ExtractAll();
    EXPECT_EQ(ReadFileForTest(elsewhere + "key4-copy.db"), "old keys");
    EXPECT_EQ(ReadFileForTest(target + "key4.db"), "restored keys");
    EXPECT_EQ(fs::hard_link_count(target + "key4.db"), 1u);
}

// A folder link the user made in the profile (a mail store kept on another
// disk) is followed: the archive's files go where the user sent that folder.
// The archive itself can never make such a link (link entries are refused).
TEST_F(TargetLinksTest, AFolderLinkTheUserMadeIsFollowed)
{
    home.MakeDir("elsewhere/Mail");
    fs::create_directory_symlink(elsewhere + "Mail", target + "Mail");
    Write({{"Mail/Local Folders/Inbox", "mail"}});
    ExtractAll();
    EXPECT_TRUE(fs::is_symlink(target + "Mail"));
    EXPECT_EQ(ReadFileForTest(elsewhere + "Mail/Local Folders/Inbox"), "mail");
}

} // namespace
