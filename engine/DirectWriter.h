// Writes the decoded pieces of one file straight to the disk on a thread of its own, while the workers decode
// on.

#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace quillbank {

/**
 * A write straight to the disk (`O_DIRECT`) keeps its caller waiting for the
 * device. Here a worker decodes a piece into a buffer of the writer's,
 * hands it over and decodes the next one while a thread of the writer's
 * writes it. At most a few buffers exist, so memory stays bounded: a worker
 * asking for one while all are in flight waits for the disk.
 */
class TDirectWriter
{
public:
    struct TFree
    {
        void operator()(std::uint8_t* buffer) const { std::free(buffer); }
    };
    using TBuffer = std::unique_ptr<std::uint8_t, TFree>;

    /// `fd` takes direct writes of `pieces` buffers of `bufferSize` bytes (a
    /// multiple of the alignment); a write the device refuses (EINVAL) is
    /// handed to `refused` with the piece's own size, from the writer's
    /// thread.
    TDirectWriter(
        int fd, std::size_t bufferSize, std::size_t pieces,
        std::function<bool(std::uint64_t offset, const std::uint8_t* data, std::size_t size)> refused);
    /// Finishes the writes under way.
    ~TDirectWriter();
    TDirectWriter(const TDirectWriter&) = delete;
    TDirectWriter& operator=(const TDirectWriter&) = delete;

    /// An aligned buffer of `bufferSize` bytes to decode into.
    TBuffer Buffer();
    /// Writes `padded` bytes of `buffer` (whole blocks) at `offset`; the
    /// piece itself is `size` bytes.
    void Write(TBuffer buffer, std::uint64_t offset, std::size_t padded, std::size_t size);
    /// A buffer that is not to be written after all.
    void GiveBack(TBuffer buffer);
    /// Waits for every write; false when one failed.
    bool Finish();

private:
    struct TWrite
    {
        TBuffer Buffer;
        std::uint64_t Offset = 0;
        std::size_t Padded = 0;
        std::size_t Size = 0;
    };
    void Run();
    /// Takes a buffer back, under the lock.
    void Return(TBuffer buffer);

    const int fd_;
    const std::size_t bufferSize_;
    const std::function<bool(std::uint64_t, const std::uint8_t*, std::size_t)> refused_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<TWrite> queue_;
    std::vector<TBuffer> free_;
    std::size_t allocated_ = 0;
    bool closing_ = false;
    bool failed_ = false;
    std::size_t piecesLeft_;
    std::thread thread_;
};

} // namespace quillbank
