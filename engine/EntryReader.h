// Reads one archive entry, decrypting and checking it, and writes it to a file only when it is whole.

#pragma once

#include "engine/WinZipAes.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>
#include <zip.h>

namespace quillbank {

class TNamelessFile;

enum class TReadResult
{
    Ok,
    WrongPassword,
    Damaged,
    SinkFailed,
};

using TEntrySink = std::function<bool(const char* data, std::size_t size)>;

/// Working memory of one reading thread, kept from entry to entry.
using TReadBuffer = std::vector<char>;

/// Reads one entry to its end into `sink`, decrypting it with `password`,
/// and checks its size and checksum. `knownKeys` (when given) are keys
/// derived from that same password. Safe to run on several threads at once,
/// each with its own archive handle.
TReadResult ReadArchiveEntry(zip_t* archive, std::uint64_t index, const std::string& password,
                             const TEntrySink& sink, TReadBuffer& buffer,
                             const winzip_aes::TKnownKeys* knownKeys = nullptr);

/// Writes one entry to a new file beside `target` (whose folder exists) and
/// leaves `target` alone: on success `staged` names the complete and intact
/// file, which takes the entry's time; on failure nothing is left and
/// `problem` says what went wrong with the target.
TReadResult StageEntryFile(zip_t* archive, std::uint64_t index, const std::string& target,
                           const std::string& password, TReadBuffer& buffer, std::string& staged,
                           std::string& problem);

/// Writes one entry to `target` (whose folder exists): beside it first, and
/// over it only when complete and intact, so a failed extraction never
/// leaves half a file in place of a good one. The file takes the entry's
/// time. On failure `problem` says what went wrong with the target.
TReadResult WriteEntryFile(zip_t* archive, std::uint64_t index, const std::string& target,
                           const std::string& password, TReadBuffer& buffer, std::string& problem);

/// Gives the open file `fd` the time entry `index` records.
void SetEntryTime(zip_t* archive, std::uint64_t index, int fd);

/// Gives the complete file `file` the time entry `index` records and the
/// name `target`; SinkFailed, with `problem` saying why, when it cannot.
TReadResult PublishEntryFile(zip_t* archive, std::uint64_t index, TNamelessFile& file,
                             const std::string& target, std::string& problem);

} // namespace quillbank
