// The applications that `list` shows, each with the profiles the wizard would offer.

#pragma once

#include "apps/AppStatus.h"
#include "apps/WizardState.h"
#include "vocabulary/AppType.h"

#include <string>
#include <vector>

namespace quillbank {
class TInterfaceTexts;
}

namespace quillbank::cli {

/// An application as `list` shows it, with the profiles the wizard would offer.
struct TListedApp
{
    std::string Line;
    AppType Type = NoAppType;
    TAppStatus Status;
    std::string ProfileRoot;
    std::vector<TProfileEntry> Profiles;
};

/// The applications found, in the order of the wizard's application list.
std::vector<TListedApp> FindListedApps(const TInterfaceTexts& texts);

} // namespace quillbank::cli
