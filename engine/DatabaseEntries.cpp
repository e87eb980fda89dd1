// Stages a database's entry and its log's beside the target, and puts them in place only when both are whole.

#include "engine/DatabaseEntries.h"

#include "platform/LiveTemporaries.h"
#include "profile/SqliteFiles.h"

#include <unistd.h>

namespace quillbank {

TDatabaseEntriesResult WriteDatabaseEntries(zip_t* archive, std::uint64_t databaseIndex,
                                            std::optional<std::uint64_t> logIndex, const std::string& target,
                                            const std::string& password, TReadBuffer& buffer,
                                            std::string stagedDatabase)
{
    TDatabaseEntriesResult outcome;
    if (stagedDatabase.empty())
        outcome.Result =
            StageEntryFile(archive, databaseIndex, target, password, buffer, stagedDatabase, outcome.Problem);
    if (outcome.Result != TReadResult::Ok)
        return outcome;
    std::string stagedLog;
    if (logIndex) {
        outcome.Result = StageEntryFile(archive, *logIndex, WriteAheadLogName(target), password, buffer,
                                        stagedLog, outcome.Problem);
        if (outcome.Result != TReadResult::Ok) {
            outcome.LogFailed = true;
            unlink(stagedDatabase.c_str());
            ForgetTemporary(stagedDatabase);
            return outcome;
        }
    }
    bool databaseReplaced = false;
    outcome.Problem = ReplaceDatabaseFiles(target, stagedDatabase, stagedLog, databaseReplaced);
    // Renamed into place or removed: the temporaries are gone either way.
    ForgetTemporary(stagedDatabase);
    if (!stagedLog.empty())
        ForgetTemporary(stagedLog);
    if (outcome.Problem.empty()) {
        outcome.Written = logIndex ? 2 : 1;
        return outcome;
    }
    outcome.Result = TReadResult::SinkFailed;
    // The database may be in when only its log could not follow.
    outcome.LogFailed = databaseReplaced;
    outcome.Written = databaseReplaced ? 1 : 0;
    return outcome;
}

} // namespace quillbank
