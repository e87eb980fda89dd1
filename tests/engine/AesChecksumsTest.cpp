// Encrypted entries keep no checksum of their content in clear: what a
// backup writes at any level, and the pass that empties the checksums the
// ZIP library writes for the entries it encrypts itself.
#include "engine/AesChecksums.h"

#include "engine/BackupTask.h"
#include "engine/ZipFactory.h"
#include "tests/support/ArchiveFixture.h"
#include "tests/support/FakeHome.h"
#include "tests/support/TestData.h"
#include "tests/support/ZipBuilder.h"

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::BuildZip;
using quillbank::testing::EntryLayouts;
using quillbank::testing::FieldAt;
using quillbank::testing::NoiseBytes;
using quillbank::testing::ReadFileForTest;
using quillbank::testing::SetFieldAt;
using quillbank::testing::TArchiveTest;
using quillbank::testing::TFakeHome;
using quillbank::testing::TZipEntrySpec;

namespace {

TZipEntrySpec AesEntry(std::string name, std::string data, std::uint16_t version, bool offsetInZip64 = false)
{
    TZipEntrySpec entry(std::move(name), std::move(data));
    entry.AesVersion = version;
    entry.OffsetInZip64 = offsetInZip64;
    return entry;
}

} // namespace

TEST(AesChecksums, EveryAesEntryLosesItsChecksumInBothHeadersAndNothingElseChanges)
{
    TFakeHome home;
    std::vector<TZipEntrySpec> entries = {
        {"plain.txt", "a plain entry keeps its checksum"},
        AesEntry("first-kind.bin", NoiseBytes(3000, 1), 1),
        AesEntry("second-kind.bin", "written with a checksum all the same", 2),
        AesEntry("far away.bin", "its header's offset is in a Zip64 field", 2, true),
        {"plain too.txt", "the last one"},
    };
    std::vector<TZipEntrySpec> expected = entries;
    for (TZipEntrySpec& entry : expected)
        if (entry.AesVersion)
            entry.DeclaredCrc = 0;
    for (const bool zip64End : {false, true}) {
        const std::string path = home.WriteFile("archive.zip", BuildZip(entries, zip64End));
        std::string error;
        EXPECT_TRUE(ClearAesChecksums(path, error)) << error;
        EXPECT_TRUE(ReadFileForTest(path) == BuildZip(expected, zip64End))
            << "Zip64 end records: " << zip64End;
        // Done once, done for good.
        EXPECT_TRUE(ClearAesChecksums(path, error)) << error;
        EXPECT_TRUE(ReadFileForTest(path) == BuildZip(expected, zip64End))
            << "Zip64 end records: " << zip64End;
    }
}

TEST(AesChecksums, AnArchiveThatCannotBeReadIsReportedAndLeftAsItWas)
{
    TFakeHome home;
    const std::vector<TZipEntrySpec> entry = {AesEntry("secret.bin", "content of twenty bytes or more", 2)};
    const std::string whole = BuildZip(entry);
    const std::size_t end = whole.size() - 22;
    auto altered = [](std::string bytes, std::size_t at, std::uint32_t value, int size) {
        SetFieldAt(bytes, at, value, size);
        return bytes;
    };
    TZipEntrySpec nowhere = entry[0];
    nowhere.LocalOffset = 5;
    TZipEntrySpec outside = entry[0];
    outside.LocalOffset = 1u << 30;
    const std::string zip64 = BuildZip(entry, true);
    const std::map<std::string, std::string> broken = {
        {"no archive", "no archive at all"},
        {"empty", ""},
        {"cut short", whole.substr(0, whole.size() - 1)},
        {"directory beyond the end", altered(whole, end + 16, 1u << 20, 4)},
        {"more entries than records", altered(whole, end + 10, 2, 2)},
        {"a record that runs past the directory", altered(whole, end + 12, 40, 4)},
        {"no local header where the directory says", BuildZip({nowhere})},
        {"a local header beyond the end", BuildZip({outside})},
        {"no Zip64 end record", altered(zip64, zip64.size() - 22 - 12, 3, 4)},
    };
    for (const auto& [what, bytes] : broken) {
        const std::string path = home.WriteFile("archive.zip", bytes);
        std::string error;
        EXPECT_FALSE(ClearAesChecksums(path, error)) << what;
        EXPECT_NE(error, "") << what;
        EXPECT_TRUE(ReadFileForTest(path) == bytes) << what;
    }
    std::string error;
    EXPECT_FALSE(ClearAesChecksums(home.Path() + "/missing.zip", error));
    EXPECT_EQ(error, "No such file or directory");
}

namespace {

/// Longer than the entries the ZIP library leaves without a checksum.
constexpr const char* Header = "[Quillbank]\r\nVersion=2\r\n";

class AesEntriesTest : public TArchiveTest, public ::testing::WithParamInterface<int>
{
protected:
    std::string profile = home.MakeDir("profile") + "/";
    std::string archive = home.Path() + "/backup.qkz";
};

} // namespace

TEST_P(AesEntriesTest, ABackupKeepsNoChecksumOfAnyEncryptedEntry)
{
    const std::map<std::string, std::string> files = {
        {"short.txt", "under 20 bytes"},
        {"prefs.js", "user_pref(\"browser.startup.page\", 3);\n"},
        {"places.sqlite", NoiseBytes(300'000, 3)},
    };
    TBackupTask task(profile, profile, ui);
    for (const auto& [name, content] : files) {
        home.WriteFile("profile/" + name, content);
        task.AddFile(name);
    }
    TZipFactory writer(archive, "pw", profile, Environment());
    writer.SetCompressionLevel(GetParam());
    writer.AddTask(task, Header);

    const std::string bytes = ReadFileForTest(archive);
    const auto layouts = EntryLayouts(bytes);
    ASSERT_EQ(layouts.size(), files.size() + 1);
    for (const auto& [name, layout] : layouts) {
        EXPECT_EQ(FieldAt(bytes, layout.LocalCrcAt, 4), 0u) << name;
        EXPECT_EQ(FieldAt(bytes, layout.CentralCrcAt, 4), 0u) << name;
        ASSERT_NE(layout.LocalAesVersionAt, 0u) << name;
        EXPECT_EQ(FieldAt(bytes, layout.LocalAesVersionAt, 2), 2u) << name;
        EXPECT_EQ(FieldAt(bytes, layout.CentralAesVersionAt, 2), 2u) << name;
    }
    // Read back strictly (the local headers agree with the directory) and restored.
    EXPECT_TRUE(writer.VerifyArchive(Header));
    const std::string restored = home.MakeDir("restored") + "/";
    state.BackupPassword = "pw";
    TZipFactory(archive, "", restored, Environment()).ExtractFileList({"*"});
    for (const auto& [name, content] : files)
        EXPECT_TRUE(ReadFileForTest(restored + name) == content) << name;
}

INSTANTIATE_TEST_SUITE_P(Levels, AesEntriesTest, ::testing::Values(9, 0),
                         [](const ::testing::TestParamInfo<int>& level) {
                             return std::string(level.param > 0 ? "Deflated" : "Stored");
                         });
