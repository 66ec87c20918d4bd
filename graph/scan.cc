#include "graph/scan.h"

#include <cstring>

#include <emmintrin.h>

#include "graph/reader.h"

namespace tarnwick {

namespace {

// The bytes a block looks at, and how many it may read past its start.
constexpr int kBlock = 64;
constexpr int kBlockReads = kBlock + 8;

// The largest magnitudes a number may have, positive or negative.
constexpr uint64_t kMaxPositive = 2147483647, kMaxNegative = 2147483648;

// What the bytes of a block are: bit i of each mask tells of byte i.
struct Classes {
  uint64_t digit;  // '0' to '9'
  uint64_t sign;   // '+' or '-'
  uint64_t minus;  // '-'
  uint64_t other;  // neither a digit, whitespace nor a sign
};

// Returns bit i set where byte i of `v` is 0xff, for the 16 bytes of v, at `shift`.
inline uint64_t bits(__m128i v, int shift) {
  return static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(v))) << shift;
}

// Returns 0xff where the byte of v lies in lo..lo + span, else 0.
inline __m128i in_range(__m128i v, char lo, char span) {
  const __m128i t = _mm_sub_epi8(v, _mm_set1_epi8(lo));
  return _mm_cmpeq_epi8(_mm_min_epu8(t, _mm_set1_epi8(span)), t);
}

// Sorts out the 64 bytes at p.
inline Classes classify(const char* p) {
  Classes c{0, 0, 0, 0};
  uint64_t known = 0;
  for (int i = 0; i < kBlock / 16; ++i) {
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
    const __m128i digit = in_range(b, '0', 9);
    const __m128i space = _mm_or_si128(_mm_cmpeq_epi8(b, _mm_set1_epi8(' ')), in_range(b, '\t', 4));
    const __m128i minus = _mm_cmpeq_epi8(b, _mm_set1_epi8('-'));
    const __m128i sign = _mm_or_si128(minus, _mm_cmpeq_epi8(b, _mm_set1_epi8('+')));
    c.digit |= bits(digit, 16 * i);
    c.sign |= bits(sign, 16 * i);
    c.minus |= bits(minus, 16 * i);
    known |= bits(_mm_or_si128(_mm_or_si128(digit, space), sign), 16 * i);
  }
  c.other = ~known;
  return c;
}

// Returns the value of the `len` (1..8) digits at the start of x.
inline uint32_t digits_value(uint64_t x, int len) {
  uint64_t v = ((x & 0x0f0f0f0f0f0f0f0fu) << (8 * (8 - len)));  // leading zeros first
  v = (v * 10) + (v >> 8);
  v = (((v & 0x000000ff000000ffu) * (100 + (1000000ull << 32))) +
       (((v >> 16) & 0x000000ff000000ffu) * (1 + (10000ull << 32)))) >> 32;
  return static_cast<uint32_t>(v);
}

// Returns the 8 bytes at p.
inline uint64_t load8(const char* p) {
  uint64_t x;
  std::memcpy(&x, p, sizeof x);
  return x;
}

// Reads the `len` (9 or 10) digits at p, negated when `negative`, into *out.
// Returns false when they do not fit in 32 bits.
[[gnu::noinline]] bool long_value(const char* p, int len, bool negative, int32_t* out) {
  const uint64_t high = digits_value(load8(p), len - 8), low = digits_value(load8(p + len - 8), 8);
  const uint64_t magnitude = high * 100000000 + low;
  if (magnitude > (negative ? kMaxNegative : kMaxPositive)) return false;
  *out = static_cast<int32_t>(negative ? 0 - magnitude : magnitude);
  return true;
}

// Reads the numbers of the 64 bytes at p: each run of digits, with the sign
// right before it, that ends before the last byte and before any byte that is
// neither a digit, whitespace nor a sign ahead of a digit. Writes them to out[]
// and sets *count. Returns how far to move on: to the start of the first run
// it could not read (more than ten digits or too large, or one that may go on
// past the block), else to that first unusual byte, else past the block.
// Requires kBlockReads readable bytes at p, and p not inside a number.
inline int scan_block(const char* p, int32_t* out, int* count) {
  const Classes c = classify(p);
  const uint64_t unusual = c.other | (c.sign & ~(c.digit >> 1));  // a sign must come before a digit
  const uint64_t before = (unusual & (0 - unusual)) - 1;          // the bytes before the first (all when none)
  uint64_t starts = c.digit & ~(c.digit << 1) & before;
  // Runs start and end in turn, so the lowest end left is that of the lowest
  // start left; a run reaching the last byte may go on (that bit is always set).
  uint64_t ends = (c.digit & ~(c.digit >> 1)) | (uint64_t{1} << (kBlock - 1));
  const uint64_t signed_after = c.sign << 1, negative_after = c.minus << 1;
  int n = 0;
  while (starts != 0) {
    const int first = __builtin_ctzll(starts), last = __builtin_ctzll(ends);
    const uint32_t negative = static_cast<uint32_t>(negative_after >> first) & 1;
    if (last - first >= 8 || last == kBlock - 1) [[unlikely]] {
      if (last == kBlock - 1 || last - first >= 10 || !long_value(p + first, last - first + 1, negative, out + n)) {
        *count = n;
        return first - static_cast<int>((signed_after >> first) & 1);
      }
    } else {
      const uint32_t magnitude = digits_value(load8(p + first), last - first + 1);
      out[n] = static_cast<int32_t>((magnitude ^ (0 - negative)) + negative);
    }
    ++n;
    starts &= starts - 1;
    ends &= ends - 1;
  }
  *count = n;
  return unusual == 0 ? kBlock : __builtin_ctzll(unusual);
}

// Reads one number at p the slow way: whitespace, an optional sign, and one to
// ten digits that fit in 32 bits, followed by another byte before end. Returns
// false when that is not what comes, with p moved past the whitespace when
// only whitespace is left, else unmoved.
inline bool scan_one(const char*& p, const char* end, int32_t* out) {
  const char* q = p;
  while (q != end && is_space(static_cast<unsigned char>(*q))) ++q;
  if (q == end) {
    p = q;
    return false;
  }
  const bool negative = *q == '-';
  if (*q == '-' || *q == '+') ++q;
  const char* digits = q;
  uint64_t magnitude = 0;
  while (q != end && q - digits <= 10 && is_digit(*q)) magnitude = magnitude * 10 + static_cast<uint64_t>(*q++ - '0');
  if (q == digits || q == end || q - digits > 10) return false;
  if (magnitude > (negative ? kMaxNegative : kMaxPositive)) return false;
  *out = static_cast<int32_t>(negative ? 0 - magnitude : magnitude);
  p = q;
  return true;
}

}  // namespace

size_t scan_numbers(std::string_view bytes, int32_t* out, size_t* used) {
  const char* const begin = bytes.data();
  const char* const end = begin + bytes.size();
  const char* p = begin;
  size_t count = 0;
  for (;;) {
    // p never stands inside a number, as scan_block needs: blocks and scan_one
    // end numbers whole, and so does the caller.
    while (end - p >= kBlockReads) {
      int got = 0, advance = scan_block(p, out + count, &got);
      count += static_cast<size_t>(got);
      if (advance == 0) break;
      p += advance;
    }
    if (!scan_one(p, end, out + count)) break;
    ++count;
  }
  *used = static_cast<size_t>(p - begin);
  return count;
}

}  // namespace tarnwick
