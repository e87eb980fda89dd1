// The pass that empties the checksums the ZIP library writes for the entries
// it encrypts with AES itself.
#include "engine/AesChecksums.h"

#include "tests/support/FakeHome.h"
#include "tests/support/TestData.h"
#include "tests/support/ZipBuilder.h"

#include <map>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::BuildZip;
using quillbank::testing::NoiseBytes;
using quillbank::testing::ReadFileForTest;
using quillbank::testing::SetFieldAt;
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
