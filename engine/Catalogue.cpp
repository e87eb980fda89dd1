// The catalogue's tables: the lists both sides share, the backup side, the restore side, the legacy sections.

#include "engine/Catalogue.h"

#include "platform/Text.h"

#include <algorithm>

namespace quillbank {

namespace {

constexpr std::string_view TaskSection = "TForm1";
constexpr std::string_view ResultSection = "Quillbank14";

constexpr AppType NotForSeaMonkey[] = {SeaMonkeyAppType};
constexpr AppType NotForFirefox[] = {FirefoxAppType};
constexpr AppType NotForThunderbird[] = {ThunderbirdAppType};

// ---------------------------------------------------------------------------
// Lists a backup writes and a restore reads back the same.
// ---------------------------------------------------------------------------

// General settings
constexpr TFolderMask GeneralFolders[] = {{"microsummary-generators", "*.*"},
                                          {"sessionstore-backups", "*.*"}};

// Address books: the old "*.mab" files, then today's SQLite address books
// (personal, collected addresses, and the numbered further books).
constexpr std::string_view AddressBookFiles[] = {"abook.sqlite", "history.sqlite"};
constexpr TFolderMask AddressBookFolders[] = {{"", "*.mab"}, {"", "abook-*.sqlite"}};

// Bookmarks
constexpr std::string_view BookmarkFiles[] = {
    "bookmarks.html",
    "bookmarks.bak",
    "bookmarks_history.sqlite",
    "places.sqlite",
    "places.sqlite-journal",
    "bookmarks.postplaces.html",
    "bookmarks.preplaces.html",
    // Attached to places.sqlite: the two always come from the same moment.
    "favicons.sqlite",
};
constexpr TFolderMask BookmarkFolders[] = {{"bookmarkbackups", "*.*"}};

// Sidebars
constexpr std::string_view SidebarFiles[] = {"panels.rdf"};

// User styles
constexpr std::string_view UserStyleFiles[] = {"chrome/userContent.css", "chrome/userChrome.css"};

// Saved passwords
constexpr std::string_view PasswordFiles[] = {
    "signons.txt",
    "signons2.txt",
    "signons3.txt",
    "signons4.txt",
    "signons5.txt",
    "signons.sqlite",
    "key3.db",
    // Today's logins (the JSON store and its SQLite successor) are
    // encrypted with the key in key4.db: never one without the other.
    "logins.json",
    "logins-backup.json",
    "logins.db",
    "key4.db",
};
constexpr TFolderMask PasswordFolders[] = {{"", "*.s"}};

// Saved form details
constexpr TFolderMask FormFolders[] = {{"", "*.w"}};

// Certificates
// Today's certificate store: cert9.db with its key database and the module
// list that names the profile folder.
constexpr std::string_view CertificateFiles[] = {
    "cert7.db", "cert8.db", "key3.db", "secmod.db", "cert_override.txt", "cert9.db", "key4.db", "pkcs11.txt",
};
constexpr TFolderMask CertificateFolders[] = {{"cert7.dir", "*.*"}, {"cert8.dir", "*.*"}};

// Extensions
// Today's add-on database and startup cache, the add-ons' settings and their
// own storage (below "storage/default", one folder per add-on).
constexpr std::string_view ExtensionFiles[] = {
    "extensions.rdf",         "extensions.log",          "extensions.json",
    "addonStartup.json.lz4",  "extension-settings.json", "extension-preferences.json",
    "storage-sync-v2.sqlite",
};
constexpr TFolderMask ExtensionFolders[] = {
    {"extensions", "*.*"},
    {"chrome", "*.*"},
    {"searchplugins", "*.*"},
    {"browser-extension-data", "*.*"},
    {"extension-store", "*.*"},
    {"extension-store-permissions", "*.*"},
    {"storage/default/moz-extension+++*", "*.*"},
};

// Cache
constexpr TFolderMask CacheFolders[] = {{"cache", "*.*"}};

// ---------------------------------------------------------------------------
// Backup side, in the order the backup run lists the components.
// ---------------------------------------------------------------------------

// General settings
constexpr std::string_view BackupGeneralFiles[] = {
    "prefs.js",
    "user.js",
    "cookperm.txt",
    "hostperm.1",
    "permissions.sqlite",
    "mimeTypes.rdf",
    "ac-weights.txt",
    "localstore.rdf",
    "persdict.dat",
    "search.rdf",
    "search.json",
    "search.sqlite",
    "listing-downloaded.xml",
    "listing-uploaded.xml",
    "sessionstore.js",
    "urlclassifier.sqlite",
    "urlclassifier2.sqlite",
    "urlclassifier3.sqlite",
    "urlclassifierkey3.txt",
    "urlclassifierkey4.txt",
    "kf.txt",
    "webappsstore.sqlite",
    "blocklist.xml",
    "metrics.xml",
    "metrics-config.xml",
    "content-prefs.sqlite",
    // Today's settings files: window and toolbar layout, containers, download
    // actions, search engines, shortcuts and the open session.
    "xulstore.json",
    "containers.json",
    "handlers.json",
    "search.json.mozlz4",
    "customKeys.json",
    "sessionstore.jsonlz4",
    "session.json",
};

// History
constexpr std::string_view BackupHistoryFiles[] = {
    "history.dat",
    "bookmarks_history.sqlite",
    "places.sqlite",
    "url-data.txt",
    "urlbarhistory.sqlite",
    // Attached to places.sqlite: the two always come from the same moment.
    "favicons.sqlite",
};

// Cookies
constexpr std::string_view BackupCookieFiles[] = {"cookies.txt", "cookies.sqlite"};

// Saved form details
constexpr std::string_view BackupFormFiles[] = {"formhistory.dat", "URL.tbl", "formhistory.sqlite",
                                                "autofill-profiles.json"};

// Downloaded file list
constexpr std::string_view BackupDownloadFiles[] = {"downloads.sqlite", "downloads.rdf"};

using TExtra = TComponentExtra;

constexpr TBackupComponent BackupTable[] = {
    {.Box = GeneralSettingsBox, .NeedsPrefsJs = true, .Files = BackupGeneralFiles, .Folders = GeneralFolders},
    {.Box = AddressBooksBox, .Files = AddressBookFiles, .Folders = AddressBookFolders},
    {.Box = BookmarksBox, .Files = BookmarkFiles, .Folders = BookmarkFolders},
    {.Box = HistoryBox, .Files = BackupHistoryFiles},
    {.Box = SidebarsBox, .Files = SidebarFiles},
    {.Box = UserStylesBox, .Files = UserStyleFiles},
    {.Box = SavedPasswordsBox, .Files = PasswordFiles, .Folders = PasswordFolders},
    {.Box = CookiesBox, .Files = BackupCookieFiles},
    {.Box = SavedFormDetailsBox, .Files = BackupFormFiles, .Folders = FormFolders},
    {.Box = DownloadedFileListBox, .Files = BackupDownloadFiles},
    {.Box = CertificatesBox, .Files = CertificateFiles, .Folders = CertificateFolders},
    {.Box = ExtensionsBox,
     .Files = ExtensionFiles,
     .Folders = ExtensionFolders,
     .Extra = TExtra::ExtensionData},
    {.Box = CacheBox, .Folders = CacheFolders},
};

// Emails (Emails or "Accounts settings only" ticked)
constexpr std::string_view BackupMailFiles[] = {
    "prefs.js",
    "mailViews.dat",
    "panacea.dat",
    "training.dat",
    "virtualFolders.dat",
    "folderTree.json",
    "traits.dat",
    // The OpenPGP keys; the secret keys' passphrase is encrypted with key4.db.
    "secring.gpg",
    "pubring.gpg",
    "encrypted-openpgp-passphrase.txt",
    "openpgp.sqlite",
    "key4.db",
};
constexpr std::string_view BackupMailFullOnlyFiles[] = {"global-messages-db.sqlite"};
constexpr TFolderMask BackupMailFullFolders[] = {{"ImapMail", "*.*"}, {"Mail", "*.*"}, {"News", "*.*"}};
constexpr TFolderMask BackupMailAccountsOnlyFolders[] = {
    {"Mail", "*.dat"},     {"Mail", "*.rdf"}, {"ImapMail", "*.dat"},
    {"ImapMail", "*.rdf"}, {"News", "*.msf"}, {"News", "*.rc"},
};
constexpr std::string_view ExternalMailFullMasks[] = {"*.*"};
constexpr std::string_view ExternalMailAccountsOnlyMasks[] = {"*.dat", "*.rdf", "*.msf", "*.rc"};

constexpr TEmailsBackup EmailsBackupLists = {
    .Files = BackupMailFiles,
    .FullOnlyFiles = BackupMailFullOnlyFiles,
    .FullProfileFolders = BackupMailFullFolders,
    .AccountsOnlyProfileFolders = BackupMailAccountsOnlyFolders,
    .FullExternalMasks = ExternalMailFullMasks,
    .AccountsOnlyExternalMasks = ExternalMailAccountsOnlyMasks,
};

// ---------------------------------------------------------------------------
// Restore side, in the order the restore run walks the components.
// ---------------------------------------------------------------------------

// General settings
constexpr std::string_view RestoreGeneralFiles[] = {
    "prefs.js",
    "cookperm.txt",
    "hostperm.1",
    "permissions.sqlite",
    "mimeTypes.rdf",
    "user.js",
    "ac-weights.txt",
    "localstore.rdf",
    "persdict.dat",
    "search.rdf",
    "search.json",
    "search.sqlite",
    "listing-downloaded.xml",
    "listing-uploaded.xml",
    "sessionstore.js",
    "urlclassifier.sqlite",
    "urlclassifier2.sqlite",
    "urlclassifier3.sqlite",
    "kf.txt",
    "webappsstore.sqlite",
    "blocklist.xml",
    "metrics.xml",
    "metrics-config.xml",
    "content-prefs.sqlite",
    "urlclassifierkey3.txt",
    "urlclassifierkey4.txt",
    // Today's settings files: window and toolbar layout, containers, download
    // actions, search engines, shortcuts and the open session.
    "xulstore.json",
    "containers.json",
    "handlers.json",
    "search.json.mozlz4",
    "customKeys.json",
    "sessionstore.jsonlz4",
    "session.json",
};

// Emails (the mail folders themselves are the mail folder restore's work)
constexpr std::string_view RestoreMailFiles[] = {
    "prefs.js",
    "mailViews.dat",
    "panacea.dat",
    "training.dat",
    "virtualFolders.dat",
    "global-messages-db.sqlite",
    "folderTree.json",
    "traits.dat",
    // The OpenPGP keys; the secret keys' passphrase is encrypted with key4.db.
    "secring.gpg",
    "pubring.gpg",
    "encrypted-openpgp-passphrase.txt",
    "openpgp.sqlite",
    "key4.db",
};

// History (also the places journal, which only Bookmarks backs up)
constexpr std::string_view RestoreHistoryFiles[] = {
    "history.dat",
    "bookmarks_history.sqlite",
    "places.sqlite",
    "places.sqlite-journal",
    "url-data.txt",
    "urlbarhistory.sqlite",
    // Attached to places.sqlite: the two always come from the same moment.
    "favicons.sqlite",
};

// Cookies (also a journal that no backup holds; a missing name is simply not extracted)
constexpr std::string_view RestoreCookieFiles[] = {"cookies.txt", "cookies.sqlite", "cookies.sqlite-journal"};

// Saved form details
constexpr std::string_view RestoreFormFiles[] = {"formhistory.dat", "formhistory.sqlite", "URL.tbl",
                                                 "autofill-profiles.json"};

// Downloaded file list
constexpr std::string_view RestoreDownloadFiles[] = {"downloads.rdf", "downloads.sqlite"};

constexpr TTextKey Task(std::string_view key)
{
    return {TaskSection, key};
}

constexpr TTextKey Result(std::string_view key)
{
    return {ResultSection, key};
}

constexpr TRestoreComponent RestoreTable[] = {
    {
        .Box = GeneralSettingsBox,
        .Files = RestoreGeneralFiles,
        .Folders = GeneralFolders,
        .TaskText = Task("LANG_AKCE_OBECNE1"),
        .ResultText = Result("LANG_AKCE_OBECNE_R_OK"),
        .FailedText = Result("LANG_AKCE_OBECNE_R_FAILED"),
    },
    {
        .Box = EmailsBox,
        .SkippedFor = NotForFirefox,
        .Files = RestoreMailFiles,
        .Extra = TExtra::MailFolders,
        .TaskText = Task("LANG_AKCE_MAIL1"),
        .ResultText = Result("LANG_AKCE_MAIL_R_OK"),
        .FailedText = Result("LANG_AKCE_MAIL_R_FAILED"),
    },
    {
        .Box = AddressBooksBox,
        .SkippedFor = NotForFirefox,
        .Files = AddressBookFiles,
        .Folders = AddressBookFolders,
        .TaskText = Task("LANG_KONTATKY1"),
        .ResultText = Result("LANG_AKCE_KONTAKTY_R_OK"),
        .FailedText = Result("LANG_AKCE_KONTAKTY_R_FAILED"),
    },
    {
        .Box = BookmarksBox,
        .SkippedFor = NotForThunderbird,
        .Files = BookmarkFiles,
        .Folders = BookmarkFolders,
        .TaskText = Task("LANG_FAVORITES1"),
        .ResultText = Result("LANG_AKCE_FAVORITES_R_OK"),
        .FailedText = Result("LANG_AKCE_FAVORITES_R_FAILED"),
    },
    {
        .Box = HistoryBox,
        .SkippedFor = NotForThunderbird,
        .Files = RestoreHistoryFiles,
        .TaskText = Task("LANG_HISTORIE1"),
        .ResultText = Result("LANG_AKCE_HISTORIE_R_OK"),
        .FailedText = Result("LANG_AKCE_HISTORIE_R_FAILED"),
    },
    {
        .Box = SidebarsBox,
        .SkippedFor = NotForThunderbird,
        .Files = SidebarFiles,
        .TaskText = Task("LANG_PANELY1"),
        .ResultText = Result("LANG_AKCE_PANELY_R_OK"),
        .FailedText = Result("LANG_AKCE_PANELY_R_FAILED"),
    },
    {
        .Box = UserStylesBox,
        .Files = UserStyleFiles,
        .TaskText = Task("LANG_STYLY1"),
        .ResultText = Result("LANG_AKCE_STYLY_R_OK"),
        .FailedText = Result("LANG_AKCE_STYLY_R_FAILED"),
    },
    {
        .Box = SavedPasswordsBox,
        .Files = PasswordFiles,
        .Folders = PasswordFolders,
        .FoldersFirst = true,
        .TaskText = Task("LANG_HESLA1"),
        .ResultText = Result("LANG_AKCE_HESLA_R_OK"),
        .FailedText = Result("LANG_AKCE_HESLA_R_FAILED"),
    },
    {
        .Box = CookiesBox,
        .SkippedFor = NotForThunderbird,
        .Files = RestoreCookieFiles,
        .TaskText = Task("LANG_COOKIES1"),
        .ResultText = Result("LANG_AKCE_COOKIES_R_OK"),
        .FailedText = Result("LANG_AKCE_COOKIES_R_FAILED"),
    },
    {
        .Box = SavedFormDetailsBox,
        .SkippedFor = NotForThunderbird,
        .Files = RestoreFormFiles,
        .Folders = FormFolders,
        .TaskText = Task("LANG_FORMULAR1"),
        .ResultText = Result("LANG_AKCE_FORMULARE_R_OK"),
        .FailedText = Result("LANG_AKCE_FORMULARE_R_FAILED"),
    },
    {
        .Box = DownloadedFileListBox,
        .SkippedFor = NotForThunderbird,
        .Files = RestoreDownloadFiles,
        .TaskText = Task("LANG_DOWNLOAD1"),
        .ResultText = Result("LANG_AKCE_SOUBORY_R_OK"),
        .FailedText = Result("LANG_AKCE_SOUBORY_R_FAILED"),
    },
    {
        .Box = CertificatesBox,
        .Files = CertificateFiles,
        .Folders = CertificateFolders,
        .TaskText = Task("LANG_CERTIF1"),
        .ResultText = Result("LANG_CERTIF_R_OK"),
        .FailedText = Result("LANG_CERTIF_R_FAILED"),
    },
    {
        .Box = ExtensionsBox,
        .SkippedFor = NotForSeaMonkey,
        .Files = ExtensionFiles,
        .Folders = ExtensionFolders,
        .Extra = TExtra::ExtensionData,
        .TaskText = Task("LANG_EXTENSIONS1"),
        .ResultText = Result("LANG_AKCE_EXTENSIONS_R_OK"),
        .FailedText = Result("LANG_AKCE_EXTENSIONS_R_FAILED"),
    },
    {
        .Box = CacheBox,
        .SkippedFor = NotForSeaMonkey,
        .Folders = CacheFolders,
        .TaskText = Task("LANG_CACHE1"),
        .ResultText = Result("LANG_AKCE_CACHE_R_OK"),
        .FailedText = Result("LANG_AKCE_CACHE_R_FAILED"),
    },
};

// ---------------------------------------------------------------------------
// Legacy text container: section names of the file records.
// ---------------------------------------------------------------------------

constexpr TLegacySection LegacyTable[] = {
    {.Name = "Nastaveni", .Box = GeneralSettingsBox},
    {.Name = "Mail", .Box = EmailsBox, .InSubFolder = true},
    {.Name = "Kontakty", .Box = AddressBooksBox},
    {.Name = "Oblibene polozky", .Box = BookmarksBox},
    {.Name = "Historie", .Box = HistoryBox},
    {.Name = "Postranni panely", .Box = SidebarsBox},
    {.Name = "Uzivatelske styly", .Box = UserStylesBox, .InSubFolder = true},
    {.Name = "Ulozena hesla", .Box = SavedPasswordsBox},
    {.Name = "Cookies", .Box = CookiesBox},
    {.Name = "Doplnene formulare", .Box = SavedFormDetailsBox},
    {.Name = "Download manager", .Box = DownloadedFileListBox},
};

/// Whether one of `folders` takes `path`: a mask of the profile folder takes
/// names there, a mask of another folder names at any depth below it.
bool FoldersHold(std::span<const TFolderMask> folders, std::string_view path)
{
    return std::ranges::any_of(folders, [path](const TFolderMask& folder) {
        if (folder.Folder.empty())
            return path.find('/') == std::string_view::npos &&
                   MatchesWildcard(path, NormalizedSpec(folder.Mask));
        const std::string spec = std::string(folder.Folder) + "/" + std::string(folder.Mask);
        return MatchesWildcard(path, NormalizedSpec(spec));
    });
}

} // namespace

std::span<const TBackupComponent> BackupComponents()
{
    return BackupTable;
}

const TEmailsBackup& EmailsBackup()
{
    return EmailsBackupLists;
}

std::span<const TRestoreComponent> RestoreComponents()
{
    return RestoreTable;
}

const TRestoreComponent* FindRestoreComponent(TComponentBox box)
{
    const auto* found = std::ranges::find(RestoreTable, box, &TRestoreComponent::Box);
    return found == std::ranges::end(RestoreTable) ? nullptr : found;
}

bool IsSkippedOnRestore(TComponentBox box, AppType type)
{
    const TRestoreComponent* component = FindRestoreComponent(box);
    return component != nullptr &&
           std::ranges::find(component->SkippedFor, type) != component->SkippedFor.end();
}

std::span<const TLegacySection> LegacySections()
{
    return LegacyTable;
}

const TLegacySection* FindLegacySection(std::string_view line)
{
    const std::string name = Trim(line);
    const auto* found = std::ranges::find(LegacyTable, name, &TLegacySection::Name);
    return found == std::ranges::end(LegacyTable) ? nullptr : found;
}

bool LegacySectionHolds(const TLegacySection& section, std::string_view path)
{
    const TRestoreComponent* component = FindRestoreComponent(section.Box);
    if (component == nullptr)
        return false;
    return std::ranges::any_of(component->Files,
                               [path](std::string_view file) { return EqualsIgnoreCase(file, path); }) ||
           FoldersHold(component->Folders, path) ||
           (component->Extra == TComponentExtra::MailFolders &&
            FoldersHold(EmailsBackup().FullProfileFolders, path));
}

} // namespace quillbank
