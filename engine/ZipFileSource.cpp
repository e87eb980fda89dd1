#include "engine/ZipFileSource.h"

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
constexpr auto PumpInterval = std::chrono::milliseconds(50);

} // namespace

TZipFileSource::TZipFileSource(std::string entryName, std::string path, const TSourceObserver& observer)
    : entryName_(std::move(entryName)), path_(std::move(path)), observer_(observer)
{
    zip_error_init(&error_);
}

TZipFileSource::~TZipFileSource()
{
    zip_error_fini(&error_);
}

bool TZipFileSource::Prepare()
{
    struct stat info
    {};
    if (stat(path_.c_str(), &info) != 0 || access(path_.c_str(), R_OK) != 0) {
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
    if (now - lastPump_ >= PumpInterval) {
        lastPump_ = now;
        observer_.Pump();
    }
}

bool TZipFileSource::TakePiece()
{
    piece_ = pipeline_->Take(job_, observer_.Pump);
    pieceOffset_ = 0;
    if (!piece_.Failure.empty()) {
        failure_ = piece_.Failure;
        zip_error_set(&error_, ZIP_ER_READ, 0);
        return false;
    }
    if (encrypted_)
        EncryptPiece();
    crc_ = done_ == 0 ? piece_.Crc
                      : static_cast<std::uint32_t>(
                            crc32_combine(crc_, piece_.Crc, static_cast<z_off_t>(piece_.InputSize)));
    done_ += piece_.InputSize;
    ended_ = piece_.Last;
    if (done_ >= nextReport_ && !ended_) {
        nextReport_ += ProgressStep;
        observer_.Progress(entryName_, plannedSize_,
                           static_cast<int>(done_ * 100 / std::max<std::uint64_t>(plannedSize_, 1)));
    }
    return true;
}

void TZipFileSource::EncryptPiece()
{
    std::vector<unsigned char>& data = piece_.Data;
    if (!cipher_) {
        if (!piece_.Keys)
            throw std::logic_error("an encrypted file's first piece came without keys");
        cipher_ = std::make_unique<winzip_aes::TCipher>(*piece_.Keys);
        observer_.KeysUsed(piece_.Keys);
        cipher_->Encrypt(data.data(), data.size());
        data.insert(data.begin(), piece_.Keys->Verifier.begin(), piece_.Keys->Verifier.end());
        data.insert(data.begin(), piece_.Keys->Salt.begin(), piece_.Keys->Salt.end());
    } else {
        cipher_->Encrypt(data.data(), data.size());
    }
    if (piece_.Last) {
        const auto mac = cipher_->Mac();
        data.insert(data.end(), mac.begin(), mac.end());
    }
}

zip_int64_t TZipFileSource::Read(unsigned char* data, std::size_t length)
{
    PumpWhenDue();
    while (pieceOffset_ == piece_.Data.size()) {
        if (ended_) {
            if (!reported_) {
                reported_ = true;
                // Done with the file: its last piece and its cipher go now,
                // not when the whole archive is written.
                piece_ = {};
                pieceOffset_ = 0;
                cipher_.reset();
                observer_.Progress(entryName_, done_, 100);
            }
            return 0;
        }
        if (!TakePiece())
            return -1;
    }
    const std::size_t count = std::min(length, piece_.Data.size() - pieceOffset_);
    std::memcpy(data, piece_.Data.data() + pieceOffset_, count);
    pieceOffset_ += count;
    return static_cast<zip_int64_t>(count);
}

zip_int64_t TZipFileSource::Command(void* data, zip_uint64_t length, zip_source_cmd_t command)
{
    switch (command) {
    case ZIP_SOURCE_OPEN:
        piece_ = {};
        pieceOffset_ = 0;
        ended_ = false;
        reported_ = false;
        done_ = 0;
        crc_ = 0;
        cipher_.reset();
        nextReport_ = ProgressStep;
        observer_.Progress(entryName_, plannedSize_, 0);
        return 0;
    case ZIP_SOURCE_READ:
        return Read(static_cast<unsigned char*>(data), static_cast<std::size_t>(length));
    case ZIP_SOURCE_CLOSE:
        return 0;
    case ZIP_SOURCE_STAT: {
        // Before the data is read the writer needs the method and the size;
        // after it, the checksum and the size as read.
        auto* st = static_cast<zip_stat_t*>(data);
        zip_stat_init(st);
        st->size = ended_ ? done_ : plannedSize_;
        st->mtime = mtime_;
        st->comp_method = compressed_ ? ZIP_CM_DEFLATE : ZIP_CM_STORE;
        st->valid |= ZIP_STAT_SIZE | ZIP_STAT_MTIME | ZIP_STAT_COMP_METHOD;
        if (ended_) {
            st->crc = crc_;
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
