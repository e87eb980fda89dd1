// The profile registry file of a root ("profiles.ini" or the legacy binary one): its profiles and defaults.

#pragma once

#include "apps/AppProfile.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillbank {

/// The profile registry files a profile root may hold: "profiles.ini", and
/// the legacy binary registry ("registry.dat", or "appreg" on Unix).
inline constexpr std::string_view ProfilesIniName = "profiles.ini";
inline constexpr std::string_view LegacyRegistryNames[] = {"registry.dat", "appreg"};

/// The legacy binary registry file in `root` (ending with a separator), if any.
std::optional<std::string> LegacyRegistryFile(const std::string& root);
/// Whether `root` (ending with a separator) holds a profile registry file.
bool HoldsProfileRegistry(const std::string& root);

/**
 * Which values of "IsRelative" make a "profiles.ini" path relative to its
 * root. The applications write 0 or 1, on which both rules agree; they
 * differ on other values, and the wizard and the rest of the program each
 * keep the rule they have always had, so that no profile moves to another
 * folder.
 */
enum class TIsRelativeRule
{
    /// Relative when the value's low byte is not 0 (256 is absolute, 257
    /// and 2 relative): the wizard's profile list.
    LowByteNotZero,
    /// Relative only for 1: the unattended backups, the command line, and
    /// the profile marked as the default.
    OnlyOne,
};

/// What the profile registry file of one profile root says.
struct TProfileRegistry
{
    /// The profiles, in the file's order: the "[Profile<n>]" sections that
    /// hold both "name" and "path", read up to the first gap in the
    /// numbering; else every profile of the legacy registry.
    std::vector<TAppProfile> Profiles;
    /// The folders (without a trailing separator) that the "[Install...]"
    /// sections of "profiles.ini" name as their installation's default.
    std::vector<std::string> InstallationDefaults;
    /// The folder (without a trailing separator) of the first profile
    /// section marked "Default=1", whether or not the section names its
    /// profile.
    std::optional<std::string> MarkedDefault;
};

/// Reads the profile registry file of `root` (ending with a separator):
/// "profiles.ini" when the root holds one (nothing when it cannot be read),
/// else the legacy registry; nothing when it holds neither. The files are
/// untrusted: any content gives some list, never a failure.
TProfileRegistry ReadProfileRegistry(const std::string& root, TIsRelativeRule rule);

/// The folders (without a trailing separator) that the installations in
/// "installs.ini" of `root` start with, in the file's order.
std::vector<std::string> InstallsIniDefaults(const std::string& root);

} // namespace quillbank
