// Recognises SQLite databases and their companion files, and swaps in a database and its log crash-safely.

#include "profile/SqliteFiles.h"

#include "platform/NameBeside.h"
#include "platform/Text.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillbank {

namespace {

constexpr std::string_view DatabaseExtension = ".sqlite";
constexpr std::array<std::string_view, 3> SqliteStores = {"key4.db", "cert9.db", "logins.db"};
constexpr std::string_view WalSuffix = "-wal";
constexpr std::string_view ShmSuffix = "-shm";

bool EndsWithIgnoreCase(std::string_view text, std::string_view end)
{
    return text.size() >= end.size() && EqualsIgnoreCase(text.substr(text.size() - end.size()), end);
}

} // namespace

bool IsSqliteDatabase(std::string_view name)
{
    const std::string_view fileName = name.substr(name.find_last_of('/') + 1);
    return EndsWithIgnoreCase(fileName, DatabaseExtension) ||
           std::ranges::any_of(SqliteStores, [fileName](std::string_view store) {
               return EqualsIgnoreCase(fileName, store);
           });
}

std::string WriteAheadLogName(std::string_view database)
{
    return std::string(database) + std::string(WalSuffix);
}

bool IsSqliteCompanion(std::string_view name)
{
    for (std::string_view suffix : {WalSuffix, ShmSuffix})
        if (EndsWithIgnoreCase(name, suffix) && IsSqliteDatabase(name.substr(0, name.size() - suffix.size())))
            return true;
    return false;
}

// SQLite replays any "-wal" whose frames are consistent with their own header
// onto the database beside it: nothing ties a log to its database. So the
// target's files change in this order, each step a single rename or removal,
// and a run killed between two steps leaves one whole database, never a
// database beside another database's log:
//   1. the old log is renamed aside       -> old database alone
//   2. the old "-shm" is removed           -> old database alone
//   3. the new database is renamed in      -> new database alone
//   4. the new log is renamed in           -> new database with its log
//   5. the old log, kept aside, is removed
// A database alone is whole as of its last checkpoint; only the rows still in
// its log are missing until step 4. The old "-shm" is only an index of the old
// log, which SQLite rebuilds, so removing it is safe at any time before the
// new database arrives. Until step 3 a failure puts the old log back.
std::string ReplaceDatabaseFiles(const std::string& databasePath, const std::string& stagedDatabase,
                                 const std::string& stagedLog, bool& databaseReplaced)
{
    databaseReplaced = false;
    const std::string log = WriteAheadLogName(databasePath);
    const std::string index = databasePath + std::string(ShmSuffix);
    auto failure = [](std::string_view what, const std::string& path) {
        return "cannot " + std::string(what) + " " + path + ": " + std::strerror(errno);
    };
    auto discardStaged = [&] {
        unlink(stagedDatabase.c_str());
        if (!stagedLog.empty())
            unlink(stagedLog.c_str());
    };
    std::string asideLog;
    struct stat info;
    if (lstat(log.c_str(), &info) == 0) {
        asideLog = TemporaryTemplateBeside(log);
        const int reserved = mkostemp(asideLog.data(), O_CLOEXEC);
        if (reserved < 0 || close(reserved) != 0 || rename(log.c_str(), asideLog.c_str()) != 0) {
            const std::string problem = failure("set aside", log);
            if (reserved >= 0)
                unlink(asideLog.c_str());
            discardStaged();
            return problem;
        }
    }
    auto putBackLog = [&] {
        if (!asideLog.empty())
            rename(asideLog.c_str(), log.c_str());
    };
    if (unlink(index.c_str()) != 0 && errno != ENOENT) {
        const std::string problem = failure("remove", index);
        putBackLog();
        discardStaged();
        return problem;
    }
    if (rename(stagedDatabase.c_str(), databasePath.c_str()) != 0) {
        const std::string problem = failure("replace", databasePath);
        putBackLog();
        discardStaged();
        return problem;
    }
    databaseReplaced = true;
    std::string problem;
    if (!stagedLog.empty() && rename(stagedLog.c_str(), log.c_str()) != 0) {
        problem = failure("replace", log);
        unlink(stagedLog.c_str());
    }
    if (!asideLog.empty())
        unlink(asideLog.c_str());
    return problem;
}

} // namespace quillbank
