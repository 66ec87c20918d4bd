#include "graph/places.h"

#include <algorithm>
#include <cstring>

namespace tarnwick {

void LineTracker::count_to(size_t to) {
  const char* p = bytes_.data() + counted_;
  const char* end = bytes_.data() + to;
  while (p < end) {
    const char* nl = static_cast<const char*>(std::memchr(p, '\n', end - p));
    if (nl == nullptr) break;
    ++line_;
    line_start_ = base_ + static_cast<uint64_t>(nl - bytes_.data()) + 1;
    p = nl + 1;
  }
  counted_ = std::max(counted_, to);
}

void LineTracker::take(uint64_t offset, std::string_view bytes) {
  count_to(bytes_.size());
  bytes_ = bytes;
  base_ = offset;
  counted_ = 0;
}

Place LineTracker::place(uint64_t offset) {
  if (offset >= base_) {
    count_to(static_cast<size_t>(std::min<uint64_t>(offset - base_, bytes_.size())));
  }
  return {line_, static_cast<int64_t>(offset - std::min(offset, line_start_)) + 1};
}

}  // namespace tarnwick
