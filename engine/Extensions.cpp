// Lists and extracts the extension data, and rewrites "chrome/chrome.rdf" safely to point into this profile.

#include "engine/Extensions.h"

#include "config/errorlog.h"
#include "engine/Archive.h"
#include "engine/BackupTask.h"
#include "platform/FileDescriptor.h"
#include "platform/FileSystem.h"
#include "platform/StagedFile.h"
#include "platform/Text.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace quillbank {

namespace {

constexpr std::array<TExtensionDataEntry, 19> ExtensionData = {{
    {"adblockplus", true},     {"bookmarks.xml", false},     {"clipdat.rdf", false},
    {"colorzilla", true},      {"crashrecovery.dat", false}, {"GoogleToolbarData", true},
    {"gm_scripts", true},      {"forecastfox", true},        {"ChatZilla", true},
    {"storage.sdb", false},    {"menuedit.rdf", false},      {"mousegestures.rdf", false},
    {"prefbar.rdf", false},    {"ScrapBook", true},          {"stylish.rdf", false},
    {"session.rdf", false},    {"tabextensions.js", false},  {"tabextensions.rdf", false},
    {"viewSource.xml", false},
}};

constexpr std::string_view ExtensionsMarker = "/extensions/";
/// The indentation of an attribute line under its RDF:Description element.
constexpr std::string_view AttributeIndent = "                   ";

void AppendPercent(std::string& out, unsigned char byte)
{
    constexpr char digits[] = "0123456789ABCDEF";
    out += '%';
    out += digits[byte >> 4];
    out += digits[byte & 0x0F];
}

/// The profile folder as the path part of a file URL: no trailing separator,
/// no leading one (the URL's "///" stands for it). A backslash is an ordinary
/// character of a name here, so it is escaped rather than made a separator.
std::string ProfileUrlPath(std::string_view profileDir)
{
    while (!profileDir.empty() && profileDir.back() == PathSeparator)
        profileDir.remove_suffix(1);
    while (!profileDir.empty() && profileDir.front() == PathSeparator)
        profileDir.remove_prefix(1);
    std::string out;
    for (const char c : profileDir) {
        if (c == '\\')
            AppendPercent(out, static_cast<unsigned char>(c));
        else
            out += c;
    }
    return out;
}

[[noreturn]] void Fail(const std::string& what, const std::string& path, int error)
{
    throw EChromeRegistryError(what + " " + path + ": " + std::strerror(error));
}

std::string ReadRegistry(const std::string& path)
{
    TFileDescriptor in(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.Get() < 0)
        Fail("cannot open", path, errno);
    std::string content;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(in.Get(), buffer, sizeof buffer);
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            Fail("cannot read", path, errno);
        }
        content.append(buffer, static_cast<std::size_t>(got));
    }
    return content;
}

} // namespace

std::span<const TExtensionDataEntry> ExtensionDataEntries()
{
    return ExtensionData;
}

void AddExtensionData(TBackupTask& task, const std::string& profileDir)
{
    for (const TExtensionDataEntry& entry : ExtensionData) {
        if (entry.IsFolder)
            task.ListFolder(std::string(entry.Name), "*.*", profileDir);
        else
            task.AddFile(std::string(entry.Name));
    }
}

void RestoreExtensionData(TArchive& archive)
{
    for (const TExtensionDataEntry& entry : ExtensionData) {
        if (entry.IsFolder)
            archive.ExtractFolder(std::string(entry.Name), "*.*");
        else
            archive.ExtractFile(std::string(entry.Name));
    }
}

std::string FixChromeRegistryLine(std::string_view line, std::string_view profileDir)
{
    if (line.find("c:baseURL") == std::string_view::npos)
        return std::string(line);
    // A registry written on Windows may separate folders by backslashes.
    const std::string slashed = ReplaceAll(line, "\\", "/");
    const auto marker = slashed.find(ExtensionsMarker);
    if (marker == std::string::npos)
        return std::string(line);
    // From the marker's closing slash up to the URL's closing quote.
    std::string_view tail = std::string_view(slashed).substr(marker + ExtensionsMarker.size() - 1);
    const auto quote = tail.find('"');
    if (quote == std::string_view::npos)
        return std::string(line);
    tail = tail.substr(0, quote);

    std::string url = "c:baseURL=\"jar:file:///" + ProfileUrlPath(profileDir) + "/extensions";
    url += tail;
    url += '"';
    if (line.find('>') != std::string_view::npos)
        url += '>';

    std::string out(AttributeIndent);
    for (const char c : url) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte > 127)
            AppendPercent(out, byte);
        else if (c == ' ')
            out += "%20";
        else
            out += c;
    }
    return out;
}

void FixChromeRegistry(const std::string& profileDir)
{
    const auto chromeDir = ResolvePathIgnoreCase(profileDir, "chrome");
    if (!chromeDir || !DirectoryExists(*chromeDir))
        return;
    const std::string folder = IncludeTrailingSeparator(*chromeDir);
    const auto registryName = FindEntryIgnoreCase(folder, "chrome.rdf");
    if (!registryName || !FileExists(folder + *registryName))
        return;
    const std::string registry = folder + *registryName;
    const std::string backup = folder + FindEntryIgnoreCase(folder, "chrome.bak").value_or("chrome.bak");

    struct stat info = {};
    if (::stat(registry.c_str(), &info) != 0)
        Fail("cannot read", registry, errno);
    const mode_t mode = info.st_mode & 07777;
    const std::string old = ReadRegistry(registry);

    std::string fixed;
    fixed.reserve(old.size() + old.size() / 8);
    for (const std::string_view line : SplitLines(old)) {
        fixed += FixChromeRegistryLine(line, profileDir);
        fixed += "\r\n";
    }

    // The new registry is complete on disk before anything is replaced. The
    // old one is then copied to "chrome.bak" (a leftover is replaced only
    // once this copy is on disk, while the registry itself is still whole),
    // the new one takes the registry's place in one rename, and the copy goes
    // once the renames are on disk too; until then it stays.
    try {
        TStagedFile staged(registry);
        staged.Write(fixed);
        TStagedFile copy(backup);
        copy.SetMode(mode);
        copy.Write(old);
        copy.Commit();
        staged.Commit();
    } catch (const EFileWriteError& error) {
        throw EChromeRegistryError(error.what());
    }
    if (!SyncFolder(folder)) {
        WriteErrorLog("cannot flush " + folder + ": " + std::strerror(errno));
        return;
    }
    if (::unlink(backup.c_str()) != 0)
        WriteErrorLog("cannot delete " + backup + ": " + std::strerror(errno));
}

} // namespace quillbank
