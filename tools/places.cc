#include "tools/places.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace tarnwick {

std::vector<Place> places(ByteReader& in, const std::vector<uint64_t>& offsets) {
  std::vector<size_t> order(offsets.size());
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(),
            [&offsets](size_t a, size_t b) { return offsets[a] < offsets[b]; });
  std::vector<Place> out(offsets.size());
  size_t next = 0;           // the next offset to place, in `order`
  int64_t line = 1;
  uint64_t line_start = 0;   // offset of the current line's first byte
  uint64_t at = 0;           // offset of window()'s first byte
  while (next < order.size() && in.peek() >= 0) {
    std::string_view w = in.window();
    const uint64_t end = at + w.size();
    for (size_t i = 0; i <= w.size() && next < order.size(); ++i) {
      // Place every offset that lies before the next line end in this window.
      const char* nl = static_cast<const char*>(std::memchr(w.data() + i, '\n', w.size() - i));
      const uint64_t line_end = nl != nullptr ? at + (nl - w.data()) : end;
      while (next < order.size() && offsets[order[next]] <= line_end &&
             (nl != nullptr || offsets[order[next]] < end)) {
        out[order[next]] = {line, static_cast<int64_t>(offsets[order[next]] - line_start) + 1};
        ++next;
      }
      if (nl == nullptr) break;
      ++line;
      line_start = line_end + 1;
      i = nl - w.data();
    }
    in.skip(w.size());
    at = end;
  }
  for (; next < order.size(); ++next) {
    out[order[next]] = {line, static_cast<int64_t>(at - line_start) + 1};
  }
  return out;
}

bool places(const char* path, const std::vector<uint64_t>& offsets, std::vector<Place>* out,
            std::string* err) {
  InputFile file;
  if (!file.open(path, err)) return false;
  ByteReader in(file.fd());
  *out = places(in, offsets);
  if (in.error() != 0) {
    *err = reason(in.error());
    return false;
  }
  return true;
}

}  // namespace tarnwick
