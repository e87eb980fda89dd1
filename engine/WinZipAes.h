#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string_view>

namespace quillbank {

/// AES-256 as WinZip defined it for ZIP entries: a per-entry salt, keys
/// derived from the password with PBKDF2-HMAC-SHA1 (1000 rounds), AES in
/// counter mode with a little-endian counter starting at 1, and the first
/// ten bytes of an HMAC-SHA1 of the encrypted data after it.
namespace winzip_aes {

constexpr std::size_t SaltSize = 16;
constexpr std::size_t VerifierSize = 2;
constexpr std::size_t HeaderSize = SaltSize + VerifierSize;
constexpr std::size_t MacSize = 10;

/// What one entry is encrypted with. Deriving it is the expensive part (a
/// millisecond), so it is done where the entry is compressed.
struct TKeys
{
    std::array<std::uint8_t, SaltSize> Salt{};
    std::array<std::uint8_t, 32> AesKey{};
    std::array<std::uint8_t, 32> MacKey{};
    std::array<std::uint8_t, VerifierSize> Verifier{};
    ~TKeys();
};

/// Keys already derived, by their salt: an archive just written reads back
/// without deriving them a second time.
using TKnownKeys = std::map<std::array<std::uint8_t, SaltSize>, std::shared_ptr<const TKeys>>;

/// Keys for a new entry, with a fresh random salt.
TKeys DeriveNewKeys(std::string_view password);
/// Keys for an entry written with `salt`.
TKeys DeriveKeys(std::string_view password, const std::uint8_t* salt);

/// Encrypts (or decrypts) one entry's data as it streams past and keeps the
/// authentication code of the encrypted bytes.
class TCipher
{
public:
    explicit TCipher(const TKeys& keys);
    ~TCipher();
    TCipher(const TCipher&) = delete;
    TCipher& operator=(const TCipher&) = delete;

    void Encrypt(std::uint8_t* data, std::size_t size);
    void Decrypt(std::uint8_t* data, std::size_t size);
    /// The authentication code of everything encrypted or decrypted so far.
    std::array<std::uint8_t, MacSize> Mac();

private:
    void ApplyKeyStream(std::uint8_t* data, std::size_t size);

    struct TState;
    std::unique_ptr<TState> state_;
};

} // namespace winzip_aes

} // namespace quillbank
