// Puts mail folders back, refusing untrusted ones, and rewrites prefs.js through a safe copy ("prefs.zal").

#include "engine/MailRestore.h"

#include "config/InterfaceTexts.h"
#include "config/errorlog.h"
#include "engine/Archive.h"
#include "platform/FileSystem.h"
#include "platform/LiveTemporaries.h"
#include "platform/StagedFile.h"
#include "platform/Text.h"
#include "platform/UserInterface.h"
#include "profile/AccountFolder.h"
#include "profile/PathsOutsideProfile.h"
#include "profile/PrefsParser.h"
#include "profile/WindowsMailFolders.h"
#include "profile/WindowsPaths.h"
#include "profile/WindowsPrefs.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace quillbank {

namespace {

bool Contains(std::string_view text, std::string_view part)
{
    return text.find(part) != std::string_view::npos;
}

[[noreturn]] void Fail(const std::string& what, int error)
{
    throw EPrefsRewriteError(what + ": " + std::strerror(error));
}

[[noreturn]] void Fail(const std::string& what, const std::error_code& error)
{
    throw EPrefsRewriteError(what + ": " + error.message());
}

bool HasContent(const std::string& path)
{
    std::error_code error;
    return fs::is_regular_file(path, error) && fs::file_size(path, error) > 0 && !error;
}

/// The whole text of a prefs.js that exists.
std::string ReadPrefsText(const std::string& path)
{
    auto text = ReadWholeFile(path);
    if (!text)
        Fail("Cannot read " + path, errno);
    return std::move(*text);
}

struct TPrefsFiles
{
    std::string Prefs;
    std::string Copy;

    explicit TPrefsFiles(const std::string& profileDir)
        : Prefs(profileDir + "prefs.js"), Copy(profileDir + "prefs.zal")
    {}
};

/// Settles what an earlier rewrite left: its "prefs.zal" becomes prefs.js
/// again when that is the only complete copy (prefs.js missing or empty),
/// and is deleted otherwise.
void SettleLeftoverCopy(const TPrefsFiles& files)
{
    std::error_code error;
    if (!fs::exists(fs::symlink_status(files.Copy, error)))
        return;
    ForgetTemporary(files.Copy);
    if (!HasContent(files.Prefs) && HasContent(files.Copy)) {
        if (::rename(files.Copy.c_str(), files.Prefs.c_str()) != 0)
            Fail("Cannot restore " + files.Prefs + " from " + files.Copy, errno);
        SyncFolder(ExtractFileDir(files.Prefs));
        return;
    }
    fs::remove(files.Copy, error);
    if (error)
        Fail("Cannot delete " + files.Copy, error);
}

/**
 * Rewrites prefs.js line by line through `transform`, which returns the line
 * to write (empty lines are not written). The old file is copied to
 * "prefs.zal" and read from there; the new one replaces prefs.js only once it
 * is complete and on disk.
 */
template <typename Transform>
void RewritePrefs(const TPrefsFiles& files, Transform transform)
{
    std::error_code error;
    // Until the restore's clean-up removes it, a run that ends at once takes
    // it along: prefs.js itself is whole at every moment.
    RegisterTemporary(files.Copy);
    fs::copy_file(files.Prefs, files.Copy, fs::copy_options::overwrite_existing, error);
    if (error)
        Fail("Cannot copy " + files.Prefs + " to " + files.Copy, error);
    std::ifstream in(files.Copy, std::ios::binary);
    if (!in)
        Fail("Cannot read " + files.Copy, errno);
    try {
        TStagedFile out(files.Prefs);
        std::string line;
        while (std::getline(in, line)) {
            if (line.ends_with('\r'))
                line.pop_back();
            const std::string result = transform(line);
            if (!result.empty())
                out.Write(result + "\r\n");
        }
        if (in.bad())
            Fail("Cannot read " + files.Copy, errno);
        out.Commit();
    } catch (const EFileWriteError& failure) {
        throw EPrefsRewriteError(failure.what());
    }
}

/// The components of a path of this machine, split at its separators.
std::vector<std::string> SplitPath(std::string_view path)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        const auto end = std::min(path.find('/', start), path.size());
        parts.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

/// Why a mail folder recorded in a backup's header is not used, or nothing
/// when it is. Its archive folder is looked up in the archive as a folder
/// name, so it must be one the archive layer's wildcards match exactly. A
/// folder recorded on Windows gets a place on this machine, so its path is
/// only checked for steps that would lead elsewhere.
std::optional<std::string> RefusalReason(const TMailFolder& folder)
{
    const std::string_view path = folder.Path;
    if (path.find('\0') != std::string_view::npos)
        return "it holds a NUL character";
    const bool windows = IsWindowsAbsolutePath(path);
    if (!windows && !path.starts_with('/'))
        return "it is not an absolute path";
    const std::vector<std::string> parts = windows ? WindowsPathParts(path) : SplitPath(path);
    if (std::ranges::find(parts, "..") != parts.end())
        return "it has a \"..\" component";
    const std::string name = RecordedFolderName(path);
    if (name.empty() || name == "." || (windows && parts.size() < 2))
        return "it does not end with a folder name";
    const std::string_view stored = folder.ArchiveFolder;
    if (stored.empty() || stored == "." || stored == ".." ||
        stored.find_first_of("*?\\/") != std::string_view::npos)
        return "its folder name cannot be looked up in the archive";
    return std::nullopt;
}

/// Whether the account kept its mail in `folder`, recorded as a Windows path.
bool AccountUsesWindowsFolder(const TPrefsParserAccount& account, const std::string& folder)
{
    if (WindowsPathBelow(account.Directory, folder) == "")
        return true;
    if (!account.DirectoryRel.starts_with(ProfileFolderMarker))
        return false;
    const std::vector<std::string> relative =
        WindowsPathParts(std::string_view(account.DirectoryRel).substr(ProfileFolderMarker.size()));
    const auto tail = std::ranges::find_if(relative, [](const std::string& part) { return part != ".."; });
    const std::vector<std::string> folderParts = WindowsPathParts(folder);
    const auto tailSize = static_cast<std::size_t>(relative.end() - tail);
    if (tail == relative.begin() || tailSize == 0 || tailSize >= folderParts.size() ||
        std::find(tail, relative.end(), "..") != relative.end())
        return false;
    return std::equal(tail, relative.end(), folderParts.end() - static_cast<std::ptrdiff_t>(tailSize),
                      folderParts.end(), EqualsIgnoreCase);
}

/// Whether the account of the backup's prefs.js kept its mail in `folder`:
/// its absolute preference names it, or its relative one leads out of the
/// profile by ".." steps to a path that `folder` ends with. Letter case and
/// the kind of separator do not matter for a folder recorded on Windows.
bool AccountUsesFolder(const TPrefsParserAccount& account, const std::string& folder)
{
    if (IsWindowsAbsolutePath(folder))
        return AccountUsesWindowsFolder(account, folder);
    const std::string normal = LexicallyNormal(folder);
    if (!account.Directory.empty() && LexicallyNormal(ReplaceAll(account.Directory, "\\\\", "\\")) == normal)
        return true;
    if (!account.DirectoryRel.starts_with(ProfileFolderMarker))
        return false;
    const std::string relative = LexicallyNormal(account.DirectoryRel.substr(ProfileFolderMarker.size()));
    std::string_view tail = relative;
    if (!tail.starts_with("../"))
        return false;
    while (tail.starts_with("../"))
        tail.remove_prefix(3);
    // The folder ends in the tail as whole path components: "/" before it.
    return !tail.empty() && tail != ".." && normal.size() > tail.size() && normal.ends_with(tail) &&
           normal[normal.size() - tail.size() - 1] == '/';
}

/// The folder inside `profileDir` that the account's relative preference
/// names ("[ProfD]Mail/Local Folders"), or nothing when it names none there.
std::optional<std::string> FolderInsideProfile(const TPrefsParserAccount& account,
                                               const std::string& profileDir)
{
    if (!account.DirectoryRel.starts_with(ProfileFolderMarker))
        return std::nullopt;
    const std::string folder =
        LexicallyNormal(profileDir + account.DirectoryRel.substr(ProfileFolderMarker.size()));
    if (!IsInsideFolder(folder, profileDir))
        return std::nullopt;
    return folder;
}

/// The account number of a "mail.server.serverN.<field>" preference and its
/// field, or nothing for any other preference.
std::optional<std::pair<int, std::string>> AccountField(std::string_view line)
{
    constexpr std::string_view Prefix = "mail.server.server";
    const std::string name = PrefName(line);
    if (line.find("user_pref(") == std::string_view::npos || !name.starts_with(Prefix))
        return std::nullopt;
    const std::string_view rest = std::string_view(name).substr(Prefix.size());
    const auto dot = rest.find('.');
    int number = 0;
    if (dot == std::string_view::npos || !TryParseInt(rest.substr(0, dot), number))
        return std::nullopt;
    return std::make_pair(number, std::string(rest.substr(dot + 1)));
}

} // namespace

TMailFoldersRestored RestoreMailFolders(const std::string& profileDir, TArchive& archive,
                                        std::vector<TMailFolder>& folders, const TInterfaceTexts& texts,
                                        TUserInterface& ui)
{
    TMailFoldersRestored result;
    for (std::string_view folder : ProfileMailFolders)
        archive.ExtractFolder(std::string(folder), "*.*");

    const TPrefsFiles files(profileDir);
    SettleLeftoverCopy(files);
    // Fails with the "prefs.js not found" text when the profile has none.
    const TPrefsParser parser(files.Prefs, texts);

    // Each recorded folder goes back to its place once, and every account
    // that kept its mail there is pointed at it.
    std::set<std::string> takenPlaces;
    for (TMailFolder& folder : folders) {
        if (const auto reason = RefusalReason(folder)) {
            result.NotRestored.push_back({folder.Path, *reason});
            continue;
        }
        std::vector<int> accounts;
        for (const TPrefsParserAccount& account : parser.Accounts())
            if (AccountUsesFolder(account, folder.Path))
                accounts.push_back(account.Number);
        if (accounts.empty()) {
            result.NotRestored.push_back({folder.Path, "no account of its prefs.js uses it"});
            continue;
        }
        // A folder of a Windows machine gets a place on this one.
        if (IsWindowsAbsolutePath(folder.Path))
            folder.Place = WindowsFolderPlace(folder, profileDir, takenPlaces);
        const std::string place = folder.Place.empty() ? folder.Path : folder.Place;
        std::error_code error;
        fs::create_directories(place, error);
        if (!DirectoryExists(place)) {
            ui.ShowError(texts.GetText("Quillbank14", "LANG_ERROR"),
                         texts.GetText("Quillbank14", "LANG_CANNOT_RESTORE_ORIG_EXT") + " " + place);
            result.NotRestored.push_back(
                {folder.Path, place == folder.Path
                                  ? "the folder cannot be created: " + error.message()
                                  : "the folder " + place + " cannot be created: " + error.message()});
            continue;
        }
        archive.ExtractFolderInto(folder.ArchiveFolder, place);
        // A folder that does not go back where it was is said to have moved.
        if (place != folder.Path)
            ui.AddReportLine(
                texts.GetTextFmt("Quillbank14", "LANG_MAIL_FOLDER_PLACE", folder.Path + " -> " + place));
        for (int number : accounts)
            result.Accounts.Restored[number] = LexicallyNormal(place);
    }

    // Accounts whose folder lies inside the profile: the relative preference
    // already leads there, the absolute one still names the old profile.
    for (const TPrefsParserAccount& account : parser.Accounts())
        if (const auto inside = FolderInsideProfile(account, profileDir);
            inside && !result.Accounts.Restored.contains(account.Number))
            result.Accounts.InsideProfile[account.Number] = *inside;
    return result;
}

void PointAccountsAtMailFolders(const std::string& profileDir, const TAccountMailFolders& accounts)
{
    const TPrefsFiles files(profileDir);
    SettleLeftoverCopy(files);
    RewritePrefs(files, [&](const std::string& line) {
        const auto field = AccountField(line);
        if (!field || (field->second != "directory" && field->second != "directory-rel"))
            return line;
        if (const auto inside = accounts.InsideProfile.find(field->first);
            inside != accounts.InsideProfile.end() && field->second == "directory")
            return ReplaceStringValue(line, ReplaceAll(AnsiToUtf8(inside->second), "\\", "\\\\"));
        const auto restored = accounts.Restored.find(field->first);
        if (restored == accounts.Restored.end())
            return line;
        if (field->second == "directory")
            return ReplaceStringValue(line, ReplaceAll(AnsiToUtf8(restored->second), "\\", "\\\\"));
        // The relative preference wins when the application reads the two:
        // it must lead from this profile to the same folder.
        return ReplaceStringValue(
            line, ReplaceAll(AnsiToUtf8(RelativeAccountFolder(restored->second, profileDir)), "\\", "\\\\"));
    });
    // "prefs.zal" keeps the file as it came from the archive until the
    // clean-up of the restore replaces it.
}

std::vector<TPathOutsideProfile> FitWindowsPrefs(const std::string& profileDir,
                                                 const std::vector<TMailFolder>& folders)
{
    const TPrefsFiles files(profileDir);
    SettleLeftoverCopy(files);
    if (!FileExists(files.Prefs))
        return {};
    TWindowsPlaces places{WindowsProfileFolder(ReadPrefsText(files.Prefs)), profileDir, {}};
    std::ranges::copy_if(folders, std::back_inserter(places.Folders),
                         [](const TMailFolder& folder) { return IsWindowsAbsolutePath(folder.Path); });
    std::vector<TPathOutsideProfile> dropped;
    RewritePrefs(files, [&](const std::string& line) {
        TPrefLineHere here = WindowsPrefLineHere(line, places);
        if (!here.Line)
            dropped.push_back({PrefName(line), here.DroppedPath});
        return here.Line.value_or(std::string());
    });
    return dropped;
}

void SettlePrefsCopy(const std::string& profileDir)
{
    SettleLeftoverCopy(TPrefsFiles(profileDir));
}

bool IsDroppedFromRestoredPrefs(std::string_view line, AppType type, const TComponentBoxes& components)
{
    if (type == FirefoxAppType &&
        (line.starts_with("user_pref(\"mail.") || line.starts_with("user_pref(\"mailnews") ||
         line.starts_with("user_pref(\"ldap")))
        return true;
    if (type == ThunderbirdAppType && line.starts_with("user_pref(\"browser."))
        return true;
    if (!components[EmailsBox].Checked &&
        (Contains(line, "user_pref(\"mail.") || Contains(line, "user_pref(\"mailnews.")))
        return true;
    if (!components[AddressBooksBox].Checked && Contains(line, "user_pref(\"ldap_2"))
        return true;
    if (!components[SavedPasswordsBox].Checked && Contains(line, "user_pref(\"signon.SignonFileName\","))
        return true;
    if (!components[SavedFormDetailsBox].Checked &&
        (Contains(line, "user_pref(\"wallet.SchemaValueFileName\"") ||
         Contains(line, "user_pref(\"wallet.caveat\",")))
        return true;
    return Contains(line, "user_pref(\"browser.cache.disk.parent_directory\"");
}

void FilterRestoredPrefs(const std::string& profileDir, AppType type, const TComponentBoxes& components,
                         bool keepPathsOutsideProfile, const TInterfaceTexts& texts, TUserInterface& ui)
{
    const auto dropped = [&](std::string_view line) {
        return IsDroppedFromRestoredPrefs(line, type, components);
    };
    // Preferences naming places outside the profile stay only when the user
    // agreed to them; without them the applications use their defaults.
    std::set<std::string> outside;
    const auto outsideAllowed = [&](std::string_view line) {
        return keepPathsOutsideProfile || !outside.contains(PrefName(line)) ||
               !PathOutsideProfile(line, profileDir);
    };

    const TPrefsFiles files(profileDir);
    try {
        SettleLeftoverCopy(files);
        if (!FileExists(files.Prefs))
            return;
        if (!keepPathsOutsideProfile)
            for (const TPathOutsideProfile& path :
                 PathsOutsideProfile(ReadPrefsText(files.Prefs), profileDir))
                outside.insert(path.Name);
        RewritePrefs(files, [&](const std::string& line) {
            return dropped(line) || !outsideAllowed(line) ? std::string() : line;
        });
        std::error_code error;
        fs::remove(files.Copy, error);
        ForgetTemporary(files.Copy);
    } catch (const EPrefsRewriteError& error) {
        WriteErrorLog(error.what());
        ui.ShowWarning(texts.GetText("TForm1", "LANG_WARNING"), texts.GetText("TForm1", "LANG_NOT_FOUND2"));
        ui.ExitImmediately(1);
    }
}

} // namespace quillbank
