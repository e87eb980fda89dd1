// The file libzip reads an archive from and writes it to, with libzip's many small writes gathered into large
// ones.

#include "engine/ArchiveFile.h"

#include "platform/FileDescriptor.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quillbank {

namespace {

/// The archive's file as a libzip source: the existing file is read through
/// one descriptor, the new one written through another.
class TArchiveFile
{
public:
    explicit TArchiveFile(std::string path) : path_(std::move(path)) { zip_error_init(&error_); }
    ~TArchiveFile()
    {
        DiscardTemporary();
        zip_error_fini(&error_);
    }
    TArchiveFile(const TArchiveFile&) = delete;
    TArchiveFile& operator=(const TArchiveFile&) = delete;

    static zip_int64_t Callback(void* self, void* data, zip_uint64_t length, zip_source_cmd_t command)
    {
        auto* file = static_cast<TArchiveFile*>(self);
        if (command == ZIP_SOURCE_FREE) {
            delete file;
            return 0;
        }
        return file->Command(data, length, command);
    }

private:
    /// Writes reach the file in pieces of this size.
    static constexpr std::size_t BufferSize = std::size_t{1} << 20;

    zip_int64_t Command(void* data, zip_uint64_t length, zip_source_cmd_t command)
    {
        switch (command) {
        case ZIP_SOURCE_STAT:
            return Stat(data, length);
        case ZIP_SOURCE_OPEN:
            return Open();
        case ZIP_SOURCE_READ:
            return Read(data, length);
        case ZIP_SOURCE_SEEK:
            return Seek(readPosition_, readSize_, data, length);
        case ZIP_SOURCE_TELL:
            return static_cast<zip_int64_t>(readPosition_);
        case ZIP_SOURCE_CLOSE:
            reading_ = TFileDescriptor();
            return 0;
        case ZIP_SOURCE_BEGIN_WRITE:
            return BeginWrite();
        case ZIP_SOURCE_WRITE:
            return Write(static_cast<const unsigned char*>(data), length);
        case ZIP_SOURCE_SEEK_WRITE:
            return Seek(position_, size_, data, length);
        case ZIP_SOURCE_TELL_WRITE:
            return static_cast<zip_int64_t>(position_);
        case ZIP_SOURCE_COMMIT_WRITE:
            return CommitWrite();
        case ZIP_SOURCE_ROLLBACK_WRITE:
            DiscardTemporary();
            return 0;
        case ZIP_SOURCE_REMOVE:
            if (unlink(path_.c_str()) != 0 && errno != ENOENT)
                return Fail(ZIP_ER_REMOVE, errno);
            return 0;
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&error_, data, length);
        case ZIP_SOURCE_SUPPORTS:
            return ZIP_SOURCE_SUPPORTS_WRITABLE;
        default:
            return Fail(ZIP_ER_OPNOTSUPP, 0);
        }
    }

    zip_int64_t Fail(int zipCode, int systemCode)
    {
        zip_error_set(&error_, zipCode, systemCode);
        return -1;
    }

    /// A missing file is told to libzip as it expects, so that it starts a
    /// new archive.
    zip_int64_t Stat(void* data, zip_uint64_t length)
    {
        auto* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &error_);
        if (st == nullptr)
            return -1;
        struct stat status
        {};
        if (stat(path_.c_str(), &status) != 0)
            return Fail(ZIP_ER_READ, errno);
        zip_stat_init(st);
        st->size = static_cast<zip_uint64_t>(status.st_size);
        st->mtime = status.st_mtime;
        st->valid |= ZIP_STAT_SIZE | ZIP_STAT_MTIME;
        return sizeof(zip_stat_t);
    }

    zip_int64_t Open()
    {
        reading_ = TFileDescriptor(open(path_.c_str(), O_RDONLY | O_CLOEXEC));
        struct stat status
        {};
        if (!reading_.IsOpen() || fstat(reading_.Get(), &status) != 0)
            return Fail(ZIP_ER_OPEN, errno);
        readSize_ = static_cast<std::uint64_t>(status.st_size);
        readPosition_ = 0;
        return 0;
    }

    zip_int64_t Read(void* data, zip_uint64_t length)
    {
        const std::uint64_t count =
            std::min<std::uint64_t>(length, readSize_ - std::min(readSize_, readPosition_));
        std::uint64_t done = 0;
        while (done < count) {
            const ssize_t read =
                pread(reading_.Get(), static_cast<char*>(data) + done, static_cast<std::size_t>(count - done),
                      static_cast<off_t>(readPosition_ + done));
            if (read < 0 && errno == EINTR)
                continue;
            if (read < 0)
                return Fail(ZIP_ER_READ, errno);
            if (read == 0)
                break;
            done += static_cast<std::uint64_t>(read);
        }
        readPosition_ += done;
        return static_cast<zip_int64_t>(done);
    }

    zip_int64_t Seek(std::uint64_t& position, std::uint64_t size, void* data, zip_uint64_t length)
    {
        const zip_int64_t target = zip_source_seek_compute_offset(position, size, data, length, &error_);
        if (target < 0)
            return -1;
        position = static_cast<std::uint64_t>(target);
        return 0;
    }

    zip_int64_t BeginWrite()
    {
        DiscardTemporary();
        // Archives hold passwords, cookies and keys: the temporary is
        // readable by its owner only from the moment it appears.
        std::string temporary = path_ + ".XXXXXX";
        const int fd = mkostemp(temporary.data(), O_CLOEXEC);
        if (fd < 0)
            return Fail(ZIP_ER_TMPOPEN, errno);
        writing_ = TFileDescriptor(fd);
        temporary_ = std::move(temporary);
        buffer_.clear();
        buffer_.reserve(BufferSize);
        bufferStart_ = 0;
        position_ = 0;
        size_ = 0;
        return 0;
    }

    zip_int64_t Write(const unsigned char* data, zip_uint64_t length)
    {
        const bool continuesBuffer = position_ >= bufferStart_ &&
                                     position_ <= bufferStart_ + buffer_.size() &&
                                     position_ + length <= bufferStart_ + BufferSize;
        if (!continuesBuffer) {
            if (!Flush())
                return -1;
            bufferStart_ = position_;
            if (length >= BufferSize) {
                if (!WriteAt(data, length, position_))
                    return -1;
                Advance(length);
                return static_cast<zip_int64_t>(length);
            }
        }
        const auto offset = static_cast<std::size_t>(position_ - bufferStart_);
        if (offset + length > buffer_.size())
            buffer_.resize(offset + static_cast<std::size_t>(length));
        std::memcpy(buffer_.data() + offset, data, static_cast<std::size_t>(length));
        Advance(length);
        return static_cast<zip_int64_t>(length);
    }

    void Advance(zip_uint64_t length)
    {
        position_ += length;
        size_ = std::max(size_, position_);
    }

    bool Flush()
    {
        if (buffer_.empty())
            return true;
        if (!WriteAt(buffer_.data(), buffer_.size(), bufferStart_))
            return false;
        buffer_.clear();
        return true;
    }

    bool WriteAt(const unsigned char* data, std::uint64_t length, std::uint64_t offset)
    {
        std::uint64_t done = 0;
        while (done < length) {
            const ssize_t written =
                pwrite(writing_.Get(), data + done, static_cast<std::size_t>(length - done),
                       static_cast<off_t>(offset + done));
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0) {
                Fail(ZIP_ER_WRITE, written < 0 ? errno : ENOSPC);
                return false;
            }
            done += static_cast<std::uint64_t>(written);
        }
        // Starts writing these bytes to the disk now, so that the flush
        // before the archive replaces the previous one has little left to
        // wait for. Only a hint: the flush is what makes them durable.
        sync_file_range(writing_.Get(), static_cast<off_t>(offset), static_cast<off_t>(length),
                        SYNC_FILE_RANGE_WRITE);
        return true;
    }

    zip_int64_t CommitWrite()
    {
        if (!Flush())
            return -1;
        if (close(writing_.Release()) != 0)
            return Fail(ZIP_ER_WRITE, errno);
        if (rename(temporary_.c_str(), path_.c_str()) != 0)
            return Fail(ZIP_ER_RENAME, errno);
        temporary_.clear();
        return 0;
    }

    /// Closes and removes a temporary that was not committed.
    void DiscardTemporary()
    {
        writing_ = TFileDescriptor();
        if (!temporary_.empty())
            unlink(temporary_.c_str());
        temporary_.clear();
        buffer_ = {};
    }

    std::string path_;
    zip_error_t error_;
    TFileDescriptor reading_;
    std::uint64_t readPosition_ = 0;
    std::uint64_t readSize_ = 0;
    TFileDescriptor writing_;
    std::string temporary_;
    std::vector<unsigned char> buffer_;
    std::uint64_t bufferStart_ = 0;
    std::uint64_t position_ = 0;
    std::uint64_t size_ = 0;
};

} // namespace

zip_t* OpenArchiveForChange(const std::string& path, std::string& error)
{
    zip_error_t zipError;
    zip_error_init(&zipError);
    auto* file = new TArchiveFile(path);
    zip_source_t* source = zip_source_function_create(&TArchiveFile::Callback, file, &zipError);
    zip_t* archive = nullptr;
    if (source == nullptr) {
        delete file;
    } else {
        archive = zip_open_from_source(source, ZIP_CREATE, &zipError);
        // Not taken by libzip: freeing the source frees the file too.
        if (archive == nullptr)
            zip_source_free(source);
    }
    if (archive == nullptr)
        error = zip_error_strerror(&zipError);
    zip_error_fini(&zipError);
    return archive;
}

} // namespace quillbank
