// Makes the fuzz targets' scratch folders and files, and walks folders to check what a run left in them.

#include "fuzz/FuzzSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace quillbank::fuzz {

namespace {

[[noreturn]] void Finding(const std::string& what)
{
    std::fprintf(stderr, "fuzz finding: %s\n", what.c_str());
    std::abort();
}

} // namespace

void TFuzzUserInterface::EndProgram(int exitCode)
{
    throw TFuzzExit{exitCode};
}

const std::string& ScratchDir()
{
    static const std::string dir = [] {
        std::string pattern = (fs::temp_directory_path() / "quillbank-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            Finding("cannot make a scratch folder");
        const std::string home = pattern + "/home";
        fs::create_directories(home + "/.config");
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
        // The folder goes when the process ends normally (a replay); a crash
        // leaves it for a look.
        static const struct TRemover
        {
            std::string path;
            ~TRemover()
            {
                std::error_code ignored;
                fs::remove_all(path, ignored);
            }
        } remover{pattern};
        return pattern + "/";
    }();
    return dir;
}

std::string FreshDir(std::string_view name)
{
    const std::string dir = ScratchDir() + std::string(name);
    std::error_code error;
    // Permissions first: an input may have left a folder without them.
    if (fs::exists(fs::symlink_status(dir, error)))
        for (const auto& entry : fs::recursive_directory_iterator(dir, error))
            if (entry.is_directory(error) && !entry.is_symlink(error))
                fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, error);
    fs::remove_all(dir, error);
    if (!fs::create_directories(dir, error) || error)
        Finding("cannot make " + dir + ": " + error.message());
    return dir + "/";
}

void WriteFuzzFile(const std::string& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        Finding("cannot write " + path);
}

void RequireOnlyEntries(const std::string& folder, std::initializer_list<std::string_view> allowed)
{
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (std::find(allowed.begin(), allowed.end(), name) == allowed.end())
            Finding("unexpected \"" + name + "\" in " + folder);
    }
}

void RequireNoLinks(const std::string& folder)
{
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_symlink())
            Finding("symbolic link " + entry.path().string());
}

void RequireNoStagedFiles(const std::string& folder, std::string_view input)
{
    constexpr std::string_view marker = ".qbpart-";
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        const auto at = name.rfind(marker);
        if (at != std::string::npos && name.size() == at + marker.size() + 6 &&
            input.find(name) == std::string_view::npos)
            Finding("staged file left behind: " + entry.path().string());
    }
}

} // namespace quillbank::fuzz
