// Picks each external mail folder's archive name, adding "~<n>" where its own name is taken.

#include "engine/ExternalFolderNames.h"

#include "engine/ArchiveHeader.h"
#include "engine/BackupTask.h"
#include "engine/Catalogue.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

#include <map>
#include <set>
#include <utility>

namespace quillbank {

namespace {

std::string TopLevelName(std::string_view path)
{
    return ToLowerAscii(path.substr(0, path.find('/')));
}

/// The top-level names, in lower case, that the profile's part of the
/// archive holds or that a restore extracts into the profile.
std::set<std::string> ProfileTopLevelNames(const TBackupTask& task)
{
    std::set<std::string> names = {TopLevelName(ArchiveHeaderName)};
    for (const std::string& file : task.Files())
        names.insert(TopLevelName(file));
    for (const TRestoreComponent& component : RestoreComponents()) {
        for (std::string_view file : component.Files)
            names.insert(TopLevelName(file));
        for (const TFolderMask& folder : component.Folders)
            if (!folder.Folder.empty())
                names.insert(TopLevelName(folder.Folder));
    }
    for (const TFolderMask& folder : EmailsBackup().FullProfileFolders)
        names.insert(TopLevelName(folder.Folder));
    return names;
}

} // namespace

void NameExternalFolders(TBackupTask& task, std::vector<TMailFolder>& folders)
{
    std::set<std::string> taken = ProfileTopLevelNames(task);
    std::map<std::string, int> uses;
    for (const TMailFolder& folder : folders)
        ++uses[ToLowerAscii(ExtractFileName(folder.Path))];
    // Folders whose own name is free keep it, and it is taken from then on.
    std::vector<TMailFolder*> renamed;
    for (TMailFolder& folder : folders) {
        folder.ArchiveFolder = ExtractFileName(folder.Path);
        const std::string key = ToLowerAscii(folder.ArchiveFolder);
        if (uses[key] == 1 && !taken.contains(key))
            taken.insert(key);
        else
            renamed.push_back(&folder);
    }
    for (TMailFolder* folder : renamed) {
        const std::string name = std::exchange(folder->ArchiveFolder, {});
        for (int number = 1; folder->ArchiveFolder.empty(); ++number) {
            const std::string candidate = name + "~" + std::to_string(number);
            if (taken.insert(ToLowerAscii(candidate)).second)
                folder->ArchiveFolder = candidate;
        }
        task.StoreExternalFolderAs(ExtractFileDir(folder->Path), name, folder->ArchiveFolder);
    }
}

} // namespace quillbank
