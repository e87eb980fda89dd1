// Makes the private folder below $XDG_RUNTIME_DIR or the system's temporary folder, and removes it.

#include "engine/PrivateTempDir.h"

#include "platform/FileSystem.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace quillbank {

TPrivateTempDir::TPrivateTempDir()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::error_code error;
    std::string parent = (runtime != nullptr && runtime[0] == '/' && DirectoryExists(runtime))
                             ? std::string(runtime)
                             : std::filesystem::temp_directory_path(error).string();
    if (parent.empty())
        parent = "/tmp";
    std::string pattern = IncludeTrailingSeparator(parent) + "quillbank-XXXXXX";
    // mkdtemp creates the folder with mode 0700.
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("Cannot create a temporary folder in " + parent + ": " +
                                 std::strerror(errno));
    path_ = IncludeTrailingSeparator(pattern);
}

TPrivateTempDir::~TPrivateTempDir()
{
    std::error_code error;
    std::filesystem::remove_all(path_, error);
}

} // namespace quillbank
