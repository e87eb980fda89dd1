#include "cli/Targets.h"

#include "apps/AppTable.h"
#include "apps/RunningCheck.h"
#include "cli/CommandContext.h"
#include "cli/ExitCodes.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace quillbank::cli {

TProfileFinder::TProfileFinder(const Tl10n& l10n) : manager_(l10n, status_) {}

const TMozApp& TProfileFinder::FindApp(std::string_view name) const
{
    const TMozApp* app = manager_.FindApp(Trim(name));
    if (app == nullptr) {
        std::string known;
        for (const auto& candidate : manager_.Apps())
            known += (known.empty() ? "" : ", ") + candidate->ShortName();
        throw ECommandError(ExitFailure,
                            "no application matches \"" + std::string(name) + "\" (known: " + known + ")");
    }
    return *app;
}

TProfileTarget TProfileFinder::FindProfile(const TMozApp& app, std::string_view name) const
{
    const TAppProfile* profile = app.FindProfile(ToLowerAscii(Trim(name)));
    if (profile == nullptr) {
        std::string known;
        if (app.Profiles())
            for (const TAppProfile& candidate : *app.Profiles())
                known += (known.empty() ? "" : ", ") + candidate.Name();
        throw ECommandError(ExitFailure, "no profile of " + app.ShortName() + " matches \"" +
                                             std::string(name) + "\"" +
                                             (known.empty() ? " (it has none)" : " (it has: " + known + ")"));
    }
    return {static_cast<AppType>(app.AppType()), app.Version(), profile->Name(),
            WithoutTrailingSeparators(profile->Directory())};
}

TProfileTarget ProfileFolderTarget(const TMozApp* app, const std::string& folder)
{
    const std::string path = WithoutTrailingSeparators(AbsolutePath(folder));
    if (!DirectoryExists(path))
        throw ECommandError(ExitFailure, folder + ": no such profile folder");
    TProfileTarget target;
    if (app != nullptr) {
        target.Type = static_cast<AppType>(app->AppType());
        target.Version = app->Version();
    }
    target.ProfileName = ExtractFileName(path);
    target.ProfileDir = path;
    return target;
}

void RefuseWhileInUse(AppType type, const std::string& profileDir, bool force)
{
    if (force || !IsProfileInUse(type, profileDir))
        return;
    throw ECommandError(ExitAppRunning, std::string(AppInfo(type).RunningName) + " is using the profile " +
                                            profileDir + ": exit it first (or give --force to go on anyway)");
}

} // namespace quillbank::cli
