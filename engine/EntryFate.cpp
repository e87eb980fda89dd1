// Decides an entry's fate by the leave-out rules first, then by the components of the catalogue that take it.

#include "engine/EntryFate.h"

#include "engine/Catalogue.h"
#include "engine/Extensions.h"
#include "platform/Text.h"

#include <algorithm>
#include <span>

namespace quillbank {

namespace {

/// An entry of the profile root that no component takes, and why.
struct TLeaveOutRule
{
    std::string_view Name;
    bool IsDirectory;
    TEntryFate Fate;
};

constexpr TLeaveOutRule LeaveOutRules[] = {
    {".parentlock", false, TEntryFate::LockFile},
    {"parent.lock", false, TEntryFate::LockFile},
    {"lock", false, TEntryFate::LockFile},
    // The application's version and installation folder at the last start.
    {"compatibility.ini", false, TEntryFate::RebuiltCache},
    // Thunderbird's summary of every mail folder, rebuilt from their indexes.
    {"folderCache.json", false, TEntryFate::RebuiltCache},
    // Start-up, network, thumbnail and safe-browsing caches, crash and
    // telemetry reports: filled again by the applications themselves.
    {"startupCache", true, TEntryFate::RebuiltCache},
    {"cache2", true, TEntryFate::RebuiltCache},
    {"thumbnails", true, TEntryFate::RebuiltCache},
    {"safebrowsing", true, TEntryFate::RebuiltCache},
    {"crashes", true, TEntryFate::RebuiltCache},
    {"minidumps", true, TEntryFate::RebuiltCache},
    {"datareporting", true, TEntryFate::RebuiltCache},
    {"saved-telemetry-pings", true, TEntryFate::RebuiltCache},
};

/// The mask a folder entry takes all its files with.
constexpr std::string_view EveryFile = "*.*";

bool FilesTake(std::span<const std::string_view> files, std::string_view name, bool isDirectory)
{
    return !isDirectory &&
           std::ranges::any_of(files, [name](std::string_view file) { return EqualsIgnoreCase(file, name); });
}

/// A mask of the profile root takes the files it matches; a folder entry
/// takes its folder whole only with every file.
bool FoldersTake(std::span<const TFolderMask> folders, std::string_view name, bool isDirectory)
{
    return std::ranges::any_of(folders, [name, isDirectory](const TFolderMask& folder) {
        return isDirectory ? folder.Mask == EveryFile && EqualsIgnoreCase(folder.Folder, name)
                           : folder.Folder.empty() && MatchesWildcard(name, folder.Mask);
    });
}

bool ExtensionDataTakes(std::string_view name, bool isDirectory)
{
    return std::ranges::any_of(ExtensionDataEntries(), [name, isDirectory](const TExtensionDataEntry& entry) {
        return entry.IsFolder == isDirectory && EqualsIgnoreCase(entry.Name, name);
    });
}

/// Whether a component takes the entry; Emails (with its modifier, which
/// takes less) is not among BackupComponents().
bool Takes(const TBackupComponent& component, std::string_view name, bool isDirectory)
{
    return FilesTake(component.Files, name, isDirectory) ||
           FoldersTake(component.Folders, name, isDirectory) ||
           (component.Extra == TComponentExtra::ExtensionData && ExtensionDataTakes(name, isDirectory));
}

bool EmailsTake(bool accountsOnly, std::string_view name, bool isDirectory)
{
    const TEmailsBackup& emails = EmailsBackup();
    if (FilesTake(emails.Files, name, isDirectory))
        return true;
    if (accountsOnly)
        return FoldersTake(emails.AccountsOnlyProfileFolders, name, isDirectory);
    return FilesTake(emails.FullOnlyFiles, name, isDirectory) ||
           FoldersTake(emails.FullProfileFolders, name, isDirectory);
}

} // namespace

std::optional<TEntryFate> LeaveOutRuleFor(std::string_view name, bool isDirectory)
{
    for (const TLeaveOutRule& rule : LeaveOutRules)
        if (rule.Name == name && rule.IsDirectory == isDirectory)
            return rule.Fate;
    return std::nullopt;
}

TEntryFate FateOfProfileEntry(std::string_view name, bool isDirectory, const TComponentBoxes& boxes)
{
    if (const auto rule = LeaveOutRuleFor(name, isDirectory))
        return *rule;
    bool offered = false;
    for (const TBackupComponent& component : BackupComponents()) {
        if (!boxes[component.Box].Enabled || !Takes(component, name, isDirectory))
            continue;
        if (boxes[component.Box].Checked)
            return TEntryFate::TakenByComponent;
        offered = true;
    }
    // Emails and its modifier are offered together; with the modifier ticked
    // the backup takes less, as the backup run does.
    if (boxes[EmailsBox].Enabled || boxes[AccountsSettingsOnlyBox].Enabled) {
        const bool accountsOnly = boxes[AccountsSettingsOnlyBox].Checked;
        if ((accountsOnly || boxes[EmailsBox].Checked) && EmailsTake(accountsOnly, name, isDirectory))
            return TEntryFate::TakenByComponent;
        offered = offered || EmailsTake(false, name, isDirectory);
    }
    return offered ? TEntryFate::ComponentNotChosen : TEntryFate::UnknownEntry;
}

} // namespace quillbank
