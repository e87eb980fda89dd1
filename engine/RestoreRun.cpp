// Restores a ZIP backup or legacy container part by part, keeping a rollback and taking it back on failure.

#include "engine/RestoreRun.h"

#include "apps/AppTable.h"
#include "apps/RunningCheck.h"
#include "apps/WizardState.h"
#include "config/ArchiveCodePage.h"
#include "config/InterfaceTexts.h"
#include "config/errorlog.h"
#include "engine/ArchiveHeader.h"
#include "engine/Catalogue.h"
#include "engine/Extensions.h"
#include "engine/HeldFiles.h"
#include "engine/KeyStore.h"
#include "engine/MailRestore.h"
#include "engine/RestoreLeftovers.h"
#include "engine/RollbackPlan.h"
#include "engine/RunOutcome.h"
#include "engine/UndoRestore.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/LiveTemporaries.h"
#include "platform/StagedFile.h"
#include "platform/Text.h"
#include "platform/UserInterface.h"
#include "profile/MovedProfilePaths.h"
#include "profile/SqliteFiles.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <span>
#include <stdexcept>
#include <unistd.h>

namespace fs = std::filesystem;

namespace quillbank {

namespace {

constexpr int ZipBarMaximum = 140;
constexpr int BarStep = 10;
/// The user style files that extracting the extensions' "chrome" folder brings along.
constexpr std::array<std::string_view, 2> UserStyleFiles = {"chrome/userContent.css",
                                                            "chrome/userChrome.css"};

/// How the legacy restore names the application when it asks to close it.
std::string LegacyApplicationName(AppType type)
{
    return IsKnownAppType(type) ? std::string(AppInfo(type).LegacyRestoreName) : std::string();
}

/// Why an unknown entry a header names is not restored; empty when it is.
std::string_view RefusalOf(const TUnknownEntry& entry)
{
    if (!IsConfinedPath(entry.Name))
        return "it would lie outside the profile";
    // Its extract would write the header itself into the profile.
    if (!entry.IsDirectory && IsHeaderEntryName(entry.Name))
        return HeaderNameReason;
    return {};
}

/// Why a legacy record of `section` naming `path` is not restored; empty when it is.
std::string_view LegacyRefusalOf(const TLegacySection& section, const std::string& path)
{
    if (!IsConfinedPath(path))
        return "it would lie outside the profile";
    if (!LegacySectionHolds(section, path))
        return "its section does not hold it";
    return {};
}

std::string FolderSpec(std::string_view folder, std::string_view mask)
{
    return folder.empty() ? std::string(mask) : std::string(folder) + "/" + std::string(mask);
}

class TRestoreRun
{
public:
    TRestoreRun(const TRestoreRequest& request, TWizardState& state, TArchiveEnvironment environment)
        : request_(request), state_(state), env_(std::move(environment))
    {}

    TRunOutcome Run()
    {
        if (!FileExists(state_.ArchivePath)) {
            env_.Ui.ShowMessageBox(Text("TForm1", "LANG_QUESTION"), Text("TForm1", "LANG_NOT_FOUND_FILE"),
                                   TBoxButtons::Ok, TBoxIcon::Question);
            env_.Ui.ExitImmediately(1);
        }
        state_.ProfileDir = RestoreTargetProfile(state_);
        if (state_.ArchiveFormat == TArchiveFormat::Zip && request_.Rollback)
            KeepRollback();
        RemoveRestoreLeftovers(state_.ProfileDir);
        // Held after the leftovers went: the links are named like them.
        if (rollback_) {
            held_.Hold(rollback_->Manifest.Replaced);
            takeBackOnExit_.emplace([this] { TakeBack(); });
        }
        if (state_.ArchiveFormat == TArchiveFormat::LegacyContainer)
            RestoreLegacyContainer();
        else if (state_.ArchiveFormat == TArchiveFormat::Zip)
            RestoreZipArchive();
        // The accounts are pointed at their folders once everything else is
        // written: flushing the new prefs.js to the disk waits for all that
        // went straight to the disk before it (the mail, on a virtual disk
        // about a second per gigabyte), which by then is stored already.
        if (accountFolders_)
            PointAccountsAtMailFolders(state_.ProfileDir, *accountFolders_);
        // Only a restore that wrote prefs.js cleans it: a profile whose own
        // prefs.js was left alone keeps its settings.
        if (prefsRestored_)
            FitPrefsMadeOnWindows();
        if (prefsRestored_)
            FilterRestoredPrefs(state_.ProfileDir, state_.SelectedAppType, request_.Boxes,
                                request_.KeepPathsOutsideProfile, env_.Texts, env_.Ui);
        TRunOutcome outcome;
        if (leftOut_.empty())
            outcome = TRunOutcome::Finished({});
        // Nothing came through whole: the restore did not do what it was asked for.
        else if (partsRestored_ == 0) {
            outcome = TRunOutcome::Failed(LeftOutText(leftOut_.front()));
            outcome.LeftOut = std::move(leftOut_);
        } else
            outcome = TRunOutcome::Finished(std::move(leftOut_));
        return WithTallies(std::move(outcome));
    }

    /// After the run: a failed restore is taken back, any other leaves the
    /// profile's newest rollback archives.
    TRunOutcome Settle(TRunOutcome outcome)
    {
        if (!rollback_)
            return outcome;
        if (outcome.Status != TRunStatus::Failed) {
            PruneRollbacks(ExtractFileDir(rollback_->Path), state_.ProfileDir, request_.Now());
            return outcome;
        }
        if (const std::optional<std::string> problem = TakeBack())
            outcome.Failure += "; it could not be taken back (" + *problem + "), its rollback archive " +
                               rollback_->Path + " is kept";
        else
            outcome.Failure += "; the profile was put back as it was";
        return outcome;
    }

    /// Puts the profile back as the rollback archive keeps it; why it could
    /// not, or nothing.
    std::optional<std::string> TakeBack()
    {
        takeBackOnExit_.reset();
        try {
            // Renames, when the replaced files are held: no data to write.
            if (held_.Holding() && held_.PutBack()) {
                RemoveCreatedFiles(rollback_->Manifest);
                MarkUndone(*rollback_);
            } else {
                UndoRestore(*rollback_);
            }
            return std::nullopt;
        } catch (const ERollbackError& error) {
            return error.what();
        }
    }

    /// The outcome of a run that stopped for `reason`, with what it had left out until then.
    TRunOutcome Stopped(std::string reason)
    {
        TRunOutcome outcome = TRunOutcome::Failed(std::move(reason));
        outcome.LeftOut = std::move(leftOut_);
        outcome.LeftOut.insert(outcome.LeftOut.end(), partProblems_.begin(), partProblems_.end());
        return WithTallies(std::move(outcome));
    }

    TRunOutcome WithTallies(TRunOutcome outcome) const
    {
        outcome.EntriesWritten = entriesWritten_;
        outcome.BytesWritten = bytesWritten_;
        return outcome;
    }

private:
    std::string Text(std::string_view section, std::string_view key) const
    {
        return env_.Texts.GetText(section, key);
    }
    std::string Text(const TTextKey& key) const { return Text(key.Section, key.Key); }

    [[noreturn]] void Fail(std::string_view key)
    {
        env_.Ui.ShowWarning(Text("TForm1", "LANG_WARNING"), Text("TForm1", key));
        env_.Ui.ExitImmediately(1);
    }

    /// A file or entry of the part being restored that is not written, and
    /// why; said in the error log.
    void Refuse(const std::string& name, std::string_view reason)
    {
        WriteErrorLog(state_.ArchivePath + ": \"" + name + "\" not restored: " + std::string(reason));
        partProblems_.push_back({name, std::string(reason)});
    }

    /// Takes over what the archive reported since the last call as problems of the part being restored.
    void TakeArchiveProblems(const TArchive& archive)
    {
        const std::vector<TLeftOutFile>& reported = archive.ReportedProblems();
        partProblems_.insert(partProblems_.end(),
                             reported.begin() + static_cast<std::ptrdiff_t>(takenProblems_), reported.end());
        takenProblems_ = reported.size();
    }

    /// Ends one part of the restore (a component, the unknown entries, a
    /// record of a legacy container): `done` when all of it was written,
    /// else `failed` and a line for each entry that was not, with the reason.
    void EndPart(const std::string& done, const std::string& failed)
    {
        if (partProblems_.empty()) {
            ++partsRestored_;
            env_.Ui.AddReportLine(done);
            return;
        }
        env_.Ui.AddReportLine(failed);
        ReportProblemsOfPart();
    }

    void ReportProblemsOfPart()
    {
        for (TLeftOutFile& problem : partProblems_) {
            env_.Ui.AddReportLine(
                env_.Texts.GetTextFmt("Quillbank14", "LANG_NOT_RESTORED", LeftOutText(problem)));
            leftOut_.push_back(std::move(problem));
        }
        partProblems_.clear();
    }

    /// Points the paths of a prefs.js written on Windows at their places
    /// here, and names each preference dropped for naming none.
    void FitPrefsMadeOnWindows()
    {
        for (const TPathOutsideProfile& dropped : FitWindowsPrefs(state_.ProfileDir, state_.MailFolders)) {
            WriteErrorLog(state_.ProfileDir + "prefs.js: \"" + dropped.Name +
                          "\" left out: it names a place this machine does not have, " + dropped.Path);
            env_.Ui.AddReportLine(
                env_.Texts.GetTextFmt("Quillbank14", "LANG_PREF_DROPPED", dropped.Description()));
        }
    }

    void Advance(int step)
    {
        position_ += step;
        env_.Ui.SetProgressPosition(position_);
    }

    /// Writes the rollback archive of a restore into a profile that holds
    /// files it may change; throws ERollbackError when that cannot be done.
    void KeepRollback()
    {
        const TRollbackPlan plan = PlanRollback(request_, state_, env_);
        if (plan.Replaced.empty())
            return;
        const auto now = request_.Now();
        const TRollbackManifest manifest{
            plan.ProfileDir,
            std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count(),
            state_.SelectedAppType,
            plan.Replaced,
            plan.Created,
            plan.CreatedFolders};
        try {
            const std::string path = NewRollbackArchivePath(CreateRollbackFolder(), plan.ProfileDir, now);
            WriteRollbackArchive(path, manifest, env_);
            rollback_ = TStoredRollback{path, manifest, false};
        } catch (const ERollbackError& error) {
            throw ERollbackError("The restore did not start: " + std::string(error.what()));
        }
    }

    void RestoreZipArchive()
    {
        TArchive archive(state_.ArchivePath, "", state_.ProfileDir, env_);
        const std::uint64_t declared = archive.DeclaredBytes(RestoreProfileSpecs(request_, state_));
        RefuseWithoutFreeSpace(declared);
        archive.ShowExtractedBytes(declared);
        env_.Ui.SetProgressRange(0, ZipBarMaximum);
        env_.Ui.SetProgressPosition(0);
        // What was written counts also when the run stops half-way.
        struct TTallies
        {
            const TArchive& Archive;
            TRestoreRun& Run;
            ~TTallies()
            {
                Run.entriesWritten_ = Archive.ExtractedEntries();
                Run.bytesWritten_ = Archive.ExtractedBytes();
            }
        } tallies{archive, *this};
        for (const TRestoreComponent& component : RestoreComponents()) {
            if (request_.Boxes[component.Box].Checked &&
                !IsSkippedOnRestore(component.Box, state_.SelectedAppType))
                RestoreComponent(archive, component);
            if (component.Box != GeneralSettingsBox)
                Advance(BarStep);
        }
        RestoreUnknownEntries(archive);
        // What the archive reported outside every part is no less a problem.
        TakeArchiveProblems(archive);
        ReportProblemsOfPart();
        FixMovedProfilePaths(state_.ProfileDir);
        env_.Ui.SetProgressRange(0, 100);
        env_.Ui.SetProgressPosition(100);
    }

    /// Stops the run before anything is written when the entries going into
    /// the profile declare more bytes than its file system has free.
    void RefuseWithoutFreeSpace(std::uint64_t needed)
    {
        const std::optional<std::uint64_t> free =
            request_.FreeSpace ? request_.FreeSpace(state_.ProfileDir) : std::nullopt;
        if (!free)
            return;
        if (needed <= *free)
            return;
        auto amount = [](std::uint64_t bytes) {
            return HumanBytes(static_cast<std::int64_t>(std::min<std::uint64_t>(bytes, INT64_MAX))) + " (" +
                   std::to_string(bytes) + " bytes)";
        };
        throw std::runtime_error("Cannot restore into " + state_.ProfileDir + ": the backup's files need " +
                                 amount(needed) + ", and " + amount(*free) + " are free");
    }

    /// The names of the archive's entries, read once.
    const std::vector<std::string>& EntryNames(TArchive& archive)
    {
        if (!entryNames_)
            entryNames_ = archive.EntryNames();
        return *entryNames_;
    }

    /// Extracts the files in one go (each database brings its log along). A
    /// key database brings along the files it protects that the archive
    /// holds: the target never keeps a file encrypted with the key replaced.
    void ExtractFiles(TArchive& archive, std::span<const std::string_view> listed)
    {
        std::vector<std::string> names(listed.begin(), listed.end());
        for (std::string_view file : FilesGoingWithKeys(listed, EntryNames(archive)))
            names.emplace_back(file);
        archive.ExtractFileList(names);
    }

    void RestoreComponent(TArchive& archive, const TRestoreComponent& component)
    {
        env_.Ui.ShowTaskLine(Text(component.TaskText));
        auto extractFiles = [&] {
            if (!component.Files.empty())
                ExtractFiles(archive, component.Files);
        };
        auto extractFolders = [&] {
            for (const TFolderMask& folder : component.Folders)
                archive.ExtractFolder(std::string(folder.Folder), std::string(folder.Mask));
        };
        if (component.FoldersFirst) {
            extractFolders();
            extractFiles();
        } else if (component.Extra == TComponentExtra::ExtensionData) {
            extractFiles();
            RestoreExtensions(archive, extractFolders);
        } else {
            extractFiles();
            extractFolders();
        }
        if (component.Extra == TComponentExtra::MailFolders) {
            TMailFoldersRestored mail =
                RestoreMailFolders(state_.ProfileDir, archive, state_.MailFolders, env_.Texts, env_.Ui);
            for (const TLeftOutFile& folder : mail.NotRestored)
                Refuse(folder.Path, folder.Reason);
            accountFolders_ = std::move(mail.Accounts);
        }
        if (component.Box == GeneralSettingsBox || component.Box == EmailsBox)
            prefsRestored_ = true;
        TakeArchiveProblems(archive);
        EndPart(Text(component.ResultText), Text(component.FailedText));
    }

    /// The extensions' folders, then their data and the fix-up. Extracting
    /// "chrome" brings the user style files along; unless User styles is
    /// restored too, the profile keeps the ones it had, and gets none it did
    /// not have.
    template <typename ExtractFolders>
    void RestoreExtensions(TArchive& archive, ExtractFolders extractFolders)
    {
        const bool keepStyles = !request_.Boxes[UserStylesBox].Checked;
        std::array<std::optional<std::string>, UserStyleFiles.size()> before;
        if (keepStyles)
            for (std::size_t i = 0; i < UserStyleFiles.size(); ++i)
                before[i] = ReadWholeFile(state_.ProfileDir + std::string(UserStyleFiles[i]));
        extractFolders();
        if (keepStyles)
            for (std::size_t i = 0; i < UserStyleFiles.size(); ++i)
                PutBack(state_.ProfileDir + std::string(UserStyleFiles[i]), before[i]);
        RestoreExtensionData(archive);
        FixChromeRegistry(state_.ProfileDir);
    }

    /// Leaves `path` as it was before: its old content, or no file.
    void PutBack(const std::string& path, const std::optional<std::string>& content)
    {
        if (!content) {
            std::remove(path.c_str());
            return;
        }
        if (ReadWholeFile(path) == content)
            return;
        try {
            TStagedFile file(path);
            file.Write(*content);
            file.Commit();
        } catch (const EFileWriteError& error) {
            Refuse(path, std::string("cannot put the profile's own file back: ") + error.what());
        }
    }

    void RestoreUnknownEntries(TArchive& archive)
    {
        if (!state_.UnknownEntries.empty()) {
            env_.Ui.ShowTaskLine(Text("Quillbank14", "LANG_UNKNOW"));
            for (std::size_t row = 0; row < state_.UnknownEntries.size(); ++row) {
                if (row >= request_.UnknownTicks.size() || !request_.UnknownTicks[row])
                    continue;
                const TUnknownEntry& entry = state_.UnknownEntries[row];
                if (const std::string_view refusal = RefusalOf(entry); !refusal.empty()) {
                    Refuse(entry.Name, refusal);
                    continue;
                }
                ExtractUnknownEntry(archive, entry);
                // A prefs.js that comes this way is cleaned like any other.
                if (!entry.IsDirectory && entry.Name == "prefs.js")
                    prefsRestored_ = true;
            }
            TakeArchiveProblems(archive);
            EndPart(Text("Quillbank14", "LANG_AKCE_UNKNOW_R_OK"),
                    Text("Quillbank14", "LANG_AKCE_UNKNOW_R_FAILED"));
        }
        Advance(BarStep);
    }

    /// An unknown entry by its name, never as a pattern: a file (a database
    /// with its write-ahead log), or a folder with everything below it.
    static void ExtractUnknownEntry(TArchive& archive, const TUnknownEntry& entry)
    {
        if (entry.IsDirectory)
            archive.ExtractNamedFolder(entry.Name);
        else
            archive.ExtractNamedFile(entry.Name);
    }

    void RestoreLegacyContainer()
    {
        std::ifstream container(state_.ArchivePath, std::ios::binary);
        if (!container)
            Fail("LANG_KONEC");
        const std::string codePage = ArchiveCodePage(state_.CodePage, env_.ProgramDir, env_.Texts);
        std::string line;
        for (int i = 0; i < 6 && ReadLine(container, line); ++i) {
        }
        while (ReadLine(container, line)) {
            const TLegacySection* section = FindLegacySection(line);
            if (section == nullptr)
                continue;
            const bool ticked = request_.Boxes[section->Box].Checked;
            if (ticked)
                env_.Ui.ShowTaskLine(Text(FindRestoreComponent(section->Box)->TaskText));
            std::string path, ignored;
            if (!ReadLine(container, path) || !ReadLine(container, ignored))
                Fail("LANG_END_FILE");
            // A record of a component that is not restored is read past as a
            // whole: a line of its file that looks like a section name starts
            // nothing.
            if (!ticked) {
                RestoreLegacyFile(container, path, false);
                continue;
            }
            // A container made on Windows names its files in that machine's
            // code page, with backslashes between folders.
            path = ReplaceAll(Utf8FromCodePage(path, codePage), "\\", "/");
            if (const std::string_view refusal = LegacyRefusalOf(*section, path); !refusal.empty()) {
                Refuse(path, refusal);
                ReportProblemsOfPart();
                RestoreLegacyFile(container, path, false);
                continue;
            }
            if (section->InSubFolder)
                CreateParentDirs(state_.ProfileDir, path);
            RestoreLegacyFile(container, path, true);
            if (path == "prefs.js")
                prefsRestored_ = true;
            Advance(BarStep);
            ++partsRestored_;
            env_.Ui.AddReportLine(Text("TForm1", "LANG_SOUBOR") + VisibleText(path));
        }
    }

    static bool ReadLine(std::istream& in, std::string& line)
    {
        if (!std::getline(in, line))
            return false;
        if (line.ends_with('\r'))
            line.pop_back();
        return true;
    }

    /// Copies one record of the container into the profile, or only reads past
    /// it when `write` is false. The file is staged beside its target under a
    /// name of its own and put in its place once the record is complete.
    void RestoreLegacyFile(std::istream& container, const std::string& path, bool write)
    {
        std::optional<TStagedFile> out;
        try {
            if (write)
                out.emplace(state_.ProfileDir + path);
            std::string line;
            for (long count = 1;; ++count) {
                if (!ReadLine(container, line)) {
                    // The program may end at once: no staged file stays behind.
                    out.reset();
                    Fail(container.eof() ? "LANG_END_FILE" : "LANG_WRITE_ERROR2");
                }
                if (line == HeaderSeparator)
                    break;
                if (out)
                    out->Write(line + "\r\n");
                if (count % 100 == 0 && !ApplicationClosed()) {
                    out.reset();
                    env_.Ui.ShowWarning(
                        Text("TForm1", "LANG_WARNING"),
                        env_.Texts.GetTextFmt("TForm1", "LANG_DETEKCE2", LegacyApplicationName()));
                    env_.Ui.ExitImmediately(1);
                }
            }
            if (out)
                out->Commit();
        } catch (const EFileWriteError&) {
            out.reset();
            Fail("LANG_WRITE_ERROR2");
        }
    }

    std::string LegacyApplicationName() const
    {
        return quillbank::LegacyApplicationName(state_.SelectedAppType);
    }

    /// Lets pending events run and, while an application uses the profile,
    /// asks to close it; false when the user gives up.
    bool ApplicationClosed()
    {
        env_.Ui.ProcessEvents();
        return request_.Force ||
               WaitForProfileFree(state_.SelectedAppType, state_.ProfileDir, env_.Texts, env_.Ui);
    }

    const TRestoreRequest& request_;
    TWizardState& state_;
    TArchiveEnvironment env_;
    int position_ = 0;
    bool prefsRestored_ = false;
    /// Where the restored mail accounts are to point, once the mail is restored.
    std::optional<TAccountMailFolders> accountFolders_;
    std::optional<std::vector<std::string>> entryNames_;
    /// The problems of the part being restored.
    std::vector<TLeftOutFile> partProblems_;
    /// The problems of the parts before it.
    std::vector<TLeftOutFile> leftOut_;
    std::uint64_t entriesWritten_ = 0;
    std::uint64_t bytesWritten_ = 0;
    /// How many of the archive's reported problems have been taken over.
    std::size_t takenProblems_ = 0;
    int partsRestored_ = 0;
    /// The rollback archive written for this restore.
    std::optional<TStoredRollback> rollback_;
    /// The files the rollback archive keeps, held in place until the run ends.
    THeldFiles held_;
    /// Takes the restore back when the program ends in its middle.
    std::optional<TAtAbruptEnd> takeBackOnExit_;
};

} // namespace

std::vector<std::string> RestoreProfileSpecs(const TRestoreRequest& request, const TWizardState& state)
{
    std::vector<std::string> specs;
    auto add = [&specs](std::string_view folder, std::string_view mask) {
        specs.push_back(FolderSpec(folder, mask));
        if (IsSqliteDatabase(mask))
            specs.push_back(FolderSpec(folder, WriteAheadLogName(mask)));
    };
    for (const TRestoreComponent& component : RestoreComponents()) {
        if (!request.Boxes[component.Box].Checked || IsSkippedOnRestore(component.Box, state.SelectedAppType))
            continue;
        for (std::string_view file : component.Files)
            add({}, file);
        for (const TFolderMask& folder : component.Folders)
            add(folder.Folder, folder.Mask);
        if (component.Extra == TComponentExtra::MailFolders)
            for (std::string_view folder : ProfileMailFolders)
                add(folder, "*.*");
        if (component.Extra == TComponentExtra::ExtensionData)
            for (const TExtensionDataEntry& entry : ExtensionDataEntries())
                add(entry.IsFolder ? entry.Name : std::string_view(), entry.IsFolder ? "*.*" : entry.Name);
    }
    for (std::size_t row = 0; row < state.UnknownEntries.size(); ++row) {
        const TUnknownEntry& entry = state.UnknownEntries[row];
        if (row >= request.UnknownTicks.size() || !request.UnknownTicks[row] || !RefusalOf(entry).empty())
            continue;
        add(entry.IsDirectory ? std::string_view(entry.Name) : std::string_view(),
            entry.IsDirectory ? std::string_view("*.*") : std::string_view(entry.Name));
    }
    return specs;
}

std::string RestoreTargetProfile(const TWizardState& state)
{
    std::string folder = state.ProfileDir;
    const auto entry = std::find_if(
        state.ProfileEntries.begin(), state.ProfileEntries.end(), [&state](const TProfileEntry& e) {
            return state.SelectedProfileLine && e.ListLine() == *state.SelectedProfileLine;
        });
    if (entry != state.ProfileEntries.end())
        folder = entry->Path;
    else if (!state.PortableProfileDir.empty())
        folder = state.PortableProfileDir;
    // Folder names here may begin or end with blanks: the name is taken whole.
    return IncludeTrailingSeparator(folder);
}

void CreateParentDirs(const std::string& profileDir, const std::string& relativePath)
{
    const std::string folder = ExtractFileDir(relativePath);
    if (folder.empty())
        return;
    std::error_code error;
    fs::create_directories(IncludeTrailingSeparator(profileDir) + folder, error);
}

TRunOutcome RunRestore(const TRestoreRequest& request, TWizardState& state, TArchiveEnvironment environment)
{
    TUserInterface& ui = environment.Ui;
    TRestoreRun run(request, state, std::move(environment));
    try {
        return run.Settle(run.Run());
    } catch (const std::exception& error) {
        // What the run cannot handle stops it where it stands; what it
        // wrote is taken back when it kept a rollback archive.
        ui.ShowMessageBox("Quillbank", error.what(), TBoxButtons::Ok, TBoxIcon::Error);
        return run.Settle(run.Stopped(error.what()));
    }
}

} // namespace quillbank
