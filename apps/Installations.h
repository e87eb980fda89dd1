// Where each application's installations are looked for, and the registry the program reads them from.

#pragma once

#include "platform/InstalledAppsRegistry.h"

#include <memory>
#include <stdexcept>
#include <vector>

namespace quillbank {

/// Where each application type's installations are looked for on this
/// system, and under which installer keys they are answered.
std::vector<TInstallationSource> InstallationSources();

/// The registry export that QUILLBANK_REGISTRY names cannot be read; the
/// message names the file and the reason.
class ERegistryFileError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

/// The registry the program reads installations from: the ".reg" export
/// named by the environment variable QUILLBANK_REGISTRY when it is set (so
/// tests and real runs can use any registry content), otherwise the
/// installations found on this system. Throws ERegistryFileError when the
/// named export cannot be read: a wrong name must not pass for a machine
/// without applications.
std::unique_ptr<TRegistryReader> CreateRegistryReader();

} // namespace quillbank
