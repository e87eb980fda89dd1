// What deriving the AES keys of one entry costs, done as the archive engine
// does it: PBKDF2-HMAC-SHA1 with 1000 rounds over a salt of its own, a fresh
// random one for each new entry (backup) or the one an entry was written with
// (restore). Measured on one thread and spread over every core, the way the
// workers derive keys ahead of the archive writer. Run by hand:
//
//   quillbank-key-derivation [ENTRIES] [ROUNDS]     (default 20000 entries, 3 rounds)
//
// nettle chooses its SHA-1 code when it is loaded: NETTLE_FAT_VERBOSE=1 in
// the environment makes it say which; NETTLE_FAT_OVERRIDE sets the CPU
// features it believes in (for example "vendor:amd,aesni" leaves SHA out).

#include "engine/WinZipAes.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

using namespace quillbank;
using Clock = std::chrono::steady_clock;

namespace {

constexpr std::string_view Password = "correct horse battery staple";

struct TTiming
{
    double WallSeconds = 0;
    double CpuSeconds = 0;
};

double ProcessCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

/// Derives `entries` keys on `threads` threads, each taking the next entry;
/// `restore` derives from known salts instead of fresh random ones.
TTiming Derive(std::size_t entries, unsigned threads, bool restore)
{
    std::atomic<std::size_t> next{0};
    std::atomic<unsigned> sink{0};
    auto work = [&] {
        unsigned seen = 0;
        for (std::size_t i = next++; i < entries; i = next++) {
            std::array<std::uint8_t, winzip_aes::SaltSize> salt{};
            std::copy_n(reinterpret_cast<const std::uint8_t*>(&i), sizeof i, salt.begin());
            const winzip_aes::TKeys keys =
                restore ? winzip_aes::DeriveKeys(Password, salt.data()) : winzip_aes::DeriveNewKeys(Password);
            seen += keys.Verifier[0];
        }
        sink += seen; // keeps the derivation from being optimised away
    };
    const double cpuBefore = ProcessCpuSeconds();
    const auto start = Clock::now();
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads; ++t)
        workers.emplace_back(work);
    for (std::thread& worker : workers)
        worker.join();
    return {std::chrono::duration<double>(Clock::now() - start).count(), ProcessCpuSeconds() - cpuBefore};
}

} // namespace

int main(int argc, char* argv[])
{
    const std::size_t entries = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 20'000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    if (entries == 0 || rounds <= 0) {
        std::fprintf(stderr, "usage: %s [ENTRIES] [ROUNDS]\n", argv[0]);
        return 2;
    }
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    std::printf("entries %zu, cores %u, NETTLE_FAT_OVERRIDE=%s\n", entries, cores,
                std::getenv("NETTLE_FAT_OVERRIDE") != nullptr ? std::getenv("NETTLE_FAT_OVERRIDE")
                                                              : "(unset)");
    // "cpu us/entry" is the machine's work per entry, whatever else runs;
    // "cores" says how many the threads actually got.
    std::printf("%-8s %-7s %5s %12s %16s %9s %16s\n", "what", "threads", "round", "us/entry", "cpu us/entry",
                "cores", "s/100k entries");
    for (int round = 1; round <= rounds; ++round) {
        for (const bool restore : {false, true}) {
            for (const unsigned threads : {1u, cores}) {
                const TTiming timing = Derive(entries, threads, restore);
                const double perEntry = timing.WallSeconds / static_cast<double>(entries);
                std::printf("%-8s %-7u %5d %12.1f %16.1f %9.2f %16.1f\n", restore ? "restore" : "backup",
                            threads, round, perEntry * 1e6,
                            timing.CpuSeconds / static_cast<double>(entries) * 1e6,
                            timing.CpuSeconds / timing.WallSeconds, perEntry * 100'000);
            }
        }
    }
    return 0;
}
