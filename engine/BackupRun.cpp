#include "engine/BackupRun.h"

#include "apps/WizardState.h"
#include "config/l10n.h"
#include "engine/ArchiveHeader.h"
#include "engine/BackupTask.h"
#include "engine/Catalogue.h"
#include "engine/ExternalFolderNames.h"
#include "engine/PendingArchive.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "platform/UserInterface.h"
#include "profile/AccountFolder.h"
#include "profile/Extensions.h"
#include "profile/PrefsParser.h"
#include "profile/SqliteFiles.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

namespace quillbank {

namespace {

/// Lists a file, and the write-ahead log of a database with it.
void ListFile(TBackupTask& task, std::string_view file)
{
    task.AddFile(std::string(file));
    if (IsSqliteDatabase(file))
        task.AddFile(WriteAheadLogName(file));
}

/// The folders below the profile that a folder entry stands for: the folder
/// itself, or every folder matching a wildcard in its last level
/// ("storage/default/moz-extension+++*").
std::vector<std::string> MatchingFolders(const std::string& profileDir, std::string_view folder)
{
    const std::string name(folder);
    if (name.find_first_of("*?") == std::string::npos)
        return {name};
    const std::string parent = ExtractFileDir(name);
    const std::string pattern = ExtractFileName(name);
    std::vector<std::string> found;
    const auto parentDir = ResolvePathIgnoreCase(profileDir, parent);
    if (!parentDir || !DirectoryExists(*parentDir))
        return found;
    std::error_code error;
    for (fs::directory_iterator it(*parentDir, error), end; !error && it != end; it.increment(error)) {
        const std::string child = it->path().filename().string();
        if (MatchesWildcard(child, pattern) && DirectoryExists(it->path().string()))
            found.push_back(parent + PathSeparator + child);
    }
    std::ranges::sort(found);
    return found;
}

/// Lists a folder entry; a mask for databases brings their write-ahead logs.
void ListFolderEntry(TBackupTask& task, const std::string& profileDir, const TFolderMask& entry)
{
    for (const std::string& folder : MatchingFolders(profileDir, entry.Folder)) {
        task.AddFolder(folder, std::string(entry.Mask));
        if (IsSqliteDatabase(entry.Mask))
            task.AddFolder(folder, WriteAheadLogName(entry.Mask));
    }
}

void ListComponents(TBackupTask& task, const TBackupRequest& request)
{
    const bool hasPrefs = FileExists(request.ProfileDir + "prefs.js");
    for (const TBackupComponent& component : BackupComponents()) {
        if (!request.Boxes[component.Box].Checked || (component.NeedsPrefsJs && !hasPrefs))
            continue;
        for (std::string_view file : component.Files)
            ListFile(task, file);
        for (const TFolderMask& folder : component.Folders)
            ListFolderEntry(task, request.ProfileDir, folder);
        if (component.Extra == TComponentExtra::ExtensionData)
            AddExtensionData(task, request.ProfileDir);
    }
}

void ListEmails(TBackupTask& task, const TBackupRequest& request, const Tl10n& l10n, TWizardState& state)
{
    const bool accountsOnly = request.Boxes[AccountsSettingsOnlyBox].Checked;
    if (!request.Boxes[EmailsBox].Checked && !accountsOnly)
        return;
    const TEmailsBackup& emails = EmailsBackup();
    for (std::string_view file : emails.Files)
        ListFile(task, file);
    if (!accountsOnly)
        for (std::string_view file : emails.FullOnlyFiles)
            ListFile(task, file);
    CollectMailFolders(task, accountsOnly, request.ProfileDir, l10n, state.MailFolders);
}

/// The ticked unknown entries, listed into the task and returned for the
/// header; paired with the very list the user ticked. A file named like the
/// header is listed, so that the archive reports it as left out, but the
/// header does not name it.
std::vector<TUnknowItem> ListUnknownEntries(TBackupTask& task, const TBackupRequest& request)
{
    std::vector<TUnknowItem> chosen;
    for (std::size_t row = 0; row < request.UnknownEntries.size() && row < request.UnknownTicks.size();
         ++row) {
        if (!request.UnknownTicks[row])
            continue;
        const TUnknowItem& entry = request.UnknownEntries[row];
        if (entry.IsDirectory)
            task.AddFolder(entry.Name, "*.*");
        else
            ListFile(task, entry.Name);
        if (entry.IsDirectory || !IsHeaderEntryName(entry.Name))
            chosen.push_back(entry);
    }
    return chosen;
}

} // namespace

void CollectMailFolders(TBackupTask& task, bool accountsOnly, const std::string& profileDir,
                        const Tl10n& l10n, std::vector<TMailFolder>& mailFolders)
{
    const TEmailsBackup& emails = EmailsBackup();
    for (const TFolderMask& folder :
         accountsOnly ? emails.AccountsOnlyProfileFolders : emails.FullProfileFolders)
        task.AddFolder(std::string(folder.Folder), std::string(folder.Mask));
    const TPrefsParser prefs(profileDir + "prefs.js", l10n);
    for (const TPrefsParserAccount& account : prefs.Accounts()) {
        const TAccountFolder folder = LocateAccountFolder(account, profileDir);
        const std::string name = ExtractFileName(folder.Path);
        // Two accounts sharing a folder: its files go in once.
        if (!folder.IsExternal || name.empty() ||
            std::ranges::find(mailFolders, folder.Path, &TMailFolder::Path) != mailFolders.end())
            continue;
        mailFolders.push_back({folder.Path, name});
        const std::string parent = ExtractFileDir(folder.Path);
        for (std::string_view mask :
             accountsOnly ? emails.AccountsOnlyExternalMasks : emails.FullExternalMasks)
            task.ListFolder(name, std::string(mask), parent);
    }
}

std::vector<std::string> RunBackup(const TBackupRequest& request, TWizardState& state,
                                   TArchiveEnvironment environment)
{
    state.MailFolders.clear();
    if (!FileExists(request.ProfileDir + "prefs.js"))
        return {};
    const std::string pending = PendingArchivePath(request.ArchivePath);
    RemoveStalePendingArchive(request.ArchivePath);
    TUserInterface& ui = environment.Ui;
    const Tl10n& l10n = environment.L10n;
    std::vector<std::string> leftOut;
    try {
        TBackupTask task(request.ProfileDir, request.ProfileDir, ui);
        TZipFactory archive(pending, request.Password, request.ProfileDir, environment);
        if (request.CompressionLevel)
            archive.SetCompressionLevel(*request.CompressionLevel);
        if (request.Encryption)
            archive.SetEncryption(*request.Encryption);
        ListComponents(task, request);
        ListEmails(task, request, l10n, state);
        const std::vector<TUnknowItem> chosen = ListUnknownEntries(task, request);
        NameExternalFolders(task, state.MailFolders);

        const std::string header =
            WriteArchiveHeader(request.Application, request.Boxes, state.MailFolders, chosen);
        archive.AddTask(task, header);
        leftOut = archive.LeftOutFiles();

        if (!request.IsBatch && !archive.VerifyArchive(header)) {
            // The new archive does not read back: drop it, keep what was there.
            std::remove(pending.c_str());
            ui.ShowWarning(l10n.GetText("TForm1", "LANG_WARNING"),
                           l10n.GetText("Quillbank14", "LANG_INVALID_OUTPUT"));
            return {};
        }
    } catch (const std::exception& error) {
        // A file that could not be read, a prefs.js that could not be parsed:
        // say what it was and stop; the previous backup stays.
        std::remove(pending.c_str());
        ui.ShowMessageBox("Quillbank", error.what(), TBoxButtons::Ok, TBoxIcon::Error);
        return {};
    }
    if (!CommitPendingArchive(request.ArchivePath, [&ui] { ui.ProcessEvents(); })) {
        ui.ShowWarning(l10n.GetText("TForm1", "LANG_WARNING"), l10n.GetText("TForm1", "LANG_KONEC"));
        ui.ExitImmediately(1);
    }
    return leftOut;
}

} // namespace quillbank
