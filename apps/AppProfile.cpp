// Works out a listed profile's folder from its root and the path its registry file stores.

#include "apps/AppProfile.h"

#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace quillbank {

std::string TAppProfile::Folder() const
{
    return kind_ == TFolderKind::RelativeInProfilesIni ? root_ + storedPath_ : storedPath_;
}

std::string TAppProfile::Directory() const
{
    return FromLegacyRegistry() ? Folder() : Folder() + PathSeparator;
}

std::string TAppProfile::RelativePath() const
{
    return kind_ == TFolderKind::RelativeInProfilesIni ? storedPath_ : ReplaceFirst(storedPath_, root_, "");
}

} // namespace quillbank
