// Finds the prefs.js values that name a place outside the profile, absolute or "[ProfD]" paths leading out.

#include "profile/PathsOutsideProfile.h"

#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "profile/AccountFolder.h"
#include "profile/PrefsParser.h"

#include <set>

namespace quillbank {

namespace {

/// What ends the name of a mail account's relative folder preference.
constexpr std::string_view RelativeSuffix = "-rel";

} // namespace

std::optional<TPathOutsideProfile> PathOutsideProfile(std::string_view line, const std::string& profileDir)
{
    if (!Trim(line).starts_with("user_pref("))
        return std::nullopt;
    const std::string value = ReplaceAll(PrefValue(line), "\\\\", "\\");
    std::string path;
    if (value.starts_with(PathSeparator))
        path = LexicallyNormal(value);
    else if (value.starts_with(ProfileFolderMarker))
        path =
            LexicallyNormal(IncludeTrailingSeparator(profileDir) + value.substr(ProfileFolderMarker.size()));
    if (path.empty() || IsInsideFolder(path, profileDir))
        return std::nullopt;
    return TPathOutsideProfile{PrefName(line), path};
}

std::vector<TPathOutsideProfile> PathsOutsideProfile(std::string_view prefsText,
                                                     const std::string& profileDir)
{
    std::vector<std::string_view> lines;
    while (!prefsText.empty()) {
        const auto end = prefsText.find('\n');
        lines.push_back(prefsText.substr(0, end));
        prefsText.remove_prefix(end == std::string_view::npos ? prefsText.size() : end + 1);
    }
    // A mail account whose relative folder lies in the profile has its
    // absolute one pointed there by the restore: it names the old profile.
    std::set<std::string> movedWithProfile;
    for (std::string_view line : lines) {
        const std::string name = PrefName(line);
        if (name.ends_with(RelativeSuffix) && PrefValue(line).starts_with(ProfileFolderMarker) &&
            !PathOutsideProfile(line, profileDir))
            movedWithProfile.insert(name.substr(0, name.size() - RelativeSuffix.size()));
    }
    std::vector<TPathOutsideProfile> found;
    for (std::string_view line : lines)
        if (auto path = PathOutsideProfile(line, profileDir); path && !movedWithProfile.contains(path->Name))
            found.push_back(std::move(*path));
    return found;
}

} // namespace quillbank
