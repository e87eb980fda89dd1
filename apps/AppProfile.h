#pragma once

#include <string>

namespace quillbank {

/// One profile of an application, as its profile registry lists it.
class TAppProfile
{
public:
    TAppProfile(std::string name, std::string relativePath, std::string directory)
        : name_(std::move(name)), relativePath_(std::move(relativePath)), directory_(std::move(directory))
    {}

    const std::string& Name() const { return name_; }
    /// The path as stored, with the profile root taken out where it occurs.
    const std::string& RelativePath() const { return relativePath_; }
    /// The full folder; it may or may not end with a separator.
    const std::string& Directory() const { return directory_; }

private:
    std::string name_;
    std::string relativePath_;
    std::string directory_;
};

} // namespace quillbank
