// Reads and compresses the files of a backup on every core, handing the pieces over in order.

#pragma once

#include "engine/WinZipAes.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace quillbank {

/// One file to compress: its folder (ending with a separator) and name, and
/// how many of its bytes go in (its size when it was listed: a file that
/// grows meanwhile is taken as it was). The strings belong to the caller and
/// outlive the compression; a profile may hold a hundred thousand files.
struct TDeflateJob
{
    std::string_view Folder;
    std::string_view Name;
    std::uint64_t Size = 0;
};

/// One piece of a file, compressed (or, at level 0, as read).
struct TDeflatePiece
{
    std::vector<unsigned char> Data;
    std::uint32_t Crc = 0;
    /// Bytes of the file in this piece: fewer than planned when it shrank.
    std::uint64_t InputSize = 0;
    bool Last = false;
    /// Why the file could not be read; empty when it was.
    std::string Failure;
    /// With a password, the first piece of each file carries the keys the
    /// file is to be encrypted with.
    std::shared_ptr<const winzip_aes::TKeys> Keys;
};

/**
 * Reads and compresses files on every core, in pieces of at most
 * `PieceSize` bytes, while one consumer takes the pieces in order: file by
 * file, piece by piece. The workers run at most a bounded number of pieces
 * ahead of the consumer, so memory does not grow with the size of the files.
 */
class TParallelDeflate
{
public:
    static constexpr std::size_t PieceSize = 1u << 20;

    /// Starts the workers at once; `threads` 0 means one per core. With an
    /// `aesPassword`, the workers also derive each file's encryption keys.
    TParallelDeflate(std::vector<TDeflateJob> jobs, int settingsLevel, std::string aesPassword = {},
                     unsigned threads = 0);
    /// Stops the workers, also when pieces were left untaken.
    ~TParallelDeflate();
    TParallelDeflate(const TParallelDeflate&) = delete;
    TParallelDeflate& operator=(const TParallelDeflate&) = delete;

    /// The next piece of `job`, which must be the file being consumed or the
    /// one after it; waits for it, calling `whileWaiting` every `EventTurnInterval`.
    TDeflatePiece Take(std::size_t job, const std::function<void()>& whileWaiting);

    static std::size_t PieceCount(std::uint64_t size);

private:
    struct TSlot
    {
        std::size_t Job = 0;
        std::uint64_t Offset = 0;
        bool Ready = false;
        TDeflatePiece Piece;
    };
    /// Pieces a worker claimed together, with their files.
    struct TBatch;
    void Work();
    /// Claims the pieces of a batch, as many as fit; none when every piece
    /// is claimed or the workers stop. The mutex must be held.
    void ClaimBatch(TBatch& batch);
    /// Opens the files of a claimed batch.
    void OpenBatch(TBatch& batch) const;
    /// Starts reading the first piece of a batch into `buffer` when it is
    /// read straight from the disk.
    void StartReadAhead(TBatch& batch, std::uint8_t* buffer, class TReadAhead& readAhead) const;
    /// Reads piece `index` of a batch into `buffer`, waiting for it when it
    /// was read ahead; nothing when it could not be read.
    std::optional<std::size_t> ReadSlot(TBatch& batch, std::size_t index, std::uint8_t* buffer,
                                        TReadAhead& readAhead) const;
    /// The bytes of its file a piece was claimed for.
    std::uint64_t PlannedInput(const TSlot& slot) const;
    /// Whether the workers may claim another batch.
    bool HasRoomAhead() const;
    /// Moves the claim cursor on; false when every piece is claimed.
    bool NextPiece(std::size_t& job, std::uint64_t& offset);
    /// Fills a piece from the `size` bytes read for it at `input`: the
    /// checksum, the keys of an encrypted file's first piece, and the bytes
    /// compressed or stored.
    void Produce(TSlot& slot, const std::uint8_t* input, std::size_t size,
                 class TDeflateChunkCompressor* compressor) const;

    const std::vector<TDeflateJob> jobs_;
    const int level_;
    const std::string aesPassword_;
    std::mutex mutex_;
    std::condition_variable produced_;
    std::condition_variable consumed_;
    /// Claimed pieces not yet taken, oldest first.
    std::deque<std::unique_ptr<TSlot>> window_;
    std::uint64_t windowInput_ = 0;
    std::size_t claimJob_ = 0;
    std::uint64_t claimOffset_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

} // namespace quillbank
