// The backup file the file page proposes, and how its path is shown, cleaned and remembered per application.

#pragma once

#include "config/FileNameTemplate.h"
#include "vocabulary/AppType.h"
#include "vocabulary/Operation.h"

#include <optional>
#include <string>
#include <string_view>

namespace quillbank {

struct TAppSettings;

/**
 * Remembers the folder of `fileName` (everything up to and including its last
 * separator) as the one last used for application `type`, under the user-store
 * value "Directory<type>". Only types 1 to 9 are remembered; a failed write is
 * ignored.
 */
void WriteLastDirectory(std::string_view fileName, AppType type);

/// The folder last used for application `type`; empty when none is stored,
/// for a type outside 1 to 9, or when the store cannot be read.
std::string ReadLastDirectory(AppType type);

/// A proposed backup file and whether its template names the profile (then a
/// click on another profile renews the proposal).
struct TBackupProposal
{
    std::string Path;
    bool TemplateHasProfile = false;
};

/**
 * The backup file proposed on the file page: the application's configured
 * folder, else the common one (either only while it exists), else the folder
 * last used for the application while it exists, else the documents folder;
 * followed by the file-name template, expanded for `type`, its installed
 * `version` text and the selected profile. Without a profile, "<profile>"
 * stays in a backup's proposal and becomes empty in a restore's.
 */
TBackupProposal ProposeBackupPath(const TAppSettings& settings, AppType type, std::string_view version,
                                  TOperation operation, const std::optional<std::string>& profileName,
                                  const TLocalDateTime& now);
TBackupProposal ProposeBackupPath(const TAppSettings& settings, AppType type, std::string_view version,
                                  TOperation operation, const std::optional<std::string>& profileName);

/// The caption of a proposed path: whole when shorter than 40 characters,
/// else its first 3 characters, "..." and its last 36.
std::string ProposalDisplayText(std::string_view path);
/// The caption of a path chosen with Browse: as above, with the last 33 characters.
std::string ChosenPathDisplayText(std::string_view path);

/// `text` without any "<", ">", "?", "|" or "^".
std::string StripFileNameChars(std::string_view text);

/// The folder a file dialog opens in: the folder part of `archivePath`.
std::string DialogInitialDir(std::string_view archivePath);

/// The name the save dialog proposes: `archivePath` without "<profile>"
/// ("backup" put in front when less than 5 characters remain), its file-name
/// part stripped of the characters a file name cannot hold.
std::string SaveDialogFileName(std::string_view archivePath);

/// The name the open dialog proposes: the file-name part of `archivePath`,
/// stripped of the characters a file name cannot hold.
std::string OpenDialogFileName(std::string_view archivePath);

/// A path confirmed in a file dialog as the backup file: its extension
/// replaced by ".qkz" (appended to a name without a dot), doubled separators
/// made single.
std::string NormaliseChosenBackupPath(std::string_view chosenPath);

/// Every run of separators made one; applied to the path, its caption and its
/// hint after every Browse, confirmed or cancelled.
std::string CollapseDoubledSeparators(std::string_view text);

} // namespace quillbank
