// The code page in which the names of an archive made on Windows are read: chosen, configured or implied.

#pragma once

#include <string>

namespace quillbank {

class TInterfaceTexts;

/**
 * The code page in which names of an archive made on Windows are read when
 * they lack ZIP's UTF-8 flag, as iconv names it: `chosen` (the command
 * line's) when set, else the "codePage" of the "General" section of the
 * "Backup.ini" that goes with `programDir`, else the one that the language
 * file's "DefaultCharset" implies. A chosen or configured code page that
 * iconv does not know is written to the error log and passed over.
 */
std::string ArchiveCodePage(const std::string& chosen, const std::string& programDir,
                            const TInterfaceTexts& texts);

} // namespace quillbank
