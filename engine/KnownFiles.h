// The known-files list ("Profilefiles.txt"), and the unknown entries it helps find in a profile root.

#pragma once

#include "vocabulary/ComponentBoxes.h"
#include "vocabulary/UnknownEntry.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace quillbank {

/// The known-files list cannot be opened or read; the message names the file
/// and the reason.
class EKnownFilesError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

/// Which entries of a profile root no component of the profile covers. The
/// known entries come from "Profilefiles.txt" beside the program, one per
/// line: a line holding "*.*" names a folder ("extensions/*.*" or
/// "extensions\*.*", the last four characters dropped), any other line a
/// file, exactly as written. A file entry starting with "*" covers every file
/// name ending in the rest of it.
class TKnownFiles
{
public:
    /// Reads the list from `programDir`, where the file name's letter case
    /// does not matter. Throws EKnownFilesError when it cannot be read.
    explicit TKnownFiles(const std::string& programDir);

    /// The entries of the list in file order.
    const std::vector<TUnknownEntry>& KnownItems() const { return knownItems_; }

    /// Whether a profile entry is covered by the list. Names compare with
    /// letter case; a file entry never covers a folder, nor the reverse.
    bool IsKnown(const std::string& name, bool isDirectory) const;

    /// The files and folders directly in `profileDir` (hidden ones included)
    /// that a backup would lose unless they travel as unknown entries, in the
    /// order the folder lists them: those the list does not cover, and those
    /// it covers that no component among `offered` (the enabled boxes) takes
    /// and no rule leaves out (FateOfProfileEntry). Entries that are neither a
    /// folder nor a regular file are left out. A missing or empty folder gives
    /// an empty list.
    std::vector<TUnknownEntry> FindUnknown(const std::string& profileDir,
                                           const TComponentBoxes& offered) const;

private:
    std::vector<TUnknownEntry> knownItems_;
};

} // namespace quillbank
