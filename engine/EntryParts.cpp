// The shared steps of reading an entry: key lookup or derivation, exact reads, one decoder per thread.

#include "engine/EntryParts.h"

#include "platform/NamelessFile.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <libdeflate.h>
#include <unistd.h>

namespace quillbank {

std::size_t AesKeySize(std::uint16_t method)
{
    switch (method) {
    case ZIP_EM_AES_128:
        return 16;
    case ZIP_EM_AES_192:
        return 24;
    case ZIP_EM_AES_256:
        return 32;
    default:
        return 0;
    }
}

bool ReadExactly(zip_file_t* file, std::uint8_t* data, std::size_t size)
{
    while (size > 0) {
        const zip_int64_t got = zip_fread(file, data, size);
        if (got <= 0)
            return false;
        data += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

std::optional<winzip_aes::TKeys> KeysFor(const std::uint8_t* header, std::size_t keySize,
                                         const std::string& password, const winzip_aes::TKnownKeys* knownKeys)
{
    std::optional<winzip_aes::TKeys> keys;
    if (knownKeys != nullptr && keySize == winzip_aes::MaxKeySize) {
        std::array<std::uint8_t, winzip_aes::SaltSize> salt{};
        std::copy_n(header, salt.size(), salt.begin());
        if (const winzip_aes::TKeys* known = knownKeys->Find(salt))
            keys = *known;
    }
    if (!keys)
        keys = winzip_aes::DeriveKeys(password, header, keySize);
    const std::uint8_t* verifier = header + winzip_aes::HeaderSize(keySize) - winzip_aes::VerifierSize;
    if (!std::equal(keys->Verifier.begin(), keys->Verifier.end(), verifier))
        keys.reset();
    return keys;
}

std::optional<std::size_t> ReadAt(int fd, void* data, std::size_t size, std::uint64_t offset)
{
    auto* bytes = static_cast<char*>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = pread(fd, bytes + done, size - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

bool WriteAll(int fd, const void* data, std::size_t size, std::optional<std::uint64_t> offset)
{
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written =
            offset ? pwrite(fd, bytes, size, static_cast<off_t>(*offset)) : write(fd, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        size -= static_cast<std::size_t>(written);
        if (offset)
            *offset += static_cast<std::uint64_t>(written);
    }
    return true;
}

bool WriteStraightToDisk(
    int directFd, std::uint64_t offset, const std::uint8_t* data, std::size_t size,
    const std::function<bool(std::uint64_t, const std::uint8_t*, std::size_t)>& throughCache)
{
    if (WriteAll(directFd, data, WholeDirectBlocks(size), offset))
        return true;
    return errno == EINVAL && throughCache(offset, data, size);
}

libdeflate_decompressor* ThreadDecompressor()
{
    struct TOwner
    {
        libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
        ~TOwner() { libdeflate_free_decompressor(decompressor); }
    };
    thread_local TOwner owner;
    return owner.decompressor;
}

} // namespace quillbank
