// Writes the kept files beside their places, renames them all in, then removes what the restore created.

#include "engine/UndoRestore.h"

#include "engine/ArchiveReaders.h"
#include "engine/EntryReader.h"
#include "platform/FileSystem.h"
#include "platform/StagedFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace quillbank {

namespace {

struct TStagedReplacement
{
    std::string Staged;
    std::string Target;
};

/// The kept files written beside their places; each one staged is removed
/// again unless it was renamed into place.
class TStagedReplacements
{
public:
    ~TStagedReplacements()
    {
        for (const TStagedReplacement& file : files_)
            std::remove(file.Staged.c_str());
    }

    void Stage(TArchiveReaders& readers, const std::map<std::string, std::uint64_t>& entries,
               const std::string& target)
    {
        const auto entry = entries.find(RollbackEntryName(target));
        if (entry == entries.end())
            throw ERollbackError("the rollback archive lacks " + target);
        std::error_code error;
        fs::create_directories(ExtractFileDir(target), error);
        std::string staged, problem;
        if (StageEntryFile(readers.Handle(), entry->second, target, "", buffer_, staged, problem) !=
            TReadResult::Ok)
            throw ERollbackError("cannot put back " + target + ": " + problem);
        files_.push_back({std::move(staged), target});
    }

    /// Renames every staged file over its place; the first failure is thrown
    /// once all have been tried.
    void Commit()
    {
        std::string failure;
        std::set<std::string> folders;
        for (const TStagedReplacement& file : files_) {
            if (std::rename(file.Staged.c_str(), file.Target.c_str()) != 0 && failure.empty())
                failure = "cannot put back " + file.Target + ": " + std::strerror(errno);
            folders.insert(ExtractFileDir(file.Target));
        }
        for (const std::string& folder : folders)
            SyncFolder(folder);
        if (!failure.empty())
            throw ERollbackError(failure);
        files_.clear();
    }

private:
    std::vector<TStagedReplacement> files_;
    TReadBuffer buffer_;
};

} // namespace

void RemoveCreatedFiles(const TRollbackManifest& manifest)
{
    for (const std::string& path : manifest.Created) {
        struct stat info = {};
        if (::lstat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode))
            ::unlink(path.c_str());
    }
    // Deepest first; a folder that holds anything stays.
    for (auto folder = manifest.CreatedFolders.rbegin(); folder != manifest.CreatedFolders.rend(); ++folder)
        ::rmdir(folder->c_str());
}

void UndoRestore(const TStoredRollback& rollback)
{
    TArchiveReaders readers(rollback.Path, true);
    std::string error;
    if (!readers.Open(error))
        throw ERollbackError("cannot read the rollback archive " + rollback.Path + ": " + error);
    std::map<std::string, std::uint64_t> entries;
    for (std::uint64_t i = 0; i < readers.EntryCount(); ++i)
        entries.emplace(readers.Name(i), i);
    TStagedReplacements replacements;
    for (const std::string& path : rollback.Manifest.Replaced)
        replacements.Stage(readers, entries, path);
    replacements.Commit();
    RemoveCreatedFiles(rollback.Manifest);
    MarkUndone(rollback);
}

} // namespace quillbank
