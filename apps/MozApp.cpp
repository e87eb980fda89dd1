// Detects an application's installation, reads its profiles from every root, and finds its profiles by name.

#include "apps/MozApp.h"

#include "apps/AppTable.h"
#include "apps/Detection.h"
#include "apps/Installations.h"
#include "apps/ProfileDiscovery.h"
#include "apps/ProfileNames.h"
#include "platform/Text.h"

#include <algorithm>

namespace quillbank {

TMozApp::TMozApp(AppType type, const TInterfaceTexts& texts, TAppStatusTable& status) : type_(type)
{
    // The reader lives only while detection runs; the lines it would list
    // are not shown anywhere.
    const auto registry = CreateRegistryReader();
    std::vector<std::string> unusedLines;
    TInstallationDetection(*registry, texts, status, unusedLines).DetectType(type);
    installation_ = status[type];
    LoadProfiles();
}

std::string TMozApp::ShortName() const
{
    return ToLowerAscii(AppShortName(type_));
}

void TMozApp::LoadProfiles()
{
    const auto roots = FindProfileRegistryRoots(AppInfo(type_).ProfileRoots);
    if (roots.empty())
        return;
    profiles_ = ReadProfilesOfRoots(roots, TIsRelativeRule::OnlyOne);
    for (const std::string& root : roots)
        if ((defaultFolder_ = DefaultProfileFolder(root)))
            break;
}

std::vector<const TAppProfile*> TMozApp::MatchProfiles(std::string_view name) const
{
    std::vector<const TAppProfile*> matches;
    if (!profiles_)
        return matches;
    std::vector<std::string> names;
    for (const TAppProfile& profile : *profiles_)
        names.push_back(profile.Name());
    for (std::size_t index : MatchProfileNames(names, name))
        matches.push_back(&(*profiles_)[index]);
    return matches;
}

const TAppProfile* TMozApp::FindProfile(std::string_view name) const
{
    const auto matches = MatchProfiles(name);
    return matches.empty() ? nullptr : matches.back();
}

const TAppProfile* TMozApp::DefaultProfile() const
{
    if (!profiles_)
        return nullptr;
    // An installation with a single profile starts with that one, whether or
    // not its registry marks it.
    if (!defaultFolder_)
        return profiles_->size() == 1 ? &profiles_->front() : nullptr;
    const auto found = std::find_if(profiles_->begin(), profiles_->end(), [this](const TAppProfile& profile) {
        return SameFolder(profile.Directory(), *defaultFolder_);
    });
    return found == profiles_->end() ? nullptr : &*found;
}

} // namespace quillbank
