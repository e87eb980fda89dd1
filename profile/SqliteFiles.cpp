#include "profile/SqliteFiles.h"

#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "profile/RemoveFileOrLog.h"

#include <algorithm>
#include <array>

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

void RemoveDatabaseLogs(const std::string& databasePath)
{
    RemoveFileOrLog(databasePath + std::string(WalSuffix));
    RemoveFileOrLog(databasePath + std::string(ShmSuffix));
}

void RemoveLogsOfReplacedDatabases(const std::string& profileDir, const std::vector<std::string>& entryNames,
                                   const std::vector<std::string>& specs)
{
    std::vector<std::string> patterns;
    for (const std::string& spec : specs)
        patterns.push_back(NormalizedSpec(spec));
    for (const std::string& entry : entryNames) {
        const std::string name = ReplaceAll(entry, "\\", "/");
        if (!IsSqliteDatabase(name) || !IsConfinedPath(name))
            continue;
        if (MatchesAnySpec(name, patterns))
            RemoveDatabaseLogs(IncludeTrailingSeparator(profileDir) + name);
    }
}

} // namespace quillbank
