// Many numbers read at once with vector code, at the level the processor runs.
#include "graph/scan.h"

#include <cstring>

#include <immintrin.h>

#include "graph/reader.h"

namespace tarnwick {

namespace {

// The bytes a block looks at, and how many it may read past its start.
constexpr int kBlock = 64;
constexpr int kBlockReads = kBlock + 8;
constexpr uint64_t kLastBit = uint64_t{1} << (kBlock - 1);

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

// Where a block ends its reading: the first byte that is neither a digit,
// whitespace nor a sign ahead of a digit (bits of `unusual`), else the start of
// a run of digits (with its sign) that reaches the last byte and may go on,
// else past the block.
inline int block_stop(const Classes& c, uint64_t unusual) {
  if (unusual != 0) return __builtin_ctzll(unusual);
  if ((c.digit >> (kBlock - 1)) == 0) return kBlock;
  const int first = kBlock - __builtin_clzll(~c.digit);  // ~c.digit == 0 is a long run, read elsewhere
  return first - static_cast<int>((c.sign >> (first - 1)) & 1);
}

// Returns the bytes of c that are neither a digit, whitespace nor a sign right
// before a digit.
inline uint64_t unusual_bytes(const Classes& c) { return c.other | (c.sign & ~(c.digit >> 1)); }

// Returns true when c holds eight digits in a row.
inline bool has_long_run(const Classes& c) {
  uint64_t run = c.digit & (c.digit >> 1);
  run &= run >> 2;
  return (run & (run >> 4)) != 0;  // bit i: bytes i to i + 7 are digits
}

// Returns the bits of the last digits of the runs that end before the last
// byte and before the first unusual byte.
inline uint64_t whole_runs(const Classes& c, uint64_t unusual) {
  const uint64_t before = (unusual & (0 - unusual)) - 1;  // the bytes before the first (all when none)
  return c.digit & ~(c.digit >> 1) & before & ~kLastBit;
}

// Reads the numbers of the 64 bytes at p, whose classes are c: each run of
// digits, with the sign right before it, that ends before the last byte and
// before any unusual byte (see unusual_bytes). Writes them to out[] and sets
// *count. Returns how far to move on: to the start of the first run it could
// not read (more than ten digits or too large, or one that may go on past the
// block), else to the first unusual byte, else past the block. Requires
// kBlockReads readable bytes at p, and p not inside a number.
[[gnu::always_inline]] inline int scan_block(const char* p, const Classes& c, int32_t* out, int* count) {
  const uint64_t unusual = unusual_bytes(c);
  const uint64_t before = (unusual & (0 - unusual)) - 1;  // the bytes before the first (all when none)
  uint64_t starts = c.digit & ~(c.digit << 1) & before;
  // Runs start and end in turn, so the lowest end left is that of the lowest
  // start left; a run reaching the last byte may go on (that bit is always set).
  uint64_t ends = (c.digit & ~(c.digit >> 1)) | kLastBit;
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
  return block_stop(c, unusual);
}

// The vector reading of numbers of up to seven digits, four at a time, where
// the processor has SSE4.1 and POPCNT.

// Returns the values of the two runs of digits that end at the last bytes of
// the 8-byte halves of x (at most seven digits each, with at least one byte
// before them in the half), in the two 32-bit halves of the low 64 bits of its
// result, and in *negative all ones in the 64-bit half of each one after a '-'.
[[gnu::target("sse4.1,popcnt"), gnu::always_inline]] inline __m128i two_values(__m128i x, __m128i* negative) {
  const __m128i t = _mm_sub_epi8(x, _mm_set1_epi8('0'));
  __m128i other = _mm_cmpeq_epi8(_mm_max_epu8(t, _mm_set1_epi8(10)), t);  // not a digit
  // Every byte at or below the highest byte that is not a digit, in each half.
  other = _mm_or_si128(other, _mm_srli_epi64(other, 8));
  other = _mm_or_si128(other, _mm_srli_epi64(other, 16));
  other = _mm_or_si128(other, _mm_srli_epi64(other, 32));
  const __m128i edge = _mm_xor_si128(other, _mm_srli_epi64(other, 8));  // that byte alone
  const __m128i minus = _mm_and_si128(edge, _mm_cmpeq_epi8(x, _mm_set1_epi8('-')));
  *negative = _mm_xor_si128(_mm_cmpeq_epi64(minus, _mm_setzero_si128()), _mm_set1_epi8(-1));
  const __m128i digits = _mm_andnot_si128(other, t);  // leading zeros first
  const __m128i pairs = _mm_maddubs_epi16(digits, _mm_set1_epi16(1 << 8 | 10));
  return _mm_madd_epi16(pairs, _mm_set1_epi32(1 << 16 | 100));  // [high four digits, low four] per half
}

// Writes to out[0..3] the values of the runs of digits that end at the four
// lowest bits of `ends` (fewer: the rest is garbage), and clears those bits.
// Requires the 7 bytes before each of these ends readable, and each run to
// hold one to seven digits.
[[gnu::target("sse4.1,popcnt"), gnu::always_inline]] inline void four_values(const char* p, uint64_t* ends, int32_t* out) {
  const char* at[4];
  for (const char*& a : at) {
    a = p + __builtin_ctzll(*ends | kLastBit) - 7;
    *ends &= *ends - 1;
  }
  auto two = [](const char* a, const char* b) {
    return _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(a)),
                              _mm_loadl_epi64(reinterpret_cast<const __m128i*>(b)));
  };
  __m128i negative_low, negative_high;
  const __m128i low = two_values(two(at[0], at[1]), &negative_low);
  const __m128i high = two_values(two(at[2], at[3]), &negative_high);
  const __m128i magnitude = _mm_madd_epi16(_mm_packus_epi32(low, high), _mm_set1_epi32(1 << 16 | 10000));
  const __m128i negative = _mm_castps_si128(
      _mm_shuffle_ps(_mm_castsi128_ps(negative_low), _mm_castsi128_ps(negative_high), 0x88));
  const __m128i value = _mm_sub_epi32(_mm_xor_si128(magnitude, negative), negative);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), value);
}

// Reads the 64 bytes at p as scan_block does, with vector code when no run of
// eight digits or more is there. Requires also the 8 bytes before p readable,
// and room in out[] for three numbers more than the block holds.
[[gnu::target("sse4.1,popcnt")]] inline int scan_block_sse41(const char* p, int32_t* out, int* count) {
  const Classes c = classify(p);
  if (has_long_run(c)) [[unlikely]] return scan_block(p, c, out, count);
  const uint64_t unusual = unusual_bytes(c);
  uint64_t ends = whole_runs(c, unusual);
  const int n = __builtin_popcountll(ends);
  for (int k = 0; k < n; k += 4) four_values(p, &ends, out + k);
  *count = n;
  return block_stop(c, unusual);
}

// The same with AVX2 (and BMI1, BMI2), four numbers in one vector.

// Returns bit i set where byte i of `v` is 0xff, for the 32 bytes of v, at `shift`.
[[gnu::target("avx2,bmi,bmi2"), gnu::always_inline]] inline uint64_t bits_avx2(__m256i v, int shift) {
  return static_cast<uint64_t>(static_cast<uint32_t>(_mm256_movemask_epi8(v))) << shift;
}

// Returns 0xff where the byte of v lies in lo..lo + span, else 0.
[[gnu::target("avx2,bmi,bmi2"), gnu::always_inline]] inline __m256i in_range_avx2(__m256i v, char lo, char span) {
  const __m256i t = _mm256_sub_epi8(v, _mm256_set1_epi8(lo));
  return _mm256_cmpeq_epi8(_mm256_min_epu8(t, _mm256_set1_epi8(span)), t);
}

// Sorts out the 64 bytes at p, as classify does.
[[gnu::target("avx2,bmi,bmi2"), gnu::always_inline]] inline Classes classify_avx2(const char* p) {
  Classes c{0, 0, 0, 0};
  uint64_t known = 0;
  for (int i = 0; i < kBlock / 32; ++i) {
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32 * i));
    const __m256i digit = in_range_avx2(b, '0', 9);
    const __m256i space = _mm256_or_si256(_mm256_cmpeq_epi8(b, _mm256_set1_epi8(' ')), in_range_avx2(b, '\t', 4));
    const __m256i minus = _mm256_cmpeq_epi8(b, _mm256_set1_epi8('-'));
    const __m256i sign = _mm256_or_si256(minus, _mm256_cmpeq_epi8(b, _mm256_set1_epi8('+')));
    c.digit |= bits_avx2(digit, 32 * i);
    c.sign |= bits_avx2(sign, 32 * i);
    c.minus |= bits_avx2(minus, 32 * i);
    known |= bits_avx2(_mm256_or_si256(_mm256_or_si256(digit, space), sign), 32 * i);
  }
  c.other = ~known;
  return c;
}

// Writes to out[0..3] the values of the runs of digits that end at the four
// lowest bits of `ends`, as four_values does, in one vector.
[[gnu::target("avx2,bmi,bmi2"), gnu::always_inline]] inline void four_values_avx2(const char* p, uint64_t* ends, int32_t* out) {
  const char* at[4];
  for (const char*& a : at) {
    a = p + _tzcnt_u64(*ends) - 7;  // 64 when none is left: p + 57 is readable
    *ends = _blsr_u64(*ends);
  }
  auto two = [](const char* a, const char* b) {
    return _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(a)),
                              _mm_loadl_epi64(reinterpret_cast<const __m128i*>(b)));
  };
  const __m256i x = _mm256_inserti128_si256(_mm256_castsi128_si256(two(at[0], at[1])), two(at[2], at[3]), 1);
  const __m256i t = _mm256_sub_epi8(x, _mm256_set1_epi8('0'));
  __m256i other = _mm256_cmpeq_epi8(_mm256_max_epu8(t, _mm256_set1_epi8(10)), t);  // not a digit
  // Every byte at or below the highest byte that is not a digit, in each quarter.
  other = _mm256_or_si256(other, _mm256_srli_epi64(other, 8));
  other = _mm256_or_si256(other, _mm256_srli_epi64(other, 16));
  other = _mm256_or_si256(other, _mm256_srli_epi64(other, 32));
  const __m256i edge = _mm256_xor_si256(other, _mm256_srli_epi64(other, 8));  // that byte alone
  const __m256i minus = _mm256_and_si256(edge, _mm256_cmpeq_epi8(x, _mm256_set1_epi8('-')));
  const __m256i negative = _mm256_xor_si256(_mm256_cmpeq_epi64(minus, _mm256_setzero_si256()), _mm256_set1_epi8(-1));
  const __m256i digits = _mm256_andnot_si256(other, t);  // leading zeros first
  const __m256i pairs = _mm256_maddubs_epi16(digits, _mm256_set1_epi16(1 << 8 | 10));
  __m256i quads = _mm256_madd_epi16(pairs, _mm256_set1_epi32(1 << 16 | 100));  // [high four digits, low four]
  quads = _mm256_sub_epi32(_mm256_xor_si256(quads, negative), negative);       // both negated after a '-'
  const __m256i values = _mm256_madd_epi16(_mm256_packs_epi32(quads, quads), _mm256_set1_epi32(1 << 16 | 10000));
  const __m256i ordered = _mm256_permute4x64_epi64(values, 0x08);  // [v0 v1 v2 v3] in the low half
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(ordered));
}

// Reads the 64 bytes at p as scan_block_sse41 does, with AVX2.
[[gnu::target("avx2,bmi,bmi2,popcnt")]] inline int scan_block_avx2(const char* p, int32_t* out, int* count) {
  const Classes c = classify_avx2(p);
  if (has_long_run(c)) [[unlikely]] return scan_block(p, c, out, count);
  const uint64_t unusual = unusual_bytes(c);
  uint64_t ends = whole_runs(c, unusual);
  const int n = __builtin_popcountll(ends);
  for (int k = 0; k < n; k += 4) four_values_avx2(p, &ends, out + k);
  *count = n;
  return block_stop(c, unusual);
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

// How blocks are read: by scan_block, scan_block_sse41 or scan_block_avx2.
enum class Level { kPlain, kSse41, kAvx2 };

// Reads as scan_numbers does, with blocks read as `level` says (only where the
// processor can).
template <Level level>
[[gnu::always_inline]] inline size_t scan_all(std::string_view bytes, int32_t* out, size_t* used) {
  const char* const begin = bytes.data();
  const char* const end = begin + bytes.size();
  const char* p = begin;
  size_t count = 0;
  for (;;) {
    // p never stands inside a number, as blocks need: blocks and scan_one end
    // numbers whole, and so does the caller. Each block leaves room in out[]:
    // at least (end - p) / 2 numbers, and it writes at most 32 + 3.
    while (end - p >= kBlockReads) {
      int got = 0, advance = 0;
      if (level == Level::kPlain || p - begin < 8) {
        advance = scan_block(p, classify(p), out + count, &got);
      } else if constexpr (level == Level::kSse41) {
        advance = scan_block_sse41(p, out + count, &got);
      } else {
        advance = scan_block_avx2(p, out + count, &got);
      }
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

[[gnu::target("avx2,bmi,bmi2,popcnt")]] size_t scan_numbers_avx2(std::string_view bytes, int32_t* out, size_t* used) {
  return scan_all<Level::kAvx2>(bytes, out, used);
}

[[gnu::target("sse4.1,popcnt")]] size_t scan_numbers_sse41(std::string_view bytes, int32_t* out, size_t* used) {
  return scan_all<Level::kSse41>(bytes, out, used);
}

size_t scan_numbers_plain(std::string_view bytes, int32_t* out, size_t* used) {
  return scan_all<Level::kPlain>(bytes, out, used);
}

using Scan = size_t (*)(std::string_view, int32_t*, size_t*);

// Returns the reading of `level` (0 plain, 1 SSE4.1, 2 AVX2), or of the highest
// level below it that the processor can run.
Scan scan_at(int level) {
  const bool popcnt = __builtin_cpu_supports("popcnt");
  if (level >= 2 && popcnt && __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
      __builtin_cpu_supports("bmi2")) {
    return scan_numbers_avx2;
  }
  if (level >= 1 && popcnt && __builtin_cpu_supports("sse4.1")) return scan_numbers_sse41;
  return scan_numbers_plain;
}

}  // namespace

size_t scan_numbers(std::string_view bytes, int32_t* out, size_t* used) {
  static const Scan scan = scan_at(2);
  return scan(bytes, out, used);
}

namespace detail {

size_t scan_numbers_at(int level, std::string_view bytes, int32_t* out, size_t* used) {
  return scan_at(level)(bytes, out, used);
}

}  // namespace detail

}  // namespace tarnwick
