#include "platform/LiveTemporaries.h"

#include "platform/NameBeside.h"

#include <cstdlib>
#include <fcntl.h>
#include <map>
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

struct TRemovals
{
    std::map<unsigned long, std::function<void()>> ById;
    unsigned long NextId = 0;
};

TRemovals& Removals()
{
    static TRemovals removals;
    return removals;
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
    for (auto& [id, removal] : Removals().ById)
        removal();
    Removals().ById.clear();
}

TLiveRemoval::TLiveRemoval(std::function<void()> removal)
{
    const std::lock_guard lock(RegistryMutex());
    id_ = Removals().NextId++;
    Removals().ById.emplace(id_, std::move(removal));
}

TLiveRemoval::~TLiveRemoval()
{
    const std::lock_guard lock(RegistryMutex());
    Removals().ById.erase(id_);
}

} // namespace quillbank
