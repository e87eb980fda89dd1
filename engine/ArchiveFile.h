// The file libzip reads an archive from and writes it to, with libzip's many small writes gathered into large
// ones.

#pragma once

#include <string>
#include <zip.h>

namespace quillbank {

/**
 * Opens the archive at `path` for libzip to change, creating it when it is
 * missing (as `zip_open` with `ZIP_CREATE`).
 *
 * libzip writes an archive a few kilobytes at a time and asks for its
 * position between them. Here its writes are gathered in memory and reach a
 * temporary file beside `path` (named as libzip names its own) in writes of
 * a megabyte, made by a thread of their own, and its position is known
 * without asking the system; a header rewritten after its entry's data is
 * usually changed in memory.
 * What is written starts on its way to the disk at once.
 * The temporary replaces `path` only once the archive is complete; a
 * failed write leaves `path` as it was.
 *
 * Returns null with `error` set when the archive cannot be opened.
 */
zip_t* OpenArchiveForChange(const std::string& path, std::string& error);

/**
 * Opens the archive at `path` to read it, as `zip_open` with `flags` (to
 * which ZIP_RDONLY is added), but read with positioned reads: libzip's own
 * file moves its position with a call to the system several times for
 * every entry it reads, and reads small entries in small pieces. Returns
 * null with `code` set to libzip's error code when it cannot be opened.
 */
zip_t* OpenArchiveToRead(const std::string& path, int flags, int& code);

} // namespace quillbank
