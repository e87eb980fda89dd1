#include "engine/ZipFactory.h"

#include "apps/WizardState.h"
#include "config/AppSettings.h"
#include "config/errorlog.h"
#include "config/l10n.h"
#include "engine/BackupTask.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "platform/Text.h"
#include "platform/UserInterface.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>
#include <zlib.h>

namespace fs = std::filesystem;

namespace quillbank {

namespace {

constexpr const char* HeaderEntryName = "indexfile.txt";
constexpr std::size_t ChunkSize = 1 << 20;
/// How often a long file reports progress between its start and its end.
constexpr std::uint64_t ProgressStep = 16u << 20;
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
        // New archives hold passwords, cookies and keys: readable by their
        // owner only, from the moment the file appears.
        const mode_t previous = umask(077);
        const bool written = zip_close(archive_) == 0;
        umask(previous);
        if (written)
            archive_ = nullptr;
        return written;
    }

private:
    zip_t* archive_;
};

zip_t* OpenArchive(const std::string& path, int flags, std::string& error)
{
    int code = 0;
    zip_t* archive = zip_open(path.c_str(), flags, &code);
    if (archive == nullptr) {
        zip_error_t zipError;
        zip_error_init_with_code(&zipError, code);
        error = zip_error_strerror(&zipError);
        zip_error_fini(&zipError);
    }
    return archive;
}

/// Opens an archive to read it, with libzip's consistency checks, which
/// refuse entries that overlap. Some writers (libarchive's) leave the sizes
/// of the local headers to a trailing descriptor, which those checks take
/// for an inconsistency: such an archive is opened without them.
zip_t* OpenArchiveForReading(const std::string& path, std::string& error)
{
    int code = 0;
    if (zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code))
        return archive;
    return OpenArchive(path, code == ZIP_ER_INCONS ? ZIP_RDONLY : ZIP_RDONLY | ZIP_CHECKCONS, error);
}

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

bool IsSymbolicLinkEntry(zip_t* archive, zip_uint64_t index)
{
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(archive, index, 0, &system, &attributes) != 0)
        return false;
    return system == ZIP_OPSYS_UNIX && S_ISLNK(attributes >> 16);
}

/// A spec with "/" separators, where a final "*.*" means every name, as the
/// file-name wildcards it comes from meant it (names without a dot too).
std::string NormalizedSpec(const std::string& spec)
{
    std::string normalized = ReplaceAll(spec, "\\", "/");
    if (normalized.ends_with("*.*"))
        normalized.resize(normalized.size() - 2);
    return normalized;
}

bool MatchesAnySpec(std::string_view name, const std::vector<std::string>& specs)
{
    return std::any_of(specs.begin(), specs.end(), [name](const std::string& spec) {
        return MatchesWildcard(name, NormalizedSpec(spec));
    });
}

} // namespace

/// Feeds one file to the engine when it writes the archive: opened only
/// then, read in chunks, with progress at its start, along the way and at
/// its end. A file that cannot be read is remembered, so the write can go on
/// without it.
struct TZipFactory::TFileSource
{
    TZipFactory& factory;
    std::string entryName;
    std::string path;
    zip_int64_t index = -1;
    int fd = -1;
    std::uint64_t size = 0;
    std::uint64_t done = 0;
    std::uint64_t nextReport = 0;
    bool finished = false;
    bool failed = false;
    bool removed = false;
    std::string failure;
    zip_error_t error{};

    TFileSource(TZipFactory& owner, std::string entry, std::string source)
        : factory(owner), entryName(std::move(entry)), path(std::move(source))
    {
        zip_error_init(&error);
    }
    ~TFileSource()
    {
        if (fd >= 0)
            close(fd);
        zip_error_fini(&error);
    }

    zip_int64_t Fail(int code)
    {
        failed = true;
        failure = std::strerror(errno);
        zip_error_set(&error, code, errno);
        return -1;
    }

    zip_int64_t Command(void* data, zip_uint64_t length, zip_source_cmd_t command)
    {
        switch (command) {
        case ZIP_SOURCE_OPEN: {
            fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
            struct stat info
            {};
            if (fd < 0 || fstat(fd, &info) != 0)
                return Fail(ZIP_ER_OPEN);
            size = static_cast<std::uint64_t>(info.st_size);
            done = 0;
            nextReport = ProgressStep;
            finished = false;
            factory.HandleItemProgress(entryName, size, 0);
            return 0;
        }
        case ZIP_SOURCE_READ: {
            // Never more than the size the entry was opened with: a file that
            // grows while it is written is taken as it was.
            const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(length, size - done));
            if (wanted == 0) {
                if (!finished) {
                    finished = true;
                    factory.HandleItemProgress(entryName, size, 100);
                }
                return 0;
            }
            const ssize_t got = read(fd, data, wanted);
            if (got < 0)
                return Fail(ZIP_ER_READ);
            done += static_cast<std::uint64_t>(got);
            if (got == 0)
                size = done; // the file shrank: what was there is all there is
            if (done >= nextReport) {
                nextReport += ProgressStep;
                factory.HandleItemProgress(entryName, size,
                                           static_cast<int>(done * 100 / std::max<std::uint64_t>(size, 1)));
            }
            return got;
        }
        case ZIP_SOURCE_CLOSE:
            if (fd >= 0)
                close(fd);
            fd = -1;
            return 0;
        case ZIP_SOURCE_STAT: {
            auto* st = static_cast<zip_stat_t*>(data);
            zip_stat_init(st);
            struct stat info
            {};
            if (stat(path.c_str(), &info) != 0)
                return Fail(ZIP_ER_READ);
            st->size = static_cast<zip_uint64_t>(info.st_size);
            st->mtime = info.st_mtime;
            st->valid |= ZIP_STAT_SIZE | ZIP_STAT_MTIME;
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&error, data, length);
        case ZIP_SOURCE_FREE:
            return 0;
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                                  ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
        default:
            zip_error_set(&error, ZIP_ER_OPNOTSUPP, 0);
            return -1;
        }
    }

    static zip_int64_t Callback(void* self, void* data, zip_uint64_t length, zip_source_cmd_t command)
    {
        return static_cast<TFileSource*>(self)->Command(data, length, command);
    }
};

TZipFactory::TZipFactory(std::string fileName, std::string password, std::string baseDir,
                         TArchiveEnvironment environment)
    : fileName_(std::move(fileName)), baseDir_(std::move(baseDir)), archivePassword_(std::move(password)),
      env_(std::move(environment)), password_(archivePassword_)
{
    compressionLevel_ = ClampedLevel(ReadConfigInteger(env_.ProgramDir, "General", "compressionLevel", 9));
    encryptionMethod_ = EncryptionMethod(env_.ProgramDir);
    env_.Ui.ProcessEvents();
}

TZipFactory::TZipFactory(std::string fileName, std::string password, TArchiveEnvironment environment)
    : TZipFactory(std::move(fileName), std::move(password), std::string(), std::move(environment))
{}

TZipFactory::~TZipFactory() = default;

void TZipFactory::SetCompressionLevel(int level)
{
    compressionLevel_ = ClampedLevel(level);
}

void TZipFactory::SetEncryption(TZipEncryption encryption)
{
    encryptionMethod_ = encryption == TZipEncryption::ZipCrypto ? ZIP_EM_TRAD_PKWARE : ZIP_EM_AES_256;
}

void TZipFactory::Report(const std::string& what) const
{
    WriteErrorLog(fileName_ + ": " + what);
}

void TZipFactory::AddTask(const TBackupTask& task, std::string_view header)
{
    bytesTotal_ = task.TotalBytes();
    bytesDone_ = 0;
    stagedHeader_ = std::string(header);
    headerStaged_ = !header.empty();
    for (const std::string& name : task.Files())
        staged_.emplace_back(name, IncludeTrailingSeparator(baseDir_) + name);
    ++addOperations_;
    for (const TBackupTaskExternal& external : task.ExternalFiles()) {
        staged_.emplace_back(external.RelativeName,
                             IncludeTrailingSeparator(external.SourceDir) + external.RelativeName);
        ++addOperations_;
    }
    WriteStaged();
    env_.Ui.ProcessEvents();
}

void TZipFactory::AddFileList(const std::vector<std::string>& names)
{
    for (const std::string& name : names)
        staged_.emplace_back(name, IncludeTrailingSeparator(baseDir_) + name);
    ++addOperations_;
    WriteStaged();
    env_.Ui.ProcessEvents();
}

void TZipFactory::AddExternalFile(const std::string& relativeName, const std::string& sourceFolder)
{
    staged_.emplace_back(relativeName, IncludeTrailingSeparator(sourceFolder) + relativeName);
    ++addOperations_;
    WriteStaged();
}

void TZipFactory::WriteStaged()
{
    const auto staged = std::move(staged_);
    staged_.clear();
    const bool withHeader = std::exchange(headerStaged_, false);
    std::string error;
    zip_t* opened = OpenArchive(fileName_, ZIP_CREATE, error);
    if (opened == nullptr) {
        Report("cannot open the archive for writing: " + error);
        return;
    }
    // The sources outlive the archive handle: discarding the archive still
    // calls them.
    std::vector<std::unique_ptr<TFileSource>> sources;
    TZipHandle archive(opened);
    auto configure = [&](zip_int64_t index) {
        zip_set_file_compression(archive.Get(), index, compressionLevel_ == 0 ? ZIP_CM_STORE : ZIP_CM_DEFLATE,
                                 compressionLevel_);
        zip_file_set_external_attributes(archive.Get(), index, 0, ZIP_OPSYS_UNIX, (S_IFREG | 0600u) << 16);
        // An empty password means no encryption at all.
        if (!archivePassword_.empty())
            zip_file_set_encryption(archive.Get(), index, encryptionMethod_, archivePassword_.c_str());
    };
    std::set<std::string> added;
    for (const auto& [entryName, path] : staged) {
        // A name listed twice is one entry, added once.
        if (!added.insert(entryName).second)
            continue;
        auto source = std::make_unique<TFileSource>(*this, entryName, path);
        zip_source_t* zipSource = zip_source_function(archive.Get(), &TFileSource::Callback, source.get());
        if (zipSource == nullptr)
            continue;
        // A name given twice, or already in the archive, ends up as one entry.
        source->index =
            zip_file_add(archive.Get(), entryName.c_str(), zipSource, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8);
        if (source->index < 0) {
            zip_source_free(zipSource);
            Report("cannot add \"" + entryName + "\": " + zip_strerror(archive.Get()));
            continue;
        }
        configure(source->index);
        sources.push_back(std::move(source));
    }
    if (withHeader) {
        zip_source_t* headerSource =
            zip_source_buffer(archive.Get(), stagedHeader_.data(), stagedHeader_.size(), 0);
        const zip_int64_t index = headerSource == nullptr
                                      ? -1
                                      : zip_file_add(archive.Get(), HeaderEntryName, headerSource,
                                                     ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8);
        if (index < 0 && headerSource != nullptr)
            zip_source_free(headerSource);
        if (index >= 0)
            configure(index);
    }
    // A file that cannot be read when its turn comes makes the whole write
    // fail: leave it out, say so, and write the rest.
    for (std::size_t attempt = 0; attempt <= sources.size(); ++attempt) {
        const std::int64_t doneBefore = bytesDone_;
        if (archive.Commit())
            return;
        const auto failed = std::find_if(sources.begin(), sources.end(),
                                         [](const auto& s) { return s->failed && !s->removed; });
        if (failed == sources.end()) {
            Report(std::string("cannot write the archive: ") + zip_strerror(archive.Get()));
            return;
        }
        const std::string line = env_.L10n.GetText("Quillbank14", "LANG_FILE") + ": " + (*failed)->path +
                                 ": " + (*failed)->failure;
        Report(line);
        env_.Ui.AddReportLine(line);
        zip_delete(archive.Get(), static_cast<zip_uint64_t>((*failed)->index));
        (*failed)->removed = true;
        bytesDone_ = doneBefore;
    }
}

int TZipFactory::ExtractFileTo(const std::string& spec, const std::string& destination)
{
    if (!env_.State.BackupPassword.empty())
        password_ = env_.State.BackupPassword;
    const int count = Extract({spec}, destination);
    env_.Ui.ProcessEvents();
    return count;
}

int TZipFactory::ExtractFile(const std::string& spec)
{
    return ExtractFileTo(spec, baseDir_);
}

void TZipFactory::ExtractFileList(const std::vector<std::string>& specs)
{
    if (!env_.State.BackupPassword.empty())
        password_ = env_.State.BackupPassword;
    Extract(specs, baseDir_);
    env_.Ui.ProcessEvents();
}

int TZipFactory::ExtractFolderTo(const std::string& folder, const std::string& mask,
                                 const std::string& destination)
{
    const std::string spec = folder.empty() ? mask : folder + "/" + mask;
    const int count = Extract({spec}, destination);
    env_.Ui.ProcessEvents();
    return count;
}

int TZipFactory::ExtractFolder(const std::string& folder, const std::string& mask)
{
    return ExtractFolderTo(folder, mask, baseDir_);
}

int TZipFactory::Extract(const std::vector<std::string>& specs, const std::string& destination)
{
    std::string error;
    // The consistency checks refuse archives whose entries overlap.
    zip_t* opened = OpenArchiveForReading(fileName_, error);
    if (opened == nullptr) {
        Report("cannot open the archive: " + error);
        return 0;
    }
    TZipHandle archive(opened);
    const std::string root = IncludeTrailingSeparator(destination.empty() ? std::string(".") : destination);
    int count = 0;
    bool stopAsking = false;
    const zip_int64_t entries = zip_get_num_entries(archive.Get(), 0);
    for (zip_int64_t i = 0; i < entries; ++i) {
        const char* rawName = zip_get_name(archive.Get(), static_cast<zip_uint64_t>(i), 0);
        if (rawName == nullptr)
            continue;
        // Archives made on Windows may separate folders with backslashes.
        const std::string name = ReplaceAll(rawName, "\\", "/");
        if (name.ends_with('/') || !MatchesAnySpec(name, specs))
            continue;
        if (!IsConfinedPath(name)) {
            Report("entry \"" + name + "\" not extracted: it would lie outside " + root);
            continue;
        }
        if (IsSymbolicLinkEntry(archive.Get(), static_cast<zip_uint64_t>(i))) {
            Report("entry \"" + name + "\" not extracted: it is a symbolic link");
            continue;
        }
        if (ExtractEntry(archive.Get(), static_cast<zip_uint64_t>(i), name, root + name, stopAsking))
            ++count;
    }
    return count;
}

TZipFactory::TReadResult TZipFactory::ReadEntry(void* opaque, std::uint64_t index, const TEntrySink& sink)
{
    auto* archive = static_cast<zip_t*>(opaque);
    zip_stat_t info;
    if (zip_stat_index(archive, index, 0, &info) != 0)
        return TReadResult::Damaged;
    const bool encrypted = (info.valid & ZIP_STAT_ENCRYPTION_METHOD) && info.encryption_method != ZIP_EM_NONE;
    if (encrypted && password_.empty())
        return TReadResult::WrongPassword;
    zip_file_t* entry = encrypted ? zip_fopen_index_encrypted(archive, index, 0, password_.c_str())
                                  : zip_fopen_index(archive, index, 0);
    if (entry == nullptr) {
        const int code = zip_error_code_zip(zip_get_error(archive));
        return code == ZIP_ER_WRONGPASSWD || code == ZIP_ER_NOPASSWD ? TReadResult::WrongPassword
                                                                     : TReadResult::Damaged;
    }
    const bool aes =
        encrypted && (info.encryption_method == ZIP_EM_AES_128 || info.encryption_method == ZIP_EM_AES_192 ||
                      info.encryption_method == ZIP_EM_AES_256);
    const bool withoutChecksum = aes && (info.valid & ZIP_STAT_CRC) && info.crc == 0;
    std::vector<char> buffer(ChunkSize);
    std::uint64_t total = 0;
    uLong crc = crc32(0L, Z_NULL, 0);
    std::uint64_t nextEvents = ProgressStep;
    TReadResult result = TReadResult::Ok;
    while (result == TReadResult::Ok) {
        const zip_int64_t got = zip_fread(entry, buffer.data(), buffer.size());
        if (got <= 0) {
            // WinZip AES entries of the second kind carry no checksum (their
            // data is authenticated instead); this libzip still compares the
            // empty one at the end and fails all but the shortest of them.
            if (got < 0 && !(withoutChecksum && zip_error_code_zip(zip_file_get_error(entry)) == ZIP_ER_CRC &&
                             total == info.size))
                result = TReadResult::Damaged;
            break;
        }
        total += static_cast<std::uint64_t>(got);
        // An entry never yields more than its declared size.
        if ((info.valid & ZIP_STAT_SIZE) && total > info.size)
            result = TReadResult::Damaged;
        else if (!sink(buffer.data(), static_cast<std::size_t>(got)))
            result = TReadResult::SinkFailed;
        crc = crc32(crc, reinterpret_cast<const Bytef*>(buffer.data()), static_cast<uInt>(got));
        if (total >= nextEvents) {
            nextEvents += ProgressStep;
            env_.Ui.ProcessEvents();
        }
    }
    zip_fclose(entry);
    if (result == TReadResult::Ok && (((info.valid & ZIP_STAT_SIZE) && total != info.size) ||
                                      ((info.valid & ZIP_STAT_CRC) && !withoutChecksum && crc != info.crc)))
        result = TReadResult::Damaged;
    // A wrong password can pass the traditional encryption's check byte and
    // give garbage that fails the checksum. (AES checks the password when the
    // entry is opened: a later failure is damage.)
    if (result == TReadResult::Damaged && encrypted && !aes)
        result = TReadResult::WrongPassword;
    return result;
}

bool TZipFactory::ExtractEntry(void* archive, std::uint64_t index, const std::string& name,
                               const std::string& target, bool& stopAsking)
{
    std::error_code fsError;
    fs::create_directories(fs::path(target).parent_path(), fsError);
    if (fsError) {
        Report("entry \"" + name + "\": cannot create its folder: " + fsError.message());
        return false;
    }
    for (int attempt = 0;; ++attempt) {
        // Written beside the target and renamed over it only when complete
        // and intact: a failed extraction never leaves half a file in place
        // of a good one.
        std::string temporary = target + ".qbpart-XXXXXX";
        const int out = mkstemp(temporary.data());
        if (out < 0) {
            Report("entry \"" + name + "\": cannot write " + target + ": " + std::strerror(errno));
            return false;
        }
        const TReadResult result = ReadEntry(archive, index, [out](const char* data, std::size_t size) {
            return write(out, data, size) == static_cast<ssize_t>(size);
        });
        const bool closed = close(out) == 0;
        if (result == TReadResult::Ok && closed) {
            zip_stat_t info;
            if (zip_stat_index(static_cast<zip_t*>(archive), index, 0, &info) == 0 &&
                (info.valid & ZIP_STAT_MTIME)) {
                const timespec times[2] = {{info.mtime, 0}, {info.mtime, 0}};
                utimensat(AT_FDCWD, temporary.c_str(), times, 0);
            }
            if (rename(temporary.c_str(), target.c_str()) == 0)
                return true;
            Report("entry \"" + name + "\": cannot replace " + target + ": " + std::strerror(errno));
            unlink(temporary.c_str());
            return false;
        }
        unlink(temporary.c_str());
        if (result == TReadResult::WrongPassword) {
            std::string newPassword;
            if (!stopAsking && attempt < PasswordAttempts && HandlePasswordError(newPassword))
                continue;
            // Cancelled or too many tries: no more questions in this extract.
            stopAsking = true;
            Report("entry \"" + name + "\" not extracted: no or wrong password");
            return false;
        }
        Report("entry \"" + name + "\" not extracted: " +
               (result == TReadResult::Damaged ? std::string("the archive is damaged")
                                               : "cannot write " + target));
        return false;
    }
}

TArchiveCheck TZipFactory::ReadAllEntries(void* opaque, std::optional<std::string>& header)
{
    auto* archive = static_cast<zip_t*>(opaque);
    TArchiveCheck check;
    const zip_int64_t entries = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < entries; ++i) {
        const char* name = zip_get_name(archive, static_cast<zip_uint64_t>(i), 0);
        const bool isHeader = name != nullptr && std::string_view(name) == HeaderEntryName;
        std::string content;
        std::uint64_t bytes = 0;
        const TReadResult result =
            ReadEntry(archive, static_cast<zip_uint64_t>(i), [&](const char* data, std::size_t size) {
                bytes += size;
                if (isHeader)
                    content.append(data, size);
                return true;
            });
        if (result != TReadResult::Ok) {
            check.Outcome = result == TReadResult::WrongPassword ? TArchiveCheck::TOutcome::WrongPassword
                                                                 : TArchiveCheck::TOutcome::Damaged;
            check.Failure = name != nullptr ? name : "?";
            return check;
        }
        if (isHeader)
            header = std::move(content);
        ++check.EntriesRead;
        check.BytesRead += bytes;
    }
    return check;
}

bool TZipFactory::VerifyArchive(std::string_view expectedHeader)
{
    std::string error;
    // Our own archives are checked strictly: every local header must agree
    // with the central directory.
    zip_t* opened = OpenArchive(fileName_, ZIP_RDONLY | ZIP_CHECKCONS, error);
    if (opened == nullptr) {
        Report("verification: cannot open the archive: " + error);
        return false;
    }
    TZipHandle archive(opened);
    std::optional<std::string> header;
    const TArchiveCheck check = ReadAllEntries(archive.Get(), header);
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

TArchiveCheck TZipFactory::CheckArchive()
{
    std::string error;
    // Read as an extract reads it, so what passes here can be restored.
    zip_t* opened = OpenArchiveForReading(fileName_, error);
    if (opened == nullptr) {
        Report("check: cannot open the archive: " + error);
        return {TArchiveCheck::TOutcome::CannotOpen, error, 0, 0};
    }
    TZipHandle archive(opened);
    std::optional<std::string> header;
    TArchiveCheck check = ReadAllEntries(archive.Get(), header);
    if (check.Outcome == TArchiveCheck::TOutcome::WrongPassword)
        Report("check: entry \"" + check.Failure + "\": no or wrong password");
    else if (check.Outcome == TArchiveCheck::TOutcome::Damaged)
        Report("check: entry \"" + check.Failure + "\" does not read back");
    return check;
}

std::optional<std::vector<TArchiveEntry>> TZipFactory::ListEntries()
{
    std::string error;
    zip_t* opened = OpenArchiveForReading(fileName_, error);
    if (opened == nullptr) {
        Report("cannot open the archive: " + error);
        return std::nullopt;
    }
    TZipHandle archive(opened);
    std::vector<TArchiveEntry> entries;
    const zip_int64_t count = zip_get_num_entries(archive.Get(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t info;
        if (zip_stat_index(archive.Get(), static_cast<zip_uint64_t>(i), 0, &info) != 0)
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

void TZipFactory::HandleItemProgress(const std::string& item, std::uint64_t totalSize, int percent)
{
    env_.Ui.ProcessEvents();
    if (env_.State.Operation != 1)
        return;
    const auto size = static_cast<std::int64_t>(totalSize);
    if (percent == 0)
        env_.Ui.ShowTaskLine(env_.L10n.GetText("Quillbank14", "LANG_FILE") + ": " + item);
    env_.Ui.SetProgressPercent(bytesTotal_, bytesDone_ + size);
    if (percent == 100) {
        bytesDone_ += size;
        env_.Ui.SetProgressPercent(bytesTotal_, bytesDone_);
    }
}

bool TZipFactory::HandlePasswordError(std::string& newPassword)
{
    const auto typed = env_.Ui.AskRestorePassword();
    if (!typed)
        return false;
    newPassword = *typed;
    password_ = *typed;
    env_.State.BackupPassword = *typed;
    return true;
}

} // namespace quillbank
