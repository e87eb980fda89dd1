// The state of the wizard: the chosen operation, application, profile and backup file, shared with the core.

#pragma once

#include "vocabulary/AppType.h"
#include "vocabulary/MailFolder.h"
#include "vocabulary/Operation.h"
#include "vocabulary/UnknownEntry.h"

#include <optional>
#include <string>
#include <vector>

namespace quillbank {

/// One profile of the profile list: its name and its folder (normally
/// without a trailing separator).
struct TProfileEntry
{
    std::string Name;
    std::string Path;
    /// The line of the profile list that shows it, when that is not its name
    /// alone (profiles listed from several roots also name their root).
    std::string Line = {};
    /// The profile root that lists it (ending with a separator); empty for
    /// a profile not found through a root.
    std::string Root = {};

    const std::string& ListLine() const { return Line.empty() ? Name : Line; }
};

/// The kind of backup file a restore reads.
enum class TArchiveFormat
{
    /// Not detected yet.
    Unknown,
    /// The legacy text container.
    LegacyContainer,
    Zip,
};

/// The state of the wizard, held by the main window and read and written by
/// the core's steps.
struct TWizardState
{
    TOperation Operation = TOperation::None;

    /// The chosen application type; 0 while none is chosen.
    AppType SelectedAppType = NoAppType;
    std::string SelectedAppName;
    /// The lines of the application list, in the order they were added.
    std::vector<std::string> AppList;

    /// The listed profiles, in discovery order.
    std::vector<TProfileEntry> ProfileEntries;
    /// The lines of the profile list (the window shows them sorted).
    std::vector<std::string> ProfileList;
    /// The line selected in the profile list, if any.
    std::optional<std::string> SelectedProfileLine;
    /// The application's profile root until a profile is chosen, then the
    /// chosen profile's folder; always ending with a separator.
    std::string ProfileDir;
    /// The folder of a portable profile chosen by hand (no trailing
    /// separator), empty when none.
    std::string PortableProfileDir;

    /// The backup file to write (backup) or read (restore).
    std::string ArchivePath;
    TArchiveFormat ArchiveFormat = TArchiveFormat::Unknown;
    /// The password of the current run; empty for none.
    std::string BackupPassword;
    /// The code page for the names of archives made on Windows that the
    /// command line chose; empty for the configured one.
    std::string CodePage;
    /// The mail folders outside the profile that an archive holds.
    std::vector<TMailFolder> MailFolders;
    /// The unknown entries an archive holds.
    std::vector<TUnknownEntry> UnknownEntries;
};

} // namespace quillbank
