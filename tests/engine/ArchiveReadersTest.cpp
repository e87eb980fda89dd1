// Tests of the archive's reading handles: kept for the next reader of the same file, never for a changed one.

#include "engine/ArchiveReaders.h"

#include "tests/support/FakeHome.h"
#include "tests/support/ZipBuilder.h"

#include <filesystem>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::BuildZip;
using quillbank::testing::TFakeHome;

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
