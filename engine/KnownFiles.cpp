// Reads "Profilefiles.txt", matches profile entries against it, and lists the unknown ones of a profile root.

#include "engine/KnownFiles.h"

#include "engine/EntryFate.h"
#include "engine/RestoreLeftovers.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "profile/SqliteFiles.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>

namespace fs = std::filesystem;

namespace quillbank {

namespace {

constexpr std::string_view KnownFilesName = "profilefiles.txt";
/// What a folder line holds, and what a folder name is compared with.
constexpr std::string_view AllFiles = "*.*";
/// A folder's name followed by this cannot be the name of any file here.
constexpr std::string_view FolderMark = "/*.*";

std::string ReadKnownFiles(const std::string& programDir)
{
    const std::string folder = IncludeTrailingSeparator(programDir);
    const std::string path =
        folder + FindEntryIgnoreCase(folder, KnownFilesName).value_or(std::string(KnownFilesName));
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw EKnownFilesError("cannot open " + path + ": " + std::strerror(errno));
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad())
        throw EKnownFilesError("cannot read " + path);
    return DecodeTextFile(content.str());
}

TUnknownEntry ParseKnownLine(std::string_view line)
{
    if (line.find(AllFiles) == std::string_view::npos)
        return {std::string(line), false};
    // The line is meant to end in "\*.*" (or "/*.*"): those four characters
    // go, counted from the end of the line without its surrounding blanks.
    std::string name(line);
    const std::size_t length = Trim(line).size();
    if (length >= 4)
        name.erase(length - 4, 4);
    return {name, true};
}

std::string Candidate(std::string_view name, bool isDirectory)
{
    std::string out(name);
    if (isDirectory)
        out += FolderMark;
    return out;
}

} // namespace

TKnownFiles::TKnownFiles(const std::string& programDir)
{
    const std::string content = ReadKnownFiles(programDir);
    for (const std::string_view line : SplitLines(content))
        knownItems_.push_back(ParseKnownLine(line));
}

bool TKnownFiles::IsKnown(const std::string& name, bool isDirectory) const
{
    const std::string candidate = Candidate(name, isDirectory);
    for (const TUnknownEntry& known : knownItems_) {
        const std::string pattern = Candidate(known.Name, known.IsDirectory);
        if (pattern == candidate)
            return true;
        // One "*" stands for any run of characters ("*.mab", "abook-*.sqlite").
        const auto star = pattern.find('*');
        if (star == std::string::npos)
            continue;
        const std::string_view prefix = std::string_view(pattern).substr(0, star);
        const std::string_view suffix = std::string_view(pattern).substr(star + 1);
        if (candidate.size() >= prefix.size() + suffix.size() && candidate.starts_with(prefix) &&
            candidate.ends_with(suffix))
            return true;
    }
    return false;
}

std::vector<TUnknownEntry> TKnownFiles::FindUnknown(const std::string& profileDir,
                                                    const TComponentBoxes& offered) const
{
    auto isUnknown = [this, &offered](const std::string& name, bool isDirectory) {
        return !IsKnown(name, isDirectory) ||
               FateOfProfileEntry(name, isDirectory, offered) == TEntryFate::UnknownEntry;
    };
    std::vector<TUnknownEntry> unknown;
    const std::string folder = IncludeTrailingSeparator(profileDir);
    std::error_code error;
    fs::directory_iterator entries(folder, error);
    for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
        std::string name = entries->path().filename().string();
        // A database's "-wal" travels with its database, its "-shm" never.
        if (IsSqliteCompanion(name))
            continue;
        // Files of an interrupted run are ours, not the user's.
        if (IsLeftoverOfARun(name, DirectoryExists(folder + name)))
            continue;
        if (DirectoryExists(folder + name)) {
            if (isUnknown(name, true))
                unknown.push_back({std::move(name), true});
        } else if (FileExists(folder + name)) {
            if (isUnknown(name, false))
                unknown.push_back({std::move(name), false});
        }
    }
    return unknown;
}

} // namespace quillbank
