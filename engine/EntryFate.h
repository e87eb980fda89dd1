// What a backup does with each entry of a profile folder, and why it leaves an entry out.

#pragma once

#include "vocabulary/ComponentBoxes.h"

#include <optional>
#include <string_view>

namespace quillbank {

/// What a backup does with an entry directly in the profile folder, and so,
/// for every entry it leaves out, why.
enum class TEntryFate
{
    /// A ticked component takes the entry whole.
    TakenByComponent,
    /// Only components the user left unticked take it: the user's choice.
    ComponentNotChosen,
    /// No component the profile offers takes it whole (none ever does, or
    /// its component is not offered): it is an unknown entry, in the backup
    /// when its row stays ticked.
    UnknownEntry,
    /// Left out by rule: a lock the running application holds on the
    /// profile; restored, it would only keep the application out.
    LockFile,
    /// Left out by rule: a cache the application rebuilds from the profile's
    /// own files; restored from another time or place, it would mislead it.
    RebuiltCache,
};

/// The rule that leaves the entry `name` (a folder when `isDirectory`) of a
/// profile root out of every backup, whatever is chosen: LockFile or
/// RebuiltCache; nothing for an entry no rule names. Names compare exactly.
std::optional<TEntryFate> LeaveOutRuleFor(std::string_view name, bool isDirectory);

/**
 * The fate of the entry `name` (a folder when `isDirectory`) of a profile
 * root in a backup whose components stand as `boxes`: a component counts as
 * offered when its box is enabled and as chosen when it is checked (Emails
 * counts as offered when its modifier's box is enabled too). A
 * component takes a file the catalogue names in the profile root (by name or
 * by mask) and a folder it takes with all its files, spelt in any letter
 * case, as a backup finds them; a component that takes only some files of a
 * folder ("chrome", the mail folders with "Accounts settings only") does not
 * take the folder. The rules come first: no component takes their entries.
 */
TEntryFate FateOfProfileEntry(std::string_view name, bool isDirectory, const TComponentBoxes& boxes);

} // namespace quillbank
