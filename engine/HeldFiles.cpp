// Makes the links that hold a restore's replaced files, renames them back, or removes them.

#include "engine/HeldFiles.h"

#include "platform/FileSystem.h"
#include "platform/NameBeside.h"
#include "platform/StagedFile.h"

#include <cerrno>
#include <cstdio>
#include <random>
#include <set>
#include <unistd.h>

namespace quillbank {

namespace {

/// A link to `path` beside it, named as the restore's temporaries are; empty when none can be made.
std::string LinkBeside(const std::string& path, std::mt19937& random)
{
    static constexpr std::string_view Letters =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    const std::string pattern = TemporaryTemplateBeside(path);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = pattern;
        for (std::size_t i = name.size() - 6; i < name.size(); ++i)
            name[i] = Letters[std::uniform_int_distribution<std::size_t>(0, Letters.size() - 1)(random)];
        if (::link(path.c_str(), name.c_str()) == 0)
            return name;
        if (errno != EEXIST)
            break;
    }
    return {};
}

} // namespace

bool THeldFiles::Hold(const std::vector<std::string>& paths)
{
    std::mt19937 random(std::random_device{}());
    for (const std::string& path : paths) {
        std::string link = LinkBeside(path, random);
        if (link.empty()) {
            Release();
            return false;
        }
        held_.emplace_back(std::move(link), path);
    }
    return true;
}

bool THeldFiles::PutBack()
{
    std::set<std::string> folders;
    // A link that could not be put back stays: it is all that is left of its file.
    const std::size_t failed = std::erase_if(held_, [&folders](const auto& held) {
        folders.insert(ExtractFileDir(held.second));
        return std::rename(held.first.c_str(), held.second.c_str()) != 0;
    });
    for (const std::string& folder : folders)
        SyncFolder(folder);
    // A file the restore left alone was its own link: the rename did nothing.
    Release();
    return failed == 0;
}

void THeldFiles::Release()
{
    for (const auto& [link, path] : held_)
        ::unlink(link.c_str());
    held_.clear();
}

} // namespace quillbank
