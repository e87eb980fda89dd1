// Writes one file's buffers on a thread of its own, so that whoever fills them goes on meanwhile.

#include "engine/WriterThread.h"

#include <algorithm>

namespace quillbank {

namespace {

/// Buffers in flight. The writing thread shares the cores with those that
/// fill the buffers, and a direct write keeps it waiting for the device: with
/// buffers to spare, the fillers go on while it waits for its turn. With
/// three, each of two workers decoding a large file waited for a buffer a
/// quarter of the time.
constexpr std::size_t MaxBuffers = 8;

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

    TWriterThread::TBuffer Take(std::size_t size)
    {
        {
            std::lock_guard lock(mutex_);
            if (!buffers_.empty() && buffers_.back().get_deleter().Size == size) {
                TWriterThread::TBuffer buffer = std::move(buffers_.back());
                buffers_.pop_back();
                return buffer;
            }
        }
        return MapBuffer(size);
    }

    /// Keeps buffers of one size: those of another size replace them.
    void Keep(std::vector<TWriterThread::TBuffer>& buffers)
    {
        std::lock_guard lock(mutex_);
        for (TWriterThread::TBuffer& buffer : buffers) {
            if (!buffers_.empty() && buffers_.front().get_deleter().Size != buffer.get_deleter().Size)
                buffers_.clear();
            if (buffers_.size() < MaxBuffers)
                buffers_.push_back(std::move(buffer));
        }
        buffers.clear();
    }

private:
    std::mutex mutex_;
    std::vector<TWriterThread::TBuffer> buffers_;
};

} // namespace

TWriterThread::TWriterThread(std::size_t bufferSize, std::size_t pieces, TWriteAt writeAt)
    : bufferSize_(bufferSize), writeAt_(std::move(writeAt)), piecesLeft_(pieces)
{
    free_.reserve(MaxBuffers);
}

TWriterThread::~TWriterThread()
{
    Finish();
}

TWriterThread::TBuffer TWriterThread::Buffer(std::uint64_t offset)
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this, offset] {
        const std::size_t spare = free_.size() + (MaxBuffers - allocated_);
        // The last buffer is kept for the piece the writes wait for.
        return spare > 1 || (spare == 1 && (offset == nextOffset_ || !InFileOrder()));
    });
    if (!free_.empty()) {
        TBuffer buffer = std::move(free_.back());
        free_.pop_back();
        return buffer;
    }
    ++allocated_;
    return TKeptBuffers::Instance().Take(bufferSize_);
}

void TWriterThread::Write(TBuffer buffer, std::uint64_t offset, std::size_t size)
{
    {
        std::lock_guard lock(mutex_);
        queue_.push_back({std::move(buffer), offset, size});
        // The thread lives from the file's first piece to its last, so that
        // the files waiting their turn hold none.
        if (!thread_.joinable())
            thread_ = std::thread([this] { Run(); });
    }
    changed_.notify_all();
}

void TWriterThread::GiveBack(TBuffer buffer)
{
    {
        std::lock_guard lock(mutex_);
        pieceMissing_ = true;
        Return(std::move(buffer));
    }
    changed_.notify_all();
}

bool TWriterThread::Failed()
{
    std::lock_guard lock(mutex_);
    return failed_;
}

bool TWriterThread::Finish()
{
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable())
        thread_.join();
    TKeptBuffers::Instance().Keep(free_);
    return !failed_;
}

void TWriterThread::Return(TBuffer buffer)
{
    free_.push_back(std::move(buffer));
    // The file's last piece is written: its buffers go to the next file.
    if (piecesLeft_ != UnknownPieces && --piecesLeft_ == 0)
        TKeptBuffers::Instance().Keep(free_);
}

bool TWriterThread::InFileOrder() const
{
    return piecesLeft_ != UnknownPieces && !pieceMissing_ && !failed_ && !closing_;
}

std::deque<TWriterThread::TWrite>::iterator TWriterThread::NextWrite()
{
    if (!InFileOrder())
        return queue_.begin();
    return std::find_if(queue_.begin(), queue_.end(),
                        [this](const TWrite& write) { return write.Offset == nextOffset_; });
}

void TWriterThread::Run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return closing_ || NextWrite() != queue_.end() || piecesLeft_ == 0; });
        if (queue_.empty())
            return;
        const auto next = NextWrite();
        TWrite write = std::move(*next);
        queue_.erase(next);
        nextOffset_ = write.Offset + write.Size;
        // After a failed write the rest are only given back.
        const bool skipped = failed_;
        lock.unlock();
        const bool written = skipped || writeAt_(write.Offset, write.Buffer.get(), write.Size);
        lock.lock();
        failed_ = failed_ || !written;
        Return(std::move(write.Buffer));
        changed_.notify_all();
    }
}

} // namespace quillbank
