// The edge list read in ranges by several threads, and either storage, against
// the plain number-by-number reading: every weight and every message alike.
#include <gtest/gtest.h>
#include <sched.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "graph/cpus.h"
#include "graph/fast_row.h"
#include "graph/input.h"
#include "tests/cli_support.h"

namespace tarnwick {
namespace {

using detail::LoadTuning;
using detail::Storage;
using tarnwick_test::Outcome;
using tarnwick_test::run_program;
using tarnwick_test::Scratch;
using tarnwick_test::slurp;

// Hears nothing: reading through it takes the number-by-number path.
class Deaf : public LoadObserver {
  void number(int64_t, const Number&) override {}
};

struct Loaded {
  bool ok = false;
  Graph g;
  LoadReport report;
  Number after;  // the number the reader gives next, once every edge was read
};

// Reads on from where the loader left `in` (a test input's carried source).
void read_after(ByteReader& in, Loaded* l) {
  if (l->ok && l->report.warning.empty()) l->after = read_number(in);
}

Loaded plain(const std::string& text) {
  Loaded l;
  ByteReader in(text);
  Deaf deaf;
  l.ok = input(in, &l.g, &l.report, &deaf);
  read_after(in, &l);
  return l;
}

Loaded tuned(const std::string& text, const LoadTuning& tuning) {
  Loaded l;
  ByteReader in(text);
  l.ok = detail::input_tuned(in, &l.g, &l.report, tuning);
  read_after(in, &l);
  return l;
}

// Returns "" when the least and greatest weight among 1..n that the table
// noted while mirroring (if it did) are those of its lookups; else what differs.
std::string wrong_range(const Graph& g) {
  int32_t least, most;
  if (!g.Dist.dense_range(&least, &most)) return "";
  int32_t lo = std::numeric_limits<int32_t>::max(), hi = std::numeric_limits<int32_t>::min();
  for (int32_t i = 1; i <= g.n; ++i) {
    for (int32_t j = 1; j <= g.n; ++j) {
      lo = std::min(lo, g.Dist(i, j));
      hi = std::max(hi, g.Dist(i, j));
    }
  }
  if (lo == least && hi == most) return "";
  return "range noted " + std::to_string(least) + ".." + std::to_string(most) + ", held " +
         std::to_string(lo) + ".." + std::to_string(hi);
}

// Returns a description of the first difference between two loads, or "".
std::string differ(const Loaded& a, const Loaded& b) {
  if (a.ok != b.ok) return "ok differs";
  if (a.report.error != b.report.error) return "error: '" + a.report.error + "' / '" + b.report.error + "'";
  if (a.report.warning != b.report.warning) {
    return "warning: '" + a.report.warning + "' / '" + b.report.warning + "'";
  }
  if (!a.ok) return "";
  if (a.report.end != b.report.end) {
    return "end " + std::to_string(a.report.end) + " / " + std::to_string(b.report.end);
  }
  if (a.after.read != b.after.read || a.after.value != b.after.value ||
      a.after.where != b.after.where) {
    return "the number after the edges: " + std::to_string(a.after.value) + " at " +
           std::to_string(a.after.where) + " / " + std::to_string(b.after.value) + " at " +
           std::to_string(b.after.where);
  }
  if (a.g.n != b.g.n || a.g.m != b.g.m) return "n or m differs";
  if (std::string r = wrong_range(b.g); !r.empty()) return r;
  if (weights_are_small(a.g) != weights_are_small(b.g)) return "weights_are_small differs";
  std::vector<int32_t> ids{-7, V - 1, V, V + 3, 9999};
  for (int32_t i = 0; i <= std::min(a.g.n + 2, 40); ++i) ids.push_back(i);
  for (int32_t i : ids) {
    for (int32_t j : ids) {
      if (a.g.Dist(i, j) != b.g.Dist(i, j)) {
        return "Dist(" + std::to_string(i) + ", " + std::to_string(j) + ") " +
               std::to_string(a.g.Dist(i, j)) + " / " + std::to_string(b.g.Dist(i, j));
      }
    }
  }
  return "";
}

// Loads `text` every way (ranges of 1..7 bytes and more, 1..3 threads, both
// storages) and expects each to match the plain reading.
void expect_all_ways_alike(const std::string& text, const std::string& name) {
  Loaded want = plain(text);
  for (Storage storage : {Storage::kLists, Storage::kDense, Storage::kByDensity}) {
    for (size_t range : {1, 2, 3, 5, 7, 64}) {
      for (int32_t threads : {1, 2, 3}) {
        LoadTuning tuning{storage, threads, range, true};
        std::string d = differ(want, tuned(text, tuning));
        ASSERT_EQ(d, "") << name << ": range " << range << ", " << threads << " threads, storage "
                         << static_cast<int>(storage) << "\n" << text.substr(0, 300);
      }
    }
  }
}

TEST(InputSplit, ShapesAndFaults) {
  const char* cases[] = {
      "3 3\n1 2 4\n2 3 1\n1 3 7\n",
      "3\n3\n1\n2\n4\n2\n3\n1\n1\n3\n7\n",
      "3 3 1 2 4 2 3 1 1 3 7",
      "3 3\r\n1 2 4\r\n2 3 1\r\n1 3 7\r\n",
      "3 3\n1 2 4\n2 3 1\n1 3 7\nthen text that is 99 not -read\n",
      "3 4\n1 2 4\n2 3 1\n1 3 7\n",                  // ends at the end of the file
      "3 4\n1 2 4\n2 3 1\n1 3",                      // cut short inside an edge
      "3 4\n1 2 4\n2 3 1\n1 3 x 2 2 2",              // text that is not a number
      "3 4\n1 2 4\n2 3 1\n1 3 99999999999 2 2 2",    // a number too large
      "3 4\n1 2 4\n2 3 1\n1 3 - 5",                  // a lone sign
      "3 3\n1 2 4\n2 33333 1\n1 3 7\n",              // an id outside, early
      "3 3\n1 2 4\n2 3 1\n-1 3 7\n",                 // an id outside, in the last edge
      "3 2\n1 2 4\n2 3 1\n-1 3 7 x\n",               // after the m-th edge: not read
      "3 3\n1 2 4\n2 3 1\n1 3 7",                    // the m-th edge ends the file
      "3 3 1-2-4 2+3+1 1 3 7",                       // numbers glued by their signs
      "3 3 1 2 4 2 1 -3 1 1 9 ",                     // later edge wins, self-loop
      "4 5 0 1 5 4 9 2 9 4 -1 1 2 3 2 1 8",         // ids 0 and above n
      "5 -2 1 2 3",
      "5 2147483648 1 2 3 4 5 6",
      "5 99999999999999 1 2 3 4 5 6 x",
      "+3 +2 +1 +2 +0004 -0 +2 -2147483648",
      "3 2 1 2 2147483647 2 3 -2147483648",
      "\t 3\v2\f1 2 4 2 3 1",
      "3 3\n1 2 4\n2 3 1\n1 3 7\n2\n",             // a test input: the source after the edges
      "3 3\n1 2 4\n2 3 1\n1 3 77\n3 then text 5\n",
      "3 3 1 2 4 2 3 1 1 3 7 -2",
      "3 3 1 2 4 2 3 1 1 3 7",                       // no source at all
  };
  for (const char* c : cases) expect_all_ways_alike(c, c);
}

// Returns a random graph text: numbers in every layout, with now and then a
// fault or a glued sign, and text after the edges.
std::string random_text(std::mt19937& rng) {
  auto pick = [&](int k) { return static_cast<int>(rng() % k); };
  const int n = 1 + pick(12), m = pick(30);
  const char* seps[] = {" ", "\n", "\r\n", "\t", "  \n "};
  const char* sep = seps[pick(5)];
  std::string text = std::to_string(n) + sep + std::to_string(m + pick(3) - 1);
  for (int e = 0; e < m; ++e) {
    for (int k = 0; k < 3; ++k) {
      int64_t x = k < 2 ? pick(n + 2) : pick(40) - 10;
      int fault = pick(400);
      std::string num = std::to_string(x);
      if (fault == 0) num = "x";
      if (fault == 1) num = "12345678901";
      if (fault == 2 && k < 2) num = std::to_string(V + pick(5));
      if (fault == 3) num.insert(0, 1, '+');
      bool glued = x < 0 && pick(4) == 0;  // "-3" needs no space before it
      text += (glued ? "" : (pick(9) == 0 ? seps[pick(5)] : sep)) + num;
    }
  }
  if (pick(3) == 0) text += sep + std::string(pick(2) ? "garbage 1 2" : "7 8 9");
  return text;
}

TEST(InputSplit, RandomFiles) {
  std::mt19937 rng(20261208);
  for (int trial = 0; trial < 400; ++trial) {
    std::string text = random_text(rng);
    expect_all_ways_alike(text, "trial " + std::to_string(trial));
    if (HasFatalFailure()) return;
  }
}

TEST(InputSplit, FuzzCorpus) {
  namespace fs = std::filesystem;
  int seen = 0;
  for (const auto& entry : fs::directory_iterator(fs::path(TARNWICK_SOURCE_DIR) / "fuzz/corpus/fuzz_input")) {
    std::string bytes = slurp(entry.path());
    if (bytes.size() > 4096) continue;
    expect_all_ways_alike(bytes, entry.path().filename().string());
    if (HasFatalFailure()) return;
    ++seen;
  }
  EXPECT_GT(seen, 10);
}

// A larger graph read from a file through pread, in ranges not a multiple of
// anything, against the plain reading of the same bytes.
TEST(InputSplit, FileInRanges) {
  std::mt19937 rng(7);
  std::string text = "300 30000\n";
  for (int e = 0; e < 30000; ++e) {
    text += std::to_string(1 + rng() % 300) + " " + std::to_string(1 + rng() % 300) + " " +
            std::to_string(static_cast<int>(rng() % 2000) - 50) + (e % 7 ? "\n" : "\r\n");
  }
  text += "217\nand text after the source\n";  // a test input's source, read after the load
  Scratch scratch;
  std::string path = scratch.file("graph", text);
  Loaded want = plain(text);
  EXPECT_EQ(want.after.value, 217);
  for (Storage storage : {Storage::kLists, Storage::kDense}) {
    for (size_t range : {size_t{997}, size_t{65536}}) {
      InputFile file;
      std::string err;
      ASSERT_TRUE(file.open(path.c_str(), &err));
      ByteReader in(file.fd());
      Loaded got;
      got.ok = detail::input_tuned(in, &got.g, &got.report, {storage, 2, range, true});
      read_after(in, &got);
      EXPECT_EQ(differ(want, got), "") << range;
      for (int32_t i = 1; i <= 300; i += 7) {
        for (int32_t j = 1; j <= 300; ++j) ASSERT_EQ(got.g.Dist(i, j), want.g.Dist(i, j));
      }
    }
  }
}

// What the whole file decides by its density, and that a dense load answers
// every lookup as the lists do.
TEST(InputSplit, StorageByDensity) {
  std::string complete = "20 190";
  for (int u = 1; u <= 20; ++u) {
    for (int v = u + 1; v <= 20; ++v) {
      complete += ' ';
      complete += std::to_string(u) + ' ' + std::to_string(v) + " 1";
    }
  }
  EXPECT_TRUE(plain(complete).g.Dist.dense());
  EXPECT_FALSE(plain("20 3 1 2 3 2 3 4 5 6 7").g.Dist.dense());
  EXPECT_FALSE(plain("20 999999 1 2 3").g.Dist.dense());  // announced, but the file is short
  std::string d = differ(tuned(complete, {Storage::kLists, 1, 0, false}),
                         tuned(complete, {Storage::kDense, 1, 0, false}));
  EXPECT_EQ(d, "");
}

// Through a pipe the size is unknown: lists first, a dense table once the
// edges outgrow it, and the same weights either way.
TEST(InputSplit, PipeSwitchesToADenseTable) {
  std::mt19937 rng(3);
  std::string text = "30 900";
  for (int e = 0; e < 900; ++e) {
    text += ' ';
    text += std::to_string(rng() % 33) + ' ' + std::to_string(rng() % 33) + ' ' + std::to_string(rng() % 50);
  }
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  std::thread writer([&] {
    for (size_t at = 0; at < text.size();) {
      ssize_t put = write(fds[1], text.data() + at, text.size() - at);
      if (put <= 0) break;
      at += static_cast<size_t>(put);
    }
    close(fds[1]);
  });
  Loaded got;
  ByteReader in(fds[0]);
  got.ok = input(in, &got.g, &got.report);
  read_after(in, &got);
  writer.join();
  close(fds[0]);
  EXPECT_TRUE(got.g.Dist.dense());
  EXPECT_EQ(differ(plain(text), got), "");
}

// Pinned to one CPU, a run gets one worker, whatever TARNWICK_THREADS asks.
TEST(InputSplit, TasksetGivesOneWorker) {
  if (std::getenv("TARNWICK_PRINT_CPUS") != nullptr) {
    std::printf("usable_cpus=%d\n", usable_cpus());
    return;
  }
  if (access("/usr/bin/taskset", X_OK) != 0) GTEST_SKIP() << "no taskset";
  Scratch scratch;
  setenv("TARNWICK_PRINT_CPUS", "1", 1);
  setenv("TARNWICK_THREADS", "8", 1);
  char self[4096];
  ssize_t len = readlink("/proc/self/exe", self, sizeof self - 1);
  ASSERT_GT(len, 0);
  self[len] = '\0';
  Outcome o = run_program("/usr/bin/taskset", {"-c", "0", self, "--gtest_filter=InputSplit.TasksetGivesOneWorker"},
                          scratch);
  unsetenv("TARNWICK_PRINT_CPUS");
  unsetenv("TARNWICK_THREADS");
  EXPECT_EQ(o.status, 0);
  EXPECT_NE(o.out.find("usable_cpus=1\n"), std::string::npos) << o.out;
}

}  // namespace
}  // namespace tarnwick
