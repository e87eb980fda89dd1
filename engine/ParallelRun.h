// Runs numbered items of work on several threads while the calling thread keeps the window responsive.

#pragma once

#include <cstddef>
#include <functional>

namespace quillbank {

/// The number of workers for work that keeps every core busy: one per core.
unsigned WorkerCount();

/**
 * Runs `work(worker, item)` for the items 0 to count-1 on up to `workers`
 * threads, which take the items in order. When `work` returns false no
 * further items are handed out; the ones under way finish. The calling
 * thread only waits, calling `whileWaiting` every `EventTurnInterval`, so it can keep
 * a window responsive. An exception thrown by `work` stops the run and is
 * thrown again here.
 */
void RunInParallel(std::size_t count, unsigned workers,
                   const std::function<bool(unsigned, std::size_t)>& work,
                   const std::function<void()>& whileWaiting);

/// Runs `work(first, end)` on every core for the items 0 to count-1 taken
/// `chunk` at a time, in order, calling `whileWaiting` as RunInParallel does.
/// For many small items, so that each hand-over carries enough work.
void RunInChunks(std::size_t count, std::size_t chunk,
                 const std::function<void(std::size_t, std::size_t)>& work,
                 const std::function<void()>& whileWaiting);

} // namespace quillbank
