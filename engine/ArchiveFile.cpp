// The file libzip reads an archive from and writes it to, with libzip's many small writes gathered into large
// ones.

#include "engine/ArchiveFile.h"

#include "engine/EntryParts.h"
#include "engine/WriterThread.h"
#include "platform/FileDescriptor.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

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
    /// Writes reach the file in pieces of at most this size.
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
        // The writes are made on a thread of their own, so that libzip, and
        // with it the whole pipeline, does not wait for them.
        writeError_ = 0;
        writer_ =
            std::make_unique<TWriterThread>(BufferSize, TWriterThread::UnknownPieces,
                                            [this](std::uint64_t offset, const std::uint8_t* data,
                                                   std::size_t size) { return WriteAt(offset, data, size); });
        bufferStart_ = 0;
        bufferUsed_ = 0;
        position_ = 0;
        size_ = 0;
        return 0;
    }

    zip_int64_t Write(const unsigned char* data, zip_uint64_t length)
    {
        if (writer_->Failed())
            return FailWrite();
        zip_uint64_t done = 0;
        while (done < length) {
            // A write that continues the buffer, or changes what it holds,
            // stays in memory; any other starts a new buffer.
            const bool inBuffer = buffer_ && position_ >= bufferStart_ &&
                                  position_ <= bufferStart_ + bufferUsed_ &&
                                  position_ < bufferStart_ + BufferSize;
            if (!inBuffer) {
                Flush();
                buffer_ = writer_->Buffer();
                bufferStart_ = position_;
            }
            const auto offset = static_cast<std::size_t>(position_ - bufferStart_);
            const auto count =
                static_cast<std::size_t>(std::min<zip_uint64_t>(length - done, BufferSize - offset));
            std::memcpy(buffer_.get() + offset, data + done, count);
            bufferUsed_ = std::max(bufferUsed_, offset + count);
            done += count;
            position_ += count;
            size_ = std::max(size_, position_);
        }
        return static_cast<zip_int64_t>(length);
    }

    /// Hands the buffer to the writer; writes reach the file in that order.
    void Flush()
    {
        if (buffer_)
            writer_->Write(std::move(buffer_), bufferStart_, bufferUsed_);
        buffer_ = nullptr;
        bufferUsed_ = 0;
    }

    /// On the writer's thread.
    bool WriteAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size)
    {
        errno = 0;
        if (!WriteAll(writing_.Get(), data, size, offset)) {
            writeError_ = errno != 0 ? errno : ENOSPC;
            return false;
        }
        // Starts writing these bytes to the disk now, so that the flush
        // before the archive replaces the previous one has little left to
        // wait for. Only a hint: the flush is what makes them durable.
        sync_file_range(writing_.Get(), static_cast<off_t>(offset), static_cast<off_t>(size),
                        SYNC_FILE_RANGE_WRITE);
        return true;
    }

    /// The first write that failed, once the writer has stopped.
    zip_int64_t FailWrite()
    {
        writer_->Finish();
        return Fail(ZIP_ER_WRITE, writeError_);
    }

    zip_int64_t CommitWrite()
    {
        Flush();
        if (!writer_->Finish())
            return Fail(ZIP_ER_WRITE, writeError_);
        writer_.reset();
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
        buffer_ = nullptr;
        // Its last writes end before the file closes.
        writer_.reset();
        writing_ = TFileDescriptor();
        if (!temporary_.empty())
            unlink(temporary_.c_str());
        temporary_.clear();
    }

    std::string path_;
    zip_error_t error_;
    TFileDescriptor reading_;
    std::uint64_t readPosition_ = 0;
    std::uint64_t readSize_ = 0;
    TFileDescriptor writing_;
    std::string temporary_;
    /// The errno of the write that failed; set on the writer's thread.
    int writeError_ = 0;
    TWriterThread::TBuffer buffer_;
    std::uint64_t bufferStart_ = 0;
    std::size_t bufferUsed_ = 0;
    std::uint64_t position_ = 0;
    std::uint64_t size_ = 0;
    /// Last, so that its thread ends before the file it writes closes.
    std::unique_ptr<TWriterThread> writer_;
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
