// The dense square table of the exact pass.
#include "graph/matrix.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace tarnwick {

void Matrix::Free::operator()(int32_t* p) const { std::free(p); }

Matrix::Matrix(int32_t n) : n_(n), stride_((static_cast<size_t>(n) + 1 + 15) / 16 * 16) {
  size_t bytes = stride_ * (static_cast<size_t>(n) + 1) * sizeof(int32_t);
  void* p = std::aligned_alloc(64, bytes);
  if (p == nullptr) throw std::bad_alloc();
  std::memset(p, 0, bytes);
  data_.reset(static_cast<int32_t*>(p));
}

}  // namespace tarnwick
