#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillbank {

/**
 * SQLite databases of a profile and the files SQLite keeps beside them. An
 * application that crashed or was ended early keeps its latest changes in
 * the database's "-wal" file, so that file travels with the database. The
 * "-shm" file is only an index of the "-wal" file and never travels.
 */

/// Whether a profile file name (or a mask for file names) stands for an
/// SQLite database: a ".sqlite" file, or one of the SQLite stores of today's
/// security and login databases ("key4.db", "cert9.db", "logins.db").
bool IsSqliteDatabase(std::string_view name);

/// The name of the write-ahead log beside a database (or of the logs a mask
/// for databases stands for).
std::string WriteAheadLogName(std::string_view database);

/// Whether a file name is one of SQLite's files beside a database ("-wal" or
/// "-shm"), which are never offered on their own.
bool IsSqliteCompanion(std::string_view name);

/**
 * Removes the "-wal" and "-shm" files of the database at `databasePath`:
 * when a restore replaces a database, SQLite would otherwise replay the old
 * profile's log onto the restored database and corrupt it. A file that
 * cannot be removed is one line in the error log.
 */
void RemoveDatabaseLogs(const std::string& databasePath);

/**
 * Prepares a profile for extracting archive entries: every entry named in
 * `entryNames` that is a database and matches one of `specs` (the specs an
 * extraction is about to be given) has the target's logs removed first.
 * Entries that would lie outside the profile are left alone.
 */
void RemoveLogsOfReplacedDatabases(const std::string& profileDir, const std::vector<std::string>& entryNames,
                                   const std::vector<std::string>& specs);

} // namespace quillbank
