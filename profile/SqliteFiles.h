// A profile's SQLite databases and their "-wal" and "-shm" files: recognising them and replacing them safely.

#pragma once

#include <string>
#include <string_view>

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
 * Puts a database staged beside `databasePath` in place of the database
 * there, with the log staged beside it (`stagedLog`; empty when the backup
 * has none): afterwards the target's "-wal" is the new log or gone, and its
 * "-shm" is gone. Returns what went wrong, empty on success; `databaseReplaced`
 * says whether the new database is in place (it is, alone, when only its
 * log could not follow). When it is not, the target's database and log are
 * as they were. The staged files never stay.
 */
std::string ReplaceDatabaseFiles(const std::string& databasePath, const std::string& stagedDatabase,
                                 const std::string& stagedLog, bool& databaseReplaced);

} // namespace quillbank
