// Installer registry keys answered from the applications installed on this system (their "application.ini").

#pragma once

#include "platform/MapRegistry.h"

#include <string>
#include <vector>

namespace quillbank {

/// Where one application's installations are looked for, and under which
/// installer keys they are answered.
struct TInstallationSource
{
    /// The key whose "CurrentVersion" gives the version.
    std::string VersionKey;
    /// The stem of the installation key (stem + "\" + version + "\Main"),
    /// whose "Install Directory" gives the folder.
    std::string InstallKeyStem;
    /// The [App] Name values of "application.ini" that belong to the application.
    std::vector<std::string> ApplicationIniNames;
    /// Candidate installation folders, in order.
    std::vector<std::string> Folders;
    /// Commands on PATH; the folder each resolves to is a candidate too, after
    /// the folders.
    std::vector<std::string> Commands;
};

/**
 * The registry of a system without a Windows registry: the installer keys are
 * answered from the installations found on it. An installation is a folder
 * holding "application.ini" whose [App] Name belongs to the application; its
 * [App] Version is the version text. The first installation found wins.
 */
class TInstalledAppsRegistry final : public TMapRegistry
{
public:
    explicit TInstalledAppsRegistry(const std::vector<TInstallationSource>& sources);
};

/// The folder a command on PATH resolves to (symbolic links followed), or
/// nothing when PATH holds no such executable.
std::optional<std::string> ResolveCommandFolder(const std::string& command);

} // namespace quillbank
