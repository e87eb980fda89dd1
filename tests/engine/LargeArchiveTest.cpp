// A backup with a file beyond 4 GiB, which only Zip64 can hold, written and
// read back through TArchive.
//
// Not run by ctest: it compresses, restores and compares 5.2 GiB, which takes
// half a minute or more, and needs about 6 GiB free in the temporary folder
// (the source file is sparse, the restored copy is not). Run it by hand:
//
//     cmake --build build --target large_archive_tests
//     build/bin/large_archive_tests
//
// Set TMPDIR to work in another folder. Everything is removed afterwards.

#include "apps/WizardState.h"
#include "config/InterfaceTexts.h"
#include "config/errorlog.h"
#include "engine/Archive.h"
#include "engine/BackupTask.h"
#include "engine/RunEnvironment.h"
#include "tests/support/FakeHome.h"
#include "tests/support/ScriptedUserInterface.h"

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::ErrorLogMessages;
using quillbank::testing::ReadFileForTest;
using quillbank::testing::TFakeHome;
using quillbank::testing::TScriptedUserInterface;
namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t GiB = 1ull << 30;
constexpr std::uint64_t BigSize = 52 * GiB / 10;

/// Marks in the otherwise empty big file: at its start, across the 4 GiB
/// boundary, beyond it and at its very end.
const std::vector<std::pair<std::uint64_t, std::string>> Marks{
    {0, "first bytes"},
    {4 * GiB - 5, "across 4 GiB"},
    {4 * GiB + 12345, "beyond 4 GiB"},
    {BigSize - 8, "last 8 b"},
};

/// Reads the archive with Python's zipfile: the big entry's size, whether its
/// central record has a Zip64 extra field, and the small entry's content.
constexpr const char* ZipfileInfo = R"(import struct, sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as archive:
    big = archive.getinfo("big.bin")
    ids, extra = [], big.extra
    while len(extra) >= 4:
        kind, size = struct.unpack("<HH", extra[:4])
        ids.append(kind)
        extra = extra[4 + size:]
    print(big.file_size, 1 in ids, archive.read("notes.txt").decode())
)";

std::string Quoted(const std::string& text)
{
    std::string quoted = "'";
    for (const char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

bool WriteAt(int fd, std::uint64_t offset, const std::string& bytes)
{
    return pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset)) ==
           static_cast<ssize_t>(bytes.size());
}

std::string ReadAt(const std::string& path, std::uint64_t offset, std::size_t size)
{
    std::string bytes(size, '\0');
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const ssize_t got = fd < 0 ? -1 : pread(fd, bytes.data(), size, static_cast<off_t>(offset));
    if (fd >= 0)
        close(fd);
    bytes.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
    return bytes;
}

/// The offset of the first difference between two files, -1 when equal.
std::int64_t FirstDifference(const std::string& a, const std::string& b)
{
    const int fa = open(a.c_str(), O_RDONLY | O_CLOEXEC);
    const int fb = open(b.c_str(), O_RDONLY | O_CLOEXEC);
    std::int64_t difference = 0;
    if (fa >= 0 && fb >= 0) {
        std::vector<char> bufferA(8 << 20), bufferB(8 << 20);
        for (std::int64_t offset = 0;; offset += static_cast<std::int64_t>(bufferA.size())) {
            const ssize_t gotA = read(fa, bufferA.data(), bufferA.size());
            const ssize_t gotB = read(fb, bufferB.data(), bufferB.size());
            if (gotA != gotB || gotA < 0 ||
                std::memcmp(bufferA.data(), bufferB.data(), static_cast<std::size_t>(gotA)) != 0) {
                difference = offset;
                break;
            }
            if (gotA == 0) {
                difference = -1;
                break;
            }
        }
    }
    if (fa >= 0)
        close(fa);
    if (fb >= 0)
        close(fb);
    return difference;
}

} // namespace

TEST(LargeArchiveTest, AFileBeyondFourGibibytesIsStoredAsZip64AndComesBackWhole)
{
    TFakeHome home;
    ASSERT_GT(fs::space(home.Path()).available, BigSize + GiB)
        << "not enough room in " << home.Path() << "; set TMPDIR to a folder with more";
    const std::string programDir = home.MakeDir("program");
    home.WriteFile("program/Backup.ini", "[General]\ncompressionLevel=1\n");
    TInterfaceTexts texts{programDir + "/Default.lng"};
    TScriptedUserInterface ui;
    TWizardState state;
    state.Operation = TOperation::Backup;
    const std::string profile = home.MakeDir("profile") + "/";
    const std::string archive = home.Path() + "/backup.qkz";

    const std::string big = profile + "big.bin";
    {
        const int fd = open(big.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        ASSERT_GE(fd, 0);
        bool written = ftruncate(fd, static_cast<off_t>(BigSize)) == 0;
        for (const auto& [offset, mark] : Marks)
            written = written && WriteAt(fd, offset, mark);
        close(fd);
        ASSERT_TRUE(written);
    }
    home.WriteFile("profile/notes.txt", "small file after the big one");

    TBackupTask task(profile, profile, ui);
    task.AddFile("big.bin");
    task.AddFile("notes.txt");
    ASSERT_EQ(task.TotalBytes(), static_cast<std::int64_t>(BigSize + 28));
    TArchive(archive, "", profile, RunEnvironment(ui, texts, state, programDir)).AddTask(task, "header");
    ASSERT_TRUE(fs::exists(archive));
    // The bar counts 64-bit sizes: it only moves forward, within 0 to 100,
    // and ends full.
    int last = 0;
    for (const std::string& call : ui.calls) {
        if (!call.starts_with("position|"))
            continue;
        const int position = std::stoi(call.substr(9));
        EXPECT_GE(position, last) << call;
        EXPECT_LE(position, 100) << call;
        last = position;
    }
    EXPECT_EQ(last, 100);

    home.WriteFile("info.py", ZipfileInfo);
    FILE* pipe =
        popen(("LC_ALL=C.UTF-8 python3 " + Quoted(home.Path() + "/info.py") + " " + Quoted(archive) + " 2>&1")
                  .c_str(),
              "r");
    ASSERT_NE(pipe, nullptr);
    std::string info;
    char buffer[4096];
    for (std::size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        info.append(buffer, got);
    const int status = pclose(pipe);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << info;
    EXPECT_EQ(info, std::to_string(BigSize) + " True small file after the big one\n");

    state.Operation = TOperation::Restore;
    const std::string restored = home.MakeDir("restored");
    EXPECT_EQ(TArchive(archive, "", restored, RunEnvironment(ui, texts, state, programDir))
                  .ExtractFolderTo("", "*.*", restored),
              3);
    EXPECT_EQ(ErrorLogMessages(), "");
    const std::string copy = restored + "/big.bin";
    ASSERT_EQ(fs::file_size(copy), BigSize);
    for (const auto& [offset, mark] : Marks)
        EXPECT_EQ(ReadAt(copy, offset, mark.size()), mark) << "at " << offset;
    EXPECT_EQ(FirstDifference(copy, big), -1);
    EXPECT_EQ(ReadFileForTest(restored + "/notes.txt"), "small file after the big one");
}
