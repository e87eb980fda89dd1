// Finds the end records (Zip64 included), walks the directory's records and reads their extra fields.

#include "engine/ZipDirectory.h"

#include "engine/EntryParts.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace quillbank::zip_directory {

namespace {

constexpr std::uint32_t CentralHeaderSignature = 0x02014b50;
constexpr std::uint32_t EndSignature = 0x06054b50;
constexpr std::uint32_t Zip64LocatorSignature = 0x07064b50;
constexpr std::uint32_t Zip64EndSignature = 0x06064b50;
constexpr std::uint16_t Zip64ExtraId = 0x0001;
constexpr std::uint16_t AesExtraId = 0x9901;
constexpr std::size_t CentralHeaderSize = 46;
constexpr std::size_t EndSize = 22;
constexpr std::size_t Zip64LocatorSize = 20;
constexpr std::size_t Zip64EndSize = 56;
constexpr std::size_t LongestComment = 0xffff;
constexpr std::uint32_t Escaped32 = 0xffffffff;

bool ReadExtraFields(const unsigned char* extra, std::size_t size, TDirectoryRecord& record)
{
    const unsigned char* header = record.Header;
    record.CompressedSize = Little(header + 20, 4);
    record.LocalOffset = Little(header + 42, 4);
    for (std::size_t at = 0; at + 4 <= size;) {
        const auto id = static_cast<std::uint16_t>(Little(extra + at, 2));
        const std::size_t length = Little(extra + at + 2, 2);
        if (at + 4 + length > size)
            return false;
        record.Aes = record.Aes || id == AesExtraId;
        if (id == Zip64ExtraId) {
            // Only the escaped values are there, in this order: the size, the
            // stored size, the local header's offset.
            const std::size_t end = at + 4 + length;
            std::size_t value = at + 4;
            if (Little(header + 24, 4) == Escaped32)
                value += 8;
            for (std::uint64_t* field : {&record.CompressedSize, &record.LocalOffset}) {
                if (*field != Escaped32)
                    continue;
                if (value + 8 > end)
                    return false;
                *field = Little(extra + value, 8);
                value += 8;
            }
        }
        at += 4 + length;
    }
    return true;
}

} // namespace

std::uint64_t Little(const unsigned char* bytes, std::size_t size)
{
    std::uint64_t value = 0;
    for (std::size_t i = size; i > 0; --i)
        value = (value << 8) | bytes[i - 1];
    return value;
}

TArchiveFile::TArchiveFile(const std::string& path, bool writable)
    : fd_(open(path.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC))
{
    struct stat info
    {};
    if (fd_ < 0 || fstat(fd_, &info) != 0)
        Fail(std::strerror(errno));
    else
        size_ = static_cast<std::uint64_t>(info.st_size);
}

TArchiveFile::~TArchiveFile()
{
    if (fd_ >= 0)
        close(fd_);
}

void TArchiveFile::Fail(const std::string& error)
{
    if (error_.empty())
        error_ = error;
}

TBytes TArchiveFile::Read(std::uint64_t offset, std::uint64_t size)
{
    constexpr std::uint64_t SmallRead = 4096;
    constexpr std::uint64_t BufferSize = 64u << 10;
    if (Failed() || offset > size_ || size > size_ - offset) {
        Fail("the archive's directory points outside the file");
        return {};
    }
    const bool buffered = offset >= bufferStart_ && offset + size <= bufferStart_ + buffer_.size();
    if (!buffered && size <= SmallRead) {
        buffer_.resize(static_cast<std::size_t>(std::min(BufferSize, size_ - offset)));
        bufferStart_ = offset;
        if (!ReadInto(buffer_.data(), offset, buffer_.size())) {
            buffer_.clear();
            return {};
        }
    }
    if (offset >= bufferStart_ && offset + size <= bufferStart_ + buffer_.size()) {
        const auto from = buffer_.begin() + static_cast<std::ptrdiff_t>(offset - bufferStart_);
        return TBytes(from, from + static_cast<std::ptrdiff_t>(size));
    }
    TBytes bytes(static_cast<std::size_t>(size));
    if (!ReadInto(bytes.data(), offset, bytes.size()))
        return {};
    return bytes;
}

bool TArchiveFile::ReadInto(unsigned char* bytes, std::uint64_t offset, std::size_t size)
{
    const std::optional<std::size_t> read = ReadAt(fd_, bytes, size, offset);
    if (!read || *read < size) {
        Fail(read ? "the archive ended early" : std::strerror(errno));
        return false;
    }
    return true;
}

void TArchiveFile::Write(std::uint64_t offset, const unsigned char* bytes, std::size_t size)
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
    // What the buffer holds of the bytes written changes with them.
    const std::uint64_t from = std::max(offset, bufferStart_);
    const std::uint64_t to = std::min(offset + size, bufferStart_ + buffer_.size());
    if (from < to)
        std::memcpy(buffer_.data() + (from - bufferStart_), bytes + (from - offset),
                    static_cast<std::size_t>(to - from));
}

void TArchiveFile::Close()
{
    if (close(std::exchange(fd_, -1)) != 0)
        Fail(std::strerror(errno));
}

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

TDirectory ReadDirectory(TArchiveFile& file, TBytes& entries,
                         const std::function<void(const TDirectoryRecord&)>& visit)
{
    const TDirectory directory = FindDirectory(file);
    entries = file.Read(directory.Offset, directory.Size);
    std::size_t at = 0;
    for (std::uint64_t entry = 0; entry < directory.Entries && !file.Failed(); ++entry) {
        TDirectoryRecord record;
        record.Header = entries.data() + at;
        if (at + CentralHeaderSize > entries.size() || Little(record.Header, 4) != CentralHeaderSignature) {
            file.Fail("the archive's directory is damaged");
            break;
        }
        const std::size_t nameSize = Little(record.Header + 28, 2);
        const std::size_t extraSize = Little(record.Header + 30, 2);
        const std::size_t recordSize =
            CentralHeaderSize + nameSize + extraSize + Little(record.Header + 32, 2);
        if (at + recordSize > entries.size() ||
            !ReadExtraFields(record.Header + CentralHeaderSize + nameSize, extraSize, record)) {
            file.Fail("the archive's directory is damaged");
            break;
        }
        record.Name.assign(reinterpret_cast<const char*>(record.Header + CentralHeaderSize), nameSize);
        at += recordSize;
        visit(record);
    }
    return directory;
}

} // namespace quillbank::zip_directory
