// Reads values from the per-user store "Quillbank/UserStore.ini" and replaces the file whole to write one.

#include "platform/UserStore.h"

#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "platform/SpecialFolders.h"
#include "platform/Text.h"

#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace quillbank {

namespace {

constexpr std::string_view StoreSection = "Quillbank";

std::vector<std::pair<std::string, std::string>> ReadAllValues()
{
    const auto ini = TIniFile::Load(UserStorePath());
    return ini ? ini->ReadSection(StoreSection) : std::vector<std::pair<std::string, std::string>>();
}

} // namespace

std::string UserStorePath()
{
    return AppDataDir() + "/Quillbank/UserStore.ini";
}

std::optional<std::string> ReadUserValue(std::string_view name)
{
    const auto ini = TIniFile::Load(UserStorePath());
    return ini ? ini->FindString(StoreSection, name) : std::nullopt;
}

bool WriteUserValue(std::string_view name, std::string_view value)
{
    if (Trim(name).empty() || name.find_first_of("=[\r\n") != std::string_view::npos ||
        value.find_first_of("\r\n") != std::string_view::npos)
        return false;
    auto values = ReadAllValues();
    bool replaced = false;
    for (auto& [storedName, storedValue] : values)
        if (!replaced && EqualsIgnoreCase(storedName, name)) {
            storedValue = value;
            replaced = true;
        }
    if (!replaced)
        values.emplace_back(name, value);

    std::error_code error;
    fs::create_directories(ExtractFileDir(UserStorePath()), error);
    // Written next to the store and renamed over it: a failed write never
    // leaves a half-written store behind.
    const std::string temporary = UserStorePath() + ".tmp" + std::to_string(getpid());
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << '[' << StoreSection << "]\n";
        // Quoted, so that blanks at either end of a value survive the reader's trimming.
        for (const auto& [storedName, storedValue] : values)
            out << storedName << "=\"" << storedValue << "\"\n";
        out.flush();
        if (!out) {
            fs::remove(temporary, error);
            return false;
        }
    }
    fs::rename(temporary, UserStorePath(), error);
    if (error) {
        fs::remove(temporary, error);
        return false;
    }
    return true;
}

} // namespace quillbank
