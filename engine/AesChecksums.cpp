#include "engine/AesChecksums.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace quillbank {

namespace {

constexpr std::uint32_t LocalHeaderSignature = 0x04034b50;
constexpr std::uint32_t CentralHeaderSignature = 0x02014b50;
constexpr std::uint32_t EndSignature = 0x06054b50;
constexpr std::uint32_t Zip64LocatorSignature = 0x07064b50;
constexpr std::uint32_t Zip64EndSignature = 0x06064b50;
constexpr std::uint16_t Zip64ExtraId = 0x0001;
constexpr std::uint16_t AesExtraId = 0x9901;
constexpr std::size_t LocalHeaderSize = 30;
constexpr std::size_t CentralHeaderSize = 46;
constexpr std::size_t EndSize = 22;
constexpr std::size_t Zip64LocatorSize = 20;
constexpr std::size_t Zip64EndSize = 56;
constexpr std::size_t LongestComment = 0xffff;
constexpr std::size_t LocalCrcAt = 14;
constexpr std::size_t CentralCrcAt = 16;
constexpr std::uint32_t Escaped32 = 0xffffffff;

using TBytes = std::vector<unsigned char>;

std::uint64_t Little(const unsigned char* bytes, std::size_t size)
{
    std::uint64_t value = 0;
    for (std::size_t i = size; i > 0; --i)
        value = (value << 8) | bytes[i - 1];
    return value;
}

/// The archive's directory as the end records place it.
struct TDirectory
{
    std::uint64_t Offset = 0;
    std::uint64_t Size = 0;
    std::uint64_t Entries = 0;
};

/// An archive open for reading and writing, failing with a reason.
class TArchiveFile
{
public:
    explicit TArchiveFile(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_CLOEXEC))
    {
        struct stat info
        {};
        if (fd_ < 0 || fstat(fd_, &info) != 0)
            Fail(std::strerror(errno));
        else
            size_ = static_cast<std::uint64_t>(info.st_size);
    }
    ~TArchiveFile()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    TArchiveFile(const TArchiveFile&) = delete;
    TArchiveFile& operator=(const TArchiveFile&) = delete;

    std::uint64_t Size() const { return size_; }
    bool Failed() const { return !error_.empty(); }
    const std::string& Error() const { return error_; }
    void Fail(const std::string& error)
    {
        if (error_.empty())
            error_ = error;
    }

    /// `size` bytes at `offset`; empty, and failed, when the file ends before.
    TBytes Read(std::uint64_t offset, std::uint64_t size)
    {
        if (Failed() || offset > size_ || size > size_ - offset) {
            Fail("the archive's directory points outside the file");
            return {};
        }
        TBytes bytes(static_cast<std::size_t>(size));
        for (std::size_t done = 0; done < bytes.size();) {
            const ssize_t got =
                pread(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0) {
                Fail(got < 0 ? std::strerror(errno) : "the archive ended early");
                return {};
            }
            done += static_cast<std::size_t>(got);
        }
        return bytes;
    }

    void Write(std::uint64_t offset, const unsigned char* bytes, std::size_t size)
    {
        for (std::size_t done = 0; done < size && !Failed();) {
            const ssize_t written = pwrite(fd_, bytes + done, size - done, static_cast<off_t>(offset + done));
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                Fail(written < 0 ? std::strerror(errno) : "nothing was written");
            else
                done += static_cast<std::size_t>(written);
        }
    }

    /// Closes the file: its last writes may fail only now.
    void Close()
    {
        if (close(std::exchange(fd_, -1)) != 0)
            Fail(std::strerror(errno));
    }

private:
    int fd_;
    std::uint64_t size_ = 0;
    std::string error_;
};

/// Finds the directory from the end records: the classic one, searched
/// backwards past a comment, and the Zip64 one before it when there is one.
TDirectory FindDirectory(TArchiveFile& file)
{
    const std::uint64_t tailSize = std::min<std::uint64_t>(file.Size(), EndSize + LongestComment);
    const std::uint64_t tailStart = file.Size() - tailSize;
    const TBytes tail = file.Read(tailStart, tailSize);
    std::size_t end = tail.size() < EndSize ? 0 : tail.size() - EndSize + 1;
    while (end > 0 && !(Little(&tail[end - 1], 4) == EndSignature &&
                        end - 1 + EndSize + Little(&tail[end - 1 + 20], 2) == tail.size()))
        --end;
    if (end == 0) {
        file.Fail("no ZIP directory found");
        return {};
    }
    const unsigned char* record = &tail[end - 1];
    TDirectory directory{Little(record + 16, 4), Little(record + 12, 4), Little(record + 10, 2)};
    const std::uint64_t endOffset = tailStart + end - 1;
    if (endOffset < Zip64LocatorSize)
        return directory;
    const TBytes locator = file.Read(endOffset - Zip64LocatorSize, Zip64LocatorSize);
    if (file.Failed() || Little(locator.data(), 4) != Zip64LocatorSignature)
        return directory;
    const TBytes zip64End = file.Read(Little(locator.data() + 8, 8), Zip64EndSize);
    if (file.Failed() || Little(zip64End.data(), 4) != Zip64EndSignature) {
        file.Fail("the Zip64 end record is missing");
        return {};
    }
    return {Little(zip64End.data() + 48, 8), Little(zip64End.data() + 40, 8),
            Little(zip64End.data() + 32, 8)};
}

/// The entry's extra fields: whether one marks it encrypted with AES, and
/// where its local header is (in a Zip64 field when its own one is escaped).
struct TExtraFields
{
    bool Aes = false;
    std::uint64_t LocalOffset = 0;
};

bool ReadExtraFields(const unsigned char* header, const unsigned char* extra, std::size_t size,
                     TExtraFields& fields)
{
    fields.LocalOffset = Little(header + 42, 4);
    for (std::size_t at = 0; at + 4 <= size;) {
        const auto id = static_cast<std::uint16_t>(Little(extra + at, 2));
        const std::size_t length = Little(extra + at + 2, 2);
        if (at + 4 + length > size)
            return false;
        fields.Aes = fields.Aes || id == AesExtraId;
        if (id == Zip64ExtraId) {
            // Only the escaped values are there, in this order.
            std::size_t value = at + 4;
            for (const std::size_t field : {24u, 20u})
                if (Little(header + field, 4) == Escaped32)
                    value += 8;
            if (fields.LocalOffset == Escaped32) {
                if (value + 8 > at + 4 + length)
                    return false;
                fields.LocalOffset = Little(extra + value, 8);
            }
        }
        at += 4 + length;
    }
    return true;
}

} // namespace

bool ClearAesChecksums(const std::string& path, std::string& error)
{
    TArchiveFile file(path);
    const TDirectory directory = FindDirectory(file);
    TBytes entries = file.Read(directory.Offset, directory.Size);
    // The whole directory is read, and every local header found, before
    // anything is written: an archive found damaged stays as it was.
    std::vector<std::uint64_t> localHeaders;
    std::size_t at = 0;
    for (std::uint64_t entry = 0; entry < directory.Entries && !file.Failed(); ++entry) {
        unsigned char* header = entries.data() + at;
        if (at + CentralHeaderSize > entries.size() || Little(header, 4) != CentralHeaderSignature) {
            file.Fail("the archive's directory is damaged");
            break;
        }
        const std::size_t nameSize = Little(header + 28, 2);
        const std::size_t extraSize = Little(header + 30, 2);
        const std::size_t recordSize = CentralHeaderSize + nameSize + extraSize + Little(header + 32, 2);
        TExtraFields fields;
        if (at + recordSize > entries.size() ||
            !ReadExtraFields(header, header + CentralHeaderSize + nameSize, extraSize, fields)) {
            file.Fail("the archive's directory is damaged");
            break;
        }
        at += recordSize;
        if (!fields.Aes || Little(header + CentralCrcAt, 4) == 0)
            continue;
        const TBytes local = file.Read(fields.LocalOffset, LocalHeaderSize);
        if (!file.Failed() && Little(local.data(), 4) != LocalHeaderSignature)
            file.Fail("a local header is missing");
        localHeaders.push_back(fields.LocalOffset);
        std::fill_n(header + CentralCrcAt, 4, 0);
    }
    // libzip writes no data descriptors: the two fields are all there is.
    constexpr unsigned char empty[4] = {};
    for (const std::uint64_t local : localHeaders)
        file.Write(local + LocalCrcAt, empty, sizeof empty);
    if (!localHeaders.empty())
        file.Write(directory.Offset, entries.data(), entries.size());
    if (!file.Failed())
        file.Close();
    error = file.Error();
    return !file.Failed();
}

} // namespace quillbank
