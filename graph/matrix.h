// A dense square table of 32-bit weights for vertices 0..n, used by the
// all-pairs pass. Row 0 and column 0 are stored but never used by the pass.
#ifndef TARNWICK_GRAPH_MATRIX_H_
#define TARNWICK_GRAPH_MATRIX_H_

#include <cstddef>
#include <cstdint>
#include <memory>

namespace tarnwick {

class Matrix {
 public:
  // Reserves an (n + 1) x (n + 1) table filled with 0. Requires n >= 0.
  // Each row starts on a 64-byte boundary and is padded to a multiple of 16 entries.
  explicit Matrix(int32_t n);

  // Returns the largest index of a row or column.
  int32_t n() const { return n_; }
  // Returns the distance in entries between the starts of two consecutive rows.
  size_t stride() const { return stride_; }
  // Returns row i: row(i)[j] is entry [i][j]. Requires 0 <= i <= n.
  int32_t* row(int32_t i) { return data_.get() + static_cast<size_t>(i) * stride_; }
  const int32_t* row(int32_t i) const { return data_.get() + static_cast<size_t>(i) * stride_; }
  // Returns entry [i][j]. Requires 0 <= i, j <= n.
  int32_t& at(int32_t i, int32_t j) { return row(i)[j]; }
  int32_t at(int32_t i, int32_t j) const { return row(i)[j]; }

 private:
  struct Free {
    void operator()(int32_t* p) const;
  };
  int32_t n_;
  size_t stride_;
  std::unique_ptr<int32_t[], Free> data_;
};

}  // namespace tarnwick

#endif  // TARNWICK_GRAPH_MATRIX_H_
