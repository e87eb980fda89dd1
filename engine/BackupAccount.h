// A backup's account: what became of every file of the profile, taken, left out by a rule or by a fault.

#pragma once

#include "engine/Archive.h"
#include "vocabulary/ComponentBoxes.h"
#include "vocabulary/UnknownEntry.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quillbank {

class TBackupTask;
class TInterfaceTexts;
class TUserInterface;

/// A number of files and the bytes they hold.
struct TFileCount
{
    std::int64_t Files = 0;
    std::int64_t Bytes = 0;

    void Add(std::int64_t size)
    {
        ++Files;
        Bytes += size;
    }
    bool operator==(const TFileCount&) const = default;
};

/// Why a file that could be read is not in a backup.
enum class TLeaveOutRule
{
    /// The cache, when it was not chosen.
    Cache,
    /// The lock files of a running application (".parentlock", "lock", "parent.lock").
    LockFiles,
    /// What the applications rebuild by themselves: their caches, crash and
    /// telemetry reports, message search indexes, database memory files.
    RebuiltCaches,
    /// The files of the components that were not chosen.
    ComponentNotChosen,
    /// The unknown entries offered and not ticked.
    UnknownNotTicked,
    /// Files no component takes that are not offered as unknown entries.
    NoComponent,
};

inline constexpr std::size_t LeaveOutRuleCount = 6;

/**
 * What a backup did with every regular file of the profile and of its mail
 * account folders outside it: each is an entry of a component or an unknown
 * entry, or was left out by a rule, or was left out by a fault.
 */
struct TBackupAccount
{
    /// The entries of each component, indexed by TComponentBox (0 unused). A
    /// file two components list counts for the first that listed it.
    std::array<TFileCount, ComponentBoxCount + 1> Components{};
    TFileCount UnknownEntries;
    /// Indexed by TLeaveOutRule.
    std::array<TFileCount, LeaveOutRuleCount> LeftOutByRule{};
    /// The files that were to go in but could not be written, with the reason.
    std::vector<TLeftOutFile> LeftOutByFault;

    /// The components' and the unknown entries' files together.
    TFileCount Entries() const;
    bool operator==(const TBackupAccount&) const = default;
};

/// What a backup's account is drawn up from.
struct TAccountSources
{
    /// The profile folder, ending with a separator.
    std::string ProfileDir;
    /// The files the backup wrote, or would write.
    const TBackupTask& Chosen;
    /// The files the components that were not chosen would have listed.
    const TBackupTask& NotChosen;
    /// The files of `Chosen` that could not be written.
    std::vector<TLeftOutFile> Faults;
    /// The unknown entries offered and not ticked.
    std::vector<TUnknownEntry> Unticked;
    /// The mail account folders outside the profile, chosen or not.
    std::vector<std::string> AccountFolders;
};

/// Walks every regular file of the profile and of the account folders
/// (following links, each folder once) and says what became of it. Nothing
/// is opened; the window keeps its turn during the walk.
TBackupAccount DrawUpAccount(const TAccountSources& sources, TUserInterface& ui);

/// The account for people, in a few lines: the entries, by component; the
/// files each rule left out; how many files faults left out (each is named
/// in a report line of its own). `trial`: nothing was written.
std::vector<std::string> AccountReportLines(const TBackupAccount& account, const TInterfaceTexts& texts,
                                            bool trial);

} // namespace quillbank
