// The table of key databases and the files each protects, and the look-ups a restore makes in it.

#include "engine/KeyStore.h"

#include "apps/WizardState.h"
#include "config/InterfaceTexts.h"
#include "engine/Catalogue.h"
#include "engine/RestoreRun.h"
#include "platform/FileSystem.h"

#include <algorithm>

namespace quillbank {

namespace {

using enum TSecret;

/// A file whose content a key database encrypts.
struct TProtectedFile
{
    std::string_view Name;
    TSecret Secret;
};

/// A key database and the files it protects.
struct TKeyDatabase
{
    std::string_view Name;
    std::span<const TProtectedFile> Protects;
};

// Today's key database: the logins (the JSON store, its backup copy and its
// SQLite successor), Thunderbird's OpenPGP passphrase, and the certificate
// database with the module list whose client certificates have their
// private keys in it.
constexpr TProtectedFile Key4Protects[] = {
    {"logins.json", Logins},
    {"logins-backup.json", Logins},
    {"logins.db", Logins},
    {"encrypted-openpgp-passphrase.txt", OpenPgpPassphrase},
    {"cert9.db", ClientCertificates},
    {"pkcs11.txt", ClientCertificates},
};

// The older key database: the logins of every store that used it, and the
// older certificate databases with their module list.
constexpr TProtectedFile Key3Protects[] = {
    {"signons.txt", Logins},          {"signons2.txt", Logins},          {"signons3.txt", Logins},
    {"signons4.txt", Logins},         {"signons5.txt", Logins},          {"signons.sqlite", Logins},
    {"logins.json", Logins},          {"logins-backup.json", Logins},    {"cert7.db", ClientCertificates},
    {"cert8.db", ClientCertificates}, {"secmod.db", ClientCertificates},
};

constexpr TKeyDatabase KeyDatabaseTable[] = {
    {"key4.db", Key4Protects},
    {"key3.db", Key3Protects},
};

/// In the order of TSecret.
constexpr TTextKey SecretTexts[] = {
    {"Quillbank14", "LANG_SECRET_LOGINS"},
    {"Quillbank14", "LANG_SECRET_OPENPGP"},
    {"Quillbank14", "LANG_SECRET_CERTIFICATES"},
};

bool Lists(std::span<const std::string_view> files, std::string_view name)
{
    return std::ranges::find(files, name) != files.end();
}

/// Whether the archive holds an entry named `name` exactly: one in another
/// letter case is extracted under its own name, beside the file of the
/// profile rather than over it.
bool ArchiveHolds(const std::vector<std::string>& entryNames, std::string_view name)
{
    return std::ranges::find(entryNames, name) != entryNames.end();
}

/// Whether a ticked component restored into a profile of `type` lists `name`.
bool RestoresFile(const TComponentBoxes& boxes, AppType type, std::string_view name)
{
    return std::ranges::any_of(RestoreComponents(), [&](const TRestoreComponent& component) {
        return boxes[component.Box].Checked && !IsSkippedOnRestore(component.Box, type) &&
               Lists(component.Files, name);
    });
}

} // namespace

std::vector<std::string_view> FilesGoingWithKeys(std::span<const std::string_view> files,
                                                 const std::vector<std::string>& entryNames)
{
    std::vector<std::string_view> going;
    for (const TKeyDatabase& key : KeyDatabaseTable) {
        if (!Lists(files, key.Name) || !ArchiveHolds(entryNames, key.Name))
            continue;
        for (const TProtectedFile& file : key.Protects)
            if (!Lists(files, file.Name) && ArchiveHolds(entryNames, file.Name) &&
                std::ranges::find(going, file.Name) == going.end())
                going.push_back(file.Name);
    }
    return going;
}

std::string OrphanedFileLine(const TOrphanedFile& file, const TInterfaceTexts& texts)
{
    const TTextKey& secret = SecretTexts[static_cast<std::size_t>(file.Secret)];
    return file.Name + " (" + texts.GetText(secret.Section, secret.Key) + ")";
}

std::vector<TOrphanedFile> OrphanedProtectedFiles(const std::vector<std::string>& entryNames,
                                                  const TComponentBoxes& boxes, AppType type,
                                                  const std::string& targetDir)
{
    std::vector<TOrphanedFile> orphaned;
    for (const TKeyDatabase& key : KeyDatabaseTable) {
        if (!RestoresFile(boxes, type, key.Name) || !ArchiveHolds(entryNames, key.Name))
            continue;
        for (const TProtectedFile& file : key.Protects)
            if (!ArchiveHolds(entryNames, file.Name) &&
                FileExists(IncludeTrailingSeparator(targetDir) + std::string(file.Name)) &&
                std::ranges::find(orphaned, file.Name, &TOrphanedFile::Name) == orphaned.end())
                orphaned.push_back({std::string(file.Name), file.Secret, key.Name});
    }
    return orphaned;
}

std::vector<TOrphanedFile> OrphanedByRestore(const TWizardState& state, const TComponentBoxes& boxes,
                                             TArchiveEnvironment environment)
{
    if (state.ArchiveFormat != TArchiveFormat::Zip)
        return {};
    return OrphanedProtectedFiles(TArchive(state.ArchivePath, "", environment).EntryNames(), boxes,
                                  state.SelectedAppType, RestoreTargetProfile(state));
}

} // namespace quillbank
