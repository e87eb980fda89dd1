// Tests of large entries read in pieces: the map a backup records, what a reader trusts of it, damage and
// passwords.

#include "engine/PiecedEntry.h"

#include "engine/Archive.h"
#include "engine/BackupTask.h"
#include "engine/ParallelDeflate.h"
#include "engine/PieceMap.h"
#include "tests/support/ArchiveFixture.h"
#include "tests/support/TestData.h"

#include <filesystem>
#include <fstream>
#include <zip.h>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::NoiseBytes;
using quillbank::testing::ReadFileForTest;
using quillbank::testing::TArchiveTest;
using quillbank::testing::WordText;
namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t P = TParallelDeflate::PieceSize;

TEST(PieceMap, ReadsBackWhatItWroteOnlyWhenItFitsTheEntry)
{
    const TPieceMap map{1000, {300, 200, 50}};
    const std::vector<std::uint8_t> field = EncodePieceMap(map);
    ASSERT_EQ(field.size(), 5u + 3 * 4);
    const auto decode = [](const std::vector<std::uint8_t>& bytes, std::uint64_t size, std::uint64_t stored) {
        return DecodePieceMap(bytes.data(), bytes.size(), size, stored);
    };
    const auto read = decode(field, 2001, 550);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->PieceSize, 1000u);
    EXPECT_EQ(read->CompressedSizes, map.CompressedSizes);
    EXPECT_TRUE(decode(field, 3000, 550)); // the last piece full
    // Sizes that do not fit three pieces of 1000 bytes, or the stored bytes.
    EXPECT_FALSE(decode(field, 2000, 550));
    EXPECT_FALSE(decode(field, 3001, 550));
    EXPECT_FALSE(decode(field, 2001, 551));
    EXPECT_FALSE(decode(field, 2001, 549));
    // Malformed fields.
    std::vector<std::uint8_t> bad = field;
    bad[0] = 2; // an unknown version
    EXPECT_FALSE(decode(bad, 2001, 550));
    bad = field;
    bad.pop_back();
    EXPECT_FALSE(decode(bad, 2001, 550));
    EXPECT_FALSE(decode(EncodePieceMap({1000, {550}}), 900, 550)); // one piece is no map
    EXPECT_FALSE(decode(EncodePieceMap({0, {300, 250}}), 0, 550));
    EXPECT_FALSE(decode(EncodePieceMap({1000, {550, 0}}), 1001, 550));
    EXPECT_FALSE(DecodePieceMap(nullptr, 0, 10, 10));
    const std::vector<std::uint32_t> tooMany(MaxMappedPieces + 1, 1);
    EXPECT_FALSE(decode(EncodePieceMap({1, tooMany}), tooMany.size(), tooMany.size()));
}

class PiecedEntryTest : public TArchiveTest
{
protected:
    std::string profile = home.MakeDir("profile") + "/";
    std::string archive = home.Path() + "/backup.qkz";
    /// Large files around whole numbers of pieces, text and noise.
    std::vector<std::pair<std::string, std::string>> files = {{"Inbox", WordText(5 * P + 1, 1)},
                                                              {"Sent", WordText(5 * P, 2)},
                                                              {"Trash", WordText(8 * P - 1, 3)},
                                                              {"blob.bin", NoiseBytes(5 * P + 7, 4)}};

    void Backup(const std::string& password)
    {
        TBackupTask task(profile, profile, ui);
        for (const auto& [name, content] : files) {
            home.WriteFile("profile/" + name, content);
            task.AddFile(name);
        }
        TArchive(archive, password, profile, Environment()).AddTask(task, "Quillbank\r\n");
    }

    std::optional<TPieceMap> MapOf(const std::string& name)
    {
        int error = 0;
        zip_t* za = zip_open(archive.c_str(), ZIP_RDONLY, &error);
        zip_stat_t st;
        zip_stat(za, name.c_str(), 0, &st);
        const std::uint64_t overhead = st.encryption_method == ZIP_EM_NONE ? 0 : 18 + 10;
        auto map = ReadPieceMap(za, st.index, st.size, st.comp_size - overhead);
        zip_discard(za);
        return map;
    }

    /// Replaces the map of `name` with `field`, as another program might.
    void SetField(const std::string& name, const std::vector<std::uint8_t>& field)
    {
        int error = 0;
        zip_t* za = zip_open(archive.c_str(), 0, &error);
        const zip_int64_t index = zip_name_locate(za, name.c_str(), 0);
        zip_file_extra_field_delete_by_id(za, index, PieceMapFieldId, ZIP_EXTRA_FIELD_ALL, ZIP_FL_CENTRAL);
        zip_file_extra_field_set(za, index, PieceMapFieldId, ZIP_EXTRA_FIELD_NEW, field.data(),
                                 static_cast<zip_uint16_t>(field.size()), ZIP_FL_CENTRAL);
        ASSERT_EQ(zip_close(za), 0);
    }

    /// Flips one byte `offset` bytes into the stored data of the archive's first entry.
    void DamageFirstEntry(std::uint64_t offset)
    {
        std::fstream file(archive, std::ios::in | std::ios::out | std::ios::binary);
        unsigned char header[30];
        file.read(reinterpret_cast<char*>(header), sizeof(header));
        const std::uint64_t data = 30 + (header[26] | header[27] << 8) + (header[28] | header[29] << 8);
        file.seekg(static_cast<std::streamoff>(data + offset));
        const char byte = static_cast<char>(file.get() ^ 0x55);
        file.seekp(static_cast<std::streamoff>(data + offset));
        file.put(byte);
    }

    /// Extracts every file into a new folder; how many came out.
    int Extract(const std::string& password, const std::string& folder)
    {
        return TArchive(archive, password, home.MakeDir(folder), Environment())
            .ExtractFolderTo("", "*", home.Path() + "/" + folder);
    }
};

TEST_F(PiecedEntryTest, LargeEntriesCarryTheirMapAndComeBackWholeInTheClearAndEncrypted)
{
    for (const std::string password : {"", "pw"}) {
        SCOPED_TRACE(password.empty() ? "in the clear" : "encrypted");
        Backup(password);
        const auto inbox = MapOf("Inbox");
        ASSERT_TRUE(inbox);
        EXPECT_EQ(inbox->Count(), 6u);
        EXPECT_EQ(inbox->PieceSize, P);
        EXPECT_EQ(MapOf("Sent")->Count(), 5u);
        EXPECT_EQ(MapOf("Trash")->Count(), 8u);
        EXPECT_EQ(MapOf("blob.bin")->Count(), 6u);
        EXPECT_FALSE(MapOf("indexfile.txt"));
        const TArchiveCheck check = TArchive(archive, password, Environment()).CheckArchive();
        EXPECT_EQ(check.Outcome, TArchiveCheck::TOutcome::Passed);
        EXPECT_EQ(check.EntriesRead, files.size() + 1);
        const std::string out = "out" + password;
        EXPECT_EQ(Extract(password, out), static_cast<int>(files.size()) + 1);
        for (const auto& [name, content] : files)
            EXPECT_TRUE(ReadFileForTest(home.Path() + "/" + out + "/" + name) == content) << name;
        fs::remove(archive);
    }
}

// The pieces decode in any order, each into its place, the code of an
// encrypted entry checked as one of the tasks, whether they are written
// straight to the disk or through the page cache.
TEST_F(PiecedEntryTest, EveryPieceDecodesApartInAnyOrder)
{
    for (const std::string password : {"", "pw"}) {
        SCOPED_TRACE(password.empty() ? "in the clear" : "encrypted");
        Backup(password);
        zip_t* za = zip_open(archive.c_str(), ZIP_RDONLY, nullptr);
        using TWriting = TPiecedEntry::TWriting;
        for (const auto& [file, writing] : {std::pair{0, TWriting::StraightToDisk},
                                            {3, TWriting::StraightToDisk},
                                            {0, TWriting::ThroughPageCache},
                                            {3, TWriting::ThroughPageCache}}) {
            const auto index = static_cast<std::uint64_t>(zip_name_locate(za, files[file].first.c_str(), 0));
            const auto entry = TPiecedEntry::Plan(za, index);
            ASSERT_TRUE(entry);
            EXPECT_EQ(entry->TaskCount(), 6u + (password.empty() ? 0 : 1));
            const std::string target = home.Path() + "/" + files[file].first + password +
                                       (writing == TWriting::StraightToDisk ? "-direct" : "-cached");
            ASSERT_TRUE(entry->StageBeside(target, writing));
            TReadBuffer buffer;
            for (std::size_t task = entry->TaskCount(); task-- > 0;)
                EXPECT_TRUE(entry->Run(za, task, password, buffer, nullptr)) << task;
            std::string problem;
            EXPECT_EQ(entry->Place(za, target, problem), TReadResult::Ok) << problem;
            EXPECT_TRUE(ReadFileForTest(target) == files[file].second);
        }
        // Small entries are read whole.
        EXPECT_FALSE(
            TPiecedEntry::Plan(za, static_cast<std::uint64_t>(zip_name_locate(za, "indexfile.txt", 0))));
        zip_discard(za);
        fs::remove(archive);
    }
}

// A large database is read in pieces too, and goes in with its log as one;
// the old database's shared-memory index goes.
TEST_F(PiecedEntryTest, ALargeDatabaseReadInPiecesGoesInWithItsLog)
{
    files = {{"global-messages-db.sqlite", WordText(6 * P + 5, 7)}, {"global-messages-db.sqlite-wal", "log"}};
    for (const std::string password : {"", "pw"}) {
        SCOPED_TRACE(password.empty() ? "in the clear" : "encrypted");
        Backup(password);
        EXPECT_EQ(MapOf(files[0].first)->Count(), 7u);
        const std::string out = home.MakeDir("out" + password);
        home.WriteFile("out" + password + "/global-messages-db.sqlite", "old");
        home.WriteFile("out" + password + "/global-messages-db.sqlite-shm", "old index");
        // The database and its log: two files.
        EXPECT_EQ(
            TArchive(archive, password, out, Environment()).ExtractFileTo("global-messages-db.sqlite", out),
            2);
        EXPECT_TRUE(ReadFileForTest(out + "/global-messages-db.sqlite") == files[0].second);
        EXPECT_EQ(ReadFileForTest(out + "/global-messages-db.sqlite-wal"), "log");
        EXPECT_FALSE(fs::exists(out + "/global-messages-db.sqlite-shm"));
        EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 2);
        fs::remove(archive);
    }
}

TEST_F(PiecedEntryTest, AMapThatDoesNotDescribeItsEntryIsIgnoredOrOverruledByTheStream)
{
    Backup("");
    const TPieceMap inbox = *MapOf("Inbox");
    // Boundaries moved, the sum kept: the pieces do not decode, the stream does.
    TPieceMap moved = inbox;
    moved.CompressedSizes[1] += 1;
    moved.CompressedSizes[2] -= 1;
    SetField("Inbox", EncodePieceMap(moved));
    // The stored bytes no longer add up: the map is not used at all.
    TPieceMap longer = *MapOf("Sent");
    longer.CompressedSizes.back() += 1;
    SetField("Sent", EncodePieceMap(longer));
    EXPECT_EQ(TArchive(archive, "", Environment()).CheckArchive().Outcome, TArchiveCheck::TOutcome::Passed);
    EXPECT_EQ(Extract("", "out"), static_cast<int>(files.size()) + 1);
    EXPECT_TRUE(ReadFileForTest(home.Path() + "/out/Inbox") == files[0].second);
    EXPECT_TRUE(ReadFileForTest(home.Path() + "/out/Sent") == files[1].second);
}

TEST_F(PiecedEntryTest, ADamagedPieceFailsItsEntryAndLeavesTheTargetAsItWas)
{
    for (const std::string password : {"", "pw"}) {
        SCOPED_TRACE(password.empty() ? "in the clear" : "encrypted");
        Backup(password);
        const TPieceMap inbox = *MapOf("Inbox");
        zip_t* written = zip_open(archive.c_str(), ZIP_RDONLY, nullptr);
        const zip_int64_t first = zip_name_locate(written, "Inbox", 0);
        zip_discard(written);
        ASSERT_EQ(first, 0);
        DamageFirstEntry((password.empty() ? 0 : 18) + inbox.CompressedSizes[0] + inbox.CompressedSizes[1] +
                         99);
        const TArchiveCheck check = TArchive(archive, password, Environment()).CheckArchive();
        EXPECT_EQ(check.Outcome, TArchiveCheck::TOutcome::Damaged);
        EXPECT_EQ(check.Failure, "Inbox");
        const std::string out = home.MakeDir("out" + password);
        home.WriteFile("out" + password + "/Inbox", "the old inbox");
        EXPECT_EQ(TArchive(archive, password, out, Environment()).ExtractFileTo("Inbox", out), 0);
        EXPECT_EQ(ReadFileForTest(out + "/Inbox"), "the old inbox");
        EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 1);
        fs::remove(archive);
    }
}

TEST_F(PiecedEntryTest, AWrongPasswordIsToldFromDamageAndTheRightOneTypedThenReadsIt)
{
    Backup("pw");
    EXPECT_EQ(TArchive(archive, "wrong", Environment()).CheckArchive().Outcome,
              TArchiveCheck::TOutcome::WrongPassword);
    ui.QueuePassword("pw");
    const std::string out = home.MakeDir("out");
    EXPECT_EQ(TArchive(archive, "wrong", out, Environment()).ExtractFileTo("Inbox", out), 1);
    EXPECT_TRUE(ReadFileForTest(out + "/Inbox") == files[0].second);
}

} // namespace
