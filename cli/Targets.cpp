// Matches application and profile names, falls back to the default profile, refuses profiles in use.

#include "cli/Targets.h"

#include "apps/RunningCheck.h"
#include "cli/CommandContext.h"
#include "cli/ExitCodes.h"
#include "cli/Options.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace quillbank::cli {

TProfileFinder::TProfileFinder(const TInterfaceTexts& texts) : manager_(texts, status_) {}

const TMozApp& TProfileFinder::FindApp(std::string_view name) const
{
    const TMozApp* app = manager_.FindApp(Trim(name));
    if (app == nullptr) {
        std::string known;
        for (const auto& candidate : manager_.Apps())
            known += (known.empty() ? "" : ", ") + candidate.ShortName();
        throw ECommandError(ExitFailure,
                            "no application matches \"" + std::string(name) + "\" (known: " + known + ")");
    }
    return *app;
}

namespace {

TProfileTarget TargetOf(const TMozApp& app, const TAppProfile& profile)
{
    return {app.Type(), app.Version(), profile.Name(), WithoutTrailingSeparators(profile.Directory())};
}

std::string KnownProfiles(const TMozApp& app)
{
    std::string known;
    if (app.Profiles())
        for (const TAppProfile& candidate : *app.Profiles())
            known += (known.empty() ? "" : ", ") + candidate.Name();
    return known.empty() ? " (it has none)" : " (it has: " + known + ")";
}

} // namespace

TProfileTarget TProfileFinder::FindProfile(const TMozApp& app, std::string_view name) const
{
    const auto matches = app.MatchProfiles(Trim(name));
    if (matches.empty())
        throw ECommandError(ExitFailure, "no profile of " + app.ShortName() + " matches \"" +
                                             std::string(name) + "\"" + KnownProfiles(app));
    if (matches.size() > 1) {
        std::string candidates;
        for (const TAppProfile* candidate : matches)
            candidates += std::string(candidates.empty() ? "" : ", ") + "\"" + candidate->Name() + "\" (" +
                          WithoutTrailingSeparators(candidate->Directory()) + ")";
        throw ECommandError(ExitUsage, "\"" + std::string(name) + "\" fits several profiles of " +
                                           app.ShortName() + ": " + candidates +
                                           "; give the whole name of one");
    }
    return TargetOf(app, *matches.front());
}

TProfileTarget TProfileFinder::DefaultProfile(const TMozApp& app) const
{
    const TAppProfile* profile = app.DefaultProfile();
    if (profile == nullptr)
        throw ECommandError(ExitFailure, app.ShortName() + " names no default profile; give --profile" +
                                             KnownProfiles(app));
    return TargetOf(app, *profile);
}

TProfileOptions ReadProfileOptions(const TOptions& options)
{
    return {options.Value("app"), options.Value("profile"), options.Value("profile-dir")};
}

TProfileTarget FindProfileTarget(const TCommandContext& context, const TProfileOptions& chosen)
{
    const TProfileFinder finder(context.Texts());
    const TMozApp* app = chosen.App ? &finder.FindApp(*chosen.App) : nullptr;
    if (chosen.Profile)
        return finder.FindProfile(*app, *chosen.Profile);
    if (chosen.ProfileDir)
        return ProfileFolderTarget(app, *chosen.ProfileDir);
    TProfileTarget target = finder.DefaultProfile(*app);
    Say(context, "No --profile given: using " + app->ShortName() + "'s default profile \"" +
                     target.ProfileName + "\" (" + target.ProfileDir + ")");
    return target;
}

TProfileTarget ProfileFolderTarget(const TMozApp* app, const std::string& folder)
{
    const std::string path = WithoutTrailingSeparators(AbsolutePath(folder));
    if (!DirectoryExists(path))
        throw ECommandError(ExitFailure, folder + ": no such profile folder");
    TProfileTarget target;
    if (app != nullptr) {
        target.Type = app->Type();
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
    throw ECommandError(ExitAppRunning, ProfileUserName(type, profileDir) + " is using the profile " +
                                            profileDir + ": exit it first (or give --force to go on anyway)");
}

} // namespace quillbank::cli
