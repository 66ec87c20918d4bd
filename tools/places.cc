#include "tools/places.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace tarnwick {

namespace {

// Places offsets, taken in increasing order, as the bytes go by.
class Placer {
 public:
  Placer(const std::vector<uint64_t>& offsets, std::vector<Place>* out)
      : offsets_(offsets), out_(out), order_(offsets.size()) {
    std::iota(order_.begin(), order_.end(), 0);
    std::sort(order_.begin(), order_.end(),
              [&offsets](size_t a, size_t b) { return offsets[a] < offsets[b]; });
    out_->assign(offsets.size(), Place{});
  }
  // Returns true when every offset has been placed.
  bool done() const { return next_ == order_.size(); }

  // Takes the next bytes of the input.
  void take(std::string_view bytes) {
    const char* p = bytes.data();
    const char* end = p + bytes.size();
    while (!done()) {
      const char* nl = static_cast<const char*>(std::memchr(p, '\n', end - p));
      if (nl == nullptr) {
        place_before(at_ + bytes.size());
        break;
      }
      const uint64_t nl_at = at_ + (nl - bytes.data());
      place_before(nl_at + 1);  // a line end belongs to the line it ends
      ++line_;
      line_start_ = nl_at + 1;
      p = nl + 1;
    }
    at_ += bytes.size();
  }

  // Places every offset left at the end of the input.
  void finish() { place_before(~uint64_t{0}, at_); }

 private:
  // Places the offsets below `limit`, each where it stands (or at `clamp`).
  void place_before(uint64_t limit, uint64_t clamp = ~uint64_t{0}) {
    for (; !done() && offsets_[order_[next_]] < limit; ++next_) {
      const uint64_t at = std::min(offsets_[order_[next_]], clamp);
      (*out_)[order_[next_]] = {line_, static_cast<int64_t>(at - line_start_) + 1};
    }
  }

  const std::vector<uint64_t>& offsets_;
  std::vector<Place>* out_;
  std::vector<size_t> order_;  // indexes into offsets_, by increasing offset
  size_t next_ = 0;
  int64_t line_ = 1;
  uint64_t line_start_ = 0;  // offset of the current line's first byte
  uint64_t at_ = 0;          // offset of the next byte taken
};

}  // namespace

std::vector<Place> places(ByteReader& in, const std::vector<uint64_t>& offsets) {
  std::vector<Place> out;
  Placer placer(offsets, &out);
  while (!placer.done() && in.peek() >= 0) {
    std::string_view window = in.window();
    placer.take(window);
    in.skip(window.size());
  }
  placer.finish();
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
