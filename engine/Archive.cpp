// The archive's work: writes listed files in one pass, extracts entries on every core, reads entries back.

#include "engine/Archive.h"

#include "config/AppSettings.h"
#include "config/ArchiveCodePage.h"
#include "config/InterfaceTexts.h"
#include "config/errorlog.h"
#include "engine/AesChecksums.h"
#include "engine/ArchiveFile.h"
#include "engine/ArchiveReaders.h"
#include "engine/BackupTask.h"
#include "engine/DatabaseEntries.h"
#include "engine/EntryReader.h"
#include "engine/ParallelDeflate.h"
#include "engine/ParallelRun.h"
#include "engine/PiecedEntry.h"
#include "engine/ZipFileSource.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "platform/Text.h"
#include "platform/UserInterface.h"
#include "profile/SqliteFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <malloc.h>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>
#include <zlib.h>

namespace fs = std::filesystem;

namespace quillbank {

namespace {

/// How often the user may retype the password of one entry.
constexpr int PasswordAttempts = 3;

/// Owns an open archive until it is written or discarded.
class TZipHandle
{
public:
    explicit TZipHandle(zip_t* archive) : archive_(archive) {}
    ~TZipHandle()
    {
        if (archive_ != nullptr)
            zip_discard(archive_);
    }
    TZipHandle(const TZipHandle&) = delete;
    TZipHandle& operator=(const TZipHandle&) = delete;

    zip_t* Get() const { return archive_; }
    /// Writes the archive; on failure the handle stays open and unchanged.
    bool Commit()
    {
        const bool written = zip_close(archive_) == 0;
        if (written)
            archive_ = nullptr;
        return written;
    }

private:
    zip_t* archive_;
};

int ClampedLevel(int level)
{
    return std::clamp(level, 0, 9);
}

std::uint16_t EncryptionMethod(const std::string& programDir)
{
    const std::string value =
        ToLowerAscii(Trim(ReadProfileString(SettingsFilePath(programDir), "General", "encryption")));
    return value == "zipcrypto" ? ZIP_EM_TRAD_PKWARE : ZIP_EM_AES_256;
}

std::string_view EncryptionName(std::uint16_t method)
{
    switch (method) {
    case ZIP_EM_NONE:
        return "none";
    case ZIP_EM_TRAD_PKWARE:
        return "zipcrypto";
    case ZIP_EM_AES_128:
        return "aes128";
    case ZIP_EM_AES_192:
        return "aes192";
    case ZIP_EM_AES_256:
        return "aes256";
    default:
        return "unknown";
    }
}

/// Whether an extract of the specs takes the entry: a file the specs match.
bool IsExtractedBy(const std::string& name, const TSpecSet& specs)
{
    return !name.empty() && !name.ends_with('/') && specs.Matches(name);
}

bool IsSymbolicLinkEntry(zip_t* archive, zip_uint64_t index)
{
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(archive, index, 0, &system, &attributes) != 0)
        return false;
    return system == ZIP_OPSYS_UNIX && S_ISLNK(attributes >> 16);
}

} // namespace

bool IsHeaderEntryName(std::string_view name)
{
    return MatchesWildcard(name, ArchiveHeaderName);
}

TArchive::TArchive(std::string fileName, std::string password, std::string baseDir,
                   TArchiveEnvironment environment)
    : fileName_(std::move(fileName)), baseDir_(std::move(baseDir)), archivePassword_(std::move(password)),
      env_(std::move(environment)), password_(archivePassword_)
{
    compressionLevel_ = ClampedLevel(ReadConfigInteger(env_.ProgramDir, "General", "compressionLevel", 9));
    encryptionMethod_ = EncryptionMethod(env_.ProgramDir);
    env_.Ui.ProcessEvents();
}

TArchive::TArchive(std::string fileName, std::string password, TArchiveEnvironment environment)
    : TArchive(std::move(fileName), std::move(password), std::string(), std::move(environment))
{}

TArchive::~TArchive() = default;

void TArchive::SetCompressionLevel(int level)
{
    compressionLevel_ = ClampedLevel(level);
}

void TArchive::SetEncryption(TZipEncryption encryption)
{
    encryptionMethod_ = encryption == TZipEncryption::ZipCrypto ? ZIP_EM_TRAD_PKWARE : ZIP_EM_AES_256;
}

void TArchive::Report(const std::string& what)
{
    WriteErrorLog(fileName_ + ": " + what);
    problems_.push_back({fileName_, what});
}

void TArchive::ReportEntry(const std::string& name, const std::string& reason)
{
    WriteErrorLog(fileName_ + ": entry \"" + name + "\" not extracted: " + reason);
    problems_.push_back({name, reason});
}

void TArchive::AddTask(const TBackupTask& task, std::string_view header)
{
    bytesTotal_ = task.TotalBytes();
    bytesDone_ = 0;
    stagedHeader_ = std::string(header);
    headerStaged_ = !header.empty();
    const auto profileFolder = std::make_shared<const std::string>(IncludeTrailingSeparator(baseDir_));
    for (std::size_t i = 0; i < task.Files().size(); ++i)
        staged_.push_back({task.Files()[i], profileFolder, {}, task.FileInfos()[i]});
    std::map<std::string, std::shared_ptr<const std::string>> externalFolders;
    for (std::size_t i = 0; i < task.ExternalFiles().size(); ++i) {
        const TBackupTaskExternal& external = task.ExternalFiles()[i];
        auto& folder = externalFolders[external.SourceDir];
        if (!folder)
            folder = std::make_shared<const std::string>(IncludeTrailingSeparator(external.SourceDir));
        std::string entryName = external.EntryName();
        staged_.push_back({std::move(entryName), folder,
                           external.ArchiveFolder.empty() ? std::string() : external.RelativeName,
                           task.ExternalInfos()[i]});
    }
    WriteStaged();
    env_.Ui.ProcessEvents();
}

void TArchive::AddFileList(const std::vector<std::string>& names)
{
    const auto profileFolder = std::make_shared<const std::string>(IncludeTrailingSeparator(baseDir_));
    for (const std::string& name : names)
        staged_.push_back({name, profileFolder, {}, std::nullopt});
    WriteStaged();
    env_.Ui.ProcessEvents();
}

void TArchive::WriteStaged()
{
    // The archive is about to be rewritten: handles on the old file would read stale data.
    readers_.reset();
    // Read once: the language file is read from disk on every lookup.
    fileLabel_ = env_.Texts.GetText("Quillbank14", "LANG_FILE");
    auto staged = std::move(staged_);
    staged_.clear();
    const bool withHeader = std::exchange(headerStaged_, false);
    std::string error;
    zip_t* opened = OpenArchiveForChange(fileName_, error);
    if (opened == nullptr) {
        Report("cannot open the archive for writing: " + error);
        return;
    }
    writtenKeys_.Clear();
    const TSourceObserver observer{
        [this](const std::string& item, std::uint64_t size, int percent) {
            HandleItemProgress(item, size, percent);
        },
        [this] { env_.Ui.ProcessEvents(); },
        [this](const std::shared_ptr<const winzip_aes::TKeys>& keys) { writtenKeys_.Add(*keys); },
        // libzip writes the central directory after every entry's data, from
        // the records these calls change: the map lands in it. Without the
        // map the entry is read as one stream, so a failure is no error.
        [opened](zip_int64_t index, const TPieceMap& map) {
            const auto entry = static_cast<zip_uint64_t>(index);
            const std::vector<std::uint8_t> field = EncodePieceMap(map);
            zip_file_extra_field_delete_by_id(opened, entry, PieceMapFieldId, ZIP_EXTRA_FIELD_ALL,
                                              ZIP_FL_CENTRAL);
            zip_file_extra_field_set(opened, entry, PieceMapFieldId, ZIP_EXTRA_FIELD_NEW, field.data(),
                                     static_cast<zip_uint16_t>(field.size()), ZIP_FL_CENTRAL);
        }};
    // The sources outlive the archive handle: discarding the archive still
    // calls them.
    std::vector<std::unique_ptr<TZipFileSource>> sources;
    TZipHandle archive(opened);
    // AES-256 is applied by the sources themselves, so that the costly key
    // derivation runs on the compressing workers; without compression (and
    // for the traditional encryption and the header) the writer encrypts.
    const bool aes = !archivePassword_.empty() && encryptionMethod_ == ZIP_EM_AES_256;
    const bool sourcesEncrypt = aes && compressionLevel_ > 0;
    auto configure = [&](zip_int64_t index, bool encryptedBySource) {
        zip_set_file_compression(archive.Get(), index, compressionLevel_ == 0 ? ZIP_CM_STORE : ZIP_CM_DEFLATE,
                                 compressionLevel_);
        zip_file_set_external_attributes(archive.Get(), index, 0, ZIP_OPSYS_UNIX, (S_IFREG | 0600u) << 16);
        // An empty password means no encryption at all.
        if (!archivePassword_.empty())
            zip_file_set_encryption(archive.Get(), index, encryptionMethod_,
                                    encryptedBySource ? nullptr : archivePassword_.c_str());
    };
    // A file left out is said so in the log and in the report.
    auto reportLeftOut = [this](const std::string& path, const std::string& reason) {
        const std::string line = fileLabel_ + ": " + VisibleText(path) + ": " + reason;
        Report(line);
        env_.Ui.AddReportLine(line);
        leftOut_.push_back({path, reason});
    };
    auto leaveOut = [&](TZipFileSource& source) {
        reportLeftOut(source.Path(), source.Failure());
        zip_delete(archive.Get(), static_cast<zip_uint64_t>(source.Index));
        source.Removed = true;
    };
    // A file the task listed a moment ago keeps the status the listing saw;
    // any other file's status is taken, on every core: for many small files
    // it is most of the work before compression starts.
    std::vector<std::unique_ptr<TZipFileSource>> candidates;
    candidates.reserve(staged.size());
    for (TStagedEntry& entry : staged)
        candidates.push_back(std::make_unique<TZipFileSource>(
            std::move(entry.EntryName), std::move(entry.Folder), observer, std::move(entry.SourceName)));
    constexpr std::size_t PreparedTogether = 256;
    std::vector<char> prepared(candidates.size());
    RunInChunks(
        candidates.size(), PreparedTogether,
        [&](std::size_t first, std::size_t end) {
            for (std::size_t i = first; i < end; ++i) {
                if (const std::optional<TListedFileInfo>& listed = staged[i].Listed) {
                    candidates[i]->TakeListed(static_cast<std::uint64_t>(listed->Size), listed->Modified);
                    prepared[i] = true;
                } else {
                    prepared[i] = candidates[i]->Prepare();
                }
            }
        },
        [this] { env_.Ui.ProcessEvents(); });
    std::set<std::string_view> added;
    for (std::size_t candidate = 0; candidate < candidates.size(); ++candidate) {
        std::unique_ptr<TZipFileSource>& source = candidates[candidate];
        // A name listed twice is one entry, added once.
        if (added.contains(source->EntryName()))
            continue;
        if (IsHeaderEntryName(source->EntryName())) {
            reportLeftOut(source->Path(), std::string(HeaderNameReason));
            continue;
        }
        zip_source_t* zipSource = zip_source_function(archive.Get(), &TZipFileSource::Callback, source.get());
        // A name already in the archive ends up as one entry.
        source->Index = zipSource == nullptr ? -1
                                             : zip_file_add(archive.Get(), source->EntryName().c_str(),
                                                            zipSource, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8);
        if (source->Index < 0) {
            // A name the archive cannot hold (not UTF-8): the file is left
            // out, and said so like a file that cannot be read.
            reportLeftOut(source->Path(), zip_strerror(archive.Get()));
            zip_source_free(zipSource);
            continue;
        }
        added.insert(source->EntryName());
        configure(source->Index, sourcesEncrypt);
        if (!prepared[candidate])
            leaveOut(*source);
        if (sources.size() % 256 == 0)
            env_.Ui.ProcessEvents();
        sources.push_back(std::move(source));
    }
    if (withHeader) {
        zip_source_t* headerSource =
            zip_source_buffer(archive.Get(), stagedHeader_.data(), stagedHeader_.size(), 0);
        const zip_int64_t index = headerSource == nullptr
                                      ? -1
                                      : zip_file_add(archive.Get(), std::string(ArchiveHeaderName).c_str(),
                                                     headerSource, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8);
        if (index < 0 && headerSource != nullptr)
            zip_source_free(headerSource);
        if (index >= 0)
            configure(index, false);
    }
    // The writer takes the entries in the order of their index.
    std::sort(sources.begin(), sources.end(),
              [](const auto& a, const auto& b) { return a->Index < b->Index; });
    // A file that cannot be read when its turn comes makes the whole write
    // fail: leave it out, say so, and write the rest.
    for (std::size_t attempt = 0; attempt <= sources.size(); ++attempt) {
        const std::int64_t doneBefore = bytesDone_;
        std::vector<TZipFileSource*> attached;
        std::vector<TDeflateJob> jobs;
        for (const auto& source : sources)
            if (!source->Removed) {
                attached.push_back(source.get());
                jobs.push_back(source->Job());
            }
        TParallelDeflate pipeline(std::move(jobs), compressionLevel_, sourcesEncrypt ? archivePassword_ : "");
        for (std::size_t job = 0; job < attached.size(); ++job)
            attached[job]->Attach(&pipeline, job, compressionLevel_ > 0, sourcesEncrypt);
        if (archive.Commit()) {
            // The writer leaves the checksums of what it encrypted with AES in
            // clear. An archive that keeps them would give away guesses at
            // what its password protects: it goes.
            if (aes && !ClearAesChecksums(fileName_, error)) {
                Report("cannot clear the checksums of the encrypted entries: " + error);
                std::remove(fileName_.c_str());
            }
            return;
        }
        const auto failed = std::find_if(sources.begin(), sources.end(),
                                         [](const auto& s) { return s->Failed() && !s->Removed; });
        if (failed == sources.end()) {
            Report(std::string("cannot write the archive: ") + zip_strerror(archive.Get()));
            return;
        }
        leaveOut(**failed);
        bytesDone_ = doneBefore;
    }
}

int TArchive::ExtractFileTo(const std::string& spec, const std::string& destination)
{
    if (!env_.Password.empty())
        password_ = env_.Password;
    const int count = Extract({spec}, destination);
    env_.Ui.ProcessEvents();
    return count;
}

int TArchive::ExtractFile(const std::string& spec)
{
    return ExtractFileTo(spec, baseDir_);
}

void TArchive::ExtractFileList(const std::vector<std::string>& specs)
{
    if (!env_.Password.empty())
        password_ = env_.Password;
    Extract(specs, baseDir_);
    env_.Ui.ProcessEvents();
}

int TArchive::ExtractFolderTo(const std::string& folder, const std::string& mask,
                              const std::string& destination)
{
    const std::string spec = folder.empty() ? mask : folder + "/" + mask;
    const int count = Extract({spec}, destination);
    env_.Ui.ProcessEvents();
    return count;
}

int TArchive::ExtractFolder(const std::string& folder, const std::string& mask)
{
    return ExtractFolderTo(folder, mask, baseDir_);
}

int TArchive::ExtractFolderInto(const std::string& archiveFolder, const std::string& destination)
{
    const int count = Extract({archiveFolder + "/*"}, destination, archiveFolder.size() + 1);
    env_.Ui.ProcessEvents();
    return count;
}

int TArchive::ExtractNamedFile(const std::string& name)
{
    if (!env_.Password.empty())
        password_ = env_.Password;
    const int count =
        ExtractSelected([&name](const std::string& entry) { return entry == name; }, baseDir_, 0);
    env_.Ui.ProcessEvents();
    return count;
}

int TArchive::ExtractNamedFolder(const std::string& folder)
{
    if (!env_.Password.empty())
        password_ = env_.Password;
    const std::string prefix = folder + "/";
    const int count = ExtractSelected(
        [&prefix](const std::string& entry) { return entry.starts_with(prefix); }, baseDir_, 0);
    env_.Ui.ProcessEvents();
    return count;
}

TArchiveReaders* TArchive::Readers()
{
    if (!readers_) {
        auto readers = std::make_unique<TArchiveReaders>(
            fileName_, false, ArchiveCodePage(env_.CodePage, env_.ProgramDir, env_.Texts));
        std::string error;
        if (!readers->Open(error, WorkerCount())) {
            Report("cannot open the archive: " + error);
            return nullptr;
        }
        readers_ = std::move(readers);
    }
    return readers_.get();
}

int TArchive::Extract(const std::vector<std::string>& specs, const std::string& destination,
                      std::size_t strippedPrefix)
{
    const TSpecSet specSet(specs);
    return ExtractSelected([&specSet](const std::string& name) { return specSet.Matches(name); }, destination,
                           strippedPrefix);
}

int TArchive::ExtractSelected(const std::function<bool(const std::string&)>& selects,
                              const std::string& destination, std::size_t strippedPrefix)
{
    TArchiveReaders* readers = Readers();
    if (readers == nullptr)
        return 0;
    const std::string root = IncludeTrailingSeparator(destination.empty() ? std::string(".") : destination);
    std::vector<TPlannedEntry> planned;
    std::vector<std::uint64_t> companions;
    std::set<std::string> folders;
    for (std::uint64_t i = 0; i < readers->EntryCount(); ++i) {
        const std::string& name = readers->Name(i);
        if (name.empty() || name.ends_with('/') || !selects(name))
            continue;
        if (!IsConfinedPath(name)) {
            ReportEntry(name, "it would lie outside " + root);
            continue;
        }
        if (IsSymbolicLinkEntry(readers->Handle(), i)) {
            ReportEntry(name, "it is a symbolic link");
            continue;
        }
        if (IsSqliteCompanion(name)) {
            companions.push_back(i);
            continue;
        }
        // The selection took it, so every name is longer than the prefix.
        std::string target = name.substr(strippedPrefix);
        // Folders are made here, once each, so that the workers only write files.
        const std::string folder = ExtractFileDir(root + target);
        if (folders.insert(folder).second) {
            std::error_code fsError;
            fs::create_directories(folder, fsError);
            if (fsError) {
                folders.erase(folder);
                ReportEntry(name, "cannot create its folder: " + fsError.message());
                continue;
            }
        }
        planned.push_back({i, name, std::move(target), std::nullopt, {}});
    }
    // A database and its log are one: the log comes along with its database
    // whether a spec named it or not, and never without it.
    std::set<std::uint64_t> attachedLogs;
    for (TPlannedEntry& entry : planned) {
        if (!IsSqliteDatabase(entry.Name))
            continue;
        const std::string logName = WriteAheadLogName(entry.Name);
        const zip_int64_t log = zip_name_locate(readers->Handle(), logName.c_str(), 0);
        if (log < 0)
            continue;
        if (IsSymbolicLinkEntry(readers->Handle(), static_cast<zip_uint64_t>(log))) {
            ReportEntry(logName, "it is a symbolic link");
            continue;
        }
        entry.LogIndex = static_cast<std::uint64_t>(log);
        entry.LogName = logName;
        attachedLogs.insert(*entry.LogIndex);
    }
    for (const std::uint64_t companion : companions)
        if (!attachedLogs.contains(companion))
            ReportEntry(readers->Name(companion), "it is restored only with its database");
    return ExtractPlanned(*readers, planned, root);
}

void TArchive::ReportNotExtracted(const TPlannedEntry& entry, bool logFailed, int written,
                                  const std::string& reason)
{
    const std::string& failed = logFailed ? entry.LogName : entry.Name;
    ReportEntry(failed, reason);
    if (entry.LogIndex && written == 0)
        ReportEntry(logFailed ? entry.Name : entry.LogName, "it goes only with \"" + failed + "\"");
}

std::uint64_t TArchive::DeclaredBytes(const std::vector<std::string>& specs)
{
    TArchiveReaders* readers = Readers();
    if (readers == nullptr)
        return 0;
    const TSpecSet specSet(specs);
    std::uint64_t bytes = 0;
    for (std::uint64_t i = 0; i < readers->EntryCount(); ++i) {
        zip_stat_t info;
        if (IsExtractedBy(readers->Name(i), specSet) && zip_stat_index(readers->Handle(), i, 0, &info) == 0 &&
            (info.valid & ZIP_STAT_SIZE))
            bytes = info.size > UINT64_MAX - bytes ? UINT64_MAX : bytes + info.size;
    }
    return bytes;
}

std::vector<std::string> TArchive::EntryNamesMatching(const std::vector<std::string>& specs)
{
    std::vector<std::string> names;
    TArchiveReaders* readers = Readers();
    if (readers == nullptr)
        return names;
    const TSpecSet specSet(specs);
    for (std::uint64_t i = 0; i < readers->EntryCount(); ++i)
        if (IsExtractedBy(readers->Name(i), specSet))
            names.push_back(readers->Name(i));
    return names;
}

void TArchive::ShowExtractedBytes(std::uint64_t total)
{
    extractTotal_ = total;
}

int TArchive::ExtractPlanned(TArchiveReaders& readers, const std::vector<TPlannedEntry>& planned,
                             const std::string& root)
{
    int count = 0;
    std::vector<const TPlannedEntry*> pending;
    for (const TPlannedEntry& entry : planned) {
        if (const int written = AlreadyPlaced(readers, entry, root + entry.Target); written > 0)
            count += written;
        else
            pending.push_back(&entry);
    }
    // Of each entry still pending, whether the password failed on its log.
    std::vector<bool> wrongLogPassword;
    for (int attempt = 0; !pending.empty(); ++attempt) {
        std::vector<TDatabaseEntriesResult> results(pending.size());
        // Large entries are decoded piece by piece on every core.
        std::vector<std::unique_ptr<TPiecedEntry>> piecedEntries(pending.size());
        for (std::size_t k = 0; k < pending.size(); ++k) {
            piecedEntries[k] = TPiecedEntry::Plan(readers.Handle(), pending[k]->Index);
            if (piecedEntries[k] && !piecedEntries[k]->StageBeside(root + pending[k]->Target))
                piecedEntries[k].reset();
        }
        const auto tasks = ReadTasks(piecedEntries);
        const unsigned workers =
            readers.Reserve(static_cast<unsigned>(std::min<std::size_t>(WorkerCount(), tasks.size())));
        if (buffers_.size() < workers)
            buffers_.resize(workers);
        RunInParallel(
            tasks.size(), workers,
            [&](unsigned worker, std::size_t n) {
                const auto [k, task] = tasks[n];
                const TPlannedEntry& entry = *pending[k];
                TDatabaseEntriesResult& result = results[k];
                if (piecedEntries[k]) {
                    piecedEntries[k]->Run(readers.Handle(worker), task, password_, buffers_[worker], nullptr);
                    return true;
                }
                if (IsSqliteDatabase(entry.Name)) {
                    result = WriteDatabaseEntries(readers.Handle(worker), entry.Index, entry.LogIndex,
                                                  root + entry.Target, password_, buffers_[worker]);
                    return true;
                }
                result.Result = WriteEntryFile(readers.Handle(worker), entry.Index, root + entry.Target,
                                               password_, buffers_[worker], result.Problem);
                result.Written = result.Result == TReadResult::Ok ? 1 : 0;
                return true;
            },
            [this] { env_.Ui.ProcessEvents(); });
        for (std::size_t k = 0; k < pending.size(); ++k)
            if (piecedEntries[k])
                results[k] = PlacePieced(readers, *pending[k], *piecedEntries[k], root + pending[k]->Target);
        // The working memory goes between runs: a restore makes dozens of them.
        buffers_.clear();
        std::vector<const TPlannedEntry*> wrongPassword;
        wrongLogPassword.clear();
        for (std::size_t k = 0; k < pending.size(); ++k) {
            const TDatabaseEntriesResult& result = results[k];
            count += result.Written;
            CountExtracted(readers, *pending[k], result.Written);
            if (result.Result == TReadResult::Ok)
                placed_[root + pending[k]->Target] = {pending[k]->Index, pending[k]->LogIndex,
                                                      result.Written};
            if (result.Result == TReadResult::WrongPassword) {
                wrongPassword.push_back(pending[k]);
                wrongLogPassword.push_back(result.LogFailed);
            } else if (result.Result != TReadResult::Ok)
                ReportNotExtracted(*pending[k], result.LogFailed, result.Written,
                                   result.Result == TReadResult::Damaged
                                       ? std::string("the archive is damaged")
                                       : result.Problem);
        }
        pending = std::move(wrongPassword);
        std::string newPassword;
        if (pending.empty() || (attempt < PasswordAttempts && HandlePasswordError(newPassword)))
            continue;
        // Cancelled or too many tries: no more questions in this extract.
        for (std::size_t k = 0; k < pending.size(); ++k)
            ReportNotExtracted(*pending[k], wrongLogPassword[k], 0, "no or wrong password");
        break;
    }
    if (extractTotal_)
        env_.Ui.ShowProgressBytes(
            static_cast<std::int64_t>(std::min<std::uint64_t>(*extractTotal_, INT64_MAX)),
            static_cast<std::int64_t>(std::min<std::uint64_t>(extractedBytes_, INT64_MAX)));
    return count;
}

int TArchive::AlreadyPlaced(TArchiveReaders& readers, const TPlannedEntry& entry,
                            const std::string& path) const
{
    const auto found = placed_.find(path);
    if (found == placed_.end() || found->second.Index != entry.Index ||
        found->second.LogIndex != entry.LogIndex)
        return 0;
    zip_stat_t info;
    constexpr auto needed = ZIP_STAT_SIZE | ZIP_STAT_MTIME;
    struct stat file = {};
    const bool unchanged = zip_stat_index(readers.Handle(), entry.Index, 0, &info) == 0 &&
                           (info.valid & needed) == needed && ::stat(path.c_str(), &file) == 0 &&
                           S_ISREG(file.st_mode) && static_cast<std::uint64_t>(file.st_size) == info.size &&
                           file.st_mtim.tv_sec == info.mtime && file.st_mtim.tv_nsec == 0;
    return unchanged ? found->second.Written : 0;
}

TDatabaseEntriesResult TArchive::PlacePieced(TArchiveReaders& readers, const TPlannedEntry& entry,
                                             TPiecedEntry& pieced, const std::string& target)
{
    TDatabaseEntriesResult result;
    if (IsSqliteDatabase(entry.Name)) {
        // The database goes in with its log, as one.
        std::string staged;
        result.Result = pieced.Stage(readers.Handle(), target, staged, result.Problem);
        if (result.Result == TReadResult::Ok)
            return WriteDatabaseEntries(readers.Handle(), entry.Index, entry.LogIndex, target, password_,
                                        buffers_.front(), std::move(staged));
        // A map that does not describe its entry is no damage: the stream decides.
        if (result.Result == TReadResult::Damaged)
            return WriteDatabaseEntries(readers.Handle(), entry.Index, entry.LogIndex, target, password_,
                                        buffers_.front());
        return result;
    }
    result.Result = pieced.Place(readers.Handle(), target, result.Problem);
    if (result.Result == TReadResult::Damaged)
        result.Result = WriteEntryFile(readers.Handle(), entry.Index, target, password_, buffers_.front(),
                                       result.Problem);
    result.Written = result.Result == TReadResult::Ok ? 1 : 0;
    return result;
}

void TArchive::CountExtracted(TArchiveReaders& readers, const TPlannedEntry& entry, int written)
{
    auto size = [&readers](std::uint64_t index) {
        zip_stat_t info;
        return zip_stat_index(readers.Handle(), index, 0, &info) == 0 && (info.valid & ZIP_STAT_SIZE)
                   ? info.size
                   : std::uint64_t{0};
    };
    // A database's log is written only with it.
    if (written >= 1)
        extractedBytes_ += size(entry.Index);
    if (written >= 2 && entry.LogIndex)
        extractedBytes_ += size(*entry.LogIndex);
    extractedEntries_ += static_cast<std::uint64_t>(std::max(written, 0));
}

TArchiveCheck TArchive::ReadAllEntries(TArchiveReaders& readers, std::optional<std::string>& header,
                                       const winzip_aes::TKnownKeys* knownKeys)
{
    const std::size_t count = readers.EntryCount();
    std::vector<TReadResult> results(count, TReadResult::Ok);
    std::vector<std::uint64_t> bytes(count, 0);
    std::vector<std::string> headers(count);
    std::vector<std::unique_ptr<TPiecedEntry>> pieced(count);
    for (std::size_t i = 0; i < count; ++i)
        pieced[i] = TPiecedEntry::Plan(readers.Handle(), i);
    const auto tasks = ReadTasks(pieced);
    const unsigned workers =
        readers.Reserve(static_cast<unsigned>(std::min<std::size_t>(WorkerCount(), tasks.size())));
    if (buffers_.size() < workers)
        buffers_.resize(workers);
    auto readWhole = [&](zip_t* handle, std::size_t i, TReadBuffer& buffer) {
        const bool isHeader = readers.Name(i) == ArchiveHeaderName;
        bytes[i] = 0;
        results[i] = ReadArchiveEntry(
            handle, i, password_,
            [&, i](const char* data, std::size_t size) {
                bytes[i] += size;
                if (isHeader)
                    headers[i].append(data, size);
                return true;
            },
            buffer, knownKeys);
    };
    RunInParallel(
        tasks.size(), workers,
        [&](unsigned worker, std::size_t n) {
            const auto [i, task] = tasks[n];
            // A pieced entry is judged once all its pieces are in.
            if (pieced[i]) {
                pieced[i]->Run(readers.Handle(worker), task, password_, buffers_[worker], knownKeys);
                return true;
            }
            readWhole(readers.Handle(worker), i, buffers_[worker]);
            // Stop at the first failure: every entry before it has been handed out.
            return results[i] == TReadResult::Ok;
        },
        [this] { env_.Ui.ProcessEvents(); });
    for (std::size_t i = 0; i < count; ++i) {
        if (!pieced[i])
            continue;
        results[i] = pieced[i]->Result();
        bytes[i] = results[i] == TReadResult::Ok ? pieced[i]->Size() : 0;
        // A map that does not describe its entry (another program rewrote
        // the entry and kept the field) is no damage: the stream decides.
        if (results[i] == TReadResult::Damaged)
            readWhole(readers.Handle(), i, buffers_.front());
    }
    buffers_.clear();
    TArchiveCheck check;
    for (std::size_t i = 0; i < count; ++i) {
        if (results[i] != TReadResult::Ok) {
            check.Outcome = results[i] == TReadResult::WrongPassword ? TArchiveCheck::TOutcome::WrongPassword
                                                                     : TArchiveCheck::TOutcome::Damaged;
            check.Failure = readers.Name(i).empty() ? "?" : readers.Name(i);
            return check;
        }
        if (readers.Name(i) == ArchiveHeaderName)
            header = std::move(headers[i]);
        ++check.EntriesRead;
        check.BytesRead += bytes[i];
    }
    return check;
}

bool TArchive::VerifyArchive(std::string_view expectedHeader)
{
    // Writing freed libzip's records of every entry, about 1 KB each, in
    // the middle of the heap, where free() keeps them: given back now, they
    // do not add to the readers' own records of the same entries.
    malloc_trim(0);
    // Our own archives are checked strictly: every local header must agree
    // with the central directory.
    TArchiveReaders readers(fileName_, true);
    std::string error;
    if (!readers.Open(error, WorkerCount())) {
        Report("verification: cannot open the archive: " + error);
        return false;
    }
    std::optional<std::string> header;
    writtenKeys_.Seal();
    const TArchiveCheck check = ReadAllEntries(readers, header, &writtenKeys_);
    if (check.Outcome != TArchiveCheck::TOutcome::Passed) {
        Report("verification: entry \"" + check.Failure + "\" does not read back");
        return false;
    }
    if (header != expectedHeader) {
        Report("verification: the header does not read back as written");
        return false;
    }
    return true;
}

TArchiveCheck TArchive::CheckArchive()
{
    // Read as an extract reads it, so what passes here can be restored.
    TArchiveReaders readers(fileName_, false);
    std::string error;
    if (!readers.Open(error, WorkerCount())) {
        Report("check: cannot open the archive: " + error);
        return {TArchiveCheck::TOutcome::CannotOpen, error, 0, 0};
    }
    std::optional<std::string> header;
    TArchiveCheck check = ReadAllEntries(readers, header);
    if (check.Outcome == TArchiveCheck::TOutcome::WrongPassword)
        Report("check: entry \"" + check.Failure + "\": no or wrong password");
    else if (check.Outcome == TArchiveCheck::TOutcome::Damaged)
        Report("check: entry \"" + check.Failure + "\" does not read back");
    return check;
}

std::vector<std::string> TArchive::EntryNames()
{
    std::vector<std::string> names;
    TArchiveReaders* readers = Readers();
    if (readers == nullptr)
        return names;
    // The names as listed, without the rest of each entry's status: a
    // restore asks for them several times, for 100,000 entries at times.
    names.reserve(readers->EntryCount());
    for (std::uint64_t i = 0; i < readers->EntryCount(); ++i)
        if (const char* name = zip_get_name(readers->Handle(), i, 0))
            names.emplace_back(name);
    return names;
}

std::uint64_t TArchive::LargestDeclaredSize(const std::function<bool(std::string_view)>& selects)
{
    TArchiveReaders* readers = Readers();
    if (readers == nullptr)
        return 0;
    std::uint64_t largest = 0;
    for (std::uint64_t i = 0; i < readers->EntryCount(); ++i) {
        zip_stat_t info;
        if (selects(readers->Name(i)) && zip_stat_index(readers->Handle(), i, 0, &info) == 0 &&
            (info.valid & ZIP_STAT_SIZE))
            largest = std::max<std::uint64_t>(largest, info.size);
    }
    return largest;
}

std::optional<std::vector<TArchiveEntry>> TArchive::ListEntries()
{
    TArchiveReaders* readers = Readers();
    if (readers == nullptr)
        return std::nullopt;
    std::vector<TArchiveEntry> entries;
    entries.reserve(readers->EntryCount());
    for (std::uint64_t i = 0; i < readers->EntryCount(); ++i) {
        zip_stat_t info;
        if (zip_stat_index(readers->Handle(), i, 0, &info) != 0)
            continue;
        TArchiveEntry entry;
        if ((info.valid & ZIP_STAT_NAME) && info.name != nullptr)
            entry.Name = info.name;
        if (info.valid & ZIP_STAT_SIZE)
            entry.Size = info.size;
        if (info.valid & ZIP_STAT_COMP_SIZE)
            entry.CompressedSize = info.comp_size;
        entry.Encryption = (info.valid & ZIP_STAT_ENCRYPTION_METHOD)
                               ? std::string(EncryptionName(info.encryption_method))
                               : "unknown";
        entries.push_back(std::move(entry));
    }
    return entries;
}

void TArchive::HandleItemProgress(const std::string& item, std::uint64_t totalSize, int percent)
{
    env_.Ui.ProcessEvents();
    if (!env_.ShowsFileProgress)
        return;
    const auto size = static_cast<std::int64_t>(totalSize);
    if (percent == 0)
        env_.Ui.ShowTaskLine(fileLabel_ + ": " + VisibleText(item));
    env_.Ui.SetProgressPercent(bytesTotal_, bytesDone_ + size);
    if (percent == 100) {
        bytesDone_ += size;
        env_.Ui.SetProgressPercent(bytesTotal_, bytesDone_);
    }
}

bool TArchive::HandlePasswordError(std::string& newPassword)
{
    const auto typed = env_.Ui.AskRestorePassword();
    if (!typed)
        return false;
    newPassword = *typed;
    password_ = *typed;
    env_.Password = *typed;
    return true;
}

} // namespace quillbank
