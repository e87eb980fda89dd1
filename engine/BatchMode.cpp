// Reads the [General] section of a task file into an unattended backup task, logging each problem it finds.

#include "engine/BatchMode.h"

#include "apps/MozManager.h"
#include "apps/WizardState.h"
#include "config/FileNameTemplate.h"
#include "config/errorlog.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "platform/Text.h"

#include <sys/stat.h>

namespace quillbank {

bool ReadBatchTask(const std::string& taskDir, const std::string& argument, const TMozManager& manager,
                   TWizardState& state, TBatchTask& task)
{
    // The argument is taken relative to the task folder, whatever it is.
    const TIniFile ini = TIniFile::Load(IncludeTrailingSeparator(taskDir) + argument).value_or(TIniFile());
    auto read = [&ini](std::string_view key) { return Trim(ini.ReadString("General", key)); };
    bool ready = true;
    auto fail = [&ready](std::string_view message) {
        WriteErrorLog(message);
        ready = false;
    };

    task.Action = ToLowerAscii(read("action"));
    if (task.Action != "backup")
        fail("Bad action defined in config file.");

    task.App = manager.FindApp(ToLowerAscii(read("application")));
    if (task.App == nullptr) {
        fail("Bad application defined in config file.");
        return false;
    }
    // A whole name wins over names it is part of; no name means the profile
    // the installation starts with.
    const std::string profile = read("profile");
    task.Profile = profile.empty() ? task.App->DefaultProfile() : task.App->FindProfile(profile);
    if (task.Profile == nullptr)
        fail("Cannot find profile with this name.");
    state.SelectedAppType = task.App->Type();

    // "<profile>" takes the name of the profile the task names.
    const TTemplateSelection selection{
        state.SelectedAppType, task.App->Version(),
        task.Profile ? std::optional<std::string>(task.Profile->Name()) : std::nullopt, false};
    task.OutputPath = ExpandFileNameTemplate(read("output"), selection);
    const std::string folder = ExtractFileDir(task.OutputPath);
    // Only the last level of a missing folder is made; a bare file name has
    // no folder to make.
    if (!DirectoryExists(folder) && (folder.empty() || mkdir(folder.c_str(), 0700) != 0))
        fail("Cannot create directory for output file.");

    task.Password = read("password");
    const std::string force = ToLowerAscii(read("force"));
    task.Force = force == "1" || force == "true" || force == "yes";
    return ready;
}

} // namespace quillbank
