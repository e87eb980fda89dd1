// Reads a mapped entry piece by piece: each piece decrypted at its offset, decoded alone, checked together.

#include "engine/PiecedEntry.h"

#include "engine/EntryParts.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <libdeflate.h>
#include <unistd.h>
#include <utility>
#include <zlib.h>

namespace quillbank {

namespace {

/// A final empty stored block: it ends the stream a piece leaves open.
constexpr std::array<std::uint8_t, 5> StreamEnd = {0x01, 0x00, 0x00, 0xFF, 0xFF};
constexpr std::size_t MacChunk = 1u << 20;
/// Decoded pieces that may wait for the worker writing their file.
constexpr std::size_t MaxWaitingPieces = 8;

} // namespace

std::unique_ptr<TPiecedEntry> TPiecedEntry::Plan(zip_t* archive, std::uint64_t index)
{
    zip_stat_t info;
    constexpr auto needed = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD;
    if (zip_stat_index(archive, index, 0, &info) != 0 || (info.valid & needed) != needed ||
        info.comp_method != ZIP_CM_DEFLATE || info.size <= WholeEntryLimit)
        return nullptr;
    const bool encrypted = (info.valid & ZIP_STAT_ENCRYPTION_METHOD) && info.encryption_method != ZIP_EM_NONE;
    const std::size_t keySize = encrypted ? AesKeySize(info.encryption_method) : 0;
    if (encrypted && keySize == 0)
        return nullptr;
    const std::uint64_t overhead = keySize > 0 ? winzip_aes::HeaderSize(keySize) + winzip_aes::MacSize : 0;
    if (info.comp_size <= overhead)
        return nullptr;
    std::optional<TPieceMap> map = ReadPieceMap(archive, index, info.size, info.comp_size - overhead);
    if (!map)
        return nullptr;
    std::unique_ptr<TPiecedEntry> entry(new TPiecedEntry);
    entry->index_ = index;
    entry->size_ = info.size;
    // An AES entry with an empty checksum is vouched for by its code alone.
    if ((info.valid & ZIP_STAT_CRC) && !(keySize > 0 && info.crc == 0))
        entry->crc_ = info.crc;
    entry->keySize_ = keySize;
    entry->map_ = std::move(*map);
    std::uint64_t offset = 0;
    for (const std::uint32_t size : entry->map_.CompressedSizes) {
        entry->offsets_.push_back(offset);
        offset += size;
    }
    entry->crcs_.resize(entry->map_.Count());
    return entry;
}

TPiecedEntry::~TPiecedEntry() = default;

bool TPiecedEntry::StageBeside(const std::string& target, TWriting writing)
{
    file_ = std::make_unique<TNamelessFile>();
    if (!file_->Open(target)) {
        file_.reset();
        return false;
    }
    // Filling the page cache with a large file takes one core for as long
    // as decoding it takes the others, one writer at a time: the pieces go
    // straight to the disk instead, each worker writing its own.
    const int directFd = writing == TWriting::StraightToDisk && map_.PieceSize % DirectIoAlignment == 0
                             ? file_->DirectFd(size_)
                             : -1;
    if (directFd >= 0)
        directWriter_ = std::make_unique<TWriterThread>(
            map_.PieceSize, map_.Count(),
            [this, directFd](std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
                return WriteStraightToDisk(
                    directFd, offset, data, size,
                    [this](std::uint64_t at, const std::uint8_t* bytes, std::size_t count) {
                        WritePiece(at, bytes, count);
                        return true;
                    });
            });
    return true;
}

TReadResult TPiecedEntry::Finish(const std::string& target, std::string& problem)
{
    if (directWriter_ && !directWriter_->Finish())
        Fail(TReadResult::SinkFailed);
    // A piece may have been left waiting as the last writer finished.
    if (failure_.load() == TReadResult::Ok && !WriteWaiting())
        Fail(TReadResult::SinkFailed);
    // The last piece went to the disk in whole blocks.
    if (directWriter_ && failure_.load() == TReadResult::Ok &&
        ::ftruncate(file_->Fd(), static_cast<off_t>(size_)) != 0)
        Fail(TReadResult::SinkFailed);
    const TReadResult result = Result();
    if (result == TReadResult::SinkFailed)
        problem = "cannot write " + target;
    return result;
}

TReadResult TPiecedEntry::Place(zip_t* archive, const std::string& target, std::string& problem)
{
    const TReadResult result = Finish(target, problem);
    if (result != TReadResult::Ok)
        return result; // the file goes with this entry
    return PublishEntryFile(archive, index_, *file_, target, problem);
}

TReadResult TPiecedEntry::Stage(zip_t* archive, const std::string& target, std::string& staged,
                                std::string& problem)
{
    const TReadResult result = Finish(target, problem);
    if (result != TReadResult::Ok)
        return result;
    SetEntryTime(archive, index_, file_->Fd());
    if (file_->NameTemporarily(staged))
        return TReadResult::Ok;
    problem = "cannot write " + target + ": " + std::strerror(errno);
    return TReadResult::SinkFailed;
}

void TPiecedEntry::Fail(TReadResult result)
{
    TReadResult expected = TReadResult::Ok;
    failure_.compare_exchange_strong(expected, result);
}

zip_file_t* TPiecedEntry::OpenAt(zip_t* archive, std::uint64_t offset) const
{
    const zip_flags_t flags = ZIP_FL_COMPRESSED | (keySize_ > 0 ? ZIP_FL_ENCRYPTED : 0);
    zip_file_t* file = zip_fopen_index(archive, index_, flags);
    if (file == nullptr)
        return nullptr;
    const std::uint64_t header = keySize_ > 0 ? winzip_aes::HeaderSize(keySize_) : 0;
    if (zip_fseek(file, static_cast<zip_int64_t>(header + offset), SEEK_SET) != 0) {
        zip_fclose(file);
        return nullptr;
    }
    return file;
}

const winzip_aes::TKeys* TPiecedEntry::Keys(zip_t* archive, const std::string& password,
                                            const winzip_aes::TKnownKeys* knownKeys)
{
    std::call_once(keysOnce_, [&] {
        if (password.empty()) {
            Fail(TReadResult::WrongPassword);
            return;
        }
        std::array<std::uint8_t, winzip_aes::HeaderSize()> header{};
        zip_file_t* file = zip_fopen_index(archive, index_, ZIP_FL_COMPRESSED | ZIP_FL_ENCRYPTED);
        const bool read =
            file != nullptr && ReadExactly(file, header.data(), winzip_aes::HeaderSize(keySize_));
        if (file != nullptr)
            zip_fclose(file);
        if (!read) {
            Fail(TReadResult::Damaged);
            return;
        }
        keys_ = KeysFor(header.data(), keySize_, password, knownKeys);
        if (!keys_)
            Fail(TReadResult::WrongPassword);
    });
    return keys_ ? &*keys_ : nullptr;
}

bool TPiecedEntry::Run(zip_t* archive, std::size_t task, const std::string& password, TReadBuffer& buffer,
                       const winzip_aes::TKnownKeys* knownKeys)
{
    if (failure_.load() != TReadResult::Ok)
        return false;
    if (keySize_ > 0 && Keys(archive, password, knownKeys) == nullptr)
        return false;
    // An encrypted entry's code comes first, so that it is computed while
    // the other workers decode the pieces.
    bool done = false;
    if (keySize_ == 0)
        done = DecodePiece(archive, task, buffer);
    else
        done = task == 0 ? Authenticate(archive, buffer) : DecodePiece(archive, task - 1, buffer);
    return done && failure_.load() == TReadResult::Ok;
}

bool TPiecedEntry::DecodePiece(zip_t* archive, std::size_t piece, TReadBuffer& buffer)
{
    const bool last = piece + 1 == map_.Count();
    const std::size_t stored = map_.CompressedSizes[piece];
    const std::uint64_t start = std::uint64_t{map_.PieceSize} * piece;
    const auto expected = static_cast<std::size_t>(last ? size_ - start : map_.PieceSize);
    const std::size_t input = stored + (last ? 0 : StreamEnd.size());
    // Pieces written straight to the disk are decoded into the direct
    // writer's aligned buffers, in whole blocks; the others after the input.
    TWriterThread::TBuffer directBuffer = directWriter_ ? directWriter_->Buffer(start) : nullptr;
    const std::size_t room = directBuffer ? WholeDirectBlocks(expected) : expected;
    if (buffer.size() < input + (directBuffer ? 0 : room))
        buffer.resize(input + (directBuffer ? 0 : room));
    auto* compressed = reinterpret_cast<std::uint8_t*>(buffer.data());
    std::uint8_t* output = directBuffer ? directBuffer.get() : compressed + input;
    const auto giveBack = [&] {
        if (directBuffer)
            directWriter_->GiveBack(std::move(directBuffer));
    };
    zip_file_t* file = OpenAt(archive, offsets_[piece]);
    const bool read = file != nullptr && ReadExactly(file, compressed, stored);
    if (file != nullptr)
        zip_fclose(file);
    if (!read) {
        giveBack();
        Fail(TReadResult::Damaged);
        return false;
    }
    if (keySize_ > 0)
        winzip_aes::ApplyKeyStreamAt(*keys_, offsets_[piece], compressed, stored);
    if (!last)
        std::copy(StreamEnd.begin(), StreamEnd.end(), compressed + stored);
    // Every byte of the piece must belong to its blocks, and they must give
    // exactly the piece's share of the file.
    std::size_t consumed = 0;
    std::size_t produced = 0;
    if (libdeflate_deflate_decompress_ex(ThreadDecompressor(), compressed, input, output, expected, &consumed,
                                         &produced) != LIBDEFLATE_SUCCESS ||
        consumed != input || produced != expected) {
        giveBack();
        Fail(TReadResult::Damaged);
        return false;
    }
    crcs_[piece] = libdeflate_crc32(0, output, expected);
    if (directBuffer) {
        std::fill(output + expected, output + room, std::uint8_t{0});
        directWriter_->Write(std::move(directBuffer), start, expected);
    } else if (file_) {
        WritePiece(start, output, expected);
    }
    return failure_.load() == TReadResult::Ok;
}

void TPiecedEntry::WritePiece(std::uint64_t offset, const std::uint8_t* data, std::size_t size)
{
    // Two threads writing one file wait on each other in the kernel, the
    // waiting one spinning: a worker that finds the file busy leaves its
    // piece to the one writing it (a few at most) and decodes on.
    std::unique_lock writer(writing_, std::try_to_lock);
    if (!writer) {
        std::lock_guard lock(waitingMutex_);
        if (waiting_.size() < MaxWaitingPieces) {
            std::vector<std::uint8_t> copy(data, data + size);
            waiting_.emplace_back(offset, std::move(copy));
            return;
        }
    }
    if (!writer)
        writer.lock();
    if (!WriteAll(file_->Fd(), data, size, offset) || !WriteWaiting())
        Fail(TReadResult::SinkFailed);
}

bool TPiecedEntry::WriteWaiting()
{
    for (;;) {
        std::vector<std::pair<std::uint64_t, std::vector<std::uint8_t>>> batch;
        {
            std::lock_guard lock(waitingMutex_);
            batch.swap(waiting_);
        }
        if (batch.empty())
            return true;
        for (const auto& [offset, bytes] : batch)
            if (!WriteAll(file_->Fd(), bytes.data(), bytes.size(), offset))
                return false;
    }
}

bool TPiecedEntry::Authenticate(zip_t* archive, TReadBuffer& buffer)
{
    const std::uint64_t stored = offsets_.back() + map_.CompressedSizes.back();
    zip_file_t* file = OpenAt(archive, 0);
    if (file == nullptr) {
        Fail(TReadResult::Damaged);
        return false;
    }
    if (buffer.size() < MacChunk)
        buffer.resize(MacChunk);
    auto* data = reinterpret_cast<std::uint8_t*>(buffer.data());
    winzip_aes::TAuthenticator authenticator(*keys_);
    bool read = true;
    for (std::uint64_t done = 0; read && done < stored && failure_.load() == TReadResult::Ok;) {
        const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(MacChunk, stored - done));
        read = ReadExactly(file, data, size);
        authenticator.Update(data, size);
        done += size;
    }
    std::array<std::uint8_t, winzip_aes::MacSize> mac{};
    read = read && ReadExactly(file, mac.data(), mac.size());
    zip_fclose(file);
    if (failure_.load() != TReadResult::Ok)
        return false;
    if (!read || mac != authenticator.Mac()) {
        Fail(TReadResult::Damaged);
        return false;
    }
    return true;
}

TReadResult TPiecedEntry::Result() const
{
    if (const TReadResult failure = failure_.load(); failure != TReadResult::Ok)
        return failure;
    if (!crc_)
        return TReadResult::Ok;
    std::uint32_t crc = crcs_.front();
    for (std::size_t piece = 1; piece < crcs_.size(); ++piece) {
        const std::uint64_t length =
            piece + 1 == crcs_.size() ? size_ - std::uint64_t{map_.PieceSize} * piece : map_.PieceSize;
        crc = static_cast<std::uint32_t>(crc32_combine(crc, crcs_[piece], static_cast<z_off_t>(length)));
    }
    return crc == *crc_ ? TReadResult::Ok : TReadResult::Damaged;
}

std::vector<std::pair<std::size_t, std::size_t>>
ReadTasks(const std::vector<std::unique_ptr<TPiecedEntry>>& pieced)
{
    std::vector<std::pair<std::size_t, std::size_t>> tasks;
    tasks.reserve(pieced.size());
    for (std::size_t entry = 0; entry < pieced.size(); ++entry) {
        const std::size_t count = pieced[entry] ? pieced[entry]->TaskCount() : 1;
        for (std::size_t task = 0; task < count; ++task)
            tasks.emplace_back(entry, task);
    }
    return tasks;
}

} // namespace quillbank
