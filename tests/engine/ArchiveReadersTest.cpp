// Tests of the archive's reading handles: opened side by side, kept for the next reader of the same,
// unchanged file.

#include "engine/ArchiveReaders.h"

#include "tests/support/FakeHome.h"
#include "tests/support/ZipBuilder.h"

#include <filesystem>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::BuildZip;
using quillbank::testing::TFakeHome;
using quillbank::testing::TZipEntrySpec;

namespace {

std::vector<std::string> NamesOf(const std::string& path, bool strict = false)
{
    TArchiveReaders readers(path, strict);
    std::string error;
    EXPECT_TRUE(readers.Open(error)) << error;
    std::vector<std::string> names;
    for (std::uint64_t i = 0; i < readers.EntryCount(); ++i)
        names.push_back(readers.Name(i));
    return names;
}

} // namespace

TEST(ArchiveReaders, TheNextReaderOfTheSameFileSeesItAsItIsNow)
{
    TFakeHome home;
    const std::string path = home.WriteFile("a.qkz", BuildZip({{"one", "1"}}));
    EXPECT_EQ(NamesOf(path), (std::vector<std::string>{"one"}));
    EXPECT_EQ(NamesOf(path), (std::vector<std::string>{"one"}));
    EXPECT_EQ(NamesOf(path, true), (std::vector<std::string>{"one"}));
    // Rewritten in place, to the same size and with other names.
    home.WriteFile("a.qkz", BuildZip({{"two", "1"}}));
    EXPECT_EQ(NamesOf(path), (std::vector<std::string>{"two"}));
    // Another archive read in between, then a new file under the old name.
    const std::string other = home.WriteFile("b.qkz", BuildZip({{"b", "b"}}));
    EXPECT_EQ(NamesOf(other), (std::vector<std::string>{"b"}));
    std::filesystem::remove(path);
    home.WriteFile("a.qkz", BuildZip({{"three", "3"}, {"four", "4"}}));
    EXPECT_EQ(NamesOf(path), (std::vector<std::string>{"three", "four"}));
    // A reader of a file that is gone opens nothing, kept handles or not.
    std::filesystem::remove(path);
    TArchiveReaders gone(path, false);
    std::string error;
    EXPECT_FALSE(gone.Open(error));
}

// Several handles are opened side by side with the overlap check: each reads
// the archive on its own, and a refused archive leaves none open.
TEST(ArchiveReaders, HandlesOpenedTogetherEachReadTheArchive)
{
    TFakeHome home;
    const std::string path = home.WriteFile("a.qkz", BuildZip({{"one", "first"}, {"two", "second", true}}));
    TArchiveReaders readers(path, true);
    std::string error;
    ASSERT_TRUE(readers.Open(error, 3)) << error;
    ASSERT_EQ(readers.Reserve(3), 3u);
    for (unsigned worker = 0; worker < 3; ++worker) {
        zip_file_t* file = zip_fopen_index(readers.Handle(worker), 1, 0);
        ASSERT_NE(file, nullptr);
        char data[16] = {};
        EXPECT_EQ(zip_fread(file, data, sizeof data), 6);
        EXPECT_EQ(std::string(data), "second");
        zip_fclose(file);
    }

    std::vector<TZipEntrySpec> overlapping = {{"data.bin", std::string(4096, 'd'), true}};
    TZipEntrySpec copy{"copy.bin", std::string(4096, 'd'), true};
    copy.LocalOffset = 0;
    overlapping.push_back(copy);
    const std::string hostile = home.WriteFile("hostile.qkz", BuildZip(overlapping));
    TArchiveReaders refused(hostile, false);
    EXPECT_FALSE(refused.Open(error, 3));
    EXPECT_EQ(error, "the entries \"data.bin\" and \"copy.bin\" overlap in the file");
}
