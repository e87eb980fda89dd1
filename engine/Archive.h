// The archive: one backup file and the only way to the ZIP engine, to add, extract and check entries.

#pragma once

#include "engine/BackupTask.h"
#include "engine/WinZipAes.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quillbank {

class TArchiveReaders;
class TInterfaceTexts;
class TPiecedEntry;
class TUserInterface;
struct TDatabaseEntriesResult;

/// What an archive object works with besides its archive: the person, the
/// texts, the program folder (whose "Backup.ini" names the compression level
/// and encryption), and what the run that opens it chose.
struct TArchiveEnvironment
{
    TUserInterface& Ui;
    const TInterfaceTexts& Texts;
    std::string ProgramDir;
    /// The run's password, shared by every archive the run opens: extracts
    /// use it when it is set, and one the user types for an encrypted entry
    /// stays in it for the rest of the run.
    std::string& Password;
    /// The code page for the names of archives made on Windows; empty for
    /// the configured one.
    std::string CodePage;
    /// Whether adds show each file and its bytes on the progress (a backup
    /// does; the archive a restore keeps for its undo does not).
    bool ShowsFileProgress = false;
};

/// How the entries of a new protected archive are encrypted.
enum class TZipEncryption
{
    Aes256,
    ZipCrypto,
};

/// One entry as the archive's directory lists it.
struct TArchiveEntry
{
    std::string Name;
    std::uint64_t Size = 0;
    std::uint64_t CompressedSize = 0;
    /// "none", "zipcrypto", "aes128", "aes192", "aes256", or "unknown".
    std::string Encryption;
};

/// A file an archive had to leave out, and why.
struct TLeftOutFile
{
    std::string Path;
    std::string Reason;

    bool operator==(const TLeftOutFile&) const = default;
};

/// What reading every entry of an archive back found.
struct TArchiveCheck
{
    enum class TOutcome
    {
        Passed,
        CannotOpen,
        WrongPassword,
        Damaged,
    };
    TOutcome Outcome = TOutcome::Passed;
    /// The entry that failed, or why the archive did not open; empty when it passed.
    std::string Failure;
    /// Entries and bytes read completely before the end or the failure.
    std::uint64_t EntriesRead = 0;
    std::uint64_t BytesRead = 0;
};

/// The header entry at the root of every archive.
inline constexpr std::string_view ArchiveHeaderName = "indexfile.txt";

/// Whether an extract asking for the header entry "indexfile.txt" would also
/// take the entry `name` (letter case is ignored): a name only the header may
/// have, so no file is ever added under it.
bool IsHeaderEntryName(std::string_view name);
/// Why a file named like the header is neither backed up nor restored.
inline constexpr std::string_view HeaderNameReason = "the name is the backup's own header";

/**
 * One archive file, one base folder and an optional password: the only way
 * to the ZIP engine. Adds read each file only when it is written, report
 * progress file by file and keep the window responsive; extracts recreate the
 * stored folders below a destination, never outside it, and replace a file
 * only with an entry that was read completely and whose checksum matched.
 *
 * Failures of the engine are not errors of the layer: they show as fewer
 * files extracted, or as an archive that does not verify, and each is one of
 * ReportedProblems().
 */
class TArchive
{
public:
    /// Reads the compression level ("compressionLevel", 0 to 9, default 9)
    /// and the encryption ("encryption": "aes256", the default, or
    /// "zipcrypto") from "Backup.ini"; throws EConfigFileMissing when that
    /// file has gone.
    TArchive(std::string fileName, std::string password, std::string baseDir,
             TArchiveEnvironment environment);
    TArchive(std::string fileName, std::string password, TArchiveEnvironment environment);
    ~TArchive();
    TArchive(const TArchive&) = delete;
    TArchive& operator=(const TArchive&) = delete;

    const std::string& FileName() const { return fileName_; }
    const std::string& BaseDir() const { return baseDir_; }

    /// Override what "Backup.ini" says for the entries written from now on;
    /// a level outside 0 to 9 is brought within it.
    void SetCompressionLevel(int level);
    void SetEncryption(TZipEncryption encryption);

    // Adding. Each operation leaves a complete archive behind; AddTask writes
    // the archive once for the whole task. Entries encrypted with AES carry
    // no checksum of their content: an archive whose checksums cannot be
    // cleared is removed, and the error log says why.

    /// Adds the task's profile files from BaseDir and each external file from
    /// its own folder; `header` (when given) becomes the entry "indexfile.txt".
    void AddTask(const TBackupTask& task, std::string_view header = {});
    /// The files the adds so far had to leave out: unreadable, vanished,
    /// named so the archive cannot hold them, or named like the header (a
    /// backup unpacked into the profile leaves one). Each was also a report
    /// line ("File: <path>: <reason>").
    const std::vector<TLeftOutFile>& LeftOutFiles() const { return leftOut_; }
    void AddFileList(const std::vector<std::string>& names);

    // Extracting. A spec matches entry names: "*" any run of characters,
    // folder separators included, "?" one character, letter case ignored, "\"
    // standing for "/".

    int ExtractFileTo(const std::string& spec, const std::string& destination);
    int ExtractFile(const std::string& spec);
    void ExtractFileList(const std::vector<std::string>& specs);
    int ExtractFolderTo(const std::string& folder, const std::string& mask, const std::string& destination);
    int ExtractFolder(const std::string& folder, const std::string& mask);
    /// The sum of the sizes the archive declares for the entries an extract
    /// of `specs` would write; an entry that several specs match counts once.
    std::uint64_t DeclaredBytes(const std::vector<std::string>& specs);
    /// The names of the entries an extract of `specs` would write.
    std::vector<std::string> EntryNamesMatching(const std::vector<std::string>& specs);
    /// Shows the bytes the extracts write from now on against `total`, on the
    /// user interface's progress.
    void ShowExtractedBytes(std::uint64_t total);
    /// The entries the extracts wrote so far (a database and its log count
    /// as two), and the bytes the archive declares for them.
    std::uint64_t ExtractedEntries() const { return extractedEntries_; }
    std::uint64_t ExtractedBytes() const { return extractedBytes_; }
    /// Extracts every entry below the top-level `archiveFolder` into
    /// `destination`, without that first level: "Box~2/Inbox" becomes
    /// destination + "/Inbox". `archiveFolder` holds no wildcard or separator.
    int ExtractFolderInto(const std::string& archiveFolder, const std::string& destination);

    // Extracting by name: the name is taken as it is, exactly, "*" and "?"
    // included, for names that come from outside (a header's unknown entries).

    /// Extracts the entry named `name` into BaseDir; 1 when it was written.
    int ExtractNamedFile(const std::string& name);
    /// Extracts every entry below the folder named `folder` into BaseDir.
    int ExtractNamedFolder(const std::string& folder);

    /// Whether the archive reads back: every entry decrypts and matches its
    /// size and checksum, and the header entry holds `expectedHeader`.
    bool VerifyArchive(std::string_view expectedHeader);
    /// Reads every entry to its end as an extract would (decrypting, checking
    /// sizes and checksums) and writes nothing; stops at the first failure.
    /// The password is never asked for: a missing or wrong one is the outcome.
    TArchiveCheck CheckArchive();
    /// The entries in the archive's order; nothing when it cannot be opened.
    std::optional<std::vector<TArchiveEntry>> ListEntries();
    /// The entries' names in the archive's order; none when it cannot be opened.
    std::vector<std::string> EntryNames();
    /// The largest size that an entry whose name `selects` accepts declares;
    /// 0 when there is none. Only those entries are looked at.
    std::uint64_t LargestDeclaredSize(const std::function<bool(std::string_view)>& selects);

    /// Progress of one item: its start (0), its end (100) and points between.
    void HandleItemProgress(const std::string& item, std::uint64_t totalSize, int percent);
    /// Asks for the password of an encrypted entry; true with `newPassword`
    /// set when the user gave one.
    bool HandlePasswordError(std::string& newPassword);

    /// Everything the operations so far refused or failed to do, in order:
    /// the entry (or, for the archive as a whole, its file) and why. Each
    /// was also a line in the error log.
    const std::vector<TLeftOutFile>& ReportedProblems() const { return problems_; }

private:
    /// Writes the staged entries into the archive in one go.
    void WriteStaged();
    /// The handles extracts read through, opened on first use; nullptr when
    /// the archive cannot be opened.
    TArchiveReaders* Readers();
    struct TPlannedEntry
    {
        std::uint64_t Index = 0;
        std::string Name;
        /// Where the entry goes, relative to the destination.
        std::string Target;
        /// The archive's log of a database entry, which goes with it.
        std::optional<std::uint64_t> LogIndex;
        std::string LogName;
    };
    /// Extracts the entries the specs match below `destination`, each without
    /// the first `strippedPrefix` characters of its name. A database entry
    /// brings the archive's log of it along; a log or shared-memory index is
    /// never extracted without its database.
    int Extract(const std::vector<std::string>& specs, const std::string& destination,
                std::size_t strippedPrefix = 0);
    /// Extracts the entries whose names `selects` accepts below `destination`.
    int ExtractSelected(const std::function<bool(const std::string&)>& selects,
                        const std::string& destination, std::size_t strippedPrefix);
    /// Writes the entries below `root` on every core, each database with its
    /// log as one; asks for the password again when it turns out wrong.
    /// Adds an entry that an extract wrote (with its log, when `written` is 2) to the tallies.
    void CountExtracted(TArchiveReaders& readers, const TPlannedEntry& entry, int written);
    int ExtractPlanned(TArchiveReaders& readers, const std::vector<TPlannedEntry>& planned,
                       const std::string& root);
    /// The entries (1, or 2 with its log) an earlier extract placed at the
    /// planned entry's target from the same entry, when the file there is
    /// still as it was placed: its size and time are the entry's. 0 otherwise.
    int AlreadyPlaced(TArchiveReaders& readers, const TPlannedEntry& entry, const std::string& path) const;
    /// Puts an entry read in pieces in place at `target`, a database with
    /// its log; an entry whose map did not describe it is read again whole.
    TDatabaseEntriesResult PlacePieced(TArchiveReaders& readers, const TPlannedEntry& entry,
                                       TPiecedEntry& pieced, const std::string& target);
    /// Reads every entry; `header` receives the header entry.
    TArchiveCheck ReadAllEntries(TArchiveReaders& readers, std::optional<std::string>& header,
                                 const winzip_aes::TKnownKeys* knownKeys = nullptr);
    /// One line in the error log about this archive, and a problem of the archive as a whole.
    void Report(const std::string& what);
    /// One line in the error log about an entry that was not extracted, and a problem of that entry.
    void ReportEntry(const std::string& name, const std::string& reason);
    /// The lines about a planned entry that was not written: the one that
    /// failed, for `reason`, and a database or log that stays behind with it.
    void ReportNotExtracted(const TPlannedEntry& entry, bool logFailed, int written,
                            const std::string& reason);

    std::string fileName_;
    std::string baseDir_;
    std::string archivePassword_;
    TArchiveEnvironment env_;
    /// The password entries are read with; never cleared once set.
    std::string password_;
    int compressionLevel_ = 9;
    std::uint16_t encryptionMethod_ = 0;
    std::int64_t bytesDone_ = 0;
    std::int64_t bytesTotal_ = 0;
    std::uint64_t extractedEntries_ = 0;
    std::uint64_t extractedBytes_ = 0;
    /// The total the extracted bytes are shown against; nothing while they are not shown.
    std::optional<std::uint64_t> extractTotal_;
    /// An entry waiting to be written.
    struct TStagedEntry
    {
        std::string EntryName;
        /// The folder the file is read from (ending with a separator), shared
        /// by all the entries from there.
        std::shared_ptr<const std::string> Folder;
        /// The file's name below Folder; empty when it is EntryName.
        std::string SourceName;
        /// Its size and time as the task listed them a moment ago, having
        /// found it readable; nothing for a file looked at when it is added.
        std::optional<TListedFileInfo> Listed;
    };
    std::vector<TStagedEntry> staged_;
    std::string stagedHeader_;
    /// The label of file lines in the progress and the report.
    std::string fileLabel_;
    std::vector<TLeftOutFile> leftOut_;
    std::vector<TLeftOutFile> problems_;
    std::unique_ptr<TArchiveReaders> readers_;
    /// The keys the entries written last were encrypted with.
    winzip_aes::TKnownKeys writtenKeys_;
    /// Working memory of each reading thread.
    std::vector<std::vector<char>> buffers_;
    /// What the extracts placed, by the file's path: parts of a restore
    /// overlap (a key database goes with the passwords and with the
    /// certificates), and a file is written once.
    struct TPlacedFile
    {
        std::uint64_t Index = 0;
        std::optional<std::uint64_t> LogIndex;
        int Written = 0;
    };
    std::unordered_map<std::string, TPlacedFile> placed_;
    bool headerStaged_ = false;
};

} // namespace quillbank
