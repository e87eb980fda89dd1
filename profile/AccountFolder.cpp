// Finds the existing folder a mail account's preferences name, and writes a folder as a "[ProfD]" value.

#include "profile/AccountFolder.h"

#include "platform/FileSystem.h"
#include "platform/Text.h"

#include <filesystem>

namespace quillbank {

namespace {

/// The folder a preference names, when it is an existing one.
std::string ExistingFolder(const std::string& path)
{
    if (path.empty() || path.front() != PathSeparator)
        return {};
    const std::string normal = LexicallyNormal(path);
    return DirectoryExists(normal) ? normal : std::string();
}

bool IsInsideProfile(const std::string& folder, const std::string& profileDir)
{
    if (IsInsideFolder(folder, profileDir))
        return true;
    // A profile reached through a link is still the same profile.
    std::error_code error;
    const auto realFolder = std::filesystem::weakly_canonical(folder, error);
    const auto realProfile = std::filesystem::weakly_canonical(profileDir, error);
    return !error && IsInsideFolder(realFolder.string(), realProfile.string());
}

} // namespace

TAccountFolder LocateAccountFolder(const TPrefsParserAccount& account, const std::string& profileDir)
{
    // The ANSI code page is UTF-8 here, so the converted spelling of a
    // preference is the path itself.
    const std::string absolute = ExistingFolder(ReplaceAll(account.Directory, "\\\\", "\\"));
    std::string relative;
    if (account.DirectoryRel.starts_with(ProfileFolderMarker))
        relative = ExistingFolder(IncludeTrailingSeparator(profileDir) +
                                  account.DirectoryRel.substr(ProfileFolderMarker.size()));
    TAccountFolder found;
    found.Path = absolute.empty() ? relative : absolute;
    found.IsExternal = !found.Path.empty() && !IsInsideProfile(found.Path, profileDir);
    return found;
}

std::string RelativeAccountFolder(const std::string& folder, const std::string& profileDir)
{
    const std::filesystem::path relative =
        std::filesystem::path(LexicallyNormal(folder)).lexically_relative(LexicallyNormal(profileDir));
    return std::string(ProfileFolderMarker) + relative.generic_string();
}

} // namespace quillbank
