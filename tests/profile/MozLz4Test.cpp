// Tests of the mozLz4 file format: contents come back as they went, hostile files are refused.

#include "profile/MozLz4.h"

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

using namespace quillbank;

namespace {

std::string WithSize(std::string file, std::uint32_t size)
{
    for (int i = 0; i < 4; ++i)
        file[8 + i] = static_cast<char>((size >> (8 * i)) & 0xFF);
    return file;
}

} // namespace

TEST(MozLz4, ContentComesBackAsItWent)
{
    const std::string json = R"({"app-profile":{"path":"/home/u/p/extensions"}})" + std::string(5000, 'x');
    const std::string file = EncodeMozLz4(json);
    EXPECT_EQ(file.substr(0, 8), std::string("mozLz40\0", 8));
    EXPECT_EQ(static_cast<unsigned char>(file[8]) | static_cast<unsigned char>(file[9]) << 8, json.size());
    EXPECT_LT(file.size(), json.size());
    EXPECT_EQ(DecodeMozLz4(file), json);
    EXPECT_EQ(DecodeMozLz4(EncodeMozLz4("")), "");
}

TEST(MozLz4, HostileFilesAreRefusedNeverOverrun)
{
    const std::string good = EncodeMozLz4(std::string(3000, 'a').append("end"));
    // Not the framing at all, or too short to hold its header.
    EXPECT_THROW(DecodeMozLz4(""), EMozLz4Error);
    EXPECT_THROW(DecodeMozLz4("mozLz40"), EMozLz4Error);
    EXPECT_THROW(DecodeMozLz4(std::string("mozLz41\0", 8) + good.substr(8)), EMozLz4Error);
    EXPECT_THROW(DecodeMozLz4("{\"plain\":\"json\"}"), EMozLz4Error);
    // Every truncation of a good file.
    for (std::size_t length = 0; length < good.size(); ++length)
        EXPECT_THROW(DecodeMozLz4(good.substr(0, length)), EMozLz4Error) << length;
    // Sizes that lie, either way, and sizes beyond the limit.
    EXPECT_THROW(DecodeMozLz4(WithSize(good, 3002)), EMozLz4Error);
    EXPECT_THROW(DecodeMozLz4(WithSize(good, 3004)), EMozLz4Error);
    EXPECT_THROW(DecodeMozLz4(WithSize(good, 0xFFFFFFFF)), EMozLz4Error);
    EXPECT_THROW(DecodeMozLz4(WithSize(good, MozLz4MaxSize + 1)), EMozLz4Error);
    // A block of garbage.
    std::string garbage = good;
    for (std::size_t i = 12; i < garbage.size(); ++i)
        garbage[i] = static_cast<char>(0xF0 ^ i);
    EXPECT_THROW(DecodeMozLz4(garbage), EMozLz4Error);
}
