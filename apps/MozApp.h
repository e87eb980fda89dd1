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
 * One application of the unattended backups: who it is, whether and where it
 * is installed, and its profiles. Complete once constructed.
 */
class TMozApp
{
public:
    virtual ~TMozApp() = default;
    TMozApp(const TMozApp&) = delete;
    TMozApp& operator=(const TMozApp&) = delete;

    int AppType() const { return appType_; }
    const std::string& DisplayName() const { return displayName_; }
    /// Lower case: "firefox", "thunderbird".
    const std::string& ShortName() const { return shortName_; }
    const std::string& Version() const { return version_; }
    const std::string& InstallDir() const { return installDir_; }
    bool Installed() const { return installed_; }
    /// Candidate folders of the profile registry file; "[Home]" and
    /// "[AppData]" stand for the home and the per-user configuration folders.
    const std::vector<std::string>& ProfileRoots() const { return profileRoots_; }
    const std::vector<std::string>& ExeNames() const { return exeNames_; }
    /// Nothing until a profile registry file was found.
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

    /// Reads every profile root that holds a profile registry file; a
    /// profile folder reached from two roots is listed once.
    void LoadProfiles();
    void ReadProfilesIni(const std::string& file);
    void ReadRegistryDat(const std::string& file);

protected:
    TMozApp(const TInterfaceTexts& l10n, TAppStatusTable& status);
    /// Runs SetupIdentity, DetectInstallation and LoadProfiles; the derived
    /// classes call it at the end of their constructors.
    void Initialise();

    virtual void SetupIdentity() = 0;
    virtual void DetectInstallation() = 0;

    /// Fills the identity from the application table row of `type`.
    void SetupIdentityOf(::quillbank::AppType type);
    /// Runs installation detection for this application's type and copies
    /// what it found.
    void DetectInstallationOfOwnType();

private:
    const TInterfaceTexts& l10n_;
    TAppStatusTable& status_;
    int appType_ = 0;
    std::string displayName_;
    std::string version_;
    std::string shortName_;
    std::vector<std::string> profileRoots_;
    std::vector<std::string> exeNames_;
    std::string installDir_;
    bool installed_ = false;
    std::optional<std::vector<TAppProfile>> profiles_;
    std::optional<std::string> defaultFolder_;
    /// How many profiles the roots before the one being read gave.
    std::size_t earlierRoots_ = 0;

    /// Adds a profile unless an earlier root lists its folder.
    void AddProfile(TAppProfile profile);
};

} // namespace quillbank
