// Open handles on one archive, one per reading thread, with the entry names read once.

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <vector>
#include <zip.h>

namespace quillbank {

/**
 * Open handles on one archive for reading, one per thread that reads it
 * (libzip's handles are not shared between threads), opened once and kept,
 * with the entry names as the archive lists them.
 *
 * Opening reads the archive's whole directory and every local header, twice
 * (libzip's checks and ours), which for a hundred thousand entries takes
 * longer than many extractions: a restore opens one archive a dozen times.
 * So the handles and names of the archive read last are kept when a reader
 * goes, and the next reader of that same file takes them, as long as the
 * file is unchanged (same device, inode, size and times).
 */
class TArchiveReaders
{
public:
    /// Archives are opened with libzip's consistency checks. Some writers
    /// (libarchive's) leave the sizes of the local headers to a trailing
    /// descriptor, which those checks take for an inconsistency: unless
    /// `strict`, such an archive is opened without them. Either way an
    /// archive whose entries overlap in the file is refused. Names without
    /// ZIP's UTF-8 flag that are not UTF-8 either are read in `codePage` (an
    /// iconv name) when it is set, as a Windows machine wrote them.
    TArchiveReaders(std::string path, bool strict, std::string codePage = {});
    ~TArchiveReaders();
    TArchiveReaders(const TArchiveReaders&) = delete;
    TArchiveReaders& operator=(const TArchiveReaders&) = delete;

    /// Opens `handles` handles (at least the first, which alone may fall
    /// back to opening without the checks); false with `error` set when the
    /// archive cannot be read.
    bool Open(std::string& error, unsigned handles = 1);
    /// Opens handles up to `count`; returns how many are open (at least one).
    unsigned Reserve(unsigned count);

    zip_t* Handle(unsigned worker = 0) const { return handles_[worker]; }
    std::uint64_t EntryCount() const { return names_.size(); }
    /// The entry's name with "/" between folders (archives made on Windows
    /// may use backslashes); empty when the directory holds no name.
    const std::string& Name(std::uint64_t index) const { return names_[index]; }

    /// Where a file is and what it was when looked at; equal for an unchanged file.
    struct TFileIdentity
    {
        dev_t Device = 0;
        ino_t Inode = 0;
        off_t Size = 0;
        timespec Modified{};
        timespec Changed{};
        bool operator==(const TFileIdentity& other) const;
    };

private:
    zip_t* OpenHandle(std::string& error);
    /// Takes the handles kept of this same archive; false when there are none.
    bool TakeKept();

    std::string path_;
    bool strict_;
    std::string codePage_;
    int flags_ = ZIP_RDONLY | ZIP_CHECKCONS;
    std::vector<zip_t*> handles_;
    std::vector<std::string> names_;
    /// The file the handles read, when it could be looked at.
    std::optional<TFileIdentity> identity_;
};

} // namespace quillbank
