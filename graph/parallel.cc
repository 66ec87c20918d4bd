// Starting, running and joining a piece of work's threads.
#include "graph/parallel.h"

#include <atomic>
#include <system_error>
#include <thread>
#include <vector>

namespace tarnwick {

namespace {
std::atomic<int32_t> most_run{0};
}  // namespace

namespace detail {
int32_t most_threads_run() { return most_run.load(); }
void reset_most_threads_run() { most_run.store(0); }
}  // namespace detail

void run_threads(int32_t threads, const std::function<void(int32_t t, int32_t count)>& work,
                 const std::function<void(int32_t count)>& prepare) {
  std::atomic<int32_t> count{0};  // 0 until every thread that could start has
  std::vector<std::thread> workers;
  for (int32_t t = 1; t < threads; ++t) {
    try {
      workers.emplace_back([&work, &count, t] {
        count.wait(0);
        if (count.load() > 0) work(t, count.load());
      });
    } catch (const std::system_error&) {
      break;  // the ones started share the work
    }
  }
  const int32_t started = static_cast<int32_t>(workers.size()) + 1;
  try {
    if (prepare) prepare(started);
  } catch (...) {
    count.store(-1);  // the workers leave at once
    count.notify_all();
    for (std::thread& w : workers) w.join();
    throw;
  }
  count.store(started);
  count.notify_all();
  for (int32_t seen = most_run.load(); seen < started && !most_run.compare_exchange_weak(seen, started);) {
  }
  work(0, count.load());
  for (std::thread& w : workers) w.join();
}

}  // namespace tarnwick
