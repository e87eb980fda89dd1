// Our archives against other ZIP tools, both ways: what TArchive writes
// must be listed, tested and read by unzip, 7z, bsdtar and Python's zipfile,
// and what those tools write must come back whole through TArchive. The
// tools are installed by scripts/install-deps.sh; a missing one fails.

#include "apps/WizardState.h"
#include "config/InterfaceTexts.h"
#include "config/errorlog.h"
#include "engine/Archive.h"
#include "engine/BackupTask.h"
#include "tests/support/ArchiveFixture.h"
#include "tests/support/FakeHome.h"
#include "tests/support/TestData.h"
#include "tests/support/ZipBuilder.h"

#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <sys/wait.h>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::ErrorLogMessages;
using quillbank::testing::FlipAesEntryBit;
using quillbank::testing::NoiseBytes;
using quillbank::testing::ReadFileForTest;
using quillbank::testing::TArchiveTest;
using quillbank::testing::WordText;
namespace fs = std::filesystem;

namespace {

using TFiles = std::map<std::string, std::string>;

struct TToolRun
{
    int status = -1;
    std::string output;
};

std::string Quoted(const std::string& text)
{
    std::string quoted = "'";
    for (const char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::set<std::string> NamesOf(const TFiles& files)
{
    std::set<std::string> names;
    for (const auto& entry : files)
        names.insert(entry.first);
    return names;
}

/// One name per line, blank lines left out.
std::set<std::string> Lines(const std::string& text)
{
    std::set<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            lines.insert(line);
    return lines;
}

/// The regular files below `root`, by their relative path.
TFiles TreeOf(const std::string& root)
{
    TFiles files;
    for (const auto& item : fs::recursive_directory_iterator(root))
        if (item.is_regular_file())
            files[fs::relative(item.path(), root).string()] = ReadFileForTest(item.path().string());
    return files;
}

/// Compares file by file, so a mismatch names the file instead of printing
/// kilobytes of content.
void ExpectSameFiles(const TFiles& actual, const TFiles& expected)
{
    EXPECT_EQ(NamesOf(actual), NamesOf(expected));
    for (const auto& [name, content] : expected) {
        const auto found = actual.find(name);
        if (found != actual.end()) {
            EXPECT_TRUE(found->second == content)
                << name << ": " << found->second.size() << " bytes instead of " << content.size();
        }
    }
}

std::string BinaryContent()
{
    std::string bytes;
    for (int i = 0; i < 256; ++i)
        bytes += static_cast<char>(i);
    // Noise with runs in it, so that deflate has something to do and the
    // result spans several blocks.
    std::uint32_t state = 12345;
    while (bytes.size() < 100000) {
        state = state * 1103515245u + 12345u;
        bytes.append(state >> 29, static_cast<char>(state >> 16));
    }
    return bytes;
}

constexpr const char* Header = "[Quillbank]\r\nVersion=2\r\n";
const std::string Password = "s3cret pass";

/// Reads an archive with Python's zipfile: one line per entry, its name, a tab
/// and its content in hex. Fails when an entry does not verify.
constexpr const char* ZipfileDump = R"(import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as archive:
    if len(sys.argv) > 2:
        archive.setpassword(sys.argv[2].encode())
    if archive.testzip() is not None:
        sys.exit("bad entry: " + archive.testzip())
    for info in archive.infolist():
        sys.stdout.buffer.write(info.filename.encode() + b"\t" + archive.read(info).hex().encode() + b"\n")
)";

class InteropTest : public TArchiveTest
{
protected:
    std::string profile = home.MakeDir("profile") + "/";
    std::string archive = home.Path() + "/backup.qkz";

    /// The profile's files, the external one below its own folder.
    const TFiles profileFiles{
        {"prefs.js", "user_pref(\"browser.startup.page\", 3);\n"},
        {"chrome/userChrome.css", "#nav-bar { visibility: collapse; }\n"},
        {"places.sqlite", BinaryContent()},
        {"empty.dat", ""},
        {"Grüße/Lesezeichen – Übersicht.html", "<html>Ä</html>"},
        // Both larger than the pieces files are compressed in, so that the pieces
        // must join into one stream.
        {"Mail/Local Folders/Inbox", WordText(2'600'000, 777)},
        {"cache2/entries/0A1B", NoiseBytes(1'300'000, 99)},
    };
    const std::string externalName = "Local Archive/Inbox";
    const std::string externalContent = "From - Mon Jan 1 00:00:00 2024\nSubject: hi\n\nbody\n";

    void SetUp() override
    {
        for (const char* tool : {"unzip", "zip", "7z", "bsdtar", "python3"})
            ASSERT_EQ(Run(std::string("command -v ") + tool).status, 0)
                << tool << " is missing (scripts/install-deps.sh installs it)";
    }

    /// Runs a shell command in the home folder, stdout and stderr together.
    TToolRun Run(const std::string& command)
    {
        const std::string line = "cd " + Quoted(home.Path()) + " && LC_ALL=C.UTF-8 " + command + " 2>&1";
        TToolRun run;
        FILE* pipe = popen(line.c_str(), "r");
        if (pipe == nullptr)
            return run;
        char buffer[4096];
        for (std::size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            run.output.append(buffer, got);
        const int status = pclose(pipe);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return run;
    }

    /// Every entry an archive of ours holds, with its content.
    TFiles Expected() const
    {
        TFiles files = profileFiles;
        files[externalName] = externalContent;
        files["indexfile.txt"] = Header;
        return files;
    }

    void Backup(const std::string& password)
    {
        for (const auto& [name, content] : profileFiles)
            home.WriteFile("profile/" + name, content);
        home.WriteFile("elsewhere/" + externalName, externalContent);
        TBackupTask task(profile, profile, ui);
        for (const auto& file : profileFiles)
            task.AddFile(file.first);
        task.AddExternal(externalName, home.Path() + "/elsewhere/");
        ASSERT_EQ(task.Files().size() + task.ExternalFiles().size(), profileFiles.size() + 1);
        TArchive(archive, password, profile, Environment()).AddTask(task, Header);
        ASSERT_TRUE(fs::exists(archive));
    }

    /// The entries as Python's zipfile reads them.
    TFiles ReadWithZipfile(const std::string& password = "")
    {
        home.WriteFile("dump.py", ZipfileDump);
        const TToolRun run =
            Run("python3 dump.py " + Quoted(archive) + (password.empty() ? "" : " " + Quoted(password)));
        EXPECT_EQ(run.status, 0) << run.output;
        TFiles files;
        std::istringstream in(run.output);
        for (std::string line; std::getline(in, line);) {
            const auto tab = line.find('\t');
            if (tab == std::string::npos || (line.size() - tab - 1) % 2 != 0) {
                ADD_FAILURE() << "unexpected output: " << line.substr(0, 200);
                continue;
            }
            std::string content;
            for (std::size_t i = tab + 1; i < line.size(); i += 2)
                content += static_cast<char>(std::stoi(line.substr(i, 2), nullptr, 16));
            files[line.substr(0, tab)] = content;
        }
        return files;
    }

    /// The entry names 7z lists ("Path = " lines after the archive's own block).
    std::set<std::string> ListWith7z(const std::string& password = "")
    {
        const TToolRun run =
            Run("7z l -slt " + (password.empty() ? "" : "-p" + Quoted(password) + " ") + Quoted(archive));
        EXPECT_EQ(run.status, 0) << run.output;
        std::set<std::string> names;
        std::istringstream in(run.output);
        bool entries = false;
        for (std::string line; std::getline(in, line);) {
            if (line.starts_with("----------"))
                entries = true;
            else if (entries && line.starts_with("Path = "))
                names.insert(line.substr(7));
        }
        return names;
    }
};

} // namespace

TEST_F(InteropTest, PlainArchiveIsListedTestedAndReadByOtherTools)
{
    Backup("");
    const auto names = NamesOf(Expected());

    const TToolRun unzipTest = Run("unzip -t " + Quoted(archive));
    EXPECT_EQ(unzipTest.status, 0) << unzipTest.output;
    EXPECT_NE(unzipTest.output.find("No errors detected"), std::string::npos) << unzipTest.output;
    const TToolRun unzipList = Run("unzip -Z1 " + Quoted(archive));
    EXPECT_EQ(unzipList.status, 0) << unzipList.output;
    EXPECT_EQ(Lines(unzipList.output), names);

    const TToolRun sevenZipTest = Run("7z t " + Quoted(archive));
    EXPECT_EQ(sevenZipTest.status, 0) << sevenZipTest.output;
    EXPECT_NE(sevenZipTest.output.find("Everything is Ok"), std::string::npos) << sevenZipTest.output;
    EXPECT_EQ(ListWith7z(), names);

    const TToolRun bsdtarList = Run("bsdtar -tf " + Quoted(archive));
    EXPECT_EQ(bsdtarList.status, 0) << bsdtarList.output;
    EXPECT_EQ(Lines(bsdtarList.output), names);

    ExpectSameFiles(ReadWithZipfile(), Expected());
}

TEST_F(InteropTest, ZipCryptoArchiveOpensWithThePasswordOnly)
{
    home.WriteFile("program/Backup.ini", "[General]\nencryption=zipcrypto\n");
    Backup(Password);

    const TToolRun unzipTest = Run("unzip -t -P " + Quoted(Password) + " " + Quoted(archive));
    EXPECT_EQ(unzipTest.status, 0) << unzipTest.output;
    EXPECT_NE(unzipTest.output.find("No errors detected"), std::string::npos) << unzipTest.output;
    EXPECT_NE(Run("unzip -t -P wrong " + Quoted(archive)).status, 0);

    const TToolRun sevenZipTest = Run("7z t -p" + Quoted(Password) + " " + Quoted(archive));
    EXPECT_EQ(sevenZipTest.status, 0) << sevenZipTest.output;
    EXPECT_NE(Run("7z t -pwrong " + Quoted(archive)).status, 0);

    ExpectSameFiles(ReadWithZipfile(Password), Expected());
}

// Entries deflated are encrypted as they are compressed, stored ones by the
// ZIP library; either way they carry no checksum, only their authentication
// code, which these tools check.
TEST_F(InteropTest, Aes256ArchiveOpensWithThePasswordOnly)
{
    for (const std::string level : {"9", "0"}) {
        SCOPED_TRACE("level " + level);
        home.WriteFile("program/Backup.ini", "[General]\ncompressionLevel=" + level + "\n");
        fs::remove(archive);
        Backup(Password);
        const auto names = NamesOf(Expected());

        const TToolRun sevenZipTest = Run("7z t -p" + Quoted(Password) + " " + Quoted(archive));
        EXPECT_EQ(sevenZipTest.status, 0) << sevenZipTest.output;
        EXPECT_NE(sevenZipTest.output.find("Everything is Ok"), std::string::npos) << sevenZipTest.output;
        EXPECT_NE(Run("7z t -pwrong " + Quoted(archive)).status, 0);
        EXPECT_EQ(ListWith7z(Password), names);
        const std::string bySevenZip = home.MakeDir("7z-" + level);
        const TToolRun sevenZipExtract =
            Run("7z x -y -p" + Quoted(Password) + " -o" + Quoted(bySevenZip) + " " + Quoted(archive));
        EXPECT_EQ(sevenZipExtract.status, 0) << sevenZipExtract.output;
        ExpectSameFiles(TreeOf(bySevenZip), Expected());

        // The names are not encrypted: bsdtar lists them without the password,
        // and libarchive built with a crypto library decrypts WinZip AES too.
        const TToolRun bsdtarList = Run("bsdtar -tf " + Quoted(archive));
        EXPECT_EQ(bsdtarList.status, 0) << bsdtarList.output;
        EXPECT_EQ(Lines(bsdtarList.output), names);
        const std::string byBsdtar = home.MakeDir("bsdtar-" + level);
        const TToolRun bsdtarExtract = Run("bsdtar -xf " + Quoted(archive) + " --passphrase " +
                                           Quoted(Password) + " -C " + Quoted(byBsdtar));
        EXPECT_EQ(bsdtarExtract.status, 0) << bsdtarExtract.output;
        ExpectSameFiles(TreeOf(byBsdtar), Expected());

        // Python's zipfile does not decrypt WinZip AES, but reads the directory.
        const TToolRun zipfileList =
            Run("python3 -c " +
                Quoted("import sys, zipfile; print(*zipfile.ZipFile(sys.argv[1]).namelist(), "
                       "sep='\\n')") +
                " " + Quoted(archive));
        EXPECT_EQ(zipfileList.status, 0) << zipfileList.output;
        EXPECT_EQ(Lines(zipfileList.output), names);
    }
}

namespace {

/// An archive made by another tool from the folder "source", run inside it.
struct TForeignArchive
{
    const char* name;
    const char* command;
    const char* password;
};

void PrintTo(const TForeignArchive& archive, std::ostream* out)
{
    *out << archive.name;
}

class ForeignArchiveTest : public InteropTest, public ::testing::WithParamInterface<TForeignArchive>
{};

} // namespace

TEST_P(ForeignArchiveTest, ComesBackWholeThroughTheFactory)
{
    TFiles sourceFiles = profileFiles;
    sourceFiles[externalName] = externalContent;
    for (const auto& [name, content] : sourceFiles)
        home.WriteFile("source/" + name, content);
    const TToolRun made = Run(std::string("cd source && ") + GetParam().command);
    ASSERT_EQ(made.status, 0) << made.output;
    const std::string madeArchive = home.Path() + "/made.zip";
    ASSERT_TRUE(fs::exists(madeArchive));

    const std::string password = GetParam().password;
    if (!password.empty())
        ui.QueuePassword(password);
    const std::string restored = home.MakeDir("restored");
    TArchive factory(madeArchive, "", restored, Environment());
    EXPECT_EQ(factory.ExtractFolderTo("", "*.*", restored), static_cast<int>(sourceFiles.size()));
    ExpectSameFiles(TreeOf(restored), sourceFiles);
    // Asked once, for the first encrypted entry, and never for a plain archive.
    EXPECT_EQ(ui.calls, password.empty() ? std::vector<std::string>{} : std::vector<std::string>{"password"});
    EXPECT_EQ(state.BackupPassword, password);
    EXPECT_EQ(ErrorLogMessages(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Tools, ForeignArchiveTest,
    ::testing::Values(
        TForeignArchive{"Zip", "zip -q -r ../made.zip *", ""},
        TForeignArchive{"ZipToAPipe", "zip -q -r - * > ../made.zip", ""},
        TForeignArchive{"ZipCrypto", "zip -q -r -P 's3cret pass' ../made.zip *", "s3cret pass"},
        TForeignArchive{"ZipCryptoToAPipe", "zip -q -r -P 's3cret pass' - * > ../made.zip", "s3cret pass"},
        TForeignArchive{"SevenZipAes256", "7z a -bd -tzip -mem=AES256 -p's3cret pass' ../made.zip *",
                        "s3cret pass"},
        TForeignArchive{"SevenZipAes192", "7z a -bd -tzip -mem=AES192 -p's3cret pass' ../made.zip *",
                        "s3cret pass"},
        TForeignArchive{"SevenZipAes128", "7z a -bd -tzip -mem=AES128 -p's3cret pass' ../made.zip *",
                        "s3cret pass"},
        TForeignArchive{"SevenZipZipCrypto", "7z a -bd -tzip -mem=ZipCrypto -p's3cret pass' ../made.zip *",
                        "s3cret pass"},
        TForeignArchive{"Bsdtar", "bsdtar --format zip -cf ../made.zip *", ""},
        TForeignArchive{"BsdtarAes256",
                        "bsdtar --format zip --options zip:encryption=aes256 --passphrase "
                        "'s3cret pass' -cf ../made.zip *",
                        "s3cret pass"}),
    [](const ::testing::TestParamInfo<TForeignArchive>& tool) { return std::string(tool.param.name); });

// Entries with shorter keys carry no checksum either: their authentication
// code is checked as that of our own, read whole or streamed.
TEST_F(InteropTest, ForeignAes128EntriesAlteredWithoutThePasswordAreRefused)
{
    const TFiles files = {{"small.bin", NoiseBytes(300'000, 5)}, {"large.bin", NoiseBytes(5'000'000, 6)}};
    for (const auto& [name, content] : files)
        home.WriteFile("source/" + name, content);
    const TToolRun made = Run("cd source && 7z a -bd -tzip -mx0 -mem=AES128 -p" + Quoted(Password) + " " +
                              Quoted(archive) + " small.bin large.bin");
    ASSERT_EQ(made.status, 0) << made.output;
    const std::string written = ReadFileForTest(archive);
    state.BackupPassword = Password;
    const std::string restored = home.MakeDir("restored");
    TArchive(archive, "", restored, Environment()).ExtractFileList({"*"});
    ExpectSameFiles(TreeOf(restored), files);

    for (const auto& [name, content] : files) {
        std::string bytes = written;
        FlipAesEntryBit(bytes, name, content, false, 8);
        home.WriteFile("backup.qkz", bytes);
        home.WriteFile("restored/" + name, "old");
        EXPECT_EQ(TArchive(archive, Password, Environment()).CheckArchive().Outcome,
                  TArchiveCheck::TOutcome::Damaged)
            << name;
        TArchive(archive, "", restored, Environment()).ExtractFileList({"*"});
        EXPECT_TRUE(ReadFileForTest(restored + "/" + name) == "old") << name;
    }
}
