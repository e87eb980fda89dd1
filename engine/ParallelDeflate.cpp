// The workers that claim, read and compress pieces a bounded way ahead of the one consumer taking them.

#include "engine/ParallelDeflate.h"

#include "engine/DeflateChunk.h"
#include "platform/DirectIo.h"
#include "platform/FileDescriptor.h"
#include "platform/ReadAhead.h"
#include "platform/UserInterface.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <libdeflate.h>
#include <optional>
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
    /// Whether it is read straight from the disk.
    bool Direct = false;
};

/// Files at least this large are read straight from the disk into the
/// worker's buffer (O_DIRECT) where the file system allows it. Read through
/// the page cache, a file that is not in memory costs the kernel more than
/// 2 s of CPU per GB on a virtual machine, taken from the compression; read
/// straight, a tenth of that, and the files stay out of the user's cache.
/// Smaller files, a cache's many entries, go through the page cache, where
/// they may be already, and are asked for a batch at a time.
constexpr std::uint64_t DirectReadSize = MaxBatchBytes;

/// Opens `path` to read it, straight from the disk when it is large. Read
/// through the page cache, the system is asked to start reading `size`
/// bytes at `offset`, without waiting for them.
TOpenedFile OpenToRead(const std::string& path, std::uint64_t fileSize, std::uint64_t offset,
                       std::uint64_t size)
{
    if (fileSize >= DirectReadSize) {
        TFileDescriptor direct(open(path.c_str(), O_RDONLY | O_DIRECT | O_CLOEXEC));
        if (direct.IsOpen())
            return {std::move(direct), 0, true};
        if (errno != EINVAL)
            return {TFileDescriptor(), errno, false};
    }
    TOpenedFile opened{TFileDescriptor(open(path.c_str(), O_RDONLY | O_CLOEXEC)), 0, false};
    if (!opened.File.IsOpen())
        opened.Error = errno;
    else
        posix_fadvise(opened.File.Get(), static_cast<off_t>(offset), static_cast<off_t>(size),
                      POSIX_FADV_WILLNEED);
    return opened;
}

/// Reads up to `size` bytes at `offset` into `buffer`, which has room for
/// whole direct blocks of them, from the `done`-th byte on (those before were
/// read ahead); a count short of `size` means the file ended. Nothing, with
/// the reason in `failure`, when the file could not be opened or read.
std::optional<std::size_t> ReadPiece(TOpenedFile& file, std::uint64_t offset, std::size_t size,
                                     std::uint8_t* buffer, std::string& failure, std::size_t done = 0)
{
    if (!file.File.IsOpen()) {
        failure = std::strerror(file.Error);
        return std::nullopt;
    }
    while (done < size) {
        const std::size_t wanted = file.Direct ? WholeDirectBlocks(size - done) : size - done;
        const ssize_t got = pread(file.File.Get(), buffer + done, wanted, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && errno == EINVAL && file.Direct) {
            // A file system that opens files for direct reads but refuses
            // them, or a short read that left the offset between blocks:
            // the rest is read through the page cache.
            const int flags = fcntl(file.File.Get(), F_GETFL);
            if (flags >= 0 && fcntl(file.File.Get(), F_SETFL, flags & ~O_DIRECT) == 0) {
                file.Direct = false;
                continue;
            }
            errno = EINVAL;
        }
        if (got < 0) {
            failure = std::strerror(errno);
            return std::nullopt;
        }
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    // A file grown since it was listed is read as far as it was listed.
    return std::min(done, size);
}

} // namespace

struct TParallelDeflate::TBatch
{
    std::vector<TSlot*> Slots;
    /// The files of the pieces, in the same order.
    std::vector<TOpenedFile> Files;
    /// Which of the worker's two buffers the pieces are read into.
    std::size_t Buffer = 0;
    /// Whether the first piece is being read ahead into that buffer.
    bool ReadAhead = false;
};

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

void TParallelDeflate::Produce(TSlot& slot, const std::uint8_t* input, std::size_t size,
                               TDeflateChunkCompressor* compressor) const
{
    TDeflatePiece& piece = slot.Piece;
    if (slot.Offset == 0 && !aesPassword_.empty())
        piece.Keys = std::make_shared<const winzip_aes::TKeys>(winzip_aes::DeriveNewKeys(aesPassword_));
    piece.InputSize = size;
    piece.Crc = libdeflate_crc32(0, input, size);
    if (compressor == nullptr)
        piece.Data.assign(input, input + size);
    else
        compressor->Compress(input, size, piece.Last, piece.Data);
}

std::uint64_t TParallelDeflate::PlannedInput(const TSlot& slot) const
{
    return std::min<std::uint64_t>(PieceSize, jobs_[slot.Job].Size - slot.Offset);
}

bool TParallelDeflate::HasRoomAhead() const
{
    return window_.size() + MaxBatchPieces <= MaxPiecesAhead && windowInput_ < MaxBytesAhead;
}

void TParallelDeflate::ClaimBatch(TBatch& batch)
{
    batch.Slots.clear();
    std::uint64_t batchInput = 0;
    while (!stopping_ && batch.Slots.size() < MaxBatchPieces && batchInput < MaxBatchBytes &&
           windowInput_ < MaxBytesAhead) {
        auto slot = std::make_unique<TSlot>();
        if (!NextPiece(slot->Job, slot->Offset))
            break;
        const std::uint64_t size = PlannedInput(*slot);
        windowInput_ += size;
        // An empty file counts as a byte, so that a batch of them ends too.
        batchInput += std::max<std::uint64_t>(size, 1);
        batch.Slots.push_back(slot.get());
        window_.push_back(std::move(slot));
    }
}

void TParallelDeflate::OpenBatch(TBatch& batch) const
{
    // Files not read for a while are on the disk only: asked for all at
    // once, a batch's files are read together rather than one after
    // another while a core waits for each. A large file read through the
    // page cache (where direct reads are refused) has its next piece
    // asked for too, so that it is on its way while this one compresses.
    batch.Files.clear();
    for (const TSlot* claimed : batch.Slots) {
        const TDeflateJob& job = jobs_[claimed->Job];
        const std::uint64_t ahead = std::min<std::uint64_t>(2 * PieceSize, job.Size - claimed->Offset);
        batch.Files.push_back(
            OpenToRead(std::string(job.Folder) + std::string(job.Name), job.Size, claimed->Offset, ahead));
    }
}

void TParallelDeflate::StartReadAhead(TBatch& batch, std::uint8_t* buffer, TReadAhead& readAhead) const
{
    batch.ReadAhead = false;
    if (batch.Slots.empty() || !batch.Files.front().Direct)
        return;
    const TSlot& first = *batch.Slots.front();
    const std::size_t size = WholeDirectBlocks(static_cast<std::size_t>(PlannedInput(first)));
    batch.ReadAhead = readAhead.Start(batch.Files.front().File.Get(), first.Offset, size, buffer);
}

std::optional<std::size_t> TParallelDeflate::ReadSlot(TBatch& batch, std::size_t index, std::uint8_t* buffer,
                                                      TReadAhead& readAhead) const
{
    TSlot& slot = *batch.Slots[index];
    const auto size = static_cast<std::size_t>(PlannedInput(slot));
    std::size_t done = 0;
    if (index == 0 && batch.ReadAhead) {
        // A read ahead that failed is done again here, where its failure is
        // reported or the page cache takes over.
        const std::int64_t got = readAhead.Finish();
        done = got > 0 ? std::min(static_cast<std::size_t>(got), size) : 0;
    }
    return ReadPiece(batch.Files[index], slot.Offset, size, buffer, slot.Piece.Failure, done);
}

void TParallelDeflate::Work()
{
    std::unique_ptr<TDeflateChunkCompressor> compressor;
    if (level_ > 0)
        compressor = std::make_unique<TDeflateChunkCompressor>(level_);
    // Two buffers of whole direct blocks of the largest piece, page-aligned
    // for direct reads: while a piece compresses from one, the first piece of
    // the next batch is read into the other.
    const std::array<TMappedBuffer, 2> buffers = {MapBuffer(PieceSize), MapBuffer(PieceSize)};
    TBatch current;
    TBatch next;
    // Declared after the batches and buffers, so that it goes first and
    // waits for a read still under way into them.
    TReadAhead readAhead;
    std::unique_lock lock(mutex_);
    for (;;) {
        if (next.Slots.empty()) {
            consumed_.wait(lock, [this] { return stopping_ || claimJob_ >= jobs_.size() || HasRoomAhead(); });
            ClaimBatch(next);
            lock.unlock();
            OpenBatch(next);
        } else {
            lock.unlock();
        }
        std::swap(current, next);
        next.Slots.clear();
        if (current.Slots.empty())
            return;
        std::uint8_t* input = buffers[current.Buffer].get();
        for (std::size_t i = 0; i < current.Slots.size(); ++i) {
            TSlot& slot = *current.Slots[i];
            slot.Piece.Last = slot.Offset + PieceSize >= jobs_[slot.Job].Size;
            const std::optional<std::size_t> read = ReadSlot(current, i, input, readAhead);
            if (i + 1 == current.Slots.size()) {
                // The batch is read: the next one is claimed now, when there
                // is room, so that its first piece is on its way from the
                // disk while this one compresses.
                lock.lock();
                if (HasRoomAhead())
                    ClaimBatch(next);
                lock.unlock();
                next.Buffer = 1 - current.Buffer;
                OpenBatch(next);
                StartReadAhead(next, buffers[next.Buffer].get(), readAhead);
            }
            try {
                if (read)
                    Produce(slot, input, *read, compressor.get());
            } catch (const std::exception& error) {
                slot.Piece.Failure = error.what();
            }
            current.Files[i].File = TFileDescriptor();
        }
        lock.lock();
        for (TSlot* claimed : current.Slots)
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
