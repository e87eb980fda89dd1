// Derives WinZip AES keys with PBKDF2-HMAC-SHA1 and runs AES in counter mode with the HMAC, using nettle.

#include "engine/WinZipAes.h"

#include <algorithm>
#include <cstring>
#include <nettle/aes.h>
#include <nettle/hmac.h>
#include <nettle/nettle-meta.h>
#include <nettle/pbkdf2.h>
#include <stdexcept>
#include <string>
#include <sys/random.h>

namespace quillbank::winzip_aes {

namespace {

constexpr unsigned Rounds = 1000;
constexpr std::size_t BlockSize = 16;
/// Counter blocks encrypted in one call.
constexpr std::size_t Batch = 64;

void Wipe(void* data, std::size_t size)
{
    explicit_bzero(data, size);
}

} // namespace

TKeys::~TKeys()
{
    Wipe(AesKey.data(), AesKey.size());
    Wipe(MacKey.data(), MacKey.size());
}

void TKnownKeys::Seal()
{
    std::sort(keys_.begin(), keys_.end(), [](const TKeys& a, const TKeys& b) { return a.Salt < b.Salt; });
    keys_.shrink_to_fit();
}

const TKeys* TKnownKeys::Find(const std::array<std::uint8_t, SaltSize>& salt) const
{
    const auto found =
        std::lower_bound(keys_.begin(), keys_.end(), salt,
                         [](const TKeys& keys, const auto& wanted) { return keys.Salt < wanted; });
    return found != keys_.end() && found->Salt == salt ? &*found : nullptr;
}

TKeys DeriveKeys(std::string_view password, const std::uint8_t* salt, std::size_t keySize)
{
    if (keySize != 16 && keySize != 24 && keySize != 32)
        throw std::invalid_argument("no AES key is " + std::to_string(keySize) + " bytes long");
    TKeys keys;
    keys.KeySize = keySize;
    const std::size_t saltSize = keySize / 2;
    std::memcpy(keys.Salt.data(), salt, saltSize);
    std::array<std::uint8_t, 2 * MaxKeySize + VerifierSize> derived{};
    pbkdf2_hmac_sha1(password.size(), reinterpret_cast<const std::uint8_t*>(password.data()), Rounds,
                     saltSize, salt, 2 * keySize + VerifierSize, derived.data());
    std::memcpy(keys.AesKey.data(), derived.data(), keySize);
    std::memcpy(keys.MacKey.data(), derived.data() + keySize, keySize);
    std::memcpy(keys.Verifier.data(), derived.data() + 2 * keySize, VerifierSize);
    Wipe(derived.data(), derived.size());
    return keys;
}

TKeys DeriveNewKeys(std::string_view password)
{
    std::array<std::uint8_t, SaltSize> salt{};
    if (getrandom(salt.data(), salt.size(), 0) != static_cast<ssize_t>(salt.size()))
        throw std::runtime_error("no random numbers for the encryption");
    return DeriveKeys(password, salt.data());
}

namespace {

/// AES with an entry's key, making the key stream of its counter blocks.
struct TAesKey
{
    const nettle_cipher* cipher = nullptr;
    union {
        aes128_ctx aes128;
        aes192_ctx aes192;
        aes256_ctx aes256;
    } aes{};

    explicit TAesKey(const TKeys& keys)
    {
        cipher = keys.KeySize == 16 ? &nettle_aes128 : keys.KeySize == 24 ? &nettle_aes192 : &nettle_aes256;
        cipher->set_encrypt_key(&aes, keys.AesKey.data());
    }
    ~TAesKey() { Wipe(&aes, sizeof(aes)); }
    TAesKey(const TAesKey&) = delete;
    TAesKey& operator=(const TAesKey&) = delete;

    /// Fills `out` with `blocks` blocks of key stream, the first for the
    /// counter `first` (little-endian; an entry's data starts at 1).
    void KeyStream(std::uint64_t first, std::size_t blocks, std::uint8_t* out)
    {
        for (std::size_t block = 0; block < blocks; ++block) {
            std::uint8_t* counter = out + block * BlockSize;
            for (std::size_t byte = 0; byte < 8; ++byte)
                counter[byte] = static_cast<std::uint8_t>((first + block) >> (8 * byte));
            std::memset(counter + 8, 0, 8);
        }
        cipher->encrypt(&aes, blocks * BlockSize, out, out);
    }
};

} // namespace

struct TCipher::TState
{
    explicit TState(const TKeys& keys) : aes(keys) {}
    TAesKey aes;
    hmac_sha1_ctx mac{};
    /// The counter of the next block of key stream.
    std::uint64_t counter = 1;
    std::uint8_t stream[Batch * BlockSize]{};
    std::size_t used = sizeof(stream);
    ~TState()
    {
        Wipe(&mac, sizeof(mac));
        Wipe(stream, sizeof(stream));
    }
};

TCipher::TCipher(const TKeys& keys) : state_(std::make_unique<TState>(keys))
{
    hmac_sha1_set_key(&state_->mac, keys.KeySize, keys.MacKey.data());
}

TCipher::~TCipher() = default;

void TCipher::ApplyKeyStream(std::uint8_t* data, std::size_t size)
{
    TState& s = *state_;
    for (std::size_t done = 0; done < size;) {
        if (s.used == sizeof(s.stream)) {
            s.aes.KeyStream(s.counter, Batch, s.stream);
            s.counter += Batch;
            s.used = 0;
        }
        const std::size_t count = std::min(size - done, sizeof(s.stream) - s.used);
        for (std::size_t i = 0; i < count; ++i)
            data[done + i] ^= s.stream[s.used + i];
        s.used += count;
        done += count;
    }
}

void TCipher::Encrypt(std::uint8_t* data, std::size_t size)
{
    ApplyKeyStream(data, size);
    hmac_sha1_update(&state_->mac, size, data);
}

void TCipher::Decrypt(std::uint8_t* data, std::size_t size)
{
    hmac_sha1_update(&state_->mac, size, data);
    ApplyKeyStream(data, size);
}

std::array<std::uint8_t, MacSize> TCipher::Mac()
{
    std::array<std::uint8_t, MacSize> mac{};
    hmac_sha1_digest(&state_->mac, mac.size(), mac.data());
    return mac;
}

void ApplyKeyStreamAt(const TKeys& keys, std::uint64_t offset, std::uint8_t* data, std::size_t size)
{
    TAesKey aes(keys);
    std::uint8_t stream[Batch * BlockSize];
    std::uint64_t counter = 1 + offset / BlockSize;
    std::size_t skip = offset % BlockSize;
    for (std::size_t done = 0; done < size;) {
        aes.KeyStream(counter, Batch, stream);
        counter += Batch;
        const std::size_t count = std::min(size - done, sizeof(stream) - skip);
        for (std::size_t i = 0; i < count; ++i)
            data[done + i] ^= stream[skip + i];
        done += count;
        skip = 0;
    }
    Wipe(stream, sizeof(stream));
}

struct TAuthenticator::TState
{
    hmac_sha1_ctx mac{};
    ~TState() { Wipe(&mac, sizeof(mac)); }
};

TAuthenticator::TAuthenticator(const TKeys& keys) : state_(std::make_unique<TState>())
{
    hmac_sha1_set_key(&state_->mac, keys.KeySize, keys.MacKey.data());
}

TAuthenticator::~TAuthenticator() = default;

void TAuthenticator::Update(const std::uint8_t* data, std::size_t size)
{
    hmac_sha1_update(&state_->mac, size, data);
}

std::array<std::uint8_t, MacSize> TAuthenticator::Mac()
{
    std::array<std::uint8_t, MacSize> mac{};
    hmac_sha1_digest(&state_->mac, mac.size(), mac.data());
    return mac;
}

} // namespace quillbank::winzip_aes
