// Finds entries of an archive whose stored bytes overlap in the file, so that such an archive is not read.

#pragma once

#include <string>

namespace quillbank {

/// Why the archive at `path` is not read: two entries whose stored bytes
/// (local header, name, extra field and data) overlap in the file, as when
/// several directory records send their entries to one block of data, or a
/// directory that cannot be read. Empty when every entry has bytes of its own.
std::string OverlappingEntriesError(const std::string& path);

} // namespace quillbank
