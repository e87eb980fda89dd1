// Proposes backup paths from the settings, last-used folders and the template; shortens them for display.

#include "config/BackupFileNaming.h"

#include "config/AppSettings.h"
#include "platform/FileSystem.h"
#include "platform/SpecialFolders.h"
#include "platform/Text.h"
#include "platform/UserStore.h"

#include <vector>

namespace quillbank {

namespace {

constexpr std::string_view ProfilePlaceholder = "<profile>";
constexpr std::string_view BackupExtension = ".qkz";

std::string DirectoryValueName(AppType type)
{
    return "Directory" + std::to_string(static_cast<unsigned>(type));
}

bool IsUtf8Continuation(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

/// Byte offsets of the characters of UTF-8 `text` (a stray byte counts as one).
std::vector<std::size_t> CharacterStarts(std::string_view text)
{
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (i == 0 || !IsUtf8Continuation(text[i]))
            starts.push_back(i);
    return starts;
}

std::string ShortenForDisplay(std::string_view path, std::size_t trailing)
{
    constexpr std::size_t MaxWhole = 39;
    constexpr std::size_t Leading = 3;
    const auto starts = CharacterStarts(path);
    if (starts.size() <= MaxWhole)
        return std::string(path);
    return std::string(path.substr(0, starts[Leading])) + "..." +
           std::string(path.substr(starts[starts.size() - trailing]));
}

/// A template whose first placeholders are empty (no application chosen)
/// leaves a name that begins with their separators, "  - 2008-03-05.qkz":
/// the name starts at its first other character.
std::string WithoutLeadingSeparators(const std::string& path)
{
    const std::size_t nameAt = path.size() - ExtractFileName(path).size();
    const std::size_t keptAt = path.find_first_not_of(" -", nameAt);
    if (keptAt == std::string::npos)
        return path;
    return path.substr(0, nameAt) + path.substr(keptAt);
}

} // namespace

void WriteLastDirectory(std::string_view fileName, AppType type)
{
    if (!IsKnownAppType(type))
        return;
    // The store reports a failed write; there is nothing to tell the user.
    (void)WriteUserValue(DirectoryValueName(type), ExtractFileDir(fileName));
}

std::string ReadLastDirectory(AppType type)
{
    if (!IsKnownAppType(type))
        return {};
    return ReadUserValue(DirectoryValueName(type)).value_or(std::string());
}

TBackupProposal ProposeBackupPath(const TAppSettings& settings, AppType type, std::string_view version,
                                  TOperation operation, const std::optional<std::string>& profileName,
                                  const TLocalDateTime& now)
{
    std::string dir = settings.BackupDir;
    if (IsKnownAppType(type) && !settings.AppBackupDir[type].empty())
        dir = settings.AppBackupDir[type];
    // Folders may have gone since the settings were loaded.
    if (!dir.empty() && !DirectoryExists(dir))
        dir.clear();
    if (dir.empty()) {
        const std::string last = ReadLastDirectory(type);
        if (!last.empty() && DirectoryExists(last))
            dir = last;
    }
    if (dir.empty())
        dir = DocumentsDir();

    const TTemplateSelection selection{type, std::string(version), profileName,
                                       operation == TOperation::Restore};
    TBackupProposal proposal;
    proposal.TemplateHasProfile = settings.FileNameTemplate.find(ProfilePlaceholder) != std::string::npos;
    proposal.Path = WithoutLeadingSeparators(
        ExpandFileNameTemplate(IncludeTrailingSeparator(dir) + settings.FileNameTemplate, selection, now));
    return proposal;
}

TBackupProposal ProposeBackupPath(const TAppSettings& settings, AppType type, std::string_view version,
                                  TOperation operation, const std::optional<std::string>& profileName)
{
    return ProposeBackupPath(settings, type, version, operation, profileName, CurrentLocalDateTime());
}

std::string ProposalDisplayText(std::string_view path)
{
    return ShortenForDisplay(path, 36);
}

std::string ChosenPathDisplayText(std::string_view path)
{
    return ShortenForDisplay(path, 33);
}

std::string StripFileNameChars(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text)
        if (std::string_view("<>?|^").find(c) == std::string_view::npos)
            out += c;
    return out;
}

std::string DialogInitialDir(std::string_view archivePath)
{
    return ExtractFileDir(archivePath);
}

std::string SaveDialogFileName(std::string_view archivePath)
{
    std::string name = ReplaceAll(archivePath, ProfilePlaceholder, "");
    if (CharacterStarts(name).size() < 5)
        name.insert(0, "backup");
    return StripFileNameChars(ExtractFileName(name));
}

std::string OpenDialogFileName(std::string_view archivePath)
{
    return StripFileNameChars(ExtractFileName(archivePath));
}

std::string NormaliseChosenBackupPath(std::string_view chosenPath)
{
    std::string path(chosenPath);
    const std::size_t nameStart = path.size() - ExtractFileName(path).size();
    const std::size_t dot = path.rfind('.');
    if (dot != std::string::npos && dot >= nameStart)
        path.erase(dot);
    path += BackupExtension;
    return CollapseDoubledSeparators(path);
}

std::string CollapseDoubledSeparators(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text)
        if (c != PathSeparator || out.empty() || out.back() != PathSeparator)
            out += c;
    return out;
}

} // namespace quillbank
