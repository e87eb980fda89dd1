// Looks for the working files beside the executable and in the installation data folders; lists missing ones.

#include "config/WorkingFiles.h"

#include "platform/FileSystem.h"
#include "platform/SpecialFolders.h"

#include <algorithm>
#include <filesystem>

// Where an installation puts the working files: the build passes them in from
// its install directories. A build without them only ever finds the files
// beside its executable and in "../share/quillbank".
#ifndef QUILLBANK_DATADIR_FROM_BINDIR
#define QUILLBANK_DATADIR_FROM_BINDIR "../share/quillbank"
#endif
#ifndef QUILLBANK_INSTALL_DATADIR
#define QUILLBANK_INSTALL_DATADIR ""
#endif

namespace fs = std::filesystem;

namespace quillbank {

namespace {

bool HoldsWorkingFile(const std::string& folder, std::string_view name)
{
    const auto found = FindEntryIgnoreCase(folder, name);
    return found && FileExists(IncludeTrailingSeparator(folder) + *found);
}

bool HoldsAnyWorkingFile(const std::string& folder)
{
    return std::any_of(RequiredWorkingFiles.begin(), RequiredWorkingFiles.end(),
                       [&folder](std::string_view name) { return HoldsWorkingFile(folder, name); });
}

bool SameFolder(const std::string& a, const std::string& b)
{
    std::error_code error;
    return !a.empty() && !b.empty() && fs::equivalent(a, b, error) && !error;
}

} // namespace

TProgramLocation ThisProgram()
{
    TProgramLocation program;
    program.ExecutableDir = ExecutableDir();
    program.InstalledDataDirs.push_back(
        (fs::path(program.ExecutableDir) / QUILLBANK_DATADIR_FROM_BINDIR).lexically_normal().string());
    if (const std::string configured = QUILLBANK_INSTALL_DATADIR; !configured.empty())
        program.InstalledDataDirs.push_back(configured);
    return program;
}

std::string ProgramDataDir(const TProgramLocation& program)
{
    if (HoldsAnyWorkingFile(program.ExecutableDir))
        return program.ExecutableDir;
    for (const std::string& folder : program.InstalledDataDirs)
        if (HoldsAnyWorkingFile(folder))
            return folder;
    return program.ExecutableDir;
}

bool IsInstalledDataDir(const std::string& programDir, const TProgramLocation& program)
{
    if (SameFolder(programDir, program.ExecutableDir))
        return false;
    return std::any_of(program.InstalledDataDirs.begin(), program.InstalledDataDirs.end(),
                       [&programDir](const std::string& folder) { return SameFolder(programDir, folder); });
}

std::string UserSettingsDir()
{
    return AppDataDir() + "/Quillbank";
}

std::string SettingsFileDir(const std::string& programDir, const TProgramLocation& program)
{
    if (!IsInstalledDataDir(programDir, program))
        return programDir;
    const std::string folder = UserSettingsDir();
    // A folder that cannot be created shows when the settings file cannot be
    // written there.
    std::error_code error;
    fs::create_directories(folder, error);
    return folder;
}

std::vector<std::string> MissingWorkingFiles(const std::string& programDir, const TProgramLocation& program)
{
    std::vector<std::string> missing;
    for (std::string_view name : RequiredWorkingFiles) {
        const std::string folder =
            name == SettingsFileName ? SettingsFileDir(programDir, program) : programDir;
        if (!HoldsWorkingFile(folder, name))
            missing.emplace_back(name);
    }
    return missing;
}

} // namespace quillbank
