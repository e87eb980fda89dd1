#include "platform/LiveTemporaries.h"

#include "platform/NameBeside.h"

#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <unistd.h>

namespace quillbank {

namespace {

std::mutex& RegistryMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::set<std::string>& Registry()
{
    static std::set<std::string> paths;
    return paths;
}

} // namespace

int OpenTemporaryBeside(const std::string& target, std::string& path)
{
    path = TemporaryTemplateBeside(target);
    // Made and registered under one lock: the removal never runs between.
    const std::lock_guard lock(RegistryMutex());
    const int fd = mkostemp(path.data(), O_CLOEXEC);
    if (fd >= 0)
        Registry().insert(path);
    return fd;
}

void RegisterTemporary(const std::string& path)
{
    const std::lock_guard lock(RegistryMutex());
    Registry().insert(path);
}

void ForgetTemporary(const std::string& path)
{
    const std::lock_guard lock(RegistryMutex());
    Registry().erase(path);
}

void RemoveLiveTemporaries()
{
    const std::lock_guard lock(RegistryMutex());
    for (const std::string& path : Registry())
        unlink(path.c_str());
    Registry().clear();
}

} // namespace quillbank
