// The extension data kept in the profile root, and the fix-up of the chrome registry after a restore.

#pragma once

#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quillbank {

class TBackupTask;
class TArchive;

/// One file or folder that an extension keeps in the profile root rather
/// than below "extensions"; a folder travels with all its files.
struct TExtensionDataEntry
{
    std::string_view Name;
    bool IsFolder;
};

/// The extension data that travels with the Extensions component, in the
/// order it is listed and extracted.
std::span<const TExtensionDataEntry> ExtensionDataEntries();

/// Lists the extension data of `profileDir`, the profile the running backup
/// task is for (its BaseDir), into the task: a folder with all its files, a
/// file by its name. Entries the profile lacks are not listed.
void AddExtensionData(TBackupTask& task, const std::string& profileDir);

/// Extracts the extension data from the open archive into its base folder,
/// a folder with ExtractFolder(name, "*.*"), a file with ExtractFile(name).
/// Names the archive does not hold are skipped.
void RestoreExtensionData(TArchive& archive);

/// An input or output error of the chrome registry fix-up; the message names
/// the file and the reason. The old registry is then still complete.
class EChromeRegistryError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

/**
 * Points every extension package of "chrome/chrome.rdf" into the
 * "extensions" folder of `profileDir` (the profile restored into, ending with
 * a separator). Names are looked up without regard to letter case. Does
 * nothing when the profile has no chrome registry.
 *
 * The registry is replaced, never rewritten in place: the old content goes to
 * "chrome.bak" (a leftover "chrome.bak" is replaced, never read), the new
 * content is written completely beside the registry, flushed to disk and
 * renamed over it, and only then is "chrome.bak" deleted. So at every moment
 * "chrome.rdf" is complete, old or new. Throws EChromeRegistryError when a
 * file cannot be read or written; the registry is then the old one, and
 * "chrome.bak" holds either what it held before or a copy of that registry.
 */
void FixChromeRegistry(const std::string& profileDir);

/**
 * One line of the chrome registry as FixChromeRegistry writes it (without
 * its line end). A line with "c:baseURL" and "/extensions/" whose URL closes
 * with a quote on the same line becomes 19 blanks and
 * `c:baseURL="jar:file:///<profile>/extensions/<rest of the URL>"`, then ">"
 * when the line had one anywhere; whatever else followed the URL is dropped.
 * Bytes above 127 become "%XX" and blanks "%20". Any other line is returned
 * unchanged.
 */
std::string FixChromeRegistryLine(std::string_view line, std::string_view profileDir);

} // namespace quillbank
