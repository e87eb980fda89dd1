// Writes the decoded pieces of one file straight to the disk on a thread of its own, while the workers decode
// on.

#include "engine/DirectWriter.h"

#include "engine/EntryParts.h"
#include "platform/NamelessFile.h"

#include <cerrno>
#include <new>

namespace quillbank {

namespace {

/// Buffers in flight: enough for two workers to decode while one is written.
constexpr std::size_t MaxBuffers = 3;

/// Buffers kept between files, so that one large file after another does
/// not make the system hand out (and zero) fresh memory for every one.
class TKeptBuffers
{
public:
    static TKeptBuffers& Instance()
    {
        static TKeptBuffers kept;
        return kept;
    }

    TKeptBuffers() { buffers_.reserve(MaxBuffers); }

    TDirectWriter::TBuffer Take(std::size_t size)
    {
        {
            std::lock_guard lock(mutex_);
            if (size == size_ && !buffers_.empty()) {
                TDirectWriter::TBuffer buffer = std::move(buffers_.back());
                buffers_.pop_back();
                return buffer;
            }
        }
        auto* memory = static_cast<std::uint8_t*>(std::aligned_alloc(DirectWriteAlignment, size));
        if (memory == nullptr)
            throw std::bad_alloc();
        return TDirectWriter::TBuffer(memory);
    }

    void Keep(std::vector<TDirectWriter::TBuffer>& buffers, std::size_t size)
    {
        std::lock_guard lock(mutex_);
        if (size != size_) {
            buffers_.clear();
            size_ = size;
        }
        for (TDirectWriter::TBuffer& buffer : buffers)
            if (buffers_.size() < MaxBuffers)
                buffers_.push_back(std::move(buffer));
        buffers.clear();
    }

private:
    std::mutex mutex_;
    std::size_t size_ = 0;
    std::vector<TDirectWriter::TBuffer> buffers_;
};

} // namespace

TDirectWriter::TDirectWriter(int fd, std::size_t bufferSize, std::size_t pieces,
                             std::function<bool(std::uint64_t, const std::uint8_t*, std::size_t)> refused)
    : fd_(fd), bufferSize_(bufferSize), refused_(std::move(refused)), piecesLeft_(pieces)
{
    free_.reserve(MaxBuffers);
}

TDirectWriter::~TDirectWriter()
{
    Finish();
}

TDirectWriter::TBuffer TDirectWriter::Buffer()
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !free_.empty() || allocated_ < MaxBuffers; });
    if (!free_.empty()) {
        TBuffer buffer = std::move(free_.back());
        free_.pop_back();
        return buffer;
    }
    ++allocated_;
    return TKeptBuffers::Instance().Take(bufferSize_);
}

void TDirectWriter::Write(TBuffer buffer, std::uint64_t offset, std::size_t padded, std::size_t size)
{
    {
        std::lock_guard lock(mutex_);
        queue_.push_back({std::move(buffer), offset, padded, size});
        // The thread lives from the file's first piece to its last, so that
        // the files waiting their turn hold none.
        if (!thread_.joinable())
            thread_ = std::thread([this] { Run(); });
    }
    changed_.notify_all();
}

void TDirectWriter::GiveBack(TBuffer buffer)
{
    {
        std::lock_guard lock(mutex_);
        Return(std::move(buffer));
    }
    changed_.notify_all();
}

bool TDirectWriter::Finish()
{
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable())
        thread_.join();
    TKeptBuffers::Instance().Keep(free_, bufferSize_);
    return !failed_;
}

void TDirectWriter::Return(TBuffer buffer)
{
    free_.push_back(std::move(buffer));
    // The file's last piece is written: its buffers go to the next file.
    if (--piecesLeft_ == 0)
        TKeptBuffers::Instance().Keep(free_, bufferSize_);
}

void TDirectWriter::Run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return closing_ || !queue_.empty() || piecesLeft_ == 0; });
        if (queue_.empty())
            return;
        TWrite write = std::move(queue_.front());
        queue_.pop_front();
        // After a failed write the rest are only given back.
        const bool skipped = failed_;
        lock.unlock();
        bool written = skipped || WriteAll(fd_, write.Buffer.get(), write.Padded, write.Offset);
        // A device that wants larger blocks refuses the write: the piece
        // goes through the page cache instead.
        if (!written && errno == EINVAL)
            written = refused_(write.Offset, write.Buffer.get(), write.Size);
        lock.lock();
        failed_ = failed_ || !written;
        Return(std::move(write.Buffer));
        changed_.notify_all();
    }
}

} // namespace quillbank
