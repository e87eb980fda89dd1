// Feeds one file to libzip from the compressed pieces made of it, encrypting them when asked.

#pragma once

#include "engine/ParallelDeflate.h"
#include "engine/PieceMap.h"

#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <zip.h>

namespace quillbank {

/// What a file source tells the archive's writer while it is written.
struct TSourceObserver
{
    /// Progress of one item: its start (0), its end (100) and points between.
    std::function<void(const std::string& item, std::uint64_t size, int percent)> Progress;
    /// Keeps the window responsive; called at least every `EventTurnInterval` while a file
    /// is written.
    std::function<void()> Pump;
    /// The keys a file is being encrypted with.
    std::function<void(const std::shared_ptr<const winzip_aes::TKeys>&)> KeysUsed;
    /// A file of several pieces was written whole: where its pieces lie.
    std::function<void(zip_int64_t index, const TPieceMap& map)> PiecesWritten;
};

/**
 * Feeds one file to libzip as the pieces the compressing workers made of it,
 * in order. Its data arrives already compressed (or, at level 0, as it is),
 * so the writer only encrypts it, when asked, and writes it.
 */
class TZipFileSource
{
public:
    /// The file is `folder` + `sourceName` (`folder` ends with a separator;
    /// many sources share it); an empty `sourceName` is the entry's name.
    TZipFileSource(std::string entryName, std::shared_ptr<const std::string> folder,
                   const TSourceObserver& observer, std::string sourceName = {});
    ~TZipFileSource();
    TZipFileSource(const TZipFileSource&) = delete;
    TZipFileSource& operator=(const TZipFileSource&) = delete;

    const std::string& EntryName() const { return entryName_; }
    std::string Path() const { return *folder_ + SourceName(); }

    /// Reads the file's size and time and checks that it can be read; false
    /// with Failure() set when not.
    bool Prepare();
    /// Takes the size and time that a listing of the file, which found it
    /// readable, saw a moment ago, instead of looking at it again.
    void TakeListed(std::uint64_t size, std::time_t modified);
    /// The pieces come from `pipeline`, as its job number `job`. `encrypted`:
    /// the source encrypts them itself (AES-256, with the keys the first
    /// piece brings), so that the writer copies them as they are.
    void Attach(TParallelDeflate* pipeline, std::size_t job, bool compressed, bool encrypted);
    TDeflateJob Job() const { return {*folder_, SourceName(), plannedSize_}; }

    /// Why the file could not be read; empty when it could.
    const std::string& Failure() const { return failure_; }
    bool Failed() const { return !failure_.empty(); }

    zip_int64_t Index = -1;
    bool Removed = false;

    static zip_int64_t Callback(void* self, void* data, zip_uint64_t length, zip_source_cmd_t command);

private:
    const std::string& SourceName() const { return sourceName_.empty() ? entryName_ : sourceName_; }
    zip_int64_t Command(void* data, zip_uint64_t length, zip_source_cmd_t command);
    zip_int64_t Read(unsigned char* data, std::size_t length);
    /// Takes the next piece; false when the file failed.
    bool TakePiece();
    /// Adds the piece to the file's map; after the last one, hands the map
    /// over when every piece was as planned.
    void MapPiece(const TDeflatePiece& piece);
    /// Encrypts the piece in place; the first one is preceded by the salt
    /// and the password verifier, the last one followed by the
    /// authentication code.
    void EncryptPiece();
    void PumpWhenDue();

    std::string entryName_;
    std::shared_ptr<const std::string> folder_;
    /// Empty when the file's name below the folder is the entry's name.
    std::string sourceName_;
    const TSourceObserver& observer_;
    TParallelDeflate* pipeline_ = nullptr;
    std::size_t job_ = 0;
    bool compressed_ = true;
    bool encrypted_ = false;
    std::uint64_t plannedSize_ = 0;
    std::time_t mtime_ = 0;
    bool ended_ = false;
    std::uint64_t done_ = 0;
    std::uint32_t crc_ = 0;

    /// What only a file being written needs; freed when it is done, so that
    /// a hundred thousand waiting sources stay small.
    struct TReading
    {
        TDeflatePiece Piece;
        std::size_t PieceOffset = 0;
        bool Reported = false;
        std::uint64_t NextReport = 0;
        std::chrono::steady_clock::time_point LastPump;
        std::unique_ptr<winzip_aes::TCipher> Cipher;
        TPieceMap Map;
        /// Whether every piece so far held as much of the file as planned.
        bool Mappable = true;
    };
    std::unique_ptr<TReading> reading_;
    std::string failure_;
    zip_error_t error_{};
};

} // namespace quillbank
