#include "platform/LiveTemporaries.h"

#include "platform/NameBeside.h"

#include <cstdlib>
#include <fcntl.h>
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

/// What a program that ends at once still does; empty when nothing.
static std::function<void()>& PendingTakeBack()
{
    static std::function<void()> takeBack;
    return takeBack;
}

void RemoveLiveTemporaries()
{
    std::function<void()> takeBack;
    {
        const std::lock_guard lock(RegistryMutex());
        for (const std::string& path : Registry())
            unlink(path.c_str());
        Registry().clear();
        takeBack = std::exchange(PendingTakeBack(), nullptr);
    }
    if (takeBack)
        takeBack();
}

TTakeBackOnExit::TTakeBackOnExit(std::function<void()> takeBack)
{
    const std::lock_guard lock(RegistryMutex());
    PendingTakeBack() = std::move(takeBack);
}

TTakeBackOnExit::~TTakeBackOnExit()
{
    const std::lock_guard lock(RegistryMutex());
    PendingTakeBack() = nullptr;
}

} // namespace quillbank
