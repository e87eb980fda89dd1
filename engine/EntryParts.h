// The small steps every way of reading an entry shares: its AES keys, exact reads, the thread's decoder.

#pragma once

#include "engine/WinZipAes.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <zip.h>

struct libdeflate_decompressor;

namespace quillbank {

/// Entries up to this size are read whole and decoded in one call, which is
/// several times faster than decoding a stream; larger ones are streamed, or
/// read in pieces on every core.
inline constexpr std::uint64_t WholeEntryLimit = 4u << 20;

/// The key length of an entry encrypted with `method`; 0 when that is no AES.
std::size_t AesKeySize(std::uint16_t method);

/// Reads exactly `size` bytes; false when the entry ends or fails first.
bool ReadExactly(zip_file_t* file, std::uint8_t* data, std::size_t size);

/// The keys of an AES entry whose header (salt and verifier) is `header`:
/// known ones (AES-256, as written), or derived from `password`; nothing
/// when the header's password verifier says the password is wrong.
std::optional<winzip_aes::TKeys> KeysFor(const std::uint8_t* header, std::size_t keySize,
                                         const std::string& password,
                                         const winzip_aes::TKnownKeys* knownKeys);

/// Reads up to `size` bytes at `offset` of `fd` into `data`, fewer only where
/// the file ends: how many, or nothing (errno set) when a read failed.
std::optional<std::size_t> ReadAt(int fd, void* data, std::size_t size, std::uint64_t offset);

/// Writes all `size` bytes of `data` to `fd`, at `offset` when given, else
/// where the file stands; false when the file takes no more.
bool WriteAll(int fd, const void* data, std::size_t size, std::optional<std::uint64_t> offset = std::nullopt);

/// Writes `size` bytes of `data` at `offset` of `directFd`, a file opened for
/// writes straight to the disk, in whole blocks: `data` must hold zeros up to
/// the next block. A device that wants larger blocks refuses such a write;
/// the bytes then go to `throughCache` instead. False when neither wrote them.
bool WriteStraightToDisk(
    int directFd, std::uint64_t offset, const std::uint8_t* data, std::size_t size,
    const std::function<bool(std::uint64_t, const std::uint8_t*, std::size_t)>& throughCache);

/// The calling thread's own deflate decoder, kept for its lifetime.
libdeflate_decompressor* ThreadDecompressor();

} // namespace quillbank
