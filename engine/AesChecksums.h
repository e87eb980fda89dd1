// Clears the checksums of an archive's AES entries, which would let anyone test guesses at a small file.

#pragma once

#include <string>

namespace quillbank {

/// Empties the checksum field of every WinZip AES entry of the ZIP archive at
/// `path`, in its local header and in the central directory. Such an entry
/// (of the kind "AE-2", which libzip marks them all) is vouched for by its
/// authentication code alone: a checksum of the plain data, left in clear,
/// would let anyone test guesses at a small file without the password.
/// libzip writes the checksum of those it encrypts itself (all but the
/// shortest). False, with `error` set, when the archive cannot be read or
/// written: one found damaged is left as it was, one that failed to be
/// written may hold some checksums still.
bool ClearAesChecksums(const std::string& path, std::string& error);

} // namespace quillbank
