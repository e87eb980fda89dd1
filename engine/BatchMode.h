// An unattended backup as a task file names it, read and checked before the run.

#pragma once

#include <string>

namespace quillbank {

class TAppProfile;
class TMozApp;
class TMozManager;
struct TWizardState;

/// An unattended backup as a task file names it.
struct TBatchTask
{
    std::string Action;
    const TMozApp* App = nullptr;
    const TAppProfile* Profile = nullptr;
    /// The archive to write, its placeholders expanded.
    std::string OutputPath;
    std::string Password;
    /// "force": back up even while the profile is in use.
    bool Force = false;
};

/**
 * Reads the task file `argument` (a path relative to `taskDir`, the folder
 * of the settings file,
 * section [General]: action, application, profile, output, password) and
 * checks it. Every problem is one line in the error log, nothing is shown.
 * Sets the selected application type. True when the backup can start.
 */
bool ReadBatchTask(const std::string& taskDir, const std::string& argument, const TMozManager& manager,
                   TWizardState& state, TBatchTask& task);

} // namespace quillbank
