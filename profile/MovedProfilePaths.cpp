// Rewrites the old profile folder in the add-on JSON files and "pkcs11.txt", and deletes rebuildable caches.

#include "profile/MovedProfilePaths.h"

#include "config/errorlog.h"
#include "platform/FileSystem.h"
#include "platform/StagedFile.h"
#include "platform/Text.h"
#include "profile/MozLz4.h"
#include "profile/RemoveFileOrLog.h"
#include "profile/WindowsPaths.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <sys/stat.h>
#include <vector>

namespace quillbank {

namespace {

constexpr std::string_view AddonDatabaseName = "extensions.json";
constexpr std::string_view AddonStartupName = "addonStartup.json.lz4";
constexpr std::string_view ModuleListName = "pkcs11.txt";
constexpr std::string_view DroppedCaches[] = {"compatibility.ini", "folderCache.json"};
constexpr std::string_view ExtensionsFolder = "/extensions";
constexpr std::string_view PathKey = "\"path\"";
constexpr std::string_view ConfigDirKey = "configdir='";
constexpr std::string_view SqlPrefix = "sql:";

/// The control character a JSON escape letter stands for, or the letter itself.
char JsonEscapeValue(char letter)
{
    switch (letter) {
    case 'b':
        return '\b';
    case 'f':
        return '\f';
    case 'n':
        return '\n';
    case 'r':
        return '\r';
    case 't':
        return '\t';
    default:
        return letter;
    }
}

/// The letter of a control character's short JSON escape, if it has one.
std::optional<char> ShortJsonEscape(char control)
{
    constexpr std::string_view letters = "btnfr";
    for (const char letter : letters)
        if (JsonEscapeValue(letter) == control)
            return letter;
    return std::nullopt;
}

/// The JSON string starting at `quote` (the opening quote), unescaped as far
/// as paths need it (the applications write every byte above the control
/// characters as it is); nothing when it does not close.
std::optional<std::string> ReadJsonString(std::string_view json, std::size_t quote)
{
    std::string value;
    for (std::size_t i = quote + 1; i < json.size(); ++i) {
        const char c = json[i];
        if (c == '"')
            return value;
        if (c != '\\') {
            value += c;
        } else if (++i == json.size()) {
            return std::nullopt;
        } else if (json[i] != 'u') {
            value += JsonEscapeValue(json[i]);
        } else {
            unsigned code = 0;
            const auto hex = json.substr(i + 1, 4);
            const auto [end, failure] = std::from_chars(hex.data(), hex.data() + hex.size(), code, 16);
            if (hex.size() < 4 || failure != std::errc() || end != hex.data() + 4 || code > 0x7F)
                return std::nullopt;
            value += static_cast<char>(code);
            i += 4;
        }
    }
    return std::nullopt;
}

/// `text` between the quotes of a JSON string, spelt as the applications'
/// JSON writer spells it: quotes and backslashes escaped, control characters
/// as their short escape or "\u00xx", everything else as it is.
std::string JsonEscaped(std::string_view text)
{
    constexpr char digits[] = "0123456789abcdef";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte >= 0x20) {
            out += c;
        } else if (const auto letter = ShortJsonEscape(c)) {
            out += '\\';
            out += *letter;
        } else {
            out += "\\u00";
            out += digits[byte >> 4];
            out += digits[byte & 0x0F];
        }
    }
    return out;
}

/// `text` with `quote` and backslashes escaped by a backslash: a value
/// between the quotes of a security module's parameter.
std::string BackslashEscaped(std::string_view text, char quote)
{
    std::string out;
    for (const char c : text) {
        if (c == quote || c == '\\')
            out += '\\';
        out += c;
    }
    return out;
}

/// A folder as the path of a file URL, escaped as the applications write it
/// (their "jar:file://" root addresses of add-ons must match byte for byte):
/// bytes outside plain ASCII, blanks and the characters below as "%XX", and
/// ";" as the lower-case "%3b" they give it; "'", "[", "]" and "|" stay.
std::string FileUrlPath(std::string_view folder)
{
    constexpr char digits[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : folder) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == ';') {
            out += "%3b";
        } else if (byte > 126 || byte <= 32 ||
                   std::string_view("\"#%<>?\\^`{}").find(c) != std::string_view::npos) {
            out += '%';
            out += digits[byte >> 4];
            out += digits[byte & 0x0F];
        } else {
            out += c;
        }
    }
    return out;
}

/// One folder to replace, in one spelling, and what may follow it besides "/".
struct TFolderSpelling
{
    std::string From;
    std::string To;
    std::string_view Ends;
};

/// Replaces each spelling's folder where it stands as a whole folder, in one
/// pass over the text, so that a new folder is never replaced again.
std::string ReplaceFolders(std::string_view text, const std::vector<TFolderSpelling>& spellings)
{
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        const auto match = std::find_if(spellings.begin(), spellings.end(), [&](const TFolderSpelling& s) {
            const std::size_t after = at + s.From.size();
            return !s.From.empty() && text.substr(at, s.From.size()) == s.From && after < text.size() &&
                   (text[after] == '/' || s.Ends.find(text[after]) != std::string_view::npos);
        });
        if (match == spellings.end()) {
            out += text[at++];
        } else {
            out += match->To;
            at += match->From.size();
        }
    }
    return out;
}

/// Where the JSON string opened by the quote at `quote` ends: its closing
/// quote, or the end of the text.
std::size_t JsonStringEnd(std::string_view json, std::size_t quote)
{
    for (std::size_t i = quote + 1; i < json.size(); ++i) {
        if (json[i] == '\\')
            ++i;
        else if (json[i] == '"')
            return i;
    }
    return json.size();
}

/// `json` with the Windows folder `from` turned into the folder `to` of this
/// machine: its "file:///C:/..." addresses as file URLs of `to`, and every
/// string that is a Windows path inside it as the path below `to`, with "/"
/// between folders.
std::string ReplaceWindowsProfileDir(std::string_view json, std::string_view from, std::string_view to)
{
    const std::string urls = ReplaceFolders(
        json, {{"file:///" + FileUrlPath(ReplaceAll(from, "\\", "/")), "file://" + FileUrlPath(to), "\"!"}});
    std::string out;
    std::size_t done = 0;
    for (auto quote = urls.find('"'); quote != std::string::npos; quote = urls.find('"', done)) {
        const std::size_t end = JsonStringEnd(urls, quote);
        if (end == urls.size())
            break;
        const auto value = ReadJsonString(urls, quote);
        const auto below = value ? WindowsPathBelow(*value, from) : std::nullopt;
        out.append(urls, done, quote + 1 - done);
        out += below ? JsonEscaped(below->empty() ? std::string(to) : std::string(to) + "/" + *below)
                     : urls.substr(quote + 1, end - quote - 1);
        out += '"';
        done = end + 1;
    }
    out.append(urls, done);
    return out;
}

/// Where the quoted value of a module's parameter that starts at `start`
/// ends: the first quote not escaped by a backslash.
std::size_t Pkcs11ClosingQuote(std::string_view text, std::size_t start)
{
    for (std::size_t i = start; i < text.size(); ++i) {
        if (text[i] == '\\')
            ++i;
        else if (text[i] == '\'')
            return i;
    }
    return std::string_view::npos;
}

/// The content of a file to rewrite; nothing (and a line in the error log)
/// when it cannot be read or is beyond any real file's size.
std::optional<std::string> ReadFile(const std::string& path)
{
    struct stat info = {};
    if (::stat(path.c_str(), &info) == 0 && static_cast<std::uintmax_t>(info.st_size) > MozLz4MaxSize) {
        WriteErrorLog(path + ": " + std::to_string(info.st_size) + " bytes, too large to be rewritten");
        return std::nullopt;
    }
    auto content = ReadWholeFile(path);
    if (!content)
        WriteErrorLog("cannot read " + path + ": " + std::strerror(errno));
    return content;
}

void Replace(const std::string& path, std::string_view content)
{
    try {
        TStagedFile staged(path);
        staged.Write(content);
        staged.Commit();
    } catch (const EFileWriteError& error) {
        WriteErrorLog(error.what());
    }
}

/// The JSON with its paths moved to `profileDir`; nothing when it names no
/// other profile folder.
std::optional<std::string> MovedJson(std::string_view json, const std::string& profileDir)
{
    const auto former = FormerProfileDir(json);
    if (!former || *former == profileDir)
        return std::nullopt;
    return ReplaceProfileDir(json, *former, profileDir);
}

void FixAddonDatabase(const std::string& path, const std::string& profileDir)
{
    const auto json = ReadFile(path);
    if (json)
        if (const auto moved = MovedJson(*json, profileDir))
            Replace(path, *moved);
}

void FixAddonStartup(const std::string& path, const std::string& profileDir)
{
    const auto file = ReadFile(path);
    if (!file)
        return;
    try {
        if (const auto moved = MovedJson(DecodeMozLz4(*file), profileDir))
            Replace(path, EncodeMozLz4(*moved));
    } catch (const EMozLz4Error& error) {
        // Only a cache: the application rebuilds it from the add-on database.
        WriteErrorLog(path + ": " + error.what() + "; deleted, the application rebuilds it");
        RemoveFileOrLog(path);
    }
}

void FixModuleList(const std::string& path, const std::string& profileDir)
{
    const auto text = ReadFile(path);
    if (!text)
        return;
    const std::string fixed = FixPkcs11ConfigDir(*text, profileDir);
    if (fixed != *text)
        Replace(path, fixed);
}

} // namespace

std::optional<std::string> FormerProfileDir(std::string_view json)
{
    for (auto key = json.find(PathKey); key != std::string_view::npos; key = json.find(PathKey, key + 1)) {
        std::size_t i = key + PathKey.size();
        while (i < json.size() && (json[i] == ' ' || json[i] == ':'))
            ++i;
        if (i >= json.size() || json[i] != '"')
            continue;
        auto value = ReadJsonString(json, i);
        // A profile made on Windows names its folder with backslashes.
        const bool windows = value && IsWindowsAbsolutePath(*value);
        if (!value || (!value->starts_with('/') && !windows))
            continue;
        if (windows)
            value = ReplaceAll(*value, "\\", "/");
        const auto marker = value->rfind(ExtensionsFolder);
        const std::size_t after = marker + ExtensionsFolder.size();
        if (marker != std::string::npos && marker > 0 && (after == value->size() || (*value)[after] == '/'))
            return windows ? ReplaceAll(value->substr(0, marker), "/", "\\") : value->substr(0, marker);
    }
    return std::nullopt;
}

std::string ReplaceProfileDir(std::string_view json, std::string_view from, std::string_view to)
{
    if (IsWindowsAbsolutePath(from))
        return ReplaceWindowsProfileDir(json, from, to);
    // URLs first: their path may equal the plain path, which must not turn
    // a URL's folder into an unescaped one.
    return ReplaceFolders(json, {{"file://" + FileUrlPath(from), "file://" + FileUrlPath(to), "\"!"},
                                 {JsonEscaped(from), JsonEscaped(to), "\""}});
}

std::string FixPkcs11ConfigDir(std::string_view text, std::string_view profileDir)
{
    const std::string folder = BackslashEscaped(WithoutTrailingSeparators(profileDir), '\'');
    std::string out;
    std::size_t done = 0;
    for (auto key = text.find(ConfigDirKey); key != std::string_view::npos;
         key = text.find(ConfigDirKey, key + 1)) {
        const std::size_t start = key + ConfigDirKey.size();
        const auto end = Pkcs11ClosingQuote(text, start);
        if (end == std::string_view::npos)
            break;
        const std::string_view value = text.substr(start, end - start);
        out.append(text.substr(done, start - done));
        out.append(value.starts_with(SqlPrefix) ? std::string(SqlPrefix) + folder : folder);
        done = end;
        key = end;
    }
    out.append(text.substr(done));
    return out;
}

void FixMovedProfilePaths(const std::string& profileDir)
{
    const std::string folder = IncludeTrailingSeparator(profileDir);
    const std::string self = WithoutTrailingSeparators(profileDir);
    if (const auto name = FindEntryIgnoreCase(folder, AddonDatabaseName))
        FixAddonDatabase(folder + *name, self);
    if (const auto name = FindEntryIgnoreCase(folder, AddonStartupName))
        FixAddonStartup(folder + *name, self);
    if (const auto name = FindEntryIgnoreCase(folder, ModuleListName))
        FixModuleList(folder + *name, self);
    for (std::string_view cache : DroppedCaches)
        if (const auto name = FindEntryIgnoreCase(folder, cache))
            RemoveFileOrLog(folder + *name);
}

std::vector<std::string_view> FilesFixedForMovedProfile()
{
    std::vector<std::string_view> names = {AddonDatabaseName, AddonStartupName, ModuleListName};
    names.insert(names.end(), std::begin(DroppedCaches), std::end(DroppedCaches));
    return names;
}

} // namespace quillbank
