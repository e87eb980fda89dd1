// An archive written through the gathered writes must be the archive libzip meant: entries of every
// size, headers rewritten after their data, an existing archive changed, nothing left behind.

#include "engine/ArchiveFile.h"

#include "tests/support/FakeHome.h"
#include "tests/support/TestData.h"

#include <filesystem>
#include <map>
#include <string>
#include <sys/stat.h>
#include <zip.h>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::NoiseBytes;
using quillbank::testing::TFakeHome;
using quillbank::testing::WordText;

namespace {

/// Adds `content` as `name`, stored or deflated by libzip itself; the
/// archive keeps the content until it is closed.
void AddEntry(zip_t* archive, const std::string& name, const std::string& content, bool deflated)
{
    zip_source_t* source = zip_source_buffer(archive, content.data(), content.size(), 0);
    ASSERT_NE(source, nullptr);
    const zip_int64_t index = zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8);
    ASSERT_GE(index, 0) << zip_strerror(archive);
    zip_set_file_compression(archive, static_cast<zip_uint64_t>(index),
                             deflated ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 6);
}

/// Every entry of the archive at `path`, read by libzip's own file reader.
std::map<std::string, std::string> ReadEntries(const std::string& path)
{
    std::map<std::string, std::string> entries;
    int code = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
    if (archive == nullptr) {
        ADD_FAILURE() << "the archive does not open: " << code;
        return entries;
    }
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
        zip_stat_t stat;
        zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &stat);
        std::string content(stat.size, '\0');
        zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
        EXPECT_EQ(zip_fread(file, content.data(), content.size()), static_cast<zip_int64_t>(content.size()));
        zip_fclose(file);
        entries[stat.name] = std::move(content);
    }
    zip_discard(archive);
    return entries;
}

std::vector<std::string> FolderNames(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

} // namespace

TEST(ArchiveFile, WritesEntriesOfEverySizeAndChangesAnExistingArchive)
{
    TFakeHome home;
    const std::string path = home.Path() + "/new.qkz";
    std::map<std::string, std::string> expected;
    // Entries around the size of a gathered write, and many small ones whose
    // headers are rewritten while they are still in memory.
    for (int i = 0; i < 300; ++i)
        expected["small/" + std::to_string(i)] = WordText(static_cast<std::size_t>(i * 37), i);
    expected["exactly-a-megabyte"] = NoiseBytes(std::size_t{1} << 20, 1);
    expected["larger-than-a-write"] = NoiseBytes((std::size_t{5} << 20) + 3, 2);
    expected["text"] = WordText(3'000'000, 3);
    std::string error;
    zip_t* archive = OpenArchiveForChange(path, error);
    ASSERT_NE(archive, nullptr) << error;
    bool deflated = false;
    for (const auto& [name, content] : expected)
        AddEntry(archive, name, content, deflated = !deflated);
    ASSERT_EQ(zip_close(archive), 0);
    EXPECT_EQ(ReadEntries(path), expected);
    EXPECT_EQ(FolderNames(home.Path()), std::vector<std::string>{"new.qkz"}) << "no temporary is left";
    struct stat status
    {};
    ASSERT_EQ(stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u) << "archives hold secrets";

    // Changed again: the entries already there are copied from the old file.
    archive = OpenArchiveForChange(path, error);
    ASSERT_NE(archive, nullptr) << error;
    expected["added"] = WordText(70'000, 4);
    AddEntry(archive, "added", expected["added"], true);
    ASSERT_EQ(zip_close(archive), 0);
    EXPECT_EQ(ReadEntries(path), expected);
    EXPECT_EQ(FolderNames(home.Path()), std::vector<std::string>{"new.qkz"});
}

TEST(ArchiveFile, ADiscardedChangeLeavesTheArchiveAsItWasAndAForeignFileIsRefused)
{
    TFakeHome home;
    const std::string path = home.Path() + "/kept.qkz";
    std::string error;
    zip_t* archive = OpenArchiveForChange(path, error);
    ASSERT_NE(archive, nullptr) << error;
    const std::string content = WordText(10'000, 5);
    AddEntry(archive, "kept", content, true);
    ASSERT_EQ(zip_close(archive), 0);

    archive = OpenArchiveForChange(path, error);
    ASSERT_NE(archive, nullptr) << error;
    const std::string other = NoiseBytes(2'000'000, 6);
    AddEntry(archive, "other", other, false);
    zip_discard(archive);
    EXPECT_EQ(ReadEntries(path), (std::map<std::string, std::string>{{"kept", content}}));
    EXPECT_EQ(FolderNames(home.Path()), std::vector<std::string>{"kept.qkz"});

    const std::string foreign =
        home.WriteFile("notes.txt", "not an archive at all, but long enough to be read");
    EXPECT_EQ(OpenArchiveForChange(foreign, error), nullptr);
    EXPECT_FALSE(error.empty());

    // A folder that is not there: the writing fails, and says so.
    archive = OpenArchiveForChange(home.Path() + "/missing/a.qkz", error);
    ASSERT_NE(archive, nullptr) << error;
    AddEntry(archive, "kept", content, true);
    EXPECT_NE(zip_close(archive), 0);
    EXPECT_NE(std::string(zip_strerror(archive)).find("No such file"), std::string::npos)
        << zip_strerror(archive);
    zip_discard(archive);
}
