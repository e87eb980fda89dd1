// The workers that claim, read and compress pieces a bounded way ahead of the one consumer taking them.

#include "engine/ParallelDeflate.h"

#include "engine/DeflateChunk.h"
#include "platform/FileDescriptor.h"
#include "platform/UserInterface.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <libdeflate.h>
#include <unistd.h>

namespace quillbank {

namespace {

/// How far the workers may run ahead of the consumer.
constexpr std::size_t MaxPiecesAhead = 256;
constexpr std::uint64_t MaxBytesAhead = 8u << 20;
/// A worker claims small files several at a time, up to this many pieces or
/// bytes, so that a profile of many small files (a cache) costs one hand-over
/// per batch between the workers and the consumer rather than one per file.
constexpr std::size_t MaxBatchPieces = 32;
constexpr std::uint64_t MaxBatchBytes = 256u << 10;

/// The file of a claimed piece, opened ahead of its turn.
struct TOpenedFile
{
    TFileDescriptor File;
    /// Why it could not be opened.
    int Error = 0;
};

/// Opens `path` and asks the system to start reading `size` bytes at
/// `offset`, without waiting for them.
TOpenedFile OpenAndAskFor(const std::string& path, std::uint64_t offset, std::uint64_t size)
{
    TOpenedFile opened{TFileDescriptor(open(path.c_str(), O_RDONLY | O_CLOEXEC)), 0};
    if (!opened.File.IsOpen())
        opened.Error = errno;
    else
        posix_fadvise(opened.File.Get(), static_cast<off_t>(offset), static_cast<off_t>(size),
                      POSIX_FADV_WILLNEED);
    return opened;
}

/// Reads up to `size` bytes at `offset`; a short count means the file ended.
bool ReadPiece(int fd, std::uint64_t offset, std::size_t size, std::vector<unsigned char>& input,
               std::string& failure)
{
    input.resize(size);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = pread(fd, input.data() + done, size - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            failure = std::strerror(errno);
            return false;
        }
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    input.resize(done);
    return true;
}

} // namespace

std::size_t TParallelDeflate::PieceCount(std::uint64_t size)
{
    return static_cast<std::size_t>(std::max<std::uint64_t>(1, (size + PieceSize - 1) / PieceSize));
}

TParallelDeflate::TParallelDeflate(std::vector<TDeflateJob> jobs, int settingsLevel, std::string aesPassword,
                                   unsigned threads)
    : jobs_(std::move(jobs)), level_(settingsLevel), aesPassword_(std::move(aesPassword))
{
    if (threads == 0)
        threads = std::max(1u, std::thread::hardware_concurrency());
    if (jobs_.empty())
        return;
    for (unsigned i = 0; i < threads; ++i)
        workers_.emplace_back([this] { Work(); });
}

TParallelDeflate::~TParallelDeflate()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    consumed_.notify_all();
    for (std::thread& worker : workers_)
        worker.join();
}

bool TParallelDeflate::NextPiece(std::size_t& job, std::uint64_t& offset)
{
    if (claimJob_ >= jobs_.size())
        return false;
    job = claimJob_;
    offset = claimOffset_;
    claimOffset_ += PieceSize;
    if (claimOffset_ >= jobs_[job].Size) {
        ++claimJob_;
        claimOffset_ = 0;
    }
    return true;
}

void TParallelDeflate::Produce(TSlot& slot, const TFileDescriptor& file, int openError,
                               TDeflateChunkCompressor* compressor, std::vector<unsigned char>& input) const
{
    const TDeflateJob& job = jobs_[slot.Job];
    TDeflatePiece& piece = slot.Piece;
    piece.Last = slot.Offset + PieceSize >= job.Size;
    if (!file.IsOpen()) {
        piece.Failure = std::strerror(openError);
        return;
    }
    if (!ReadPiece(file.Get(), slot.Offset, static_cast<std::size_t>(PlannedInput(slot)), input,
                   piece.Failure))
        return;
    if (slot.Offset == 0 && !aesPassword_.empty())
        piece.Keys = std::make_shared<const winzip_aes::TKeys>(winzip_aes::DeriveNewKeys(aesPassword_));
    piece.InputSize = input.size();
    piece.Crc = libdeflate_crc32(0, input.data(), input.size());
    if (compressor == nullptr)
        piece.Data.swap(input);
    else
        compressor->Compress(input.data(), input.size(), piece.Last, piece.Data);
}

std::uint64_t TParallelDeflate::PlannedInput(const TSlot& slot) const
{
    return std::min<std::uint64_t>(PieceSize, jobs_[slot.Job].Size - slot.Offset);
}

bool TParallelDeflate::HasRoomAhead() const
{
    return window_.size() + MaxBatchPieces <= MaxPiecesAhead && windowInput_ < MaxBytesAhead;
}

void TParallelDeflate::Work()
{
    std::unique_ptr<TDeflateChunkCompressor> compressor;
    if (level_ > 0)
        compressor = std::make_unique<TDeflateChunkCompressor>(level_);
    std::vector<unsigned char> input;
    std::vector<TSlot*> batch;
    std::vector<TOpenedFile> opened;
    std::unique_lock lock(mutex_);
    for (;;) {
        consumed_.wait(lock, [this] { return stopping_ || claimJob_ >= jobs_.size() || HasRoomAhead(); });
        batch.clear();
        std::uint64_t batchInput = 0;
        while (!stopping_ && batch.size() < MaxBatchPieces && batchInput < MaxBatchBytes &&
               windowInput_ < MaxBytesAhead) {
            auto slot = std::make_unique<TSlot>();
            if (!NextPiece(slot->Job, slot->Offset))
                break;
            const std::uint64_t size = PlannedInput(*slot);
            windowInput_ += size;
            // An empty file counts as a byte, so that a batch of them ends too.
            batchInput += std::max<std::uint64_t>(size, 1);
            batch.push_back(slot.get());
            window_.push_back(std::move(slot));
        }
        if (batch.empty())
            return;
        lock.unlock();
        // Files not read for a while are on the disk only: asked for all at
        // once, a batch's files are read together rather than one after
        // another while a core waits for each. A large file's next piece is
        // asked for too, so that it is on its way while this one compresses.
        opened.clear();
        for (const TSlot* claimed : batch) {
            const TDeflateJob& job = jobs_[claimed->Job];
            const std::uint64_t ahead = std::min<std::uint64_t>(2 * PieceSize, job.Size - claimed->Offset);
            opened.push_back(
                OpenAndAskFor(std::string(job.Folder) + std::string(job.Name), claimed->Offset, ahead));
        }
        for (std::size_t i = 0; i < batch.size(); ++i) {
            try {
                Produce(*batch[i], opened[i].File, opened[i].Error, compressor.get(), input);
            } catch (const std::exception& error) {
                batch[i]->Piece.Failure = error.what();
            }
            opened[i].File = TFileDescriptor();
        }
        lock.lock();
        for (TSlot* claimed : batch)
            claimed->Ready = true;
        // Only the consumer waits for pieces, and only for the oldest one.
        if (window_.front()->Ready)
            produced_.notify_one();
    }
}

TDeflatePiece TParallelDeflate::Take(std::size_t job, const std::function<void()>& whileWaiting)
{
    std::unique_lock lock(mutex_);
    auto nextPump = std::chrono::steady_clock::now() + EventTurnInterval;
    for (;;) {
        if (!window_.empty() && window_.front()->Job != job)
            throw std::logic_error("compressed pieces taken out of order");
        if (window_.empty() && claimJob_ >= jobs_.size())
            throw std::logic_error("no compressed piece left");
        if (!window_.empty() && window_.front()->Ready)
            break;
        // A large piece takes longer than that: the deadline gives the
        // window its turn meanwhile.
        if (produced_.wait_until(lock, nextPump) == std::cv_status::no_timeout)
            continue;
        nextPump = std::chrono::steady_clock::now() + EventTurnInterval;
        lock.unlock();
        whileWaiting();
        lock.lock();
    }
    const bool hadRoom = HasRoomAhead();
    std::unique_ptr<TSlot> slot = std::move(window_.front());
    window_.pop_front();
    windowInput_ -= PlannedInput(*slot);
    // Workers wait only while there is no room ahead: wake them when it opens.
    if (!hadRoom && HasRoomAhead())
        consumed_.notify_all();
    return std::move(slot->Piece);
}

} // namespace quillbank
