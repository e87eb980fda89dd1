// Parses Windows paths, shares and "file:///C:/" addresses, and writes paths of this machine as file URLs.

#include "profile/WindowsPaths.h"

#include "platform/Text.h"

#include <cctype>

namespace quillbank {

namespace {

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

bool IsDriveLetter(char c)
{
    return std::isalpha(static_cast<unsigned char>(c)) != 0 && static_cast<unsigned char>(c) < 0x80;
}

bool HasDotComponent(const std::vector<std::string>& parts)
{
    for (const std::string& part : parts)
        if (part == "." || part == "..")
            return true;
    return false;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

std::optional<std::string> PercentDecoded(std::string_view text)
{
    std::string decoded;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] != '%') {
            decoded += text[at];
            continue;
        }
        if (at + 2 >= text.size())
            return std::nullopt;
        const int high = HexDigit(text[at + 1]);
        const int low = HexDigit(text[at + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        decoded += static_cast<char>(high * 16 + low);
        at += 2;
    }
    return decoded;
}

} // namespace

bool IsWindowsAbsolutePath(std::string_view path)
{
    if (path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == ':' && IsSeparator(path[2]))
        return true;
    // A share: two backslashes, then a server name.
    return path.size() > 2 && path.starts_with("\\\\") && !IsSeparator(path[2]);
}

std::vector<std::string> WindowsPathParts(std::string_view path)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = start;
        while (end < path.size() && !IsSeparator(path[end]))
            ++end;
        if (end > start)
            parts.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

std::string RecordedFolderName(std::string_view path)
{
    if (!IsWindowsAbsolutePath(path))
        return std::string(path.substr(path.rfind('/') + 1));
    const std::vector<std::string> parts = WindowsPathParts(path);
    return parts.size() < 2 ? std::string() : parts.back();
}

std::optional<std::string> WindowsPathBelow(std::string_view path, std::string_view folder)
{
    if (!IsWindowsAbsolutePath(path) || !IsWindowsAbsolutePath(folder) ||
        path.starts_with("\\\\") != folder.starts_with("\\\\"))
        return std::nullopt;
    const std::vector<std::string> pathParts = WindowsPathParts(path);
    const std::vector<std::string> folderParts = WindowsPathParts(folder);
    if (HasDotComponent(pathParts) || HasDotComponent(folderParts) || pathParts.size() < folderParts.size())
        return std::nullopt;
    for (std::size_t i = 0; i < folderParts.size(); ++i)
        if (!EqualsIgnoreCase(pathParts[i], folderParts[i]))
            return std::nullopt;
    std::string below;
    for (std::size_t i = folderParts.size(); i < pathParts.size(); ++i)
        below += (below.empty() ? "" : "/") + pathParts[i];
    return below;
}

std::optional<std::string> WindowsPathOfFileUrl(std::string_view url)
{
    constexpr std::string_view Scheme = "file://";
    if (url.size() < Scheme.size() || !EqualsIgnoreCase(url.substr(0, Scheme.size()), Scheme))
        return std::nullopt;
    const auto decoded = PercentDecoded(url.substr(Scheme.size()));
    if (!decoded)
        return std::nullopt;
    std::string path = *decoded;
    // "file:///C:/x" and the older "file:///C|/x" name a drive.
    if (path.size() >= 4 && path[0] == '/' && IsDriveLetter(path[1]) && (path[2] == ':' || path[2] == '|') &&
        path[3] == '/') {
        path = path.substr(1);
        path[1] = ':';
    } else if (!path.empty() && !IsSeparator(path[0])) {
        path = "\\\\" + path;
    } else {
        return std::nullopt;
    }
    if (path.find('\0') != std::string::npos || !IsWindowsAbsolutePath(path))
        return std::nullopt;
    return ReplaceAll(path, "/", "\\");
}

std::string FileUrlOf(std::string_view path)
{
    static constexpr char Hex[] = "0123456789ABCDEF";
    std::string url = "file://";
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) != 0 && byte < 0x80)
            url += c;
        else if (std::string_view("/-._~!$&'()*+,;=:@").find(c) != std::string_view::npos)
            url += c;
        else
            url += {'%', Hex[byte >> 4], Hex[byte & 15]};
    }
    return url;
}

} // namespace quillbank
