// Reading the numbers of bytes in memory many at a time, for the common text of
// a graph file: digits, whitespace and signs. Whatever is unusual is left to
// read_number, which alone says what such text means.
#ifndef TARNWICK_GRAPH_SCAN_H_
#define TARNWICK_GRAPH_SCAN_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tarnwick {

// Writes to out[] the numbers that read_number, called again and again from
// the start of `bytes`, would read whatever follows them, as long as each is
// whitespace, an optional sign and at most ten digits that fit in 32 bits,
// ended by a byte of `bytes`. Returns how many, with *used the bytes so read
// (possibly with whitespace after the last); what is left needs read_number.
// Requires room in out[] for bytes.size() / 2 + 1 numbers, and `bytes` not to
// start inside a number (right after a digit or a sign, before a digit).
size_t scan_numbers(std::string_view bytes, int32_t* out, size_t* used);

namespace detail {

// For tests: scan_numbers with the code for `level` (0: plain SSE2, 1: SSE4.1,
// 2: AVX2), or for the highest level below it that the processor can run.
size_t scan_numbers_at(int level, std::string_view bytes, int32_t* out, size_t* used);

}  // namespace detail

}  // namespace tarnwick

#endif  // TARNWICK_GRAPH_SCAN_H_
