// The vector scanner at every level against read_number, number for number.
#include "graph/scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "graph/reader.h"

namespace tarnwick {
namespace {

// What reading numbers from the start of some bytes gives: the numbers read,
// then the read that found none (all of it), and where it left the input.
struct Reading {
  std::vector<int32_t> numbers;
  Number stop;
  uint64_t offset = 0;
};

bool operator==(const Reading& a, const Reading& b) {
  return a.numbers == b.numbers && a.stop.read == b.stop.read && a.stop.negative == b.stop.negative &&
         a.stop.at_end == b.stop.at_end && a.stop.value == b.stop.value && a.stop.where == b.stop.where &&
         a.offset == b.offset;
}

std::ostream& operator<<(std::ostream& os, const Reading& r) {
  os << r.numbers.size() << " numbers:";
  for (size_t i = 0; i < std::min<size_t>(r.numbers.size(), 40); ++i) os << ' ' << r.numbers[i];
  return os << "; stop read " << static_cast<int>(r.stop.read) << " negative " << r.stop.negative << " at_end "
            << r.stop.at_end << " where " << r.stop.where << "; offset " << r.offset;
}

// Reads with read_number alone.
Reading plain(const std::string& bytes) {
  ByteReader in(bytes);
  Reading r;
  for (Number num = read_number(in);; num = read_number(in)) {
    if (num.read != Read::kNumber) {
      r.stop = num;
      break;
    }
    r.numbers.push_back(num.value);
  }
  r.offset = in.offset();
  return r;
}

// Reads as the loader does: scan_numbers over the bytes buffered, then one
// read_number, again and again. The buffered bytes are cut to the sizes
// `window` returns in turn (at least 1), each copied to a buffer of its own
// size, so that a read past it is caught by the address sanitizer.
template <typename Window>
Reading scanned(const std::string& bytes, Window window, int level = 2) {
  ByteReader in(bytes);
  Reading r;
  for (;;) {
    std::string_view w = in.window();
    w = w.substr(0, std::min(w.size(), window()));
    std::vector<char> alone(w.begin(), w.end());
    std::vector<int32_t> out(alone.size() / 2 + 1);
    size_t used = 0;
    const size_t count = detail::scan_numbers_at(level, {alone.data(), alone.size()}, out.data(), &used);
    EXPECT_LE(used, alone.size());
    r.numbers.insert(r.numbers.end(), out.begin(), out.begin() + static_cast<ptrdiff_t>(count));
    in.skip(used);
    Number num = read_number(in);
    if (num.read != Read::kNumber) {
      r.stop = num;
      break;
    }
    r.numbers.push_back(num.value);
  }
  r.offset = in.offset();
  return r;
}

// The code levels scan_numbers may run (see detail::scan_numbers_at).
constexpr int kLevels[] = {0, 1, 2};

// Checks `bytes` with windows of every size up to its own, and with the whole.
void check_every_window(const std::string& bytes) {
  const Reading want = plain(bytes);
  for (int level : kLevels) {
    ASSERT_EQ(scanned(bytes, [] { return size_t{1} << 40; }, level), want) << '"' << bytes << "\" at " << level;
    for (size_t size = 1; size <= bytes.size(); ++size) {
      ASSERT_EQ(scanned(bytes, [size] { return size; }, level), want)
          << '"' << bytes << "\" in windows of " << size << " at " << level;
    }
  }
}

// `text` at each offset from 50 to 140 of spaces and numbers, so that what it
// holds meets the edges of the blocks scan_numbers reads, then more numbers.
std::vector<std::string> across_blocks(const std::string& text) {
  std::vector<std::string> all;
  for (size_t at = 50; at <= 140; ++at) {
    std::string s;
    while (s.size() + 6 <= at) s += "123 -4 ";
    s.resize(at, ' ');
    all.push_back(s + text + " 77 -88\n9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 27 28 29 30\n");
  }
  return all;
}

TEST(ScanNumbers, MeansWhatReadNumberMeans) {
  const std::string cases[] = {
      "",
      "1 2 3\n",
      "  7",
      "-0 +0 -5 +5 0005 -0000",
      "2147483647 -2147483648 2147483648 -2147483649",
      "999999999 1000000000 -999999999 4294967296 99999999999999999999",
      "00000000000000000012 -000000000000000000000000",
      "12345678 123456789 1234567890 12345678901",
      "5-3 5+3 1-2-3-4 ",
      "1 --2 3",
      "1 +-2 3",
      "1 - 2",
      "1 + 2",
      "4 -",
      "12a 3",
      "12 a3",
      std::string("1 2\0 3", 6),
      "1\v2\f3\r\n4\t5\r\n",
      "1 2 3\xff 4",
      "\x80 1",
      "3.5 4",
  };
  for (const std::string& c : cases) {
    check_every_window(c);
    for (const std::string& moved : across_blocks(c)) {
      for (int level : kLevels) {
        ASSERT_EQ(scanned(moved, [] { return size_t{1} << 40; }, level), plain(moved)) << moved << " at " << level;
      }
    }
  }
}

TEST(ScanNumbers, ReadsLinesOfAGraphWhole) {
  std::string lines = "3 4\n";
  for (int i = 0; i < 400; ++i) lines += std::to_string(i % 97) + " " + std::to_string(i * 7919 % 10007) + " -" + std::to_string(i) + "\r\n";
  std::vector<int32_t> out(lines.size() / 2 + 1);
  size_t used = 0;
  const size_t count = scan_numbers(lines, out.data(), &used);
  EXPECT_EQ(count, 2u + 3 * 400);  // all but none: the text ends with a newline
  EXPECT_EQ(used, lines.size());
  EXPECT_EQ(out[count - 1], -399);
}

// Bytes that look like a graph file most of the time: numbers of one to a
// dozen digits, signs, every kind of whitespace, now and then a stray byte.
std::string random_text(std::mt19937_64& rng) {
  static const std::string kSpaces = " \t\n\v\f\r";
  static const std::string kStray = std::string("+-a.\0\x7f\x80\xff/:", 11);
  auto pick = [&](uint64_t n) { return static_cast<size_t>(rng() % n); };
  const size_t length = pick(700);
  const bool clean = pick(3) != 0;  // without stray bytes: long reads in blocks
  std::string s;
  while (s.size() < length) {
    const size_t kind = pick(20);
    if (kind < 10) {
      if (pick(4) == 0) s += pick(2) == 0 ? '-' : '+';
      size_t digits = pick(10) == 0 ? 1 + pick(12) : 1 + pick(4);
      for (size_t i = 0; i < digits; ++i) s += static_cast<char>('0' + pick(10));
    } else if (kind < 19 || clean) {
      s += pick(4) == 0 ? kSpaces[pick(kSpaces.size())] : ' ';
    } else {
      s += kStray[pick(kStray.size())];
    }
  }
  return s;
}

TEST(ScanNumbers, MeansWhatReadNumberMeansOnRandomBytes) {
  std::mt19937_64 rng(20261209);
  for (int i = 0; i < 20000; ++i) {
    const std::string bytes = random_text(rng);
    const Reading want = plain(bytes);
    const size_t most = 1 + rng() % 200;
    for (int level : kLevels) {
      ASSERT_EQ(scanned(bytes, [&] { return 1 + rng() % most; }, level), want) << '"' << bytes << "\" at " << level;
      ASSERT_EQ(scanned(bytes, [] { return size_t{1} << 40; }, level), want) << '"' << bytes << "\" at " << level;
    }
  }
}

}  // namespace
}  // namespace tarnwick
