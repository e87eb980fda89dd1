// Tests of naming files beside a target: long names are cut between characters to leave room.

#include "platform/NameBeside.h"

#include "platform/FileSystem.h"
#include "tests/support/FakeHome.h"

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::TFakeHome;

TEST(NameBeside, LongNamesAreCutBetweenCharactersToLeaveRoomAndKeptApart)
{
    EXPECT_EQ(TemporaryTemplateBeside("/p/prefs.js"), "/p/prefs.js.qbpart-XXXXXX");
    EXPECT_EQ(MaxFileNameLength("/nonexistent/folder/"), 255u); // the file system cannot be asked
    TFakeHome home;
    const std::string folder = home.Path() + "/";
    const std::size_t limit = MaxFileNameLength(folder);
    // Three-byte letters after none, one or two "a": one of them straddles the cut.
    for (std::string name : {"", "a", "aa"}) {
        while (name.size() + 3 <= limit)
            name += "\xe2\x82\xac";
        const std::string made = ExtractFileName(NameBeside(folder + name, ".", ".qbpart", 7));
        EXPECT_LE(made.size() + 7, limit);
        const std::size_t kept = made.find('~') - 1;
        EXPECT_EQ(made.substr(0, kept + 1), std::string(".").append(name, 0, kept));
        EXPECT_NE(static_cast<unsigned char>(name[kept]) & 0xC0, 0x80) << kept;
        // A name differing only past the cut gets a name of its own, the same one every time.
        const std::string other = folder + name.substr(0, name.size() - 3) + "zzz";
        EXPECT_NE(NameBeside(other, ".", ".qbpart", 7), folder + made);
        EXPECT_EQ(NameBeside(folder + name, ".", ".qbpart", 7), folder + made);
    }
}
