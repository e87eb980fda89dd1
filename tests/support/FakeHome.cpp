// Creates and removes the fake home, sets environment variables for a test, reads files and logs back.

#include "tests/support/FakeHome.h"

#include "config/errorlog.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace quillbank::testing {

TFakeHome::TFakeHome()
{
    std::string pattern = (fs::temp_directory_path() / "quillbank-home-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot create a temporary home");
    path_ = pattern;
    SetEnv("HOME", path_);
    for (const char* name :
         {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME", "QUILLBANK_REGISTRY"})
        SetEnv(name, std::nullopt);
}

TFakeHome::~TFakeHome()
{
    for (const auto& [name, value] : savedEnv_) {
        if (value)
            setenv(name.c_str(), value->c_str(), 1);
        else
            unsetenv(name.c_str());
    }
    std::error_code error;
    // Tests may leave read-only folders behind; make them writable to remove
    // them. Links are left alone: a change would reach their targets.
    for (auto it = fs::recursive_directory_iterator(path_, error); !error && it != fs::end(it);
         it.increment(error))
        if (!it->is_symlink(error))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, error);
    fs::remove_all(path_, error);
}

void TFakeHome::SetEnv(const std::string& name, const std::optional<std::string>& value)
{
    if (!savedEnv_.contains(name)) {
        const char* old = std::getenv(name.c_str());
        savedEnv_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    if (value)
        setenv(name.c_str(), value->c_str(), 1);
    else
        unsetenv(name.c_str());
}

std::string TFakeHome::WriteFile(const std::string& relativePath, const std::string& content) const
{
    const fs::path target = fs::path(path_) / relativePath;
    fs::create_directories(target.parent_path());
    std::ofstream(target, std::ios::binary) << content;
    return target.string();
}

std::string TFakeHome::MakeDir(const std::string& relativePath) const
{
    const fs::path target = fs::path(path_) / relativePath;
    fs::create_directories(target);
    return target.string();
}

std::string ReadFileForTest(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::string ErrorLogMessages(const std::string& path)
{
    static const std::regex time(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d )");
    std::istringstream log(ReadFileForTest(path));
    std::string messages;
    for (std::string line; std::getline(log, line);)
        messages += std::regex_replace(line, time, "", std::regex_constants::format_first_only) + "\n";
    return messages;
}

std::string ErrorLogMessages()
{
    return ErrorLogMessages(ErrorLogPath());
}

std::set<std::string> EntryNamesIn(const std::string& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

std::map<std::string, std::string> FileContentsBelow(const std::string& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files[fs::relative(entry.path(), folder).string()] = ReadFileForTest(entry.path().string());
    return files;
}

} // namespace quillbank::testing
