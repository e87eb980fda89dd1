// Finding profiles: their roots, the wizard's profile list, the default profile, and checking a chosen one.

#pragma once

#include "apps/ProfileRegistry.h"
#include "vocabulary/AppType.h"
#include "vocabulary/ComponentBoxes.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillbank {

class TInterfaceTexts;
class TUserInterface;
struct TWizardState;

/// The first of `roots` that holds a profile registry file, with a
/// trailing separator; nothing when none does.
std::optional<std::string> FindProfileRegistryRoot(const std::vector<std::string_view>& roots);
/// Every one of `roots` that holds a profile registry file, in order, with a
/// trailing separator; a folder reached from two roots (through a link) once.
std::vector<std::string> FindProfileRegistryRoots(const std::vector<std::string_view>& roots);
/// The profiles that the registry files of `roots` (as FindProfileRegistryRoots
/// gives them) list, root by root; a profile whose folder an earlier root
/// lists is left out, while one root may list a folder twice.
std::vector<TAppProfile> ReadProfilesOfRoots(const std::vector<std::string>& roots, TIsRelativeRule rule);
/// Whether two paths reach the same folder, links followed.
bool SameFolder(const std::string& a, const std::string& b);
/// A folder as the lists show it: the home folder written "~".
std::string FolderForDisplay(const std::string& folder);
/**
 * The folder (without a trailing separator) of the profile an installation
 * using `root` starts with: the "Default" of the one installation that
 * "installs.ini" (else an "[Install...]" section of "profiles.ini") names,
 * else the profile marked "Default=1". Nothing when none is named, or when
 * several installations name different ones.
 */
std::optional<std::string> DefaultProfileFolder(const std::string& root);
/// The profile root of a type: the first of its roots holding a profile
/// registry file, else the first that exists, else its first root; with a
/// trailing separator.
std::string ProfileRootOf(AppType type);

/// Rebuilds the profile list and the profile entries for the selected type,
/// from every root of the type that holds a profile registry file; each
/// profile folder is listed once, and when the profiles come from several
/// roots each line names its root.
void ListProfiles(TWizardState& state, const TInterfaceTexts& texts);
/// The name of the profile a line of the profile list shows (the line
/// itself when no profile entry shows it, the portable line for one), as the
/// backup file's name takes it.
std::string ProfileNameOfLine(const TWizardState& state, const std::string& line);
/// Reads the profile registry file of `root` (ending with a separator) into
/// the profile entries and the profile list; "IsRelative" counts by its low
/// byte, and a legacy registry's folders that are no profile folders (no
/// ".slt" in them) are entries but not offered in the list.
void ReadProfileList(TWizardState& state, const std::string& root);
/// Lets the user add a portable profile's folder to the profile list.
void ChoosePortableProfile(TWizardState& state, const TInterfaceTexts& texts, TUserInterface& ui);

/**
 * Validates the profile chosen in the profile list, makes its folder the
 * ProfileDir and returns which components it offers. An unusable profile
 * shows "The selected user profile is corrupted." and ends the program at
 * once with exit code 1.
 */
TComponentBoxes CheckProfile(TWizardState& state, const TInterfaceTexts& texts, TUserInterface& ui);
/// The same for a profile folder given directly (a batch run's profile);
/// `profileDir` need not end with a separator.
TComponentBoxes CheckProfileFolder(const std::string& profileDir, const TInterfaceTexts& texts,
                                   TUserInterface& ui);

} // namespace quillbank
