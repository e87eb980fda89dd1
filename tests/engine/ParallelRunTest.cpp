// Tests of running items on worker threads: each once, while the caller pumps, and stopping on a failure.

#include "engine/ParallelRun.h"

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

using namespace quillbank;

TEST(ParallelRun, EveryItemRunsOnceOnItsWorkersAndTheCallerKeepsPumping)
{
    std::vector<std::atomic<int>> runs(500);
    std::atomic<bool> outOfRange{false};
    std::atomic<int> pumps{0};
    RunInParallel(
        runs.size(), 3,
        [&](unsigned worker, std::size_t item) {
            if (worker >= 3)
                outOfRange = true;
            ++runs[item];
            if (item == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(120));
            return true;
        },
        [&] { ++pumps; });
    for (const auto& count : runs)
        EXPECT_EQ(count, 1);
    EXPECT_FALSE(outOfRange);
    EXPECT_GE(pumps, 1);
    RunInParallel(
        0, 2, [](unsigned, std::size_t) { return true; }, [] {});
}

TEST(ParallelRun, AFalseResultStopsHandingOutAndAnExceptionComesBack)
{
    std::atomic<std::size_t> done{0};
    RunInParallel(
        10'000, 2,
        [&](unsigned, std::size_t item) {
            ++done;
            return item < 10;
        },
        [] {});
    EXPECT_LT(done, 100u);
    EXPECT_THROW(RunInParallel(
                     50, 2,
                     [](unsigned, std::size_t item) {
                         if (item == 7)
                             throw std::runtime_error("boom");
                         return true;
                     },
                     [] {}),
                 std::runtime_error);
}
