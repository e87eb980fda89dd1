// Decodes the pieces of one large entry on every core, each at its place in the output, and checks the whole.

#pragma once

#include "engine/EntryReader.h"
#include "engine/PieceMap.h"
#include "engine/WinZipAes.h"
#include "engine/WriterThread.h"
#include "platform/NamelessFile.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>
#include <zip.h>

namespace quillbank {

/**
 * One large entry whose piece map lets it be read in parts: every piece is
 * a task of its own, decoded by whichever worker is free and written at its
 * place in the output, and an encrypted entry's authentication code is one
 * more task. Once every task ran, Result() says whether the entry read back
 * whole and intact, as reading it as one stream would.
 */
class TPiecedEntry
{
public:
    /// Entry `index` read in pieces, when it is large, deflated, plain or
    /// AES-encrypted, and carries a map that fits it; nothing otherwise.
    static std::unique_ptr<TPiecedEntry> Plan(zip_t* archive, std::uint64_t index);

    ~TPiecedEntry();
    TPiecedEntry(const TPiecedEntry&) = delete;
    TPiecedEntry& operator=(const TPiecedEntry&) = delete;

    /// How decoded pieces reach their file.
    enum class TWriting
    {
        /// Straight to the disk where the file system allows, each worker
        /// writing its own pieces; through the page cache elsewhere.
        StraightToDisk,
        /// Through the page cache, one worker writing at a time.
        ThroughPageCache,
    };

    /// The decoded pieces go to a new file beside `target` (whose folder
    /// exists); without one, they are only checked. False when that file
    /// cannot be made.
    bool StageBeside(const std::string& target, TWriting writing = TWriting::StraightToDisk);
    /// Once every task ran, the file staged beside `target` replaces it when
    /// the entry read back whole and intact, and takes the entry's time;
    /// otherwise it goes, and `problem` says what went wrong with the target.
    TReadResult Place(zip_t* archive, const std::string& target, std::string& problem);
    /// As Place, but the file stays beside `target` under the temporary name
    /// `staged`, for the caller to put in place (a database goes with its
    /// companions).
    TReadResult Stage(zip_t* archive, const std::string& target, std::string& staged, std::string& problem);
    std::size_t TaskCount() const { return map_.Count() + (keySize_ > 0 ? 1 : 0); }
    /// Runs one task on the worker's own handle on the archive; false once
    /// the entry has failed, so that its other tasks can be skipped.
    bool Run(zip_t* archive, std::size_t task, const std::string& password, TReadBuffer& buffer,
             const winzip_aes::TKnownKeys* knownKeys);
    /// Once every task ran: whether the entry read back whole and intact.
    TReadResult Result() const;
    std::uint64_t Size() const { return size_; }

private:
    TPiecedEntry() = default;
    bool DecodePiece(zip_t* archive, std::size_t piece, TReadBuffer& buffer);
    /// Writes a decoded piece at `offset`, or leaves it to the worker
    /// writing the file just now.
    void WritePiece(std::uint64_t offset, const std::uint8_t* data, std::size_t size);
    /// Writes the pieces left waiting; false when one cannot be written.
    bool WriteWaiting();
    /// Once every task ran: the entry's verdict, with the waiting pieces written.
    TReadResult Finish(const std::string& target, std::string& problem);
    bool Authenticate(zip_t* archive, TReadBuffer& buffer);
    /// The entry's keys, derived by the first task that needs them.
    const winzip_aes::TKeys* Keys(zip_t* archive, const std::string& password,
                                  const winzip_aes::TKnownKeys* knownKeys);
    /// Opens the entry's stored bytes and moves to `offset` past the encryption header.
    zip_file_t* OpenAt(zip_t* archive, std::uint64_t offset) const;
    void Fail(TReadResult result);

    std::uint64_t index_ = 0;
    std::uint64_t size_ = 0;
    std::optional<std::uint32_t> crc_;
    std::size_t keySize_ = 0;
    TPieceMap map_;
    /// Where each piece starts in the compressed data.
    std::vector<std::uint64_t> offsets_;
    std::vector<std::uint32_t> crcs_;
    /// The file the pieces go to; none while they are only checked.
    std::unique_ptr<TNamelessFile> file_;
    /// Held by the worker writing the file.
    std::mutex writing_;
    std::mutex waitingMutex_;
    /// Decoded pieces waiting to be written, by where they go.
    std::vector<std::pair<std::uint64_t, std::vector<std::uint8_t>>> waiting_;
    std::atomic<TReadResult> failure_{TReadResult::Ok};
    std::once_flag keysOnce_;
    std::optional<winzip_aes::TKeys> keys_;
    /// Writes the pieces that go straight to the disk; none when they go
    /// through the page cache. Last, so that its thread ends before the rest
    /// goes.
    std::unique_ptr<TWriterThread> directWriter_;
};

/// The tasks of one read on every core: one for each entry, or each task of
/// a pieced one, in the entries' order.
std::vector<std::pair<std::size_t, std::size_t>>
ReadTasks(const std::vector<std::unique_ptr<TPiecedEntry>>& pieced);

} // namespace quillbank
