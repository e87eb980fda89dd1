// The mail part of a restore, and the rewrites of the restored prefs.js (mail and Windows paths, clean-up).

#pragma once

#include "engine/Archive.h"
#include "profile/PathsOutsideProfile.h"
#include "profile/PrefsParser.h"
#include "vocabulary/AppType.h"
#include "vocabulary/ComponentBoxes.h"
#include "vocabulary/MailFolder.h"

#include <array>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quillbank {

class TInterfaceTexts;
class TUserInterface;

/// An input or output error while prefs.js was being rewritten; the message
/// names the file and the reason. The profile's prefs.js is then still the
/// complete file it was before the rewrite.
class EPrefsRewriteError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

/// The mail folders kept inside a profile, restored whole with the emails.
inline constexpr std::array<std::string_view, 3> ProfileMailFolders = {"ImapMail", "Mail", "News"};

/// Where the accounts of a restored profile keep their mail, by account number.
struct TAccountMailFolders
{
    /// Accounts whose recorded folder was put back: the place it went.
    std::map<int, std::string> Restored;
    /// Accounts whose relative preference leads to a folder inside the
    /// profile (and whose folder was not put back elsewhere): that folder.
    std::map<int, std::string> InsideProfile;
};

/// What the mail part of a restore did.
struct TMailFoldersRestored
{
    /// The recorded folders not put back, each with the reason.
    std::vector<TLeftOutFile> NotRestored;
    /// Where their accounts are to be pointed (PointAccountsAtMailFolders).
    TAccountMailFolders Accounts;
};

/**
 * The mail part of a restore into `profileDir` (ends with "/"), run after the
 * Emails files, prefs.js among them, have come out of `archive`:
 *
 * - extracts the folders "ImapMail", "Mail" and "News" whole into the profile;
 * - puts every external account folder back where it was at backup time.
 *   Each folder of `folders` that an account of prefs.js used (its
 *   "directory" preference names it, or its "directory-rel" one leads out of
 *   the profile to it) is created and filled from the archive entries below
 *   its archive folder, and those accounts are to point at it. A folder that
 *   cannot be created gets the error box "Cannot restore external mail
 *   account to original location!" with its path; its accounts stay as they
 *   were.
 *
 * A folder recorded as a Windows path ("C:\Mail\Archive") goes to its
 * WindowsFolderPlace instead, which becomes its Place; its accounts are found
 * in any letter case and spelling of the separators, and a report line says
 * where it went. A place that cannot be created is refused like the rest.
 *
 * The recorded folders come from the archive header and are not trusted: one
 * that is not an absolute path, has a ".." component, or whose archive folder
 * the archive cannot name exactly (empty, ".", wildcards, separators) is
 * refused, and so is one that no account uses; their preferences stay
 * unchanged.
 *
 * prefs.js is only read here; PointAccountsAtMailFolders rewrites it.
 * Throws EPrefsNotFound when the profile has no prefs.js, and
 * EPrefsReadError on input errors.
 */
TMailFoldersRestored RestoreMailFolders(const std::string& profileDir, TArchive& archive,
                                        std::vector<TMailFolder>& folders, const TInterfaceTexts& texts,
                                        TUserInterface& ui);

/**
 * Points the accounts of the prefs.js of `profileDir` (ends with "/") at the
 * folders RestoreMailFolders put back: their "directory" lines get the path
 * in UTF-8 with every backslash doubled, their "directory-rel" lines the path
 * relative to this profile; the "directory" line of an account whose folder
 * lies inside the profile gets that folder.
 *
 * prefs.js is replaced as a whole: the old file is copied to "prefs.zal"
 * (left in place for FilterRestoredPrefs), the new one is written beside it,
 * flushed to disk and renamed over it. A "prefs.zal" left by an interrupted
 * run is taken back as prefs.js first when prefs.js is missing or empty.
 * Throws EPrefsReadError or EPrefsRewriteError on input or output errors.
 */
void PointAccountsAtMailFolders(const std::string& profileDir, const TAccountMailFolders& accounts);

/**
 * Makes the prefs.js of `profileDir` (ends with "/") that a backup made on
 * Windows brought fit this machine (WindowsPrefLineHere): Windows paths into
 * the old profile lead into this one, those into a mail folder of `folders`
 * that has a place lead there, and the preferences naming any other Windows
 * path are dropped; "-rel" preferences stay as they are. Returns the dropped
 * preferences with the paths they named. Does nothing without a prefs.js;
 * throws EPrefsReadError or EPrefsRewriteError on input or output errors.
 */
std::vector<TPathOutsideProfile> FitWindowsPrefs(const std::string& profileDir,
                                                 const std::vector<TMailFolder>& folders);

/// Whether the restore's clean-up drops the prefs.js line `line` in a
/// profile of `type` restored with `components` ticked, whatever it names.
bool IsDroppedFromRestoredPrefs(std::string_view line, AppType type, const TComponentBoxes& components);

/// Settles the "prefs.zal" an interrupted rewrite left in `profileDir`
/// (ends with "/"): it becomes prefs.js again when that is missing or empty,
/// and is deleted otherwise. Throws EPrefsRewriteError when it cannot.
void SettlePrefsCopy(const std::string& profileDir);

/**
 * The last step of a restore: drops from the prefs.js of `profileDir` the
 * lines that do not belong to an application of `type` or to the ticked
 * `components` (Emails, Address books, Saved passwords, Saved form details),
 * every line naming the disk cache's folder, the empty lines, and, unless
 * `keepPathsOutsideProfile` (the user agreed to them), every preference that
 * names a place outside the profile (PathsOutsideProfile): the applications
 * then use their defaults inside it.
 *
 * Does nothing when the profile has no prefs.js (after taking back a
 * "prefs.zal" left by an interrupted run when prefs.js is missing or empty).
 * The rewrite works like RestoreMailFolders' and removes "prefs.zal" when it
 * has finished. An input or output error shows the warning "A critical error
 * occurred while modifying the preferences file. The program will exit." and
 * ends the program with exit code 1; prefs.js is then left complete.
 */
void FilterRestoredPrefs(const std::string& profileDir, AppType type, const TComponentBoxes& components,
                         bool keepPathsOutsideProfile, const TInterfaceTexts& texts, TUserInterface& ui);

} // namespace quillbank
