// Starts the worker threads, hands out the items in order, and passes an exception back to the caller.

#include "engine/ParallelRun.h"

#include "platform/UserInterface.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace quillbank {

unsigned WorkerCount()
{
    return std::max(1u, std::thread::hardware_concurrency());
}

void RunInParallel(std::size_t count, unsigned workers,
                   const std::function<bool(unsigned, std::size_t)>& work,
                   const std::function<void()>& whileWaiting)
{
    if (count == 0)
        return;
    workers = static_cast<unsigned>(std::clamp<std::size_t>(count, 1, std::max(1u, workers)));
    std::mutex mutex;
    std::condition_variable finished;
    std::size_t next = 0;
    unsigned running = workers;
    bool stopped = false;
    std::exception_ptr failure;
    auto run = [&](unsigned worker) {
        std::unique_lock lock(mutex);
        while (!stopped && next < count) {
            const std::size_t item = next++;
            lock.unlock();
            bool goOn = false;
            std::exception_ptr thrown;
            try {
                goOn = work(worker, item);
            } catch (...) {
                thrown = std::current_exception();
            }
            lock.lock();
            if (thrown && !failure)
                failure = thrown;
            if (!goOn)
                stopped = true;
        }
        if (--running == 0)
            finished.notify_all();
    };
    std::vector<std::thread> threads;
    threads.reserve(workers);
    for (unsigned worker = 0; worker < workers; ++worker)
        threads.emplace_back(run, worker);
    {
        std::unique_lock lock(mutex);
        while (!finished.wait_for(lock, EventTurnInterval, [&] { return running == 0; })) {
            lock.unlock();
            whileWaiting();
            lock.lock();
        }
    }
    for (std::thread& thread : threads)
        thread.join();
    if (failure)
        std::rethrow_exception(failure);
}

void RunInChunks(std::size_t count, std::size_t chunk,
                 const std::function<void(std::size_t, std::size_t)>& work,
                 const std::function<void()>& whileWaiting)
{
    RunInParallel((count + chunk - 1) / chunk, WorkerCount(),
                  [&](unsigned, std::size_t index) {
                      work(index * chunk, std::min(count, (index + 1) * chunk));
                      return true;
                  },
                  whileWaiting);
}

} // namespace quillbank
