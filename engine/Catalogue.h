// The component catalogue: which files and folders of a profile each component backs up and restores.

#pragma once

#include "vocabulary/AppType.h"
#include "vocabulary/ComponentBoxes.h"

#include <array>
#include <span>
#include <string_view>

namespace quillbank {

/**
 * The component catalogue: which files and folders of a profile each
 * component of the components page stands for. The backup side and the
 * restore side are two separate tables on purpose; they are close but not
 * identical (orders differ, the restore side names a few journal files the
 * backup side does not), and both are kept exactly as they are.
 *
 * All names are relative to the profile directory and use "/" between
 * folder levels ("chrome/userChrome.css"), on disk and inside the archive.
 */

/// A folder and a wildcard mask: every file matching the mask below the
/// folder. An empty folder is the profile directory itself.
struct TFolderMask
{
    std::string_view Folder;
    std::string_view Mask;

    friend bool operator==(const TFolderMask&, const TFolderMask&) = default;
};

/// A localised text: the language-file section and the key it is looked up by.
struct TTextKey
{
    std::string_view Section;
    std::string_view Key;
};

/// Work a run does for a component beyond extracting or listing its lists.
enum class TComponentExtra
{
    None,
    /// Restore: after the file list, the mail folder restore ("ImapMail",
    /// "Mail", "News", the external folders, the path rewriting of prefs.js).
    MailFolders,
    /// Backup: after the folders, the extension data list. Restore: after the
    /// folders, the user style files are deleted again unless User styles is
    /// ticked, then the extension data extraction and its fix-up.
    ExtensionData,
};

/// One component as the backup run lists it into the backup task. Files are
/// listed only when they exist; folder entries are listed as they are.
struct TBackupComponent
{
    TComponentBox Box;
    /// Listed only when "prefs.js" exists in the profile (General settings).
    bool NeedsPrefsJs = false;
    std::span<const std::string_view> Files = {};
    std::span<const TFolderMask> Folders = {};
    TComponentExtra Extra = TComponentExtra::None;
};

/// The Emails component on the backup side. It runs when Emails or
/// "Accounts settings only" is ticked; the modifier narrows what is taken.
struct TEmailsBackup
{
    /// Listed in both cases, in this order.
    std::span<const std::string_view> Files;
    /// Listed after `Files`, only when "Accounts settings only" is clear.
    std::span<const std::string_view> FullOnlyFiles;
    /// The profile's own mail folders.
    std::span<const TFolderMask> FullProfileFolders;
    std::span<const TFolderMask> AccountsOnlyProfileFolders;
    /// The masks each mail account folder outside the profile is listed with.
    std::span<const std::string_view> FullExternalMasks;
    std::span<const std::string_view> AccountsOnlyExternalMasks;
};

/// One component as the restore run extracts it.
struct TRestoreComponent
{
    TComponentBox Box;
    /// Application types into whose profiles the component is never restored.
    std::span<const AppType> SkippedFor = {};
    /// Extracted together as one list.
    std::span<const std::string_view> Files = {};
    /// Extracted one by one, in order.
    std::span<const TFolderMask> Folders = {};
    /// The folder entries are extracted before the files (Saved passwords)
    /// rather than after them.
    bool FoldersFirst = false;
    TComponentExtra Extra = TComponentExtra::None;
    /// Shown on the task line while the component is restored.
    TTextKey TaskText;
    /// Appended to the report list once the component has been restored.
    TTextKey ResultText;
    /// Appended instead when an entry of the component was refused or not written.
    TTextKey FailedText;
};

/// The components the backup run lists, in its order (Emails is not among
/// them: it is listed afterwards, see EmailsBackup()).
std::span<const TBackupComponent> BackupComponents();
const TEmailsBackup& EmailsBackup();

/// The components the restore run walks, in its order; all fourteen.
std::span<const TRestoreComponent> RestoreComponents();
/// The restore entry of a component; nullptr for "Accounts settings only".
const TRestoreComponent* FindRestoreComponent(TComponentBox box);
/// Whether a ticked component is still not restored into a profile of `type`.
bool IsSkippedOnRestore(TComponentBox box, AppType type);

/// The components in the order of the header's flags line: element 0 is
/// position 1. "Accounts settings only" has no position.
inline constexpr std::array<TComponentBox, 14> HeaderFlagOrder = {
    GeneralSettingsBox,    EmailsBox,       AddressBooksBox,   BookmarksBox, HistoryBox,
    SidebarsBox,           UserStylesBox,   SavedPasswordsBox, CookiesBox,   SavedFormDetailsBox,
    DownloadedFileListBox, CertificatesBox, ExtensionsBox,     CacheBox,
};

/// A section of the legacy text container and the component it belongs to.
struct TLegacySection
{
    std::string_view Name;
    TComponentBox Box;
    /// The section's files lie in sub-folders, which are created first.
    bool InSubFolder = false;
};

std::span<const TLegacySection> LegacySections();
/// The section whose name equals `line` once blanks and control characters
/// are trimmed from both ends (case-sensitive); nullptr for any other line.
const TLegacySection* FindLegacySection(std::string_view line);
/// Whether a record of `section` may hold the file `path` (relative to the
/// profile, "/" between folders): a file that the section's component
/// restores, by name or by one of its folders' masks, or for "Mail" a file
/// in the profile's mail folders. Letter case is ignored, as the restore of
/// an archive ignores it.
bool LegacySectionHolds(const TLegacySection& section, std::string_view path);

} // namespace quillbank
