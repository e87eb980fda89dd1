// Encrypted entries carry no checksum of their content, only the
// authentication code of their data. Counter mode lets anyone without the
// password flip bits of an entry's content by flipping the same bits of its
// data, and give it a checksum that matches the result: such an entry is
// refused by the checks and by a restore, which leaves the file it would
// have replaced as it was, whether the entry is small enough to be read
// whole or streamed. Entries that carry a checksum, as older backups wrote
// them, are still checked by it.
#include "config/errorlog.h"
#include "engine/Archive.h"
#include "engine/BackupTask.h"
#include "tests/support/ArchiveFixture.h"
#include "tests/support/FakeHome.h"
#include "tests/support/TestData.h"
#include "tests/support/ZipBuilder.h"

#include <map>
#include <set>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::EntryLayouts;
using quillbank::testing::EntryNamesIn;
using quillbank::testing::ErrorLogMessages;
using quillbank::testing::FieldAt;
using quillbank::testing::FlipAesEntryBit;
using quillbank::testing::MarkAesEntryWithChecksum;
using quillbank::testing::NoiseBytes;
using quillbank::testing::ReadFileForTest;
using quillbank::testing::SetFieldAt;
using quillbank::testing::TArchiveTest;

namespace {

/// Longer than the entries the ZIP library leaves without a checksum itself.
constexpr const char* Header = "[Quillbank]\r\nVersion=2\r\n";

/// Backups at the compression level of the parameter: deflated entries are
/// encrypted as they are compressed, stored ones by the ZIP library.
class EncryptedEntryTest : public TArchiveTest, public ::testing::WithParamInterface<int>
{
protected:
    std::string profile = home.MakeDir("profile") + "/";
    std::string archive = home.Path() + "/backup.qkz";
    std::string target = home.MakeDir("target") + "/";
    /// Entries read whole and one too large for that (above 4 MiB), which
    /// streams. Noise does not compress: deflated, it lies in stored blocks.
    const std::map<std::string, std::string> files{{"short.txt", "under 20 bytes"},
                                                   {"small.bin", NoiseBytes(300'000, 1)},
                                                   {"large.bin", NoiseBytes(5'000'000, 2)}};

    bool Deflated() const { return GetParam() > 0; }

    /// The archive's bytes as the backup wrote them.
    std::string Backup()
    {
        TBackupTask task(profile, profile, ui);
        for (const auto& [name, content] : files) {
            home.WriteFile("profile/" + name, content);
            task.AddFile(name);
        }
        TArchive writer(archive, "pw", profile, Environment());
        writer.SetCompressionLevel(GetParam());
        writer.AddTask(task, Header);
        return ReadFileForTest(archive);
    }

    TArchiveCheck::TOutcome Check() { return TArchive(archive, "pw", Environment()).CheckArchive().Outcome; }
    /// Reads strictly: the local headers must agree with the directory.
    bool Verify() { return TArchive(archive, "pw", profile, Environment()).VerifyArchive(Header); }
    void Restore()
    {
        state.BackupPassword = "pw";
        TArchive(archive, "", target, Environment()).ExtractFileList({"*"});
    }
    std::string Log() const { return ErrorLogMessages(); }
};

} // namespace

TEST_P(EncryptedEntryTest, ABackupKeepsNoChecksumOfAnyEncryptedEntry)
{
    const std::string bytes = Backup();
    const auto layouts = EntryLayouts(bytes);
    ASSERT_EQ(layouts.size(), files.size() + 1);
    for (const auto& [name, layout] : layouts) {
        EXPECT_EQ(FieldAt(bytes, layout.LocalCrcAt, 4), 0u) << name;
        EXPECT_EQ(FieldAt(bytes, layout.CentralCrcAt, 4), 0u) << name;
        ASSERT_NE(layout.LocalAesVersionAt, 0u) << name;
        EXPECT_EQ(FieldAt(bytes, layout.LocalAesVersionAt, 2), 2u) << name;
        EXPECT_EQ(FieldAt(bytes, layout.CentralAesVersionAt, 2), 2u) << name;
    }
    EXPECT_TRUE(Verify());
    Restore();
    for (const auto& [name, content] : files)
        EXPECT_TRUE(ReadFileForTest(target + name) == content) << name;
}

TEST_P(EncryptedEntryTest, AnAlteredEntryIsRefusedWithOrWithoutAMatchingChecksum)
{
    const std::string written = Backup();
    for (const bool withChecksum : {false, true}) {
        for (const std::string name : {"small.bin", "large.bin"}) {
            const std::string what =
                name + (withChecksum ? " with a matching checksum" : " without a checksum");
            std::string bytes = written;
            const std::string altered = FlipAesEntryBit(bytes, name, files.at(name), Deflated());
            if (withChecksum)
                MarkAesEntryWithChecksum(bytes, name, altered);
            home.WriteFile("backup.qkz", bytes);
            home.WriteFile("target/" + name, "old");
            std::remove(ErrorLogPath().c_str());

            EXPECT_EQ(Check(), TArchiveCheck::TOutcome::Damaged) << what;
            EXPECT_FALSE(Verify()) << what;
            Restore();
            EXPECT_TRUE(ReadFileForTest(target + name) == "old") << what;
            EXPECT_NE(Log().find("entry \"" + name + "\" not extracted: the archive is damaged"),
                      std::string::npos)
                << what << ": " << Log();
        }
    }
    // Nothing half-written is left behind.
    EXPECT_EQ(EntryNamesIn(target),
              (std::set<std::string>{"short.txt", "small.bin", "large.bin", "indexfile.txt"}));
}

TEST_P(EncryptedEntryTest, EntriesWithAChecksumRestoreAndAreCheckedByIt)
{
    std::string bytes = Backup();
    for (const auto& [name, content] : files)
        MarkAesEntryWithChecksum(bytes, name, content);
    MarkAesEntryWithChecksum(bytes, "indexfile.txt", Header);
    home.WriteFile("backup.qkz", bytes);
    EXPECT_EQ(Check(), TArchiveCheck::TOutcome::Passed);
    EXPECT_TRUE(Verify());
    Restore();
    for (const auto& [name, content] : files)
        EXPECT_TRUE(ReadFileForTest(target + name) == content) << name;
    EXPECT_EQ(Log(), "");

    for (const auto& [name, content] : files) {
        std::string wrong = bytes;
        const auto layout = EntryLayouts(wrong).at(name);
        SetFieldAt(wrong, layout.LocalCrcAt, 1234, 4);
        SetFieldAt(wrong, layout.CentralCrcAt, 1234, 4);
        home.WriteFile("backup.qkz", wrong);
        EXPECT_EQ(Check(), TArchiveCheck::TOutcome::Damaged) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(Levels, EncryptedEntryTest, ::testing::Values(9, 0),
                         [](const ::testing::TestParamInfo<int>& level) {
                             return std::string(level.param > 0 ? "Deflated" : "Stored");
                         });
