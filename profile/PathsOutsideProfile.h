// The places outside the profile that a prefs.js names, which a restore keeps only when the user agrees.

#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillbank {

/// A preference of a prefs.js whose value names a place outside the profile.
struct TPathOutsideProfile
{
    /// The preference's name ("browser.download.dir").
    std::string Name;
    /// The place, as an absolute path.
    std::string Path;

    bool operator==(const TPathOutsideProfile&) const = default;
    /// "name: path", for people.
    std::string Description() const { return Name + ": " + Path; }
};

/**
 * The place outside `profileDir` that the prefs.js line `line` names, or
 * nothing: a string value that is an absolute path (doubled backslashes
 * made single) not inside the profile, or a "[ProfD]" relative path whose
 * ".." steps lead out of it. The applications write into such places, so a
 * restore keeps them only when the user agreed.
 */
std::optional<TPathOutsideProfile> PathOutsideProfile(std::string_view line, const std::string& profileDir);

/// Every such place of a prefs.js text, in the order of its lines, except
/// the absolute folder of a mail account whose relative one ("...-rel") lies
/// in the profile: a restore points it at the profile restored into.
std::vector<TPathOutsideProfile> PathsOutsideProfile(std::string_view prefsText,
                                                     const std::string& profileDir);

} // namespace quillbank
