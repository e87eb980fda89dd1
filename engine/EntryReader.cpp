// Reads entries: small ones whole in one call, AES ones with our own decryption, files staged beside targets.

#include "engine/EntryReader.h"

#include "engine/EntryParts.h"
#include "engine/WinZipAes.h"
#include "platform/LiveTemporaries.h"
#include "platform/NamelessFile.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <libdeflate.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace quillbank {

namespace {

constexpr std::size_t ChunkSize = 1 << 20;

/// Reads an AES entry with our own decryption, so that the key derivation,
/// a millisecond per entry, costs no more than it must, and so that its
/// authentication code is told from its checksum: libzip reports either
/// failing alike. `withoutChecksum`: the entry's checksum field is empty;
/// `knownKeys` (when given) were derived from `password`.
TReadResult ReadAesEntry(zip_t* archive, std::uint64_t index, const zip_stat_t& info,
                         const std::string& password, bool withoutChecksum, const TEntrySink& sink,
                         TReadBuffer& buffer, const winzip_aes::TKnownKeys* knownKeys)
{
    namespace aes = winzip_aes;
    const std::size_t keySize = AesKeySize(info.encryption_method);
    const std::size_t headerSize = aes::HeaderSize(keySize);
    if (!(info.valid & ZIP_STAT_COMP_SIZE) || info.comp_size < headerSize + aes::MacSize)
        return TReadResult::Damaged;
    zip_file_t* raw = zip_fopen_index(archive, index, ZIP_FL_ENCRYPTED);
    if (raw == nullptr)
        return TReadResult::Damaged;
    std::array<std::uint8_t, aes::HeaderSize()> header{};
    if (!ReadExactly(raw, header.data(), headerSize)) {
        zip_fclose(raw);
        return TReadResult::Damaged;
    }
    const std::optional<aes::TKeys> keys = KeysFor(header.data(), keySize, password, knownKeys);
    if (!keys) {
        zip_fclose(raw);
        return TReadResult::WrongPassword;
    }
    aes::TCipher cipher(*keys);
    const bool deflated = info.comp_method == ZIP_CM_DEFLATE;
    z_stream inflater{};
    if (deflated && inflateInit2(&inflater, -MAX_WBITS) != Z_OK) {
        zip_fclose(raw);
        return TReadResult::Damaged;
    }
    // The first half of the buffer takes the encrypted data, the second the
    // decompressed data.
    buffer.resize(std::max<std::size_t>(buffer.size(), 2 * 256 * 1024));
    const std::size_t half = buffer.size() / 2;
    auto* input = reinterpret_cast<std::uint8_t*>(buffer.data());
    char* output = buffer.data() + half;
    std::uint64_t remaining = info.comp_size - headerSize - aes::MacSize;
    std::uint64_t total = 0;
    std::uint32_t crc = 0;
    bool streamEnded = !deflated;
    TReadResult result = TReadResult::Ok;
    auto deliver = [&](const char* data, std::size_t size) {
        total += size;
        crc = libdeflate_crc32(crc, data, size);
        if (total > info.size)
            result = TReadResult::Damaged;
        else if (!sink(data, size))
            result = TReadResult::SinkFailed;
    };
    // One inflate call into the output half, delivered; what it produced.
    auto inflateOnce = [&]() -> std::size_t {
        inflater.next_out = reinterpret_cast<Bytef*>(output);
        inflater.avail_out = static_cast<uInt>(half);
        const int status = inflate(&inflater, Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END) {
            result = TReadResult::Damaged;
            return 0;
        }
        streamEnded = status == Z_STREAM_END;
        const std::size_t produced = half - inflater.avail_out;
        deliver(output, produced);
        return produced;
    };
    while (remaining > 0 && result == TReadResult::Ok) {
        const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, half));
        if (!ReadExactly(raw, input, size)) {
            result = TReadResult::Damaged;
            break;
        }
        remaining -= size;
        cipher.Decrypt(input, size);
        if (!deflated) {
            deliver(reinterpret_cast<const char*>(input), size);
            continue;
        }
        inflater.next_in = input;
        inflater.avail_in = static_cast<uInt>(size);
        while (inflater.avail_in > 0 && !streamEnded && result == TReadResult::Ok)
            inflateOnce();
        // Nothing may follow the end of the compressed stream.
        if (streamEnded && (inflater.avail_in > 0 || remaining > 0))
            result = TReadResult::Damaged;
    }
    // Whatever the stream still holds once all input is in; a stream that
    // wants more input than the entry holds is damaged.
    inflater.avail_in = 0;
    while (deflated && !streamEnded && result == TReadResult::Ok)
        if (inflateOnce() == 0 && !streamEnded)
            result = TReadResult::Damaged;
    if (deflated)
        inflateEnd(&inflater);
    std::array<std::uint8_t, aes::MacSize> mac{};
    if (result == TReadResult::Ok &&
        (!ReadExactly(raw, mac.data(), mac.size()) || mac != cipher.Mac() || total != info.size ||
         (!withoutChecksum && (info.valid & ZIP_STAT_CRC) && crc != info.crc)))
        result = TReadResult::Damaged;
    zip_fclose(raw);
    return result;
}

/// Whether an entry can be read whole: small, deflated or stored, and
/// either not encrypted or with AES.
bool ReadableWhole(const zip_stat_t& info, bool encrypted)
{
    constexpr auto needed = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD;
    return (info.valid & needed) == needed && info.size <= WholeEntryLimit &&
           info.comp_size <= WholeEntryLimit + 1024 &&
           (info.comp_method == ZIP_CM_DEFLATE || info.comp_method == ZIP_CM_STORE) &&
           (!encrypted || AesKeySize(info.encryption_method) != 0);
}

/// Reads a small entry whole: its stored bytes in one go, decrypted when
/// AES-encrypted, decoded in one call.
TReadResult ReadWholeEntry(zip_t* archive, std::uint64_t index, const zip_stat_t& info, bool encrypted,
                           const std::string& password, bool withoutChecksum, const TEntrySink& sink,
                           TReadBuffer& buffer, const winzip_aes::TKnownKeys* knownKeys)
{
    namespace aes = winzip_aes;
    const auto stored = static_cast<std::size_t>(info.comp_size);
    const auto size = static_cast<std::size_t>(info.size);
    if (buffer.size() < stored + size)
        buffer.resize(stored + size);
    auto* data = reinterpret_cast<std::uint8_t*>(buffer.data());
    zip_file_t* raw = zip_fopen_index(archive, index, encrypted ? ZIP_FL_ENCRYPTED : ZIP_FL_COMPRESSED);
    if (raw == nullptr)
        return TReadResult::Damaged;
    const bool complete = ReadExactly(raw, data, stored);
    zip_fclose(raw);
    if (!complete)
        return TReadResult::Damaged;
    std::uint8_t* payload = data;
    std::size_t payloadSize = stored;
    if (encrypted) {
        const std::size_t keySize = AesKeySize(info.encryption_method);
        const std::size_t headerSize = aes::HeaderSize(keySize);
        if (stored < headerSize + aes::MacSize)
            return TReadResult::Damaged;
        const std::optional<aes::TKeys> keys = KeysFor(data, keySize, password, knownKeys);
        if (!keys)
            return TReadResult::WrongPassword;
        payload = data + headerSize;
        payloadSize = stored - headerSize - aes::MacSize;
        aes::TCipher cipher(*keys);
        cipher.Decrypt(payload, payloadSize);
        const auto mac = cipher.Mac();
        if (!std::equal(mac.begin(), mac.end(), payload + payloadSize))
            return TReadResult::Damaged;
    }
    const std::uint8_t* output = payload;
    if (info.comp_method == ZIP_CM_DEFLATE && !(size == 0 && payloadSize == 0)) {
        if (libdeflate_deflate_decompress(ThreadDecompressor(), payload, payloadSize, data + stored, size,
                                          nullptr) != LIBDEFLATE_SUCCESS)
            return TReadResult::Damaged;
        output = data + stored;
    } else if (payloadSize != size) {
        return TReadResult::Damaged;
    }
    if (!withoutChecksum && (info.valid & ZIP_STAT_CRC) && libdeflate_crc32(0, output, size) != info.crc)
        return TReadResult::Damaged;
    if (size > 0 && !sink(reinterpret_cast<const char*>(output), size))
        return TReadResult::SinkFailed;
    return TReadResult::Ok;
}

} // namespace

TReadResult ReadArchiveEntry(zip_t* archive, std::uint64_t index, const std::string& password,
                             const TEntrySink& sink, TReadBuffer& buffer,
                             const winzip_aes::TKnownKeys* knownKeys)
{
    zip_stat_t info;
    if (zip_stat_index(archive, index, 0, &info) != 0)
        return TReadResult::Damaged;
    const bool encrypted = (info.valid & ZIP_STAT_ENCRYPTION_METHOD) && info.encryption_method != ZIP_EM_NONE;
    if (encrypted && password.empty())
        return TReadResult::WrongPassword;
    const bool aes = encrypted && AesKeySize(info.encryption_method) != 0;
    const bool withoutChecksum = aes && (info.valid & ZIP_STAT_CRC) && info.crc == 0;
    if (ReadableWhole(info, encrypted))
        return ReadWholeEntry(archive, index, info, encrypted, password, withoutChecksum, sink, buffer,
                              knownKeys);
    if (aes && (info.valid & ZIP_STAT_SIZE) &&
        (info.comp_method == ZIP_CM_DEFLATE || info.comp_method == ZIP_CM_STORE))
        return ReadAesEntry(archive, index, info, password, withoutChecksum, sink, buffer, knownKeys);
    zip_file_t* entry = encrypted ? zip_fopen_index_encrypted(archive, index, 0, password.c_str())
                                  : zip_fopen_index(archive, index, 0);
    if (entry == nullptr) {
        const int code = zip_error_code_zip(zip_get_error(archive));
        return code == ZIP_ER_WRONGPASSWD || code == ZIP_ER_NOPASSWD ? TReadResult::WrongPassword
                                                                     : TReadResult::Damaged;
    }
    // Small entries need no more than their size (plus one byte to see a
    // lying size); the memory is kept for the next entry.
    const std::uint64_t wanted = (info.valid & ZIP_STAT_SIZE) ? info.size + 1 : ChunkSize;
    if (buffer.size() < std::min<std::uint64_t>(wanted, ChunkSize))
        buffer.resize(static_cast<std::size_t>(std::min<std::uint64_t>(wanted, ChunkSize)));
    std::uint64_t total = 0;
    std::uint32_t crc = 0;
    TReadResult result = TReadResult::Ok;
    while (result == TReadResult::Ok) {
        const zip_int64_t got = zip_fread(entry, buffer.data(), buffer.size());
        if (got <= 0) {
            // WinZip AES entries of the second kind carry no checksum (their
            // data is authenticated instead); this libzip still compares the
            // empty one at the end and fails all but the shortest of them,
            // with the error it also gives for a wrong authentication code.
            // Only AES entries compressed otherwise than by deflate, which
            // no writer of ours makes, are read here.
            if (got < 0 && !(withoutChecksum && zip_error_code_zip(zip_file_get_error(entry)) == ZIP_ER_CRC &&
                             total == info.size))
                result = TReadResult::Damaged;
            break;
        }
        total += static_cast<std::uint64_t>(got);
        // An entry never yields more than its declared size.
        if ((info.valid & ZIP_STAT_SIZE) && total > info.size)
            result = TReadResult::Damaged;
        else if (!sink(buffer.data(), static_cast<std::size_t>(got)))
            result = TReadResult::SinkFailed;
        crc = libdeflate_crc32(crc, buffer.data(), static_cast<std::size_t>(got));
    }
    zip_fclose(entry);
    if (result == TReadResult::Ok && (((info.valid & ZIP_STAT_SIZE) && total != info.size) ||
                                      ((info.valid & ZIP_STAT_CRC) && !withoutChecksum && crc != info.crc)))
        result = TReadResult::Damaged;
    // A wrong password can pass the traditional encryption's check byte and
    // give garbage that fails the checksum. (AES checks the password when the
    // entry is opened: a later failure is damage.)
    if (result == TReadResult::Damaged && encrypted && !aes)
        result = TReadResult::WrongPassword;
    return result;
}

TReadResult StageEntryFile(zip_t* archive, std::uint64_t index, const std::string& target,
                           const std::string& password, TReadBuffer& buffer, std::string& staged,
                           std::string& problem)
{
    std::string temporary;
    const int out = OpenTemporaryBeside(target, temporary);
    if (out < 0) {
        problem = "cannot write " + target + ": " + std::strerror(errno);
        return TReadResult::SinkFailed;
    }
    TReadResult result = ReadArchiveEntry(
        archive, index, password,
        [out](const char* data, std::size_t size) { return WriteAll(out, data, size); }, buffer);
    if (result == TReadResult::Ok)
        SetEntryTime(archive, index, out);
    if (close(out) != 0 && result == TReadResult::Ok)
        result = TReadResult::SinkFailed;
    if (result != TReadResult::Ok) {
        unlink(temporary.c_str());
        ForgetTemporary(temporary);
        if (result == TReadResult::SinkFailed)
            problem = "cannot write " + target;
        return result;
    }
    staged = std::move(temporary);
    return TReadResult::Ok;
}

TReadResult WriteEntryFile(zip_t* archive, std::uint64_t index, const std::string& target,
                           const std::string& password, TReadBuffer& buffer, std::string& problem)
{
    TNamelessFile file;
    if (!file.Open(target)) {
        problem = "cannot write " + target + ": " + std::strerror(errno);
        return TReadResult::SinkFailed;
    }
    const int out = file.Fd();
    const TReadResult result = ReadArchiveEntry(
        archive, index, password,
        [out](const char* data, std::size_t size) { return WriteAll(out, data, size); }, buffer);
    if (result == TReadResult::SinkFailed)
        problem = "cannot write " + target;
    if (result != TReadResult::Ok)
        return result;
    return PublishEntryFile(archive, index, file, target, problem);
}

void SetEntryTime(zip_t* archive, std::uint64_t index, int fd)
{
    zip_stat_t info;
    if (zip_stat_index(archive, index, 0, &info) == 0 && (info.valid & ZIP_STAT_MTIME)) {
        const timespec times[2] = {{info.mtime, 0}, {info.mtime, 0}};
        futimens(fd, times);
    }
}

TReadResult PublishEntryFile(zip_t* archive, std::uint64_t index, TNamelessFile& file,
                             const std::string& target, std::string& problem)
{
    SetEntryTime(archive, index, file.Fd());
    if (file.Publish())
        return TReadResult::Ok;
    problem = "cannot replace " + target + ": " + std::strerror(errno);
    return TReadResult::SinkFailed;
}

} // namespace quillbank
