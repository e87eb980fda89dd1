// Answers libzip's source commands for one file: takes its pieces in order, encrypts, reports progress.

#include "engine/ZipFileSource.h"

#include "platform/UserInterface.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace quillbank {

namespace {

/// How often a long file reports progress between its start and its end.
constexpr std::uint64_t ProgressStep = 16u << 20;

} // namespace

TZipFileSource::TZipFileSource(std::string entryName, std::shared_ptr<const std::string> folder,
                               const TSourceObserver& observer, std::string sourceName)
    : entryName_(std::move(entryName)), folder_(std::move(folder)), sourceName_(std::move(sourceName)),
      observer_(observer)
{
    zip_error_init(&error_);
}

TZipFileSource::~TZipFileSource()
{
    zip_error_fini(&error_);
}

bool TZipFileSource::Prepare()
{
    const std::string path = Path();
    struct stat info
    {};
    if (stat(path.c_str(), &info) != 0 || access(path.c_str(), R_OK) != 0) {
        failure_ = std::strerror(errno);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        failure_ = std::strerror(EISDIR);
        return false;
    }
    plannedSize_ = static_cast<std::uint64_t>(info.st_size);
    mtime_ = info.st_mtime;
    return true;
}

void TZipFileSource::TakeListed(std::uint64_t size, std::time_t modified)
{
    plannedSize_ = size;
    mtime_ = modified;
}

void TZipFileSource::Attach(TParallelDeflate* pipeline, std::size_t job, bool compressed, bool encrypted)
{
    pipeline_ = pipeline;
    job_ = job;
    compressed_ = compressed;
    encrypted_ = encrypted;
}

void TZipFileSource::PumpWhenDue()
{
    const auto now = std::chrono::steady_clock::now();
    if (now - reading_->LastPump >= EventTurnInterval) {
        reading_->LastPump = now;
        observer_.Pump();
    }
}

bool TZipFileSource::TakePiece()
{
    TDeflatePiece& piece = reading_->Piece;
    piece = pipeline_->Take(job_, observer_.Pump);
    reading_->PieceOffset = 0;
    if (!piece.Failure.empty()) {
        failure_ = piece.Failure;
        zip_error_set(&error_, ZIP_ER_READ, 0);
        return false;
    }
    MapPiece(piece);
    if (encrypted_)
        EncryptPiece();
    crc_ = done_ == 0 ? piece.Crc
                      : static_cast<std::uint32_t>(
                            crc32_combine(crc_, piece.Crc, static_cast<z_off_t>(piece.InputSize)));
    done_ += piece.InputSize;
    ended_ = piece.Last;
    if (done_ >= reading_->NextReport && !ended_) {
        reading_->NextReport += ProgressStep;
        observer_.Progress(entryName_, plannedSize_,
                           static_cast<int>(done_ * 100 / std::max<std::uint64_t>(plannedSize_, 1)));
    }
    return true;
}

void TZipFileSource::MapPiece(const TDeflatePiece& piece)
{
    // A file that shrank while it was read gets no map: its pieces are not
    // where a reader would look for them.
    bool& mappable = reading_->Mappable;
    mappable = mappable && compressed_ && piece.Data.size() <= UINT32_MAX &&
               (piece.Last ? piece.InputSize > 0 : piece.InputSize == TParallelDeflate::PieceSize);
    if (!mappable)
        return;
    TPieceMap& map = reading_->Map;
    map.CompressedSizes.push_back(static_cast<std::uint32_t>(piece.Data.size()));
    if (piece.Last && map.Count() >= 2 && map.Count() <= MaxMappedPieces) {
        map.PieceSize = TParallelDeflate::PieceSize;
        observer_.PiecesWritten(Index, map);
    }
}

void TZipFileSource::EncryptPiece()
{
    TDeflatePiece& piece = reading_->Piece;
    std::vector<unsigned char>& data = piece.Data;
    std::unique_ptr<winzip_aes::TCipher>& cipher = reading_->Cipher;
    if (!cipher) {
        if (!piece.Keys)
            throw std::logic_error("an encrypted file's first piece came without keys");
        cipher = std::make_unique<winzip_aes::TCipher>(*piece.Keys);
        observer_.KeysUsed(piece.Keys);
        cipher->Encrypt(data.data(), data.size());
        data.insert(data.begin(), piece.Keys->Verifier.begin(), piece.Keys->Verifier.end());
        data.insert(data.begin(), piece.Keys->Salt.begin(), piece.Keys->Salt.end());
    } else {
        cipher->Encrypt(data.data(), data.size());
    }
    if (piece.Last) {
        const auto mac = cipher->Mac();
        data.insert(data.end(), mac.begin(), mac.end());
    }
}

zip_int64_t TZipFileSource::Read(unsigned char* data, std::size_t length)
{
    if (!reading_)
        return 0; // done with this file
    PumpWhenDue();
    while (reading_->PieceOffset == reading_->Piece.Data.size()) {
        if (ended_) {
            // Done with the file: its last piece and its cipher go now, not
            // when the whole archive is written.
            reading_.reset();
            observer_.Progress(entryName_, done_, 100);
            return 0;
        }
        if (!TakePiece())
            return -1;
    }
    const std::vector<unsigned char>& piece = reading_->Piece.Data;
    const std::size_t count = std::min(length, piece.size() - reading_->PieceOffset);
    std::memcpy(data, piece.data() + reading_->PieceOffset, count);
    reading_->PieceOffset += count;
    return static_cast<zip_int64_t>(count);
}

zip_int64_t TZipFileSource::Command(void* data, zip_uint64_t length, zip_source_cmd_t command)
{
    switch (command) {
    case ZIP_SOURCE_OPEN:
        reading_ = std::make_unique<TReading>();
        reading_->NextReport = ProgressStep;
        ended_ = false;
        done_ = 0;
        crc_ = 0;
        observer_.Progress(entryName_, plannedSize_, 0);
        return 0;
    case ZIP_SOURCE_READ:
        return Read(static_cast<unsigned char*>(data), static_cast<std::size_t>(length));
    case ZIP_SOURCE_CLOSE:
        reading_.reset();
        return 0;
    case ZIP_SOURCE_STAT: {
        // Before the data is read the writer needs the method and the size;
        // after it, the checksum and the size as read. An encrypted entry's
        // checksum stays empty: its authentication code vouches for it, and
        // a checksum in clear would let guesses at its content be tested.
        auto* st = static_cast<zip_stat_t*>(data);
        zip_stat_init(st);
        st->size = ended_ ? done_ : plannedSize_;
        st->mtime = mtime_;
        st->comp_method = compressed_ ? ZIP_CM_DEFLATE : ZIP_CM_STORE;
        st->valid |= ZIP_STAT_SIZE | ZIP_STAT_MTIME | ZIP_STAT_COMP_METHOD;
        if (ended_) {
            st->crc = encrypted_ ? 0 : crc_;
            st->valid |= ZIP_STAT_CRC;
        }
        if (encrypted_) {
            st->encryption_method = ZIP_EM_AES_256;
            st->valid |= ZIP_STAT_ENCRYPTION_METHOD;
        }
        return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_GET_FILE_ATTRIBUTES: {
        if (length < sizeof(zip_file_attributes_t)) {
            zip_error_set(&error_, ZIP_ER_INVAL, 0);
            return -1;
        }
        // Readers need the version that knows AES-encrypted entries.
        auto* attributes = static_cast<zip_file_attributes_t*>(data);
        if (encrypted_) {
            attributes->valid |= ZIP_FILE_ATTRIBUTES_VERSION_NEEDED;
            attributes->version_needed = 51;
        }
        return 0;
    }
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&error_, data, length);
    case ZIP_SOURCE_FREE:
        return 0;
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                              ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    default:
        zip_error_set(&error_, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
}

zip_int64_t TZipFileSource::Callback(void* self, void* data, zip_uint64_t length, zip_source_cmd_t command)
{
    return static_cast<TZipFileSource*>(self)->Command(data, length, command);
}

} // namespace quillbank
