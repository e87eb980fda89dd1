// Makes a backup: lists the chosen files, mail folders and unknown entries, writes the archive, checks it.

#include "engine/BackupRun.h"

#include "apps/WizardState.h"
#include "config/InterfaceTexts.h"
#include "engine/ArchiveHeader.h"
#include "engine/BackupAccount.h"
#include "engine/BackupTask.h"
#include "engine/Catalogue.h"
#include "engine/Extensions.h"
#include "engine/ExternalFolderNames.h"
#include "engine/PendingArchive.h"
#include "platform/FileSystem.h"
#include "platform/LiveTemporaries.h"
#include "platform/SilentUserInterface.h"
#include "platform/Text.h"
#include "platform/UserInterface.h"
#include "profile/AccountFolder.h"
#include "profile/PrefsParser.h"
#include "profile/SqliteFiles.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <utility>

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

/// The components a backup with `boxes` lists, in its order: the ticked ones
/// of the catalogue, then Emails, narrowed by "Accounts settings only" when
/// that is ticked.
std::vector<TComponentBox> ListedComponents(const TComponentBoxes& boxes)
{
    std::vector<TComponentBox> listed;
    for (const TBackupComponent& component : BackupComponents())
        if (boxes[component.Box].Checked)
            listed.push_back(component.Box);
    if (boxes[AccountsSettingsOnlyBox].Checked)
        listed.push_back(AccountsSettingsOnlyBox);
    if (EmailsBoxBesideAccountsSettingsOnly(boxes[AccountsSettingsOnlyBox].Checked, boxes[EmailsBox]).Checked)
        listed.push_back(EmailsBox);
    return listed;
}

/// Every component a backup can list, Emails in full.
std::vector<TComponentBox> AllComponents()
{
    TComponentBoxes all;
    for (TCheckBoxState& box : all.Boxes)
        box.Checked = true;
    all[AccountsSettingsOnlyBox].Checked = false;
    return ListedComponents(all);
}

void ListEmails(TBackupTask& task, bool accountsOnly, const std::string& profileDir,
                const TInterfaceTexts& texts, std::vector<TMailFolder>& mailFolders)
{
    const TEmailsBackup& emails = EmailsBackup();
    for (std::string_view file : emails.Files)
        ListFile(task, file);
    if (!accountsOnly)
        for (std::string_view file : emails.FullOnlyFiles)
            ListFile(task, file);
    CollectMailFolders(task, accountsOnly, profileDir, texts, mailFolders);
}

/// Lists the files of one component into the task, as that component's;
/// the account folders of Emails outside the profile are appended to `mailFolders`.
void ListComponent(TBackupTask& task, TComponentBox box, const std::string& profileDir,
                   const TInterfaceTexts& texts, std::vector<TMailFolder>& mailFolders)
{
    task.SetComponent(box);
    if (box == EmailsBox || box == AccountsSettingsOnlyBox) {
        ListEmails(task, box == AccountsSettingsOnlyBox, profileDir, texts, mailFolders);
        return;
    }
    const TBackupComponent& component = *std::ranges::find(BackupComponents(), box, &TBackupComponent::Box);
    if (component.NeedsPrefsJs && !FileExists(profileDir + "prefs.js"))
        return;
    for (std::string_view file : component.Files)
        ListFile(task, file);
    for (const TFolderMask& folder : component.Folders)
        ListFolderEntry(task, profileDir, folder);
    if (component.Extra == TComponentExtra::ExtensionData)
        AddExtensionData(task, profileDir);
}

/// The ticked unknown entries, listed into the task and returned for the
/// header; paired with the very list the user ticked. A file named like the
/// header is listed, so that the archive reports it as left out, but the
/// header does not name it.
std::vector<TUnknownEntry> ListUnknownEntries(TBackupTask& task, const TBackupRequest& request)
{
    task.SetComponent(std::nullopt);
    std::vector<TUnknownEntry> chosen;
    for (std::size_t row = 0; row < request.UnknownEntries.size() && row < request.UnknownTicks.size();
         ++row) {
        if (!request.UnknownTicks[row])
            continue;
        const TUnknownEntry& entry = request.UnknownEntries[row];
        if (entry.IsDirectory)
            task.AddFolder(entry.Name, "*.*");
        else
            ListFile(task, entry.Name);
        if (entry.IsDirectory || !IsHeaderEntryName(entry.Name))
            chosen.push_back(entry);
    }
    return chosen;
}

/// What became of every file of the profile and of its account folders:
/// the chosen files, and what each component not chosen would have listed.
TBackupAccount AccountOf(const TBackupTask& chosen, std::vector<TLeftOutFile> faults,
                         const TBackupRequest& request, const std::vector<TMailFolder>& mailFolders,
                         const TInterfaceTexts& texts, TUserInterface& ui)
{
    TBackupTask notChosen(request.ProfileDir, request.ProfileDir, ui);
    std::vector<TMailFolder> notChosenFolders;
    const std::vector<TComponentBox> listed = ListedComponents(request.Boxes);
    for (TComponentBox box : AllComponents()) {
        if (std::ranges::find(listed, box) != listed.end())
            continue;
        try {
            ListComponent(notChosen, box, request.ProfileDir, texts, notChosenFolders);
        } catch (const std::exception&) {
            // A component that was not chosen never stops a backup: what it
            // would have listed after a file it cannot read counts as in no
            // component.
        }
    }
    std::vector<TUnknownEntry> unticked;
    for (std::size_t row = 0; row < request.UnknownEntries.size(); ++row)
        if (row >= request.UnknownTicks.size() || !request.UnknownTicks[row])
            unticked.push_back(request.UnknownEntries[row]);
    std::vector<std::string> accountFolders;
    for (const std::vector<TMailFolder>* folders : {&mailFolders, &std::as_const(notChosenFolders)})
        for (const TMailFolder& folder : *folders)
            if (std::ranges::find(accountFolders, folder.Path) == accountFolders.end())
                accountFolders.push_back(folder.Path);
    return DrawUpAccount({request.ProfileDir, chosen, notChosen, std::move(faults), std::move(unticked),
                          std::move(accountFolders)},
                         ui);
}

/// The interface of work done beside the one that talks to the user: it
/// shows nothing, and the window's events are left to that one.
class TBackgroundInterface final : public TSilentUserInterface
{
protected:
    [[noreturn]] void EndProgram(int) override { std::abort(); }
};

/// Why the archive layer could not write or check the archive: the last
/// problem it reported.
std::string LastProblem(const TArchive& archive)
{
    const std::vector<TLeftOutFile>& problems = archive.ReportedProblems();
    return problems.empty() ? archive.FileName() + ": not written" : LeftOutText(problems.back());
}

} // namespace

void CollectMailFolders(TBackupTask& task, bool accountsOnly, const std::string& profileDir,
                        const TInterfaceTexts& texts, std::vector<TMailFolder>& mailFolders)
{
    const TEmailsBackup& emails = EmailsBackup();
    for (const TFolderMask& folder :
         accountsOnly ? emails.AccountsOnlyProfileFolders : emails.FullProfileFolders)
        task.AddFolder(std::string(folder.Folder), std::string(folder.Mask));
    const TPrefsParser prefs(profileDir + "prefs.js", texts);
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

TBackupOutcome RunBackup(const TBackupRequest& request, TWizardState& state, TArchiveEnvironment environment)
{
    state.MailFolders.clear();
    if (!FileExists(request.ProfileDir + "prefs.js"))
        return {TRunOutcome::Failed(request.ProfileDir + "prefs.js: no such file"), {}};
    const std::string pending = PendingArchivePath(request.ArchivePath);
    if (!request.DryRun)
        RemoveStalePendingArchive(request.ArchivePath);
    // A run ended at once (a cancel answered Yes, a fatal error) takes its
    // half-written archive with it.
    const TAtAbruptEnd partialArchive([&request] {
        if (!request.DryRun)
            RemoveStalePendingArchive(request.ArchivePath);
    });
    TUserInterface& ui = environment.Ui;
    const TInterfaceTexts& texts = environment.Texts;
    TBackupOutcome outcome;
    try {
        TBackupTask task(request.ProfileDir, request.ProfileDir, ui);
        for (TComponentBox box : ListedComponents(request.Boxes))
            ListComponent(task, box, request.ProfileDir, texts, state.MailFolders);
        const std::vector<TUnknownEntry> chosen = ListUnknownEntries(task, request);
        NameExternalFolders(task, state.MailFolders);
        if (request.DryRun)
            return {TRunOutcome::Finished({}), AccountOf(task, {}, request, state.MailFolders, texts, ui)};

        TArchive archive(pending, request.Password, request.ProfileDir, environment);
        if (request.CompressionLevel)
            archive.SetCompressionLevel(*request.CompressionLevel);
        if (request.Encryption)
            archive.SetEncryption(*request.Encryption);
        const std::string header = WriteArchiveHeader(request.Application, request.Boxes, state.MailFolders,
                                                      chosen, request.Identity);
        archive.AddTask(task, header);
        // The archive layer has said why no archive was written.
        if (!FileExists(pending))
            return {TRunOutcome::Failed(LastProblem(archive)), {}};

        // What became of every file is drawn up while the archive is read
        // back: listing the profile again takes one core for a while, and
        // the check leaves room for it, above all while it opens the archive.
        TBackgroundInterface quiet;
        std::future<TBackupAccount> account =
            std::async(std::launch::async, [&, faults = archive.LeftOutFiles()]() mutable {
                return AccountOf(task, std::move(faults), request, state.MailFolders, texts, quiet);
            });
        if (!request.IsBatch && !archive.VerifyArchive(header)) {
            // The new archive does not read back: drop it, keep what was there.
            std::remove(pending.c_str());
            ui.ShowWarning(texts.GetText("TForm1", "LANG_WARNING"),
                           texts.GetText("Quillbank14", "LANG_INVALID_OUTPUT"));
            return {TRunOutcome::Failed(LastProblem(archive)), {}};
        }
        outcome = {TRunOutcome::Finished(archive.LeftOutFiles()), account.get()};
    } catch (const std::exception& error) {
        // A file that could not be read, a prefs.js that could not be parsed:
        // say what it was and stop; the previous backup stays.
        if (!request.DryRun)
            std::remove(pending.c_str());
        ui.ShowMessageBox("Quillbank", error.what(), TBoxButtons::Ok, TBoxIcon::Error);
        return {TRunOutcome::Failed(error.what()), {}};
    }
    if (!CommitPendingArchive(request.ArchivePath, [&ui] { ui.ProcessEvents(); })) {
        ui.ShowWarning(texts.GetText("TForm1", "LANG_WARNING"), texts.GetText("TForm1", "LANG_KONEC"));
        ui.ExitImmediately(1);
    }
    return outcome;
}

} // namespace quillbank
