// Keeps the thread-safe list of live temporaries and of the actions to run when the program ends at once.

#include "platform/LiveTemporaries.h"

#include "platform/NameBeside.h"

#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <set>
#include <unistd.h>
#include <utility>

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

struct TEndings
{
    std::map<unsigned long, std::function<void()>> ById;
    unsigned long NextId = 0;
};

TEndings& Endings()
{
    static TEndings endings;
    return endings;
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
    std::map<unsigned long, std::function<void()>> endings;
    {
        const std::lock_guard lock(RegistryMutex());
        for (const std::string& path : Registry())
            unlink(path.c_str());
        Registry().clear();
        endings = std::exchange(Endings().ById, {});
    }
    // Outside the lock: an ending may forget or register temporaries itself.
    for (auto& [id, ending] : endings)
        ending();
}

TAtAbruptEnd::TAtAbruptEnd(std::function<void()> ending)
{
    const std::lock_guard lock(RegistryMutex());
    id_ = Endings().NextId++;
    Endings().ById.emplace(id_, std::move(ending));
}

TAtAbruptEnd::~TAtAbruptEnd()
{
    const std::lock_guard lock(RegistryMutex());
    Endings().ById.erase(id_);
}

} // namespace quillbank
