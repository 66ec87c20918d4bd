// Running one piece of work on several threads at once.
#ifndef TARNWICK_GRAPH_PARALLEL_H_
#define TARNWICK_GRAPH_PARALLEL_H_

#include <cstdint>
#include <functional>

namespace tarnwick {

// Runs work(t, count) for t = 0..count-1 on `count` threads (the caller's is
// t = 0) and returns once all are done; `count` is at most `threads` (at least
// 1): a thread that cannot be started is left out before any work begins, so
// every call sees the same count.
// `prepare`, when set, is called once with the count before any work starts;
// when it throws, no work runs and the exception reaches the caller. `work`
// must not throw. Requires threads >= 1.
void run_threads(int32_t threads, const std::function<void(int32_t t, int32_t count)>& work,
                 const std::function<void(int32_t count)>& prepare = {});

namespace detail {

// Returns the most threads (the caller's included) that one call of
// run_threads has run work on since the last reset, for tests of the count.
int32_t most_threads_run();
// Sets most_threads_run() back to 0.
void reset_most_threads_run();

}  // namespace detail

}  // namespace tarnwick

#endif  // TARNWICK_GRAPH_PARALLEL_H_
