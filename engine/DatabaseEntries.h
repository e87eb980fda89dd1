// Restores a database's entry together with its log's entry, so that a database and its log stay in step.

#pragma once

#include "engine/EntryReader.h"

#include <cstdint>
#include <optional>
#include <string>
#include <zip.h>

namespace quillbank {

/// What became of a database's entry and of its log's entry.
struct TDatabaseEntriesResult
{
    TReadResult Result = TReadResult::Ok;
    /// Whether the failure is the log's rather than the database's.
    bool LogFailed = false;
    /// Entries now in place: none, the database alone (its log could not be
    /// put beside it), or both.
    int Written = 0;
    std::string Problem;
};

/**
 * Writes a database's entry to `target` together with its log's entry
 * (`logIndex`; none when the archive holds no log): both are read
 * completely and checked beside the target first, and only then replace the
 * target's database, "-wal" and "-shm" together. When either entry fails,
 * the target's files stay as they were. `stagedDatabase`: the database's
 * entry already read and checked into that temporary beside the target (a
 * large one is read in pieces on every core); empty to read it here.
 */
TDatabaseEntriesResult WriteDatabaseEntries(zip_t* archive, std::uint64_t databaseIndex,
                                            std::optional<std::uint64_t> logIndex, const std::string& target,
                                            const std::string& password, TReadBuffer& buffer,
                                            std::string stagedDatabase = {});

} // namespace quillbank
