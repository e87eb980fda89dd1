// Path arithmetic done on the text alone, and the file checks, reads and lookups that ask the disk.

#include "platform/FileSystem.h"

#include "platform/Text.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/statvfs.h>

namespace fs = std::filesystem;

namespace quillbank {

std::string IncludeTrailingSeparator(std::string_view folder)
{
    std::string out(folder);
    if (!out.empty() && out.back() != PathSeparator)
        out += PathSeparator;
    return out;
}

std::string WithoutTrailingSeparators(std::string_view path)
{
    while (path.size() > 1 && path.back() == PathSeparator)
        path.remove_suffix(1);
    return std::string(path);
}

std::string ExtractFileDir(std::string_view path)
{
    const auto last = path.rfind(PathSeparator);
    return last == std::string_view::npos ? std::string() : std::string(path.substr(0, last + 1));
}

std::string ExtractFileName(std::string_view path)
{
    const auto last = path.rfind(PathSeparator);
    return std::string(last == std::string_view::npos ? path : path.substr(last + 1));
}

std::string LexicallyNormal(std::string_view path)
{
    std::string normal = std::filesystem::path(path).lexically_normal().string();
    // "/.." is the root itself; lexically_normal keeps such steps only in
    // relative paths.
    return WithoutTrailingSeparators(normal);
}

bool IsInsideFolder(std::string_view path, std::string_view folder)
{
    const std::string inner = LexicallyNormal(path);
    const std::string outer = LexicallyNormal(folder);
    if (outer.empty() || !inner.starts_with(outer))
        return false;
    return inner.size() == outer.size() || outer.back() == PathSeparator ||
           inner[outer.size()] == PathSeparator;
}

bool IsConfinedPath(std::string_view path)
{
    if (path.empty() || path.front() == PathSeparator || (path.size() >= 2 && path[1] == ':'))
        return false;
    std::size_t start = 0;
    while (start <= path.size()) {
        const auto end = std::min(path.find(PathSeparator, start), path.size());
        if (path.substr(start, end - start) == "..")
            return false;
        start = end + 1;
    }
    return true;
}

bool FileExists(const std::string& path)
{
    std::error_code error;
    return fs::is_regular_file(path, error);
}

bool DirectoryExists(const std::string& path)
{
    std::error_code error;
    return fs::is_directory(path, error);
}

std::optional<std::string> MakeFolders(const std::string& folder, unsigned mode)
{
    const std::string normal = LexicallyNormal(folder);
    // Each level in turn, from the top: its own mode for every level made.
    for (std::size_t end = normal.find(PathSeparator, 1);; end = normal.find(PathSeparator, end + 1)) {
        const std::string level = normal.substr(0, end);
        if (!DirectoryExists(level) && ::mkdir(level.c_str(), static_cast<mode_t>(mode)) != 0 &&
            errno != EEXIST)
            return level + ": " + std::strerror(errno);
        if (end == std::string::npos)
            break;
    }
    if (!DirectoryExists(normal))
        return normal + ": not a folder";
    return std::nullopt;
}

std::optional<std::string> ReadWholeFile(const std::string& path)
{
    if (!FileExists(path))
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad())
        return std::nullopt;
    return std::move(content).str();
}

std::optional<std::uint64_t> FreeBytesIn(const std::string& folder)
{
    std::error_code error;
    fs::path existing = fs::absolute(fs::path(folder.empty() ? std::string(".") : folder), error);
    while (!fs::exists(existing, error) && existing.has_relative_path())
        existing = existing.parent_path();
    struct statvfs info
    {};
    if (statvfs(existing.c_str(), &info) != 0)
        return std::nullopt;
    return std::uint64_t{info.f_bavail} * info.f_frsize;
}

std::optional<std::string> FindEntryIgnoreCase(const std::string& folder, std::string_view name)
{
    // Only a plain name of one entry: never a path, never a step up or in place.
    if (name.empty() || name == "." || name == ".." || name.find(PathSeparator) != std::string_view::npos)
        return std::nullopt;
    std::error_code error;
    if (fs::exists(fs::symlink_status(fs::path(folder) / name, error)))
        return std::string(name);
    fs::directory_iterator entries(folder, error);
    if (error)
        return std::nullopt;
    for (const fs::directory_entry& entry : entries) {
        std::string entryName = entry.path().filename().string();
        if (EqualsIgnoreCase(entryName, name))
            return entryName;
    }
    return std::nullopt;
}

std::optional<std::string> ResolvePathIgnoreCase(const std::string& folder, std::string_view relativePath)
{
    std::string resolved = IncludeTrailingSeparator(folder);
    std::string_view rest = relativePath;
    while (!rest.empty()) {
        const auto end = rest.find(PathSeparator);
        const std::string_view part = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (part.empty())
            continue;
        const auto found = FindEntryIgnoreCase(resolved, part);
        if (!found)
            return std::nullopt;
        resolved += *found;
        if (!rest.empty())
            resolved += PathSeparator;
    }
    return resolved;
}

} // namespace quillbank
