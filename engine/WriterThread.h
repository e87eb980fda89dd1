// Writes one file's buffers on a thread of its own, so that whoever fills them goes on meanwhile.

#pragma once

#include "platform/DirectIo.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace quillbank {

/**
 * A write keeps its caller waiting: for the device when it goes straight to
 * the disk, for fresh pages when it goes through the page cache. Here the
 * caller fills a buffer of the writer's, hands it over and fills the next one
 * while the writer's thread writes it. At most a few buffers exist, so memory
 * stays bounded: a caller asking for one while all are in flight waits for
 * the writes.
 *
 * When the number of pieces is known, they make one file and are written in
 * the file's order, each after the one before it, whatever order they are
 * handed over in: a file system that reserved the file's blocks splits its
 * reservation at every write that leaves a gap, and joins it again when the
 * gap is filled, and each join can free a block of its index and wait for
 * the device to discard it. The pieces must be asked for in about their
 * order: a buffer for a piece other than the next one to write is handed out
 * only while another stays for that one.
 *
 * The buffers are aligned for direct writes. The thread exists from the
 * first write until the last of the announced pieces is written, or until
 * `Finish`.
 */
class TWriterThread
{
public:
    using TBuffer = TMappedBuffer;
    /// Writes `size` bytes of `data` at `offset` of the file, on the
    /// writer's thread; false when it could not.
    using TWriteAt = std::function<bool(std::uint64_t offset, const std::uint8_t* data, std::size_t size)>;

    /// `pieces` buffers of at most `bufferSize` bytes will be written
    /// through `writeAt`, or an unknown number when `pieces` is
    /// `UnknownPieces`.
    TWriterThread(std::size_t bufferSize, std::size_t pieces, TWriteAt writeAt);
    /// Finishes the writes under way.
    ~TWriterThread();
    TWriterThread(const TWriterThread&) = delete;
    TWriterThread& operator=(const TWriterThread&) = delete;

    static constexpr std::size_t UnknownPieces = static_cast<std::size_t>(-1);

    /// An aligned buffer of `bufferSize` bytes to fill, for the bytes at `offset`.
    TBuffer Buffer(std::uint64_t offset);
    /// Writes the first `size` bytes of `buffer` at `offset`; the writes of
    /// an unknown number of pieces reach the file in the order they are
    /// handed over.
    void Write(TBuffer buffer, std::uint64_t offset, std::size_t size);
    /// A buffer that is not to be written after all: the pieces left are
    /// written as they come.
    void GiveBack(TBuffer buffer);
    /// Whether a write has failed already; later ones are not made.
    bool Failed();
    /// Waits for every write; false when one failed.
    bool Finish();

private:
    struct TWrite
    {
        TBuffer Buffer;
        std::uint64_t Offset = 0;
        std::size_t Size = 0;
    };
    void Run();
    /// Takes a buffer back, under the lock.
    void Return(TBuffer buffer);
    /// Under the lock: whether the pieces still go in the file's order.
    bool InFileOrder() const;
    /// Under the lock: the queued write to make next, or the queue's end.
    std::deque<TWrite>::iterator NextWrite();

    const std::size_t bufferSize_;
    const TWriteAt writeAt_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<TWrite> queue_;
    std::vector<TBuffer> free_;
    std::size_t allocated_ = 0;
    bool closing_ = false;
    bool failed_ = false;
    /// A piece was given back: the others go as they come.
    bool pieceMissing_ = false;
    /// Where the next piece written in the file's order starts.
    std::uint64_t nextOffset_ = 0;
    std::size_t piecesLeft_;
    std::thread thread_;
};

} // namespace quillbank
