// What tools that watch the loader are told, and what they find again once
// it is done, against a plain reading of the same bytes: every edge in file
// order with whether its pair came before, the repeats the loader only
// counts, numbers and offsets placed from the marks of the ranges, and the
// lines of edges searched again.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "graph/graph_file.h"
#include "graph/input.h"
#include "graph/places.h"
#include "tests/cli_support.h"

namespace tarnwick {
namespace {

using detail::LoadTuning;
using detail::Storage;

// Returns a graph text with repeated pairs, self-loops, weights of INF and 0,
// ids of 0 and above n, over lines of every length.
std::string random_graph(std::mt19937& rng, int* edges) {
  auto pick = [&](int k) { return static_cast<int>(rng() % k); };
  const int n = 1 + pick(9), m = pick(60);
  const int32_t weights[] = {INF, 0, 1, -3, 7, 1 << 30};
  std::string text = std::to_string(n) + (pick(2) ? "\n" : " ") + std::to_string(m);
  for (int e = 0; e < m; ++e) {
    const int u = pick(n + 2), v = pick(3) == 0 ? u : pick(n + 2);
    // One draw a statement: the operands of + are evaluated in an order each compiler chooses.
    const char* gap = pick(4) == 0 ? "\r\n" : pick(3) == 0 ? "  " : "\n";
    const int32_t w = weights[pick(6)];
    text += gap + std::to_string(u) + " " + std::to_string(v) + " " + std::to_string(w);
  }
  *edges = m;
  return text + "\n5 6 7\n";
}

// One edge as an observer heard it.
struct Heard {
  int64_t e;
  int32_t u, v, w;
  uint8_t again;
  bool operator==(const Heard&) const = default;
};

// Records every edge, asking whether pairs came again until it has heard `ask`.
class Recorder : public LoadObserver {
 public:
  explicit Recorder(size_t ask) : ask_(ask) {}
  void number(int64_t, const Number&) override {}
  void edge(int64_t e, int32_t u, int32_t v, int32_t w) override {
    heard.push_back({e, u, v, w, kAgainUnknown});
  }
  void edges(int64_t first, std::span<const int32_t> numbers,
             std::span<const uint8_t> again) override {
    for (size_t i = 0; i < numbers.size() / 3; ++i) {
      heard.push_back({first + static_cast<int64_t>(i), numbers[3 * i], numbers[3 * i + 1],
                       numbers[3 * i + 2], i < again.size() ? again[i] : kAgainUnknown});
    }
  }
  bool reads_numbers() const override { return false; }
  bool asks_again() const override { return heard.size() < ask_; }
  std::vector<Heard> heard;

 private:
  size_t ask_;
};

// Every reading tells every edge once, in file order; a dense table tells
// exactly whether each pair came before while asked, and counts the rest.
TEST(Observe, EdgesAndPairsAgainInEveryReading) {
  std::mt19937 rng(20261210);
  for (int trial = 0; trial < 300; ++trial) {
    int m = 0;
    const std::string text = random_graph(rng, &m);
    Recorder plain(0);
    Graph g0;
    LoadReport r0;
    ByteReader in0(text);
    ASSERT_TRUE(detail::input_tuned(in0, &g0, &r0, {}, &plain));
    const int32_t n = g0.n;
    std::set<std::pair<int32_t, int32_t>> seen;
    int64_t again_in_cells = 0;
    std::vector<bool> again(plain.heard.size());
    for (size_t i = 0; i < plain.heard.size(); ++i) {
      const Heard& h = plain.heard[i];
      again[i] = !seen.insert({std::min(h.u, h.v), std::max(h.u, h.v)}).second;
      const bool in_cells = std::min(h.u, h.v) >= 1 && std::max(h.u, h.v) <= n;
      again_in_cells += again[i] && in_cells;
    }
    for (Storage storage : {Storage::kLists, Storage::kDense}) {
      const size_t ask = rng() % (plain.heard.size() + 2);
      Recorder ranged(ask);
      Graph g;
      LoadReport r;
      ByteReader in(text);
      const LoadTuning tuning{storage, 1 + static_cast<int32_t>(rng() % 3), 1 + rng() % 9, true};
      ASSERT_TRUE(detail::input_tuned(in, &g, &r, tuning, &ranged)) << text;
      ASSERT_EQ(ranged.heard.size(), plain.heard.size()) << text;
      int64_t told = 0;
      for (size_t i = 0; i < ranged.heard.size(); ++i) {
        Heard h = ranged.heard[i];
        const uint8_t flag = h.again;
        h.again = kAgainUnknown;
        ASSERT_EQ(h, plain.heard[i]) << text;
        if (flag == kAgainYes || flag == kAgainNo) {
          EXPECT_EQ(flag == kAgainYes, again[i]) << "edge " << i + 1 << " of\n" << text;
        }
        told += flag == kAgainYes;
      }
      // Pairs are counted only for a dense table read in ranges (an empty edge
      // list is not), and only when asked from the start.
      const bool counted = storage == Storage::kDense && ask > 0 && !r.ranges.empty();
      EXPECT_EQ(r.pairs_again, counted ? again_in_cells : -1) << text;
      EXPECT_LE(told, again_in_cells);
    }
  }
}

// Returns the place of every number of `text`, and of its every byte, as a
// reader that places each as it goes finds them.
void place_plainly(const std::string& text, std::vector<Place>* numbers,
                   std::vector<Place>* bytes) {
  ByteReader in(text);
  LineTracker lines;
  in.tap(&lines);
  for (Number x = read_number(in); x.read == Read::kNumber; x = read_number(in)) {
    numbers->push_back(lines.place(x.where));
  }
  int64_t line = 1, column = 1;
  for (char c : text) {
    bytes->push_back({line, column});
    ++column;
    if (c == '\n') ++line, column = 1;
  }
}

// Line ends counted many bytes at a time, and where the line after the last
// one starts, are what a byte-by-byte count finds: a line end in any byte of
// a window of any length, the window's last byte and its lone byte included.
TEST(Observe, LineEndsCountedAsOneByOne) {
  std::mt19937 rng(3);
  for (size_t length = 0; length <= 40; ++length) {
    for (int trial = 0; trial < 60; ++trial) {
      std::string bytes(length, 'x');
      for (char& c : bytes) c = rng() % 3 == 0 ? '\n' : rng() % 2 ? ' ' : '7';
      if (trial == 0 && length > 0) bytes.back() = '\n';
      const int64_t plain = std::count(bytes.begin(), bytes.end(), '\n');
      EXPECT_EQ(count_line_ends(bytes), plain) << testing::PrintToString(bytes);
      LineEndCount ends;
      ends.count = 5, ends.line_start = 3;
      ends.take(1000, bytes);
      EXPECT_EQ(ends.count, 5 + plain) << testing::PrintToString(bytes);
      const size_t last = bytes.rfind('\n');
      EXPECT_EQ(ends.line_start, last == std::string::npos ? 3 : 1000 + last + 1)
          << testing::PrintToString(bytes);
    }
  }
}

// Numbers and offsets placed from the marks of a load read in ranges stand
// where a reading from the start finds them.
TEST(Observe, PlacesFromTheMarksOfTheRanges) {
  std::mt19937 rng(11);
  for (int trial = 0; trial < 200; ++trial) {
    int m = 0;
    std::string text = random_graph(rng, &m);
    text.replace(text.size() - 7, 7, "");  // the graph alone: every number an edge's or the header's
    std::vector<Place> numbers, bytes;
    place_plainly(text, &numbers, &bytes);
    Graph g;
    LoadReport r;
    ByteReader in(text);
    ASSERT_TRUE(detail::input_tuned(in, &g, &r, {Storage::kDense, 2, 1 + rng() % 11, true}));
    std::vector<Spot> spots;
    for (int k = 0; k < 12; ++k) {
      spots.push_back(rng() % 2 ? Spot::of_number(rng() % numbers.size())
                                : Spot::of_offset(rng() % text.size()));
    }
    std::vector<Spot*> wanted;
    for (Spot& s : spots) wanted.push_back(&s);
    std::vector<Spot> asked = spots;
    std::string err;
    ASSERT_TRUE(place_spots(in, r.ranges, wanted, &err)) << err;
    for (size_t k = 0; k < spots.size(); ++k) {
      const Place want = asked[k].number >= 0 ? numbers[asked[k].number] : bytes[asked[k].offset];
      EXPECT_EQ(place_text(spots[k].at), place_text(want))
          << (asked[k].number >= 0 ? "number " + std::to_string(asked[k].number)
                                   : "offset " + std::to_string(asked[k].offset))
          << " in\n" << text;
    }
  }
}

// The line of the last edge of a pair before a given edge, the one before
// it and how many there are, searched again in the ranges of a file, are
// what a plain reading finds.
TEST(Observe, EdgeLinesSearchedAgain) {
  std::mt19937 rng(5);
  tarnwick_test::Scratch scratch;
  for (int trial = 0; trial < 60; ++trial) {
    int m = 0;
    const std::string text = random_graph(rng, &m);
    const std::string path = scratch.file("g", text);
    std::vector<Place> numbers, bytes;
    place_plainly(text, &numbers, &bytes);
    GraphFile file;
    std::string err;
    ASSERT_TRUE(file.open(path.c_str(), &err)) << err;
    Graph g;
    LoadReport r;
    Recorder edges(0);
    ASSERT_TRUE(detail::input_tuned(file.reader(), &g, &r, {Storage::kDense, 2, 1 + rng() % 7, true},
                                    &edges));
    std::vector<EdgeQuery> queries;
    for (int k = 0; k < 10; ++k) {
      queries.push_back({static_cast<int32_t>(rng() % 11), static_cast<int32_t>(rng() % 11),
                         static_cast<int64_t>(rng() % (m + 2))});
    }
    std::vector<EdgeQuery> want = queries;
    for (EdgeQuery& q : want) {
      for (const Heard& h : edges.heard) {
        const bool pair = (h.u == q.a && h.v == q.b) || (h.u == q.b && h.v == q.a);
        if (!pair || h.e >= q.before) continue;
        if (q.line != 0) q.earlier_line = q.line, q.earlier_weight = q.weight;
        q.line = numbers[2 + 3 * (h.e - 1)].line, q.weight = h.w, ++q.times;
      }
    }
    ASSERT_TRUE(find_edge_lines(file, r, &queries, &err)) << err;
    for (size_t k = 0; k < queries.size(); ++k) {
      EXPECT_EQ(queries[k].line, want[k].line) << k << " in\n" << text;
      EXPECT_EQ(queries[k].times, want[k].times) << k << " in\n" << text;
      EXPECT_EQ(queries[k].earlier_line, want[k].earlier_line) << k << " in\n" << text;
      const int32_t weight = want[k].line != 0 ? want[k].weight : queries[k].weight;
      const int32_t earlier = want[k].earlier_line != 0 ? want[k].earlier_weight : queries[k].earlier_weight;
      EXPECT_EQ(queries[k].weight, weight) << k;
      EXPECT_EQ(queries[k].earlier_weight, earlier) << k;
    }
  }
}

}  // namespace
}  // namespace tarnwick
