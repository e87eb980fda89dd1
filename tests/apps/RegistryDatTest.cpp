// Tests of the legacy binary profile registry reader: the walk of its nodes, damaged and hostile files.

#include "apps/RegistryDat.h"

#include "tests/support/RegistryDatImage.h"

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace std::string_literals;

using namespace quillbank;

namespace {

using TImage = quillbank::testing::TRegistryDatImage;

// The nodes of the valid file: the walk root -> A -> B -> C -> (C's own
// offset) D -> P1, then P1 -> P2 by sibling. C's first child is P2, so a
// reader that skips the re-read of C's own offset finds one profile only.
constexpr std::uint32_t Root = 0x20, A = 0x40, B = 0x60, C = 0x80, D = 0xA0, P1 = 0x100, P2 = 0x140;
constexpr std::uint32_t Value1 = 0x200, Value2 = 0x300;

// Where a 0 stops the walk, one field per step.
constexpr std::uint32_t WalkFields[] = {12, Root + 16, A + 12, B + 16, C + 0, D + 16};

TImage ValidImage()
{
    TImage image;
    image.Put32(12, Root);
    image.Put32(Root + 16, A);
    image.Put32(A + 12, B);
    image.Put32(B + 16, C);
    image.Put32(C + 0, D);
    image.Put32(C + 16, P2);
    image.Put32(D + 16, P1);

    // P1: a UTF-16-looking name; a value whose text holds "directory" twice.
    const std::string text1 = "\0\0type\0directory\0/home/u/directory.slt"s;
    image.Put(P1 - 16, "d\0e\0f\0a\0u\0l\0t\0\0\0"s);
    image.Put32(P1 + 0, P1);
    image.Put32(P1 + 4, P1 - 16);
    image.Put32(P1 + 12, P2);
    image.Put32(P1 + 20, Value1 + 4 + static_cast<std::uint32_t>(text1.size()));
    image.Put32(Value1, P1);
    image.Put(Value1 + 4, text1);

    // P2: no "directory"; the text starts with P2's offset bytes 0x40 0x01
    // (zeros dropped), so dropping 11 characters removes them and "abcdefghi".
    const std::string text2 = "abcdefghi/home/u/b.slt";
    image.Put(P2 - 4, "Work");
    image.Put32(P2 + 0, P2);
    image.Put32(P2 + 4, P2 - 4);
    image.Put32(P2 + 20, Value2 + 4 + static_cast<std::uint32_t>(text2.size()));
    image.Put32(Value2, P2);
    image.Put(Value2 + 4, text2);
    return image;
}

std::vector<TRegistryDatProfile> Read(const TImage& image)
{
    return ReadRegistryDatProfiles(image.Bytes());
}

std::vector<std::string> Names(const std::vector<TRegistryDatProfile>& profiles)
{
    std::vector<std::string> names;
    for (const auto& profile : profiles)
        names.push_back(profile.Name);
    return names;
}

using TNames = std::vector<std::string>;

} // namespace

TEST(RegistryDat, ReadsProfilesInChainOrder)
{
    const auto profiles = Read(ValidImage());
    ASSERT_EQ(profiles.size(), 2u);
    EXPECT_EQ(profiles[0].Name, "default");
    EXPECT_EQ(profiles[0].Directory, "/home/u/directory.slt");
    EXPECT_EQ(profiles[1].Name, "Work");
    EXPECT_EQ(profiles[1].Directory, "/home/u/b.slt");
}

TEST(RegistryDat, ShortValueTextGivesEmptyDirectory)
{
    TImage image = ValidImage();
    image.Put(Value2 + 4, std::string(22, '\0'));
    image.Put(Value2 + 4, "123456789");
    const auto profiles = Read(image);
    ASSERT_EQ(profiles.size(), 2u);
    EXPECT_EQ(profiles[1].Directory, "");
}

TEST(RegistryDat, ZeroOrOutsideOffsetAtAnyWalkStepMeansNoProfiles)
{
    for (const std::uint32_t field : WalkFields) {
        for (const std::uint32_t bad : {0u, ValidImage().Size(), 0xFFFFFFFCu, 0xFFFFFFFFu}) {
            TImage image = ValidImage();
            image.Put32(field, bad);
            EXPECT_TRUE(Read(image).empty()) << "field " << field << " value " << bad;
        }
    }
    EXPECT_TRUE(ReadRegistryDatProfiles("").empty());
    EXPECT_TRUE(ReadRegistryDatProfiles(std::string(4096, '\xFF')).empty());
}

TEST(RegistryDat, ValueOffsetOutsideFileSkipsOnlyThatNode)
{
    for (const std::uint32_t bad : {ValidImage().Size() + 1, 0xFFFFFFFCu, 0xFFFFFFFFu}) {
        TImage image = ValidImage();
        image.Put32(P1 + 20, bad);
        EXPECT_EQ(Names(Read(image)), TNames{"Work"}) << bad;
    }
}

TEST(RegistryDat, ScanThatReachesFileStartSkipsNode)
{
    TImage image = ValidImage();
    image.Put32(P1 + 20, 0);
    EXPECT_EQ(Names(Read(image)), TNames{"Work"});
    image.Put32(P1 + 20, 0x10); // only the header lies before, P1's offset is not in it
    EXPECT_EQ(Names(Read(image)), TNames{"Work"});

    // A match at the very first byte still counts.
    image.Put32(0, P1);
    image.Put32(P1 + 20, 8);
    const auto profiles = Read(image);
    ASSERT_EQ(Names(profiles), (TNames{"default", "Work"}));
    EXPECT_EQ(profiles[0].Directory, "");
}

TEST(RegistryDat, ScanLongerThanCapSkipsNode)
{
    constexpr std::uint32_t Far = 0x400;
    const std::uint32_t cap = RegistryDatMaxScanBytes;
    TImage image = ValidImage();
    image.Put32(Far, P1);
    image.Put(Far + 4, std::string(cap, 'a'));

    image.Put32(P1 + 20, Far + cap); // exactly the cap: the marker is met
    auto profiles = Read(image);
    ASSERT_EQ(profiles.size(), 2u);
    EXPECT_EQ(profiles[0].Directory, std::string(cap - 4 + 1 - 11, 'a'));

    image.Put32(P1 + 20, Far + cap + 1); // one byte more: given up
    EXPECT_EQ(Names(Read(image)), TNames{"Work"});
}

TEST(RegistryDat, DamagedNameOffsetGivesEmptyName)
{
    for (const std::uint32_t bad : {P1 + 1, 0xFFFFFFFFu}) {
        TImage image = ValidImage();
        image.Put32(P1 + 4, bad);
        const auto profiles = Read(image);
        ASSERT_EQ(profiles.size(), 2u) << bad;
        EXPECT_EQ(profiles[0].Name, "");
        EXPECT_EQ(profiles[0].Directory, "/home/u/directory.slt");
    }
    TImage image = ValidImage();
    image.Put32(P1 + 4, P1); // zero length
    EXPECT_EQ(Read(image)[0].Name, "");
}

TEST(RegistryDat, SiblingChainEndsAtCycleOrOutsideFile)
{
    const auto chainAfter = [](std::uint32_t field, std::uint32_t next) {
        TImage image = ValidImage();
        image.Put32(field, next);
        return Names(Read(image));
    };
    EXPECT_EQ(chainAfter(P2 + 12, P1), (TNames{"default", "Work"}));
    EXPECT_EQ(chainAfter(P2 + 12, P2), (TNames{"default", "Work"}));
    EXPECT_EQ(chainAfter(P1 + 12, P1), TNames{"default"});
    // A node whose fields run past the end, or at a wrapping offset, ends the chain.
    EXPECT_EQ(chainAfter(P2 + 12, ValidImage().Size() - 20), (TNames{"default", "Work"}));
    EXPECT_EQ(chainAfter(P2 + 12, 0xFFFFFFF0u), (TNames{"default", "Work"}));
}

TEST(RegistryDat, ChainIsCutAtNodeCap)
{
    // A long chain of minimal nodes after P2; each finds its own offset.
    TImage image = ValidImage();
    constexpr std::uint32_t First = 0x1000, Count = RegistryDatMaxProfileNodes + 100;
    image.Put32(P2 + 12, First);
    for (std::uint32_t i = 0; i < Count; ++i) {
        const std::uint32_t node = First + 24 * i;
        image.Put32(node + 0, node);
        image.Put32(node + 4, node);
        image.Put32(node + 12, i + 1 < Count ? node + 24 : 0);
        image.Put32(node + 20, node + 24);
    }
    EXPECT_EQ(Read(image).size(), RegistryDatMaxProfileNodes);
}

TEST(RegistryDatHostile, EveryTruncationYieldsOnlyIntactProfiles)
{
    const std::string full = ValidImage().Bytes();
    const auto expected = ReadRegistryDatProfiles(full);
    for (std::size_t length = 0; length <= full.size(); ++length) {
        const auto profiles = ReadRegistryDatProfiles(std::string(full, 0, length));
        for (const auto& profile : profiles) {
            EXPECT_TRUE(std::any_of(expected.begin(), expected.end(),
                                    [&](const auto& good) {
                                        return good.Name == profile.Name &&
                                               good.Directory == profile.Directory;
                                    }))
                << "length " << length;
        }
    }
}

TEST(RegistryDatHostile, RandomBytesAndRandomOffsets)
{
    std::mt19937 random(20240611);
    for (const std::size_t size : {1u, 15u, 16u, 17u, 64u, 255u, 4096u, 70000u}) {
        for (int round = 0; round < (size > 4096 ? 5 : 50); ++round) {
            // Plain junk, then junk whose every aligned word is an offset into
            // the file, so that walks, chains and scans go deep.
            std::string bytes(size, '\0');
            for (auto& c : bytes)
                c = static_cast<char>(random());
            EXPECT_LE(ReadRegistryDatProfiles(bytes).size(), RegistryDatMaxProfileNodes);

            TImage image;
            image.Put(0, bytes);
            for (std::uint32_t at = 0; at + 4 <= size; at += 4)
                image.Put32(at, static_cast<std::uint32_t>(random() % (size + 8)));
            EXPECT_LE(Read(image).size(), RegistryDatMaxProfileNodes);
        }
    }
}
