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
#include <vector>

namespace quillbank {

namespace {

/// Reads an archive's file for libzip with positioned reads: libzip asks for
/// its position and moves it often (several times per entry), and here that
/// costs no call to the system.
class TFileReading
{
public:
    explicit TFileReading(const std::string& path) : path_(path) {}

    /// A missing file is told to libzip as it expects, so that it starts a
    /// new archive when asked to create one.
    zip_int64_t Stat(void* data, zip_uint64_t length, zip_error_t& error) const
    {
        auto* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &error);
        if (st == nullptr)
            return -1;
        struct stat status
        {};
        if (stat(path_.c_str(), &status) != 0)
            return Fail(error, ZIP_ER_READ, errno);
        zip_stat_init(st);
        st->size = static_cast<zip_uint64_t>(status.st_size);
        st->mtime = status.st_mtime;
        st->valid |= ZIP_STAT_SIZE | ZIP_STAT_MTIME;
        return sizeof(zip_stat_t);
    }

    zip_int64_t Open(zip_error_t& error)
    {
        file_ = TFileDescriptor(open(path_.c_str(), O_RDONLY | O_CLOEXEC));
        struct stat status
        {};
        if (!file_.IsOpen() || fstat(file_.Get(), &status) != 0)
            return Fail(error, ZIP_ER_OPEN, errno);
        size_ = static_cast<std::uint64_t>(status.st_size);
        position_ = 0;
        bufferFill_ = 0;
        return 0;
    }

    /// Reads of less than `SmallRead` bytes (a local header, its name, a
    /// small entry) are served from a buffer filled `BufferSize` bytes at a
    /// time; larger ones go straight to the caller's memory.
    zip_int64_t Read(void* data, zip_uint64_t length, zip_error_t& error)
    {
        const std::uint64_t count = std::min<std::uint64_t>(length, size_ - std::min(size_, position_));
        auto* out = static_cast<char*>(data);
        std::uint64_t done = 0;
        if (count >= SmallRead) {
            const std::optional<std::size_t> read =
                ReadAt(file_.Get(), out, static_cast<std::size_t>(count), position_);
            if (!read)
                return Fail(error, ZIP_ER_READ, errno);
            done = *read;
        }
        while (count < SmallRead && done < count) {
            const std::uint64_t at = position_ + done;
            if (at < bufferStart_ || at >= bufferStart_ + bufferFill_) {
                buffer_.resize(BufferSize);
                const std::optional<std::size_t> filled = ReadAt(file_.Get(), buffer_.data(), BufferSize, at);
                if (!filled)
                    return Fail(error, ZIP_ER_READ, errno);
                bufferStart_ = at;
                bufferFill_ = *filled;
                if (*filled == 0)
                    break;
            }
            const std::uint64_t offset = at - bufferStart_;
            const std::uint64_t part = std::min(count - done, bufferFill_ - offset);
            std::memcpy(out + done, buffer_.data() + offset, static_cast<std::size_t>(part));
            done += part;
        }
        position_ += done;
        return static_cast<zip_int64_t>(done);
    }

    zip_int64_t Seek(void* data, zip_uint64_t length, zip_error_t& error)
    {
        return SeekWithin(position_, size_, data, length, error);
    }

    zip_int64_t Tell() const { return static_cast<zip_int64_t>(position_); }

    void Close() { file_ = TFileDescriptor(); }

    static zip_int64_t Fail(zip_error_t& error, int zipCode, int systemCode)
    {
        zip_error_set(&error, zipCode, systemCode);
        return -1;
    }

    /// Moves `position` in a file of `size` bytes as libzip asks.
    static zip_int64_t SeekWithin(std::uint64_t& position, std::uint64_t size, void* data,
                                  zip_uint64_t length, zip_error_t& error)
    {
        const zip_int64_t target = zip_source_seek_compute_offset(position, size, data, length, &error);
        if (target < 0)
            return -1;
        position = static_cast<std::uint64_t>(target);
        return 0;
    }

private:
    static constexpr std::uint64_t SmallRead = 16u << 10;
    static constexpr std::size_t BufferSize = 64u << 10;

    const std::string& path_;
    TFileDescriptor file_;
    std::uint64_t position_ = 0;
    std::uint64_t size_ = 0;
    std::vector<char> buffer_;
    std::uint64_t bufferStart_ = 0;
    std::uint64_t bufferFill_ = 0;
};

/// An archive's file as a libzip source for reading only.
class TReadOnlyArchiveFile
{
public:
    explicit TReadOnlyArchiveFile(std::string path) : path_(std::move(path)) { zip_error_init(&error_); }
    ~TReadOnlyArchiveFile() { zip_error_fini(&error_); }
    TReadOnlyArchiveFile(const TReadOnlyArchiveFile&) = delete;
    TReadOnlyArchiveFile& operator=(const TReadOnlyArchiveFile&) = delete;

    static zip_int64_t Callback(void* self, void* data, zip_uint64_t length, zip_source_cmd_t command)
    {
        auto* file = static_cast<TReadOnlyArchiveFile*>(self);
        switch (command) {
        case ZIP_SOURCE_FREE:
            delete file;
            return 0;
        case ZIP_SOURCE_STAT:
            return file->reading_.Stat(data, length, file->error_);
        case ZIP_SOURCE_OPEN:
            return file->reading_.Open(file->error_);
        case ZIP_SOURCE_READ:
            return file->reading_.Read(data, length, file->error_);
        case ZIP_SOURCE_SEEK:
            return file->reading_.Seek(data, length, file->error_);
        case ZIP_SOURCE_TELL:
            return file->reading_.Tell();
        case ZIP_SOURCE_CLOSE:
            file->reading_.Close();
            return 0;
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&file->error_, data, length);
        case ZIP_SOURCE_SUPPORTS:
            return ZIP_SOURCE_SUPPORTS_SEEKABLE;
        default:
            return TFileReading::Fail(file->error_, ZIP_ER_OPNOTSUPP, 0);
        }
    }

private:
    std::string path_;
    zip_error_t error_;
    TFileReading reading_{path_};
};

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
            return reading_.Stat(data, length, error_);
        case ZIP_SOURCE_OPEN:
            return reading_.Open(error_);
        case ZIP_SOURCE_READ:
            return reading_.Read(data, length, error_);
        case ZIP_SOURCE_SEEK:
            return reading_.Seek(data, length, error_);
        case ZIP_SOURCE_TELL:
            return reading_.Tell();
        case ZIP_SOURCE_CLOSE:
            reading_.Close();
            return 0;
        case ZIP_SOURCE_BEGIN_WRITE:
            return BeginWrite();
        case ZIP_SOURCE_WRITE:
            return Write(static_cast<const unsigned char*>(data), length);
        case ZIP_SOURCE_SEEK_WRITE:
            return TFileReading::SeekWithin(position_, size_, data, length, error_);
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

    zip_int64_t Fail(int zipCode, int systemCode) { return TFileReading::Fail(error_, zipCode, systemCode); }

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
                buffer_ = writer_->Buffer(position_);
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
    TFileReading reading_{path_};
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

/// Opens an archive through a libzip source of our own, a `TFile` of
/// `path`, which frees itself when libzip frees the source; null, with
/// `error` set, when it cannot be opened.
template <class TFile>
zip_t* OpenThrough(const std::string& path, int flags, zip_error_t& error)
{
    auto* file = new TFile(path);
    zip_source_t* source = zip_source_function_create(&TFile::Callback, file, &error);
    if (source == nullptr) {
        delete file;
        return nullptr;
    }
    zip_t* archive = zip_open_from_source(source, flags, &error);
    // Not taken by libzip: freeing the source frees the file too.
    if (archive == nullptr)
        zip_source_free(source);
    return archive;
}

} // namespace

zip_t* OpenArchiveForChange(const std::string& path, std::string& error)
{
    zip_error_t zipError;
    zip_error_init(&zipError);
    zip_t* archive = OpenThrough<TArchiveFile>(path, ZIP_CREATE, zipError);
    if (archive == nullptr)
        error = zip_error_strerror(&zipError);
    zip_error_fini(&zipError);
    return archive;
}

zip_t* OpenArchiveToRead(const std::string& path, int flags, int& code)
{
    zip_error_t zipError;
    zip_error_init(&zipError);
    zip_t* archive = OpenThrough<TReadOnlyArchiveFile>(path, flags | ZIP_RDONLY, zipError);
    code = archive == nullptr ? zip_error_code_zip(&zipError) : ZIP_ER_OK;
    zip_error_fini(&zipError);
    return archive;
}

} // namespace quillbank
