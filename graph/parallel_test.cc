// Work on several threads: the count, a failed start, the same result as one thread.
#include "graph/parallel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <future>
#include <mutex>
#include <new>
#include <set>
#include <thread>

#include "graph/apsp.h"
#include "graph/cpus.h"
#include "graph/input.h"

namespace tarnwick {
namespace {

// Every thread started runs its share once, and the count each sees is the
// number of threads that work ran on, never more than asked for.
TEST(RunThreads, EachShareOnceOnAtMostTheThreadsGiven) {
  for (int32_t threads : {1, 2, 5}) {
    std::mutex lock;
    std::set<int32_t> shares;
    std::set<std::thread::id> ran_on;
    std::atomic<int32_t> seen_count{0};
    run_threads(threads, [&](int32_t t, int32_t count) {
      std::lock_guard guard(lock);
      EXPECT_TRUE(shares.insert(t).second) << "share " << t << " ran twice";
      ran_on.insert(std::this_thread::get_id());
      seen_count = count;
    });
    EXPECT_LE(seen_count.load(), threads);
    EXPECT_EQ(static_cast<int32_t>(shares.size()), seen_count.load());
    EXPECT_EQ(ran_on.size(), shares.size());
  }
}

// A failed start-up (out of memory while preparing the workers' buffers)
// reaches the caller, and the workers already started leave: no hang. A
// fault that forgot to release them would keep this call from returning.
TEST(RunThreads, FailedPreparationReleasesTheStartedWorkers) {
  auto call = std::async(std::launch::async, [] {
    bool ran = false;
    try {
      run_threads(4, [&](int32_t, int32_t) { ran = true; },
                  [](int32_t) { throw std::bad_alloc(); });
    } catch (const std::bad_alloc&) {
      return !ran;
    }
    return false;
  });
  ASSERT_EQ(call.wait_for(std::chrono::minutes(2)), std::future_status::ready)
      << "run_threads did not return after a failed preparation";
  EXPECT_TRUE(call.get()) << "the failure did not reach the caller, or work ran";
}

// Returns a graph file of n vertices with every edge, a negative one among
// them (so that the exact pass runs), large enough to be read in ranges.
std::string dense_negative_graph(int32_t n) {
  std::string text = std::to_string(n) + " " + std::to_string(n * (n - 1) / 2) + "\n";
  for (int32_t u = 1; u <= n; ++u) {
    for (int32_t v = u + 1; v <= n; ++v) {
      text += std::to_string(u) + " " + std::to_string(v) + " " +
              std::to_string(u == 1 && v == 2 ? -3 : (u * 7 + v * 13) % 1000) + "\n";
    }
  }
  return text;
}

// TARNWICK_THREADS lowers the count every parallel step uses, to one when
// it says 1: the loader's ranged reading and the exact pass start no more.
TEST(RunThreads, TarnwickThreadsCapsEveryStep) {
  const std::string text = dense_negative_graph(1100);  // over 1 MB, and n >= 1024
  for (const char* cap : {"1", "2"}) {
    setenv("TARNWICK_THREADS", cap, 1);
    detail::reset_most_threads_run();
    Graph g;
    LoadReport report;
    ByteReader in(text);
    ASSERT_TRUE(input(in, &g, &report)) << report.error;
    solve(g, 1);
    const int32_t want = std::atoi(cap);
    if (want == 1) {
      EXPECT_EQ(usable_cpus(), 1);
    }
    EXPECT_LE(usable_cpus(), want);
    EXPECT_LE(detail::most_threads_run(), want) << "TARNWICK_THREADS=" << cap;
    EXPECT_GE(detail::most_threads_run(), 1) << "no step ran in parallel at all";
  }
  unsetenv("TARNWICK_THREADS");
}

}  // namespace
}  // namespace tarnwick
