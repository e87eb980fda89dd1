// One application as unattended backups and the command line see it: its installation and its profiles.

#pragma once

#include "apps/AppProfile.h"
#include "apps/AppStatus.h"
#include "vocabulary/AppType.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillbank {

class TInterfaceTexts;

/**
 * One application as the unattended backups and the command line see it:
 * its type's row of the application table, whether and where it is
 * installed, and its profiles. Complete once constructed.
 */
class TMozApp
{
public:
    /// Detects the installation of `type` (what it finds lands in `status`
    /// too) and reads the profiles of every root of the type, counting
    /// "IsRelative" as relative only for 1.
    TMozApp(AppType type, const TInterfaceTexts& texts, TAppStatusTable& status);

    AppType Type() const { return type_; }
    /// Lower case: "firefox", "thunderbird".
    std::string ShortName() const;
    const std::string& Version() const { return installation_.Version; }
    const std::string& InstallDir() const { return installation_.InstallDir; }
    bool Installed() const { return installation_.Installed; }
    /// Nothing until a profile registry file was found; a profile folder
    /// reached from two roots is listed once.
    const std::optional<std::vector<TAppProfile>>& Profiles() const { return profiles_; }

    /// The profiles `name` means (MatchProfileNames: the exact names, letter
    /// case ignored, else those containing it), in discovery order.
    std::vector<const TAppProfile*> MatchProfiles(std::string_view name) const;
    /// The last of MatchProfiles; nothing when none matches or the name is empty.
    const TAppProfile* FindProfile(std::string_view name) const;
    /// The profile the installation starts with (DefaultProfileFolder of the
    /// first root that names one), or its only profile; nothing when none is
    /// named among several.
    const TAppProfile* DefaultProfile() const;

private:
    AppType type_;
    TAppStatus installation_;
    std::optional<std::vector<TAppProfile>> profiles_;
    std::optional<std::string> defaultFolder_;

    void LoadProfiles();
};

} // namespace quillbank
