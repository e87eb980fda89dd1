// Opens an archive for reading, refusing duplicate names and overlapping entries, and decodes entry names.

#include "engine/ArchiveReaders.h"

#include "engine/ArchiveFile.h"
#include "engine/EntryOverlap.h"
#include "platform/CodePage.h"
#include "platform/Text.h"

#include <future>
#include <mutex>
#include <string_view>
#include <unordered_set>
#include <utility>

namespace quillbank {

namespace {

/// Which name an archive holds twice, for libzip's consistency checks, which
/// refuse such an archive whole saying only that a file already exists. The
/// archive stays refused: which of the two entries is the real one cannot be told.
std::string DuplicateNameError(const std::string& path)
{
    std::string error = "an entry name appears twice";
    int code = 0;
    zip_t* archive = OpenArchiveToRead(path, 0, code);
    if (archive == nullptr)
        return error;
    std::unordered_set<std::string_view> seen;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name = zip_get_name(archive, static_cast<zip_uint64_t>(i), 0);
        if (name != nullptr && !seen.insert(name).second) {
            error = "the entry \"" + std::string(name) + "\" appears twice";
            break;
        }
    }
    zip_discard(archive);
    return error;
}

/// The name of entry `index` in UTF-8. A name with ZIP's UTF-8 flag, one of
/// ASCII alone, and one that is well-formed UTF-8 (other tools write such
/// names without the flag) are read as they are stored; any other is read in
/// `codePage`, and when that is not set or does not define its bytes, in the
/// code page the ZIP format names (437), as libzip reads it.
std::string EntryName(zip_t* archive, zip_uint64_t index, const std::string& codePage)
{
    const char* raw = zip_get_name(archive, index, ZIP_FL_ENC_RAW);
    const char* standard = zip_get_name(archive, index, ZIP_FL_ENC_STRICT);
    if (raw == nullptr || standard == nullptr)
        return {};
    // Without the flag, libzip's reading of a non-ASCII name differs from its bytes.
    const std::string_view bytes = raw;
    if (bytes == standard || codePage.empty() || IsUtf8(bytes))
        return std::string(zip_get_name(archive, index, 0));
    return DecodeCodePage(bytes, codePage).value_or(standard);
}

using TFileIdentity = TArchiveReaders::TFileIdentity;

std::optional<TFileIdentity> IdentityOf(const std::string& path)
{
    struct stat info
    {};
    if (stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return TFileIdentity{info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};
}

/// The handles and names of the archive read last, for the next reader of it.
struct TKeptReaders
{
    std::string Path;
    TFileIdentity Identity;
    std::string CodePage;
    int Flags = 0;
    std::vector<zip_t*> Handles;
    std::vector<std::string> Names;

    /// Whether these are the handles of `path` as it is now, names read in `codePage`.
    bool Hold(const std::string& path, const TFileIdentity& identity, const std::string& codePage) const
    {
        return Path == path && Identity == identity && CodePage == codePage;
    }

    void Discard()
    {
        for (zip_t* handle : Handles)
            zip_discard(handle);
        Handles.clear();
    }
};

/// No more are kept than one reading thread per core would use.
constexpr std::size_t MostKeptHandles = 4;

std::mutex& KeptMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::optional<TKeptReaders>& Kept()
{
    // Discarded when the program ends, so that no handle is left open.
    static struct TOwner
    {
        std::optional<TKeptReaders> kept;
        ~TOwner()
        {
            if (kept)
                kept->Discard();
        }
    } owner;
    return owner.kept;
}

bool SameTime(const timespec& a, const timespec& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

} // namespace

bool TArchiveReaders::TFileIdentity::operator==(const TFileIdentity& other) const
{
    return Device == other.Device && Inode == other.Inode && Size == other.Size &&
           SameTime(Modified, other.Modified) && SameTime(Changed, other.Changed);
}

TArchiveReaders::TArchiveReaders(std::string path, bool strict, std::string codePage)
    : path_(std::move(path)), strict_(strict), codePage_(std::move(codePage))
{}

TArchiveReaders::~TArchiveReaders()
{
    // The handles are kept for the next reader of this archive, as long as
    // it has not changed meanwhile.
    if (identity_ && !handles_.empty() && IdentityOf(path_) == identity_) {
        const std::lock_guard lock(KeptMutex());
        std::optional<TKeptReaders>& kept = Kept();
        if (kept && (!kept->Hold(path_, *identity_, codePage_) || kept->Flags != flags_)) {
            kept->Discard();
            kept.reset();
        }
        if (!kept)
            kept = TKeptReaders{path_, *identity_, codePage_, flags_, {}, std::move(names_)};
        while (!handles_.empty() && kept->Handles.size() < MostKeptHandles) {
            kept->Handles.push_back(handles_.back());
            handles_.pop_back();
        }
    }
    for (zip_t* handle : handles_)
        zip_discard(handle);
}

bool TArchiveReaders::TakeKept()
{
    const std::lock_guard lock(KeptMutex());
    std::optional<TKeptReaders>& kept = Kept();
    // A strict reader takes only handles that passed libzip's checks.
    if (!kept || kept->Handles.empty() || !identity_ || !kept->Hold(path_, *identity_, codePage_) ||
        (strict_ && kept->Flags != flags_))
        return false;
    flags_ = kept->Flags;
    handles_ = std::move(kept->Handles);
    names_ = std::move(kept->Names);
    kept.reset();
    return true;
}

zip_t* TArchiveReaders::OpenHandle(std::string& error)
{
    int code = 0;
    zip_t* archive = OpenArchiveToRead(path_, flags_, code);
    if (archive == nullptr && code == ZIP_ER_INCONS && !strict_ && flags_ != ZIP_RDONLY) {
        // The consistency checks take a trailing descriptor for an
        // inconsistency: such an archive is read without them.
        flags_ = ZIP_RDONLY;
        archive = OpenArchiveToRead(path_, flags_, code);
    }
    if (archive == nullptr) {
        zip_error_t zipError;
        zip_error_init_with_code(&zipError, code);
        error = code == ZIP_ER_EXISTS ? DuplicateNameError(path_) : zip_error_strerror(&zipError);
        zip_error_fini(&zipError);
    }
    return archive;
}

bool TArchiveReaders::Open(std::string& error, unsigned handles)
{
    if (!handles_.empty()) {
        Reserve(handles);
        return true;
    }
    identity_ = IdentityOf(path_);
    if (TakeKept()) {
        Reserve(handles);
        return true;
    }
    // Each opening reads the whole directory, and so does the overlap check:
    // they run side by side. Further handles are opened as the first is;
    // those that fail where the first fell back are opened again below.
    std::future<std::string> overlap =
        std::async(std::launch::async, [this] { return OverlappingEntriesError(path_); });
    std::vector<std::future<zip_t*>> more;
    for (unsigned i = 1; i < handles; ++i)
        more.push_back(std::async(std::launch::async, [path = path_, flags = flags_] {
            int code = 0;
            return OpenArchiveToRead(path, flags, code);
        }));
    zip_t* first = OpenHandle(error);
    const std::string overlapError = overlap.get();
    std::vector<zip_t*> opened;
    for (std::future<zip_t*>& handle : more)
        if (zip_t* archive = handle.get())
            opened.push_back(archive);
    // One block of data read as many entries multiplies what a small
    // archive writes: such an archive is refused whole.
    if (first != nullptr && !overlapError.empty()) {
        error = overlapError;
        zip_discard(std::exchange(first, nullptr));
    }
    if (first == nullptr) {
        for (zip_t* archive : opened)
            zip_discard(archive);
        return false;
    }
    handles_.push_back(first);
    handles_.insert(handles_.end(), opened.begin(), opened.end());
    const zip_int64_t entries = zip_get_num_entries(first, 0);
    names_.reserve(static_cast<std::size_t>(std::max<zip_int64_t>(entries, 0)));
    for (zip_int64_t i = 0; i < entries; ++i) {
        names_.push_back(ReplaceAll(EntryName(first, static_cast<zip_uint64_t>(i), codePage_), "\\", "/"));
    }
    Reserve(handles);
    return true;
}

unsigned TArchiveReaders::Reserve(unsigned count)
{
    std::string error;
    while (handles_.size() < count) {
        zip_t* handle = OpenHandle(error);
        if (handle == nullptr)
            break;
        handles_.push_back(handle);
    }
    return static_cast<unsigned>(handles_.size());
}

} // namespace quillbank
