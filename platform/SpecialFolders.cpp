// Finds the program's folder through /proc and the user's folders through the environment and user-dirs.dirs.

#include "platform/SpecialFolders.h"

#include "platform/FileSystem.h"
#include "platform/Text.h"

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace quillbank {

namespace {

std::string AbsoluteEnv(const char* name)
{
    const char* value = std::getenv(name);
    return (value != nullptr && value[0] == '/') ? std::string(value) : std::string();
}

/// XDG_DOCUMENTS_DIR as xdg-user-dirs writes it into user-dirs.dirs:
/// XDG_DOCUMENTS_DIR="$HOME/Documents" or an absolute path in quotes.
std::string DocumentsDirFromUserDirs()
{
    const auto content = ReadWholeFile(AppDataDir() + "/user-dirs.dirs");
    if (!content)
        return {};
    std::string_view rest = *content;
    while (!rest.empty()) {
        const auto end = rest.find('\n');
        const std::string line = Trim(rest.substr(0, end));
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        constexpr std::string_view prefix = "XDG_DOCUMENTS_DIR=";
        if (!line.starts_with(prefix))
            continue;
        std::string value = line.substr(prefix.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (value.starts_with("$HOME"))
            value = HomeDir() + value.substr(5);
        return value.starts_with('/') ? WithoutTrailingSeparators(value) : std::string();
    }
    return {};
}

} // namespace

std::string ExecutableDir()
{
    std::error_code error;
    const fs::path exe = fs::read_symlink("/proc/self/exe", error);
    return error ? WithoutTrailingSeparators(fs::current_path(error).string()) : exe.parent_path().string();
}

std::string HomeDir()
{
    std::string home = AbsoluteEnv("HOME");
    if (home.empty())
        if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr)
            home = entry->pw_dir;
    return WithoutTrailingSeparators(home.empty() ? std::string("/") : home);
}

std::string AppDataDir()
{
    const std::string configHome = AbsoluteEnv("XDG_CONFIG_HOME");
    return configHome.empty() ? HomeDir() + "/.config" : WithoutTrailingSeparators(configHome);
}

std::string StateDir()
{
    const std::string stateHome = AbsoluteEnv("XDG_STATE_HOME");
    return stateHome.empty() ? HomeDir() + "/.local/state" : WithoutTrailingSeparators(stateHome);
}

std::string DocumentsDir()
{
    if (std::string fromUserDirs = DocumentsDirFromUserDirs(); !fromUserDirs.empty())
        return fromUserDirs;
    const std::string documents = HomeDir() + "/Documents";
    return DirectoryExists(documents) ? documents : HomeDir();
}

} // namespace quillbank
