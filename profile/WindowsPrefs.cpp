// Finds the old Windows profile folder in a prefs.js, and maps each line's Windows paths to places here.

#include "profile/WindowsPrefs.h"

#include "platform/Text.h"
#include "profile/PrefsParser.h"
#include "profile/WindowsPaths.h"

#include <algorithm>
#include <map>

namespace quillbank {

namespace {

constexpr std::string_view ProfileMarker = "[ProfD]";

/// A preference's string value with the backslashes and quotes of prefs.js unescaped.
std::string Unescaped(std::string_view value)
{
    return ReplaceAll(ReplaceAll(value, "\\\\", "\\"), "\\\"", "\"");
}

std::string Escaped(std::string_view value)
{
    return ReplaceAll(ReplaceAll(value, "\\", "\\\\"), "\"", "\\\"");
}

/// The Windows path of the first `count` components of `path`.
std::string LeadingPart(std::string_view path, std::size_t count)
{
    const std::vector<std::string> parts = WindowsPathParts(path);
    const bool share = path.starts_with("\\\\");
    std::string joined = share ? "\\\\" : "";
    for (std::size_t i = 0; i < count && i < parts.size(); ++i)
        joined += (i > 0 ? "\\" : "") + parts[i];
    // A drive's root keeps its separator: "C:\\".
    return count == 1 && !share ? joined + "\\" : joined;
}

/// The lines of a text, without their line ends.
std::vector<std::string> TextLines(std::string_view text)
{
    std::vector<std::string> lines;
    while (!text.empty()) {
        const auto end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        lines.emplace_back(line);
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return lines;
}

/// The profile folder that an absolute value ends in `relative` below.
std::optional<std::string> ProfileOfTwins(const std::string& absolute, std::string_view relative)
{
    const std::vector<std::string> parts = WindowsPathParts(absolute);
    const std::vector<std::string> tail = WindowsPathParts(relative);
    if (std::ranges::find(tail, "..") != tail.end() || tail.size() >= parts.size())
        return std::nullopt;
    if (!std::equal(tail.begin(), tail.end(), parts.end() - static_cast<std::ptrdiff_t>(tail.size()),
                    parts.end(), EqualsIgnoreCase))
        return std::nullopt;
    return LeadingPart(absolute, parts.size() - tail.size());
}

/// The folder inside a "Profiles" folder that `path` lies in.
std::optional<std::string> ProfileOfLayout(const std::string& path)
{
    const std::vector<std::string> parts = WindowsPathParts(path);
    for (std::size_t i = 1; i + 1 < parts.size(); ++i)
        if (EqualsIgnoreCase(parts[i], "Profiles") && parts[i + 1] != "..")
            return LeadingPart(path, i + 2);
    return std::nullopt;
}

/// The place here of the Windows path `path`, or nothing.
std::optional<std::string> PlaceHere(const std::string& path, const TWindowsPlaces& places)
{
    auto joined = [](std::string folder, const std::string& below) {
        while (folder.size() > 1 && folder.ends_with('/'))
            folder.pop_back();
        return below.empty() ? folder : folder + "/" + below;
    };
    for (const TMailFolder& folder : places.Folders)
        if (const auto below = WindowsPathBelow(path, folder.Path); below && !folder.Place.empty())
            return joined(folder.Place, *below);
    if (places.OldProfile.empty())
        return std::nullopt;
    if (const auto below = WindowsPathBelow(path, places.OldProfile))
        return joined(places.Profile, *below);
    return std::nullopt;
}

} // namespace

std::string WindowsProfileFolder(std::string_view prefsText)
{
    std::map<std::string, std::string> values;
    for (const std::string& line : TextLines(prefsText))
        if (line.starts_with("user_pref(\""))
            values[PrefName(line)] = Unescaped(PrefValue(line));
    for (const auto& [name, value] : values) {
        const auto twin = values.find(name + "-rel");
        if (twin != values.end() && IsWindowsAbsolutePath(value) && twin->second.starts_with(ProfileMarker))
            if (auto profile =
                    ProfileOfTwins(value, std::string_view(twin->second).substr(ProfileMarker.size())))
                return *profile;
    }
    for (const auto& [name, value] : values)
        if (IsWindowsAbsolutePath(value))
            if (auto profile = ProfileOfLayout(value))
                return *profile;
    return {};
}

TPrefLineHere WindowsPrefLineHere(const std::string& line, const TWindowsPlaces& places)
{
    if (!line.starts_with("user_pref(\"") || PrefName(line).ends_with("-rel"))
        return {line, {}};
    const std::string value = Unescaped(PrefValue(line));
    const auto fromUrl = WindowsPathOfFileUrl(value);
    const std::string path = fromUrl ? *fromUrl : value;
    if (!IsWindowsAbsolutePath(path))
        return {line, {}};
    const auto here = PlaceHere(path, places);
    if (!here)
        return {std::nullopt, path};
    return {ReplaceStringValue(line, Escaped(fromUrl ? FileUrlOf(*here) : *here)), {}};
}

} // namespace quillbank
