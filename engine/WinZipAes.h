// WinZip's AES encryption of ZIP entries: each entry's keys, and encryption with an authentication code.

#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace quillbank {

/// AES as WinZip defined it for ZIP entries: a per-entry salt (half as long
/// as the key), keys derived from the password with PBKDF2-HMAC-SHA1 (1000
/// rounds), AES in counter mode with a little-endian counter starting at 1,
/// and the first ten bytes of an HMAC-SHA1 of the encrypted data after it.
/// New entries are written with AES-256; entries with 128- and 192-bit keys
/// are read too.
namespace winzip_aes {

/// The key length of AES-256, the longest.
constexpr std::size_t MaxKeySize = 32;
/// The salt of an AES-256 key, the longest.
constexpr std::size_t SaltSize = MaxKeySize / 2;
constexpr std::size_t VerifierSize = 2;
constexpr std::size_t MacSize = 10;

/// What precedes the encrypted data of an entry whose key is `keySize`
/// bytes long: its salt and the password verifier.
constexpr std::size_t HeaderSize(std::size_t keySize = MaxKeySize)
{
    return keySize / 2 + VerifierSize;
}

/// What one entry is encrypted with. Deriving it is the expensive part (a
/// millisecond), so it is done where the entry is compressed.
struct TKeys
{
    /// 16, 24 or 32 bytes; the arrays below hold as many (the salt half as many).
    std::size_t KeySize = MaxKeySize;
    std::array<std::uint8_t, SaltSize> Salt{};
    std::array<std::uint8_t, MaxKeySize> AesKey{};
    std::array<std::uint8_t, MaxKeySize> MacKey{};
    std::array<std::uint8_t, VerifierSize> Verifier{};
    ~TKeys();
};

/// Keys already derived, by their salt: an archive just written reads back
/// without deriving them a second time. They are kept in one array, sorted
/// once every key is in: a map of shared keys took twice the memory, 21 MB
/// for an archive of 100,000 entries.
class TKnownKeys
{
public:
    void Add(const TKeys& keys) { keys_.push_back(keys); }
    void Clear() { keys_.clear(); }
    /// Makes the keys ready to be found, once all are added.
    void Seal();
    /// The keys derived with `salt`, or null; only once sealed.
    const TKeys* Find(const std::array<std::uint8_t, SaltSize>& salt) const;

private:
    std::vector<TKeys> keys_;
};

/// AES-256 keys for a new entry, with a fresh random salt.
TKeys DeriveNewKeys(std::string_view password);
/// Keys of `keySize` bytes (16, 24 or 32) for an entry written with `salt`;
/// throws std::invalid_argument for another size.
TKeys DeriveKeys(std::string_view password, const std::uint8_t* salt, std::size_t keySize = MaxKeySize);

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

/// Decrypts (or encrypts) `size` bytes that lie `offset` bytes into an
/// entry's encrypted data, without the authentication code: the pieces of
/// one entry can so be decrypted apart, in any order.
void ApplyKeyStreamAt(const TKeys& keys, std::uint64_t offset, std::uint8_t* data, std::size_t size);

/// The authentication code of an entry's encrypted data, computed apart from
/// its decryption.
class TAuthenticator
{
public:
    explicit TAuthenticator(const TKeys& keys);
    ~TAuthenticator();
    TAuthenticator(const TAuthenticator&) = delete;
    TAuthenticator& operator=(const TAuthenticator&) = delete;

    void Update(const std::uint8_t* data, std::size_t size);
    std::array<std::uint8_t, MacSize> Mac();

private:
    struct TState;
    std::unique_ptr<TState> state_;
};

} // namespace winzip_aes

} // namespace quillbank
