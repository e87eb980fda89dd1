#pragma once

#include "platform/InstalledAppsRegistry.h"

#include <memory>
#include <vector>

namespace quillbank {

/// Where each application type's installations are looked for on this
/// system, and under which installer keys they are answered.
std::vector<TInstallationSource> InstallationSources();

/// The registry the program reads installations from: the ".reg" export
/// named by the environment variable QUILLBANK_REGISTRY when it is set (so
/// tests and real runs can use any registry content), otherwise the
/// installations found on this system.
std::unique_ptr<TRegistryReader> CreateRegistryReader();

} // namespace quillbank
