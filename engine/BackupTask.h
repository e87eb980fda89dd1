// The backup task: the files a backup will save and their sizes, collected before anything is archived.

#pragma once

#include "engine/BackupTaskExternal.h"
#include "platform/UserInterface.h"
#include "vocabulary/ComponentBoxes.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace quillbank {

/// A file that exists but cannot be opened to learn its size; the message
/// names the path and the reason.
class ETaskFileError : public std::runtime_error
{
public:
    using runtime_error::runtime_error;
};

/// What a task knows of a listed file besides its name.
struct TListedFileInfo
{
    /// The component the file was listed for; nothing for an unknown entry.
    std::optional<TComponentBox> Component;
    std::int64_t Size = 0;
    /// When it last changed, as listed.
    std::time_t Modified = 0;
};

/**
 * The files a backup saves, collected before anything is archived: names
 * relative to the profile, files that lie outside it, and the sum of their
 * sizes. Nothing is read or copied while collecting; a file is listed when it
 * exists, and its size comes from the file system.
 *
 * Names inside a folder are looked up as a case-insensitive file system would
 * and listed as they are spelt on disk. Symbolic links are followed; dangling
 * links and special files (fifos, sockets, devices) are not listed.
 */
class TBackupTask
{
public:
    /// `baseDir`: the profile folder the task is for (ends with "/").
    /// `profileDir`: the profile folder the wizard works on; a file found by a
    /// listing below it (by whole path components) is a profile file, any
    /// other file is external. `ui` lets pending events run during long listings.
    TBackupTask(std::string baseDir, std::string profileDir, TUserInterface& ui);

    /// Lists the file at BaseDir + `relativeName` when it exists.
    /// Throws ETaskFileError when it exists but cannot be opened.
    void AddFile(const std::string& relativeName);
    /// Lists the file at `sourceFolder` + `relativeName` as an external file
    /// when it exists. Throws ETaskFileError when it cannot be opened.
    void AddExternal(const std::string& relativeName, const std::string& sourceFolder);
    /// ListFolder below BaseDir; an empty folder is BaseDir itself.
    void AddFolder(const std::string& relativeFolder, const std::string& mask);
    /**
     * Lists `folder` below `root` by `mask`. With "*.*" that is the whole tree
     * except sub-trees whose relative path contains ".mozmsgs". With any other
     * mask a folder's matching entries are taken (matching folders are listed
     * by the same rule), and only when none match are its sub-folders searched,
     * each by the same rule.
     */
    void ListFolder(const std::string& folder, const std::string& mask, const std::string& root);

    /// Stores the external files listed from `folderName` below `sourceDir`
    /// under the top-level archive folder `archiveFolder` instead.
    void StoreExternalFolderAs(const std::string& sourceDir, const std::string& folderName,
                               const std::string& archiveFolder);
    /// Files listed from now on are listed for `component`; nothing (as at
    /// the start) stands for the unknown entries.
    void SetComponent(std::optional<TComponentBox> component) { component_ = component; }

    const std::string& BaseDir() const { return baseDir_; }
    const std::vector<std::string>& Files() const { return files_; }
    const std::vector<TBackupTaskExternal>& ExternalFiles() const { return externalFiles_; }
    /// One for each of Files() and of ExternalFiles(), in the same order.
    const std::vector<TListedFileInfo>& FileInfos() const { return fileInfos_; }
    const std::vector<TListedFileInfo>& ExternalInfos() const { return externalInfos_; }
    std::int64_t TotalBytes() const { return totalBytes_; }

private:
    struct TVisitedFolders;

    /// Adds a file found by listing `root` (ending with a separator), whose
    /// name is therefore spelt as on disk; `status` as the listing found it
    /// (nothing when it is no regular file), `inProfile` whether its folder
    /// lies in the profile.
    void AddListedFile(const std::string& root, const std::string& relativeName,
                       const std::optional<TListedFileInfo>& status, bool inProfile);
    /// Keeps a file with its size and time, for the component being listed.
    void KeepFile(std::string relativeName, TListedFileInfo info);
    void KeepExternal(TBackupTaskExternal external, TListedFileInfo info);
    void ListFolderOnce(const std::string& folder, const std::string& mask, const std::string& root,
                        TVisitedFolders& visited);

    std::string baseDir_;
    std::vector<std::string> files_;
    std::vector<TBackupTaskExternal> externalFiles_;
    std::vector<TListedFileInfo> fileInfos_;
    std::vector<TListedFileInfo> externalInfos_;
    std::optional<TComponentBox> component_;
    std::int64_t totalBytes_ = 0;
    std::string profileDir_;
    TUserInterface& ui_;
};

} // namespace quillbank
