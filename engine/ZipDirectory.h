// Reads a ZIP archive's central directory by hand, for the checks and fix-ups libzip cannot make.

#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quillbank::zip_directory {

using TBytes = std::vector<unsigned char>;

inline constexpr std::uint32_t LocalHeaderSignature = 0x04034b50;
inline constexpr std::size_t LocalHeaderSize = 30;

/// The little-endian number of `size` bytes at `bytes`.
std::uint64_t Little(const unsigned char* bytes, std::size_t size);

/// An archive file read, and written when opened for it, at offsets; the
/// first failure is kept with its reason and makes every later step a no-op.
class TArchiveFile
{
public:
    TArchiveFile(const std::string& path, bool writable);
    ~TArchiveFile();
    TArchiveFile(const TArchiveFile&) = delete;
    TArchiveFile& operator=(const TArchiveFile&) = delete;

    std::uint64_t Size() const { return size_; }
    bool Failed() const { return !error_.empty(); }
    const std::string& Error() const { return error_; }
    void Fail(const std::string& error);

    /// `size` bytes at `offset`; empty, and failed, when the file ends before.
    /// Small reads (the local headers, read one after another) are served
    /// from a buffer of the bytes after the last one.
    TBytes Read(std::uint64_t offset, std::uint64_t size);
    void Write(std::uint64_t offset, const unsigned char* bytes, std::size_t size);
    /// Closes the file: its last writes may fail only now.
    void Close();

private:
    /// Reads `size` bytes at `offset` into `bytes`; false, and failed, when
    /// the file ends before.
    bool ReadInto(unsigned char* bytes, std::uint64_t offset, std::size_t size);

    int fd_;
    std::uint64_t size_ = 0;
    std::string error_;
    TBytes buffer_;
    std::uint64_t bufferStart_ = 0;
};

/// The archive's directory as the end records place it.
struct TDirectory
{
    std::uint64_t Offset = 0;
    std::uint64_t Size = 0;
    std::uint64_t Entries = 0;
};

/// Finds the directory from the end records: the classic one, searched
/// backwards past a comment, and the Zip64 one before it when there is one.
TDirectory FindDirectory(TArchiveFile& file);

/// One record of the directory, with what its extra fields add: whether one
/// marks it encrypted with AES, and its stored size and local header's
/// offset (in a Zip64 field when its own ones are escaped).
struct TDirectoryRecord
{
    /// The record's fixed part inside the directory's bytes, which may be altered in place.
    unsigned char* Header = nullptr;
    std::string Name;
    bool Aes = false;
    std::uint64_t CompressedSize = 0;
    std::uint64_t LocalOffset = 0;
};

/// Reads the directory's bytes into `entries` and hands every record to
/// `visit` in order; fails `file` when the directory is damaged. Returns
/// where the directory lies.
TDirectory ReadDirectory(TArchiveFile& file, TBytes& entries,
                         const std::function<void(const TDirectoryRecord&)>& visit);

} // namespace quillbank::zip_directory
