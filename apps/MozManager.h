// The applications that unattended backups know (Firefox, then Thunderbird), found by name.

#pragma once

#include "apps/MozApp.h"

#include <string_view>
#include <vector>

namespace quillbank {

/// The applications that unattended backups know: Firefox, then Thunderbird.
/// Both are detected and their profiles read when the manager is made.
class TMozManager
{
public:
    TMozManager(const TInterfaceTexts& texts, TAppStatusTable& status);

    const std::vector<TMozApp>& Apps() const { return apps_; }
    /// The last application whose short name contains `name` (any letter
    /// case); nothing for an empty name or no match.
    const TMozApp* FindApp(std::string_view name) const;

private:
    std::vector<TMozApp> apps_;
};

} // namespace quillbank
