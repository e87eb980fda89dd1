// One profile of an application, as its root's profile registry file lists it, and where its folder is.

#pragma once

#include <string>
#include <utility>

namespace quillbank {

/// One profile of an application, as the profile registry file of its root
/// lists it.
class TAppProfile
{
public:
    /// How the registry file gives the profile's folder.
    enum class TFolderKind
    {
        /// A "profiles.ini" path below the root.
        RelativeInProfilesIni,
        /// A "profiles.ini" path taken as it stands.
        AbsoluteInProfilesIni,
        /// The folder a legacy binary registry names.
        InLegacyRegistry,
    };

    TAppProfile(std::string name, std::string root, std::string storedPath, TFolderKind kind)
        : name_(std::move(name)), root_(std::move(root)), storedPath_(std::move(storedPath)), kind_(kind)
    {}

    const std::string& Name() const { return name_; }
    /// The profile root whose registry file lists the profile, as it was read.
    const std::string& Root() const { return root_; }
    bool FromLegacyRegistry() const { return kind_ == TFolderKind::InLegacyRegistry; }
    /// The folder: root + the stored path for a relative one, else the stored
    /// path; no separator is added.
    std::string Folder() const;
    /// The folder the unattended backups and the command line take: Folder()
    /// with a separator added for a profile of "profiles.ini", so it may or
    /// may not end with one.
    std::string Directory() const;
    /// The path as stored, with the profile root taken out where it occurs.
    std::string RelativePath() const;

private:
    std::string name_;
    std::string root_;
    std::string storedPath_;
    TFolderKind kind_;
};

} // namespace quillbank
