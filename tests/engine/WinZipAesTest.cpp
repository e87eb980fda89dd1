// Tests of WinZip AES encryption: keys from PBKDF2 with fresh salts, streaming in pieces both ways.

#include "engine/WinZipAes.h"

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace quillbank;
namespace aes = quillbank::winzip_aes;

namespace {

std::string Hex(const std::uint8_t* data, std::size_t size)
{
    std::string hex;
    char digits[3];
    for (std::size_t i = 0; i < size; ++i) {
        std::snprintf(digits, sizeof digits, "%02x", data[i]);
        hex += digits;
    }
    return hex;
}

/// `size` bytes of PBKDF2-HMAC-SHA1 as Python's standard library computes them.
std::string PythonPbkdf2(const std::string& password, const std::string& saltHex, int size)
{
    const std::string command =
        "python3 -c \"import hashlib,sys; sys.stdout.write(hashlib.pbkdf2_hmac('sha1', b'" + password +
        "', bytes.fromhex('" + saltHex + "'), 1000, " + std::to_string(size) + ").hex())\"";
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            output.append(buffer, got);
        pclose(pipe);
    }
    return output;
}

} // namespace

TEST(WinZipAes, KeysComeFromPbkdf2WithAFreshSaltForEveryEntry)
{
    const aes::TKeys first = aes::DeriveNewKeys("s3cret pass");
    const aes::TKeys second = aes::DeriveNewKeys("s3cret pass");
    EXPECT_NE(first.Salt, second.Salt);
    EXPECT_NE(first.AesKey, second.AesKey);

    const std::string expected = PythonPbkdf2("s3cret pass", Hex(first.Salt.data(), first.Salt.size()), 66);
    ASSERT_EQ(expected.size(), 132u) << "python3 is needed (scripts/install-deps.sh installs it)";
    EXPECT_EQ(Hex(first.AesKey.data(), 32) + Hex(first.MacKey.data(), 32) + Hex(first.Verifier.data(), 2),
              expected);

    const aes::TKeys again = aes::DeriveKeys("s3cret pass", first.Salt.data());
    EXPECT_EQ(again.AesKey, first.AesKey);
    EXPECT_EQ(again.Verifier, first.Verifier);

    // Other writers' shorter keys come with a salt half as long as the key.
    const aes::TKeys shorter = aes::DeriveKeys("s3cret pass", first.Salt.data(), 16);
    EXPECT_EQ(Hex(shorter.AesKey.data(), 16) + Hex(shorter.MacKey.data(), 16) +
                  Hex(shorter.Verifier.data(), 2),
              PythonPbkdf2("s3cret pass", Hex(first.Salt.data(), 8), 34));
    EXPECT_THROW(aes::DeriveKeys("s3cret pass", first.Salt.data(), 20), std::invalid_argument);
}

// A backup's read-back finds each entry's keys by its salt instead of
// deriving them again; a salt it never wrote finds nothing.
TEST(WinZipAes, KnownKeysAreFoundByTheirSaltOnly)
{
    std::vector<aes::TKeys> written;
    aes::TKnownKeys known;
    for (int i = 0; i < 40; ++i) {
        aes::TKeys keys;
        keys.Salt.fill(static_cast<std::uint8_t>(i * 37 % 251));
        keys.Salt[15] = static_cast<std::uint8_t>(i);
        keys.AesKey.fill(static_cast<std::uint8_t>(i));
        known.Add(keys);
        written.push_back(keys);
    }
    known.Seal();
    for (const aes::TKeys& keys : written) {
        const aes::TKeys* found = known.Find(keys.Salt);
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(found->AesKey, keys.AesKey);
    }
    std::array<std::uint8_t, aes::SaltSize> unknown{};
    unknown.fill(0xEE);
    EXPECT_EQ(known.Find(unknown), nullptr);
    known.Clear();
    known.Seal();
    EXPECT_EQ(known.Find(written.front().Salt), nullptr);
}

TEST(WinZipAes, StreamingInAnyPiecesGivesTheSameBytesAndCodeBothWays)
{
    const aes::TKeys keys = aes::DeriveNewKeys("pw");
    std::vector<std::uint8_t> plain(5000);
    for (std::size_t i = 0; i < plain.size(); ++i)
        plain[i] = static_cast<std::uint8_t>(i * 7);

    std::vector<std::uint8_t> whole = plain;
    aes::TCipher oneGo(keys);
    oneGo.Encrypt(whole.data(), whole.size());
    const auto mac = oneGo.Mac();
    EXPECT_NE(whole, plain);

    // Pieces that cut the 16-byte counter blocks and the 1 KiB key stream batches.
    std::vector<std::uint8_t> pieces = plain;
    aes::TCipher inPieces(keys);
    for (std::size_t offset = 0, size = 1; offset < pieces.size(); offset += size, size = size * 3 + 1)
        inPieces.Encrypt(pieces.data() + offset, std::min(size, pieces.size() - offset));
    EXPECT_EQ(pieces, whole);
    EXPECT_EQ(inPieces.Mac(), mac);

    aes::TCipher back(keys);
    back.Decrypt(whole.data(), 1000);
    back.Decrypt(whole.data() + 1000, whole.size() - 1000);
    EXPECT_EQ(whole, plain);
    EXPECT_EQ(back.Mac(), mac);

    // Any stretch decrypts apart from its place in the stream, in any order,
    // and the code computed apart is the same.
    std::vector<std::uint8_t> apart = pieces;
    for (const auto& [offset, size] : std::vector<std::pair<std::size_t, std::size_t>>{
             {4095, 905}, {0, 1}, {1, 16}, {17, 1007}, {1024, 3071}})
        aes::ApplyKeyStreamAt(keys, offset, apart.data() + offset, size);
    EXPECT_EQ(apart, plain);
    aes::TAuthenticator authenticator(keys);
    authenticator.Update(pieces.data(), 2000);
    authenticator.Update(pieces.data() + 2000, pieces.size() - 2000);
    EXPECT_EQ(authenticator.Mac(), mac);

    // A flipped bit changes the code: damage is found.
    pieces[100] ^= 1;
    aes::TCipher tampered(keys);
    tampered.Decrypt(pieces.data(), pieces.size());
    EXPECT_NE(tampered.Mac(), mac);
}
