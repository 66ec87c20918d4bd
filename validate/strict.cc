// The strict layout of a test input, checked byte by byte as the bytes go by.
#include "validate/strict.h"

#include "cli/escape.h"

namespace tarnwick {

namespace {

// The bytes of a token kept for its message; a longer token is cut.
constexpr size_t kHeadKept = 24;
// An edge count above this is not used to find where the edges end.
constexpr int64_t kLargestM = 1'000'000'000'000;

// White space as the judge passes over it between numbers.
bool is_white(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Returns "1 number" or "3 numbers".
std::string numbers(int64_t count) {
  return std::to_string(count) + (count == 1 ? " number" : " numbers");
}

// Returns the words for a white space byte other than a space or a line end.
const char* space_name(unsigned char c) {
  return c == '\t' ? "a tab" : c == '\v' ? "a vertical tab" : "a form feed";
}

}  // namespace

template <typename Text>
void add_found(std::vector<StrictLayout::Found>* found, int64_t* count, Place at, Text text) {
  ++*count;
  if (found->size() < StrictLayout::kKept) found->push_back({at, text()});
}

namespace {

// Returns the length of the line at p when it is an edge line as the strict
// layout writes it, "u v w\n" (a '-' allowed, which the validator judges),
// ending before `end`; else 0.
[[gnu::always_inline]] inline size_t edge_line(const char* p, const char* end) {
  const char* q = p;
  for (int field = 0; field < 3; ++field) {
    const bool minus = q < end && *q == '-';
    q += minus;
    const char* first = q;
    while (q < end && static_cast<unsigned char>(*q - '0') < 10) ++q;
    if (q == first || q == end || *q != (field == 2 ? '\n' : ' ')) return 0;
    if (*first == '0' && (q - first > 1 || minus)) return 0;  // a leading zero, or "-0"
    ++q;
  }
  return static_cast<size_t>(q - p);
}

}  // namespace

void StrictLayout::take(uint64_t offset, std::string_view bytes) {
  for (size_t i = 0; i < bytes.size();) {
    // The common line, an edge as written, in one go.
    if (offset + i == line_start_ && edge_next()) {
      if (const size_t length = edge_line(bytes.data() + i, bytes.data() + bytes.size())) {
        const size_t past = i + length;
        tokens_ += 3, line_first_token_ = tokens_, ++line_;
        line_start_ = offset + past, i = past;
        continue;
      }
    }
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (!is_white(c)) {
      i = token_bytes(offset, bytes, i);
      continue;
    }
    const int64_t column = static_cast<int64_t>(offset + i - line_start_) + 1;
    if (c == '\n') {
      close_line(column);
      line_start_ = offset + i + 1;
    } else {
      space(c, column);
    }
    ++i;
  }
  // A token that goes on past these bytes keeps its first ones before they go.
  if (in_token_ && head_.size() < kHeadKept) head_.append(view_.substr(0, kHeadKept - head_.size()));
  view_ = {};
  if (!bytes.empty()) end_ = offset + bytes.size();
}

size_t StrictLayout::token_bytes(uint64_t offset, std::string_view bytes, size_t i) {
  size_t j = i;
  if (!in_token_) {
    in_token_ = true;
    token_column_ = static_cast<int64_t>(offset + i - line_start_) + 1;
    head_.clear();
    integer_ = true;
    digits_ = zeros_ = 0;
    sign_ = bytes[i] == '+' || bytes[i] == '-' ? bytes[i] : 0;
    if (sign_ != 0) ++j;
  }
  for (; j < bytes.size(); ++j) {
    const unsigned char c = static_cast<unsigned char>(bytes[j]);
    if (c >= '0' && c <= '9') {
      zeros_ += c == '0' && zeros_ == digits_;
      ++digits_;
    } else if (is_white(c)) {
      break;
    } else {
      integer_ = false;  // a sign may only come first
    }
  }
  view_ = bytes.substr(i, j - i);
  before_ = static_cast<unsigned char>(bytes[j - 1]);
  return j;
}

void StrictLayout::space(unsigned char c, int64_t column) {
  end_token();
  const Place at{line_, column};
  if (c == '\r') {
    add_found(&found_, &count_, at, [] {
      return std::string("a carriage return (--strict: a line ends with \\n alone)");
    });
  } else if (c != ' ') {
    add_found(&found_, &count_, at, [c] {
      return std::string(space_name(c)) + " between numbers (--strict: one space separates them)";
    });
  } else if (column == 1) {
    add_found(&found_, &count_, at, [] {
      return std::string("a space at the start of the line (--strict: a line starts with a number)");
    });
  } else if (before_ == ' ' && column == space_column_ + 1 && space_column_ > 1) {
    add_found(&found_, &count_, {line_, space_column_}, [] {
      return std::string("more than one space between numbers (--strict: one space separates them)");
    });
  }
  if (before_ != ' ') space_column_ = column;
  before_ = c;
}

void StrictLayout::close_line(int64_t column) {
  end_token();
  if (column == 1) {
    add_found(&found_, &count_, {line_, 1}, [] {
      return std::string("a blank line (--strict: no line is empty)");
    });
  }
  if (before_ == ' ' && space_column_ > 1) {
    add_found(&found_, &count_, {line_, space_column_}, [] {
      return std::string("a space at the end of the line (--strict: a line ends with a number)");
    });
  }
  check_line();
  ++line_;
  before_ = '\n';
  line_first_token_ = tokens_;
}

void StrictLayout::end_token() {
  if (!in_token_) return;
  in_token_ = false;
  const int64_t index = tokens_++;
  if (!integer_ || digits_ == 0) return;  // not a number: the validator tells it
  const bool zero = zeros_ == digits_;
  const bool plus = sign_ == '+', minus_zero = sign_ == '-' && zero;
  const bool leading_zero = zeros_ > 0 && digits_ > 1;
  if (index == 1 && sign_ == 0 && digits_ <= static_cast<int64_t>(kHeadKept)) {
    // A count cut for its message is not used: the lines are then not checked against it.
    m_ = digits_ - zeros_ > 12 ? kLargestM : std::min<int64_t>(std::stoll(token_text()), kLargestM);
  }
  if (!plus && !minus_zero && !leading_zero) return;
  add_found(&found_, &count_, {line_, token_column_}, [&] {
    const bool cut = (sign_ != 0) + digits_ > static_cast<int64_t>(kHeadKept);
    const std::string text = token_text();
    std::string shown(1, '\'');  // appended to, not "'" + ...: g++ 12 warns wrongly of that
    shown.append(printable(text)).append(cut ? "...'" : "'");
    std::string words = shown + " has " +
                        (plus ? "a '+' sign" : minus_zero ? "a sign on zero" : "a leading zero");
    if (plus && leading_zero) words += " and a leading zero";
    if (cut) return words + " (--strict: numbers have neither)";
    // All its digits are in the text: written without sign and leading zeros.
    std::string canon = sign_ == '-' && !zero ? "-" : "";
    canon += zero ? std::string("0") : text.substr((sign_ != 0) + zeros_);
    return words + " (--strict: written " + canon + ")";
  });
}

std::string StrictLayout::token_text() const {
  return head_ + std::string(view_.substr(0, kHeadKept - std::min(kHeadKept, head_.size())));
}

bool StrictLayout::edge_next() const {
  return !in_token_ && tokens_ >= 2 && tokens_ < 2 + 3 * m_ && (tokens_ - 2) % 3 == 0;
}

void StrictLayout::check_line() {
  const int64_t count = tokens_ - line_first_token_, first = line_first_token_;
  if (count == 0) return;
  int64_t start = 0, size = 2;
  const char* what = "the counts \"n m\" stand";
  if (first >= 2) {
    if (m_ < 0) return;
    if (first < 2 + 3 * m_) {
      start = first - (first - 2) % 3, size = 3, what = "each edge \"u v w\" stands";
    } else if (carried_ && first == 2 + 3 * m_) {
      start = first, size = 1, what = "the source stands";
    } else {
      return;  // past what a test input holds: the validator tells it
    }
  }
  if (first == start && count == size) return;
  add_found(&found_, &count_, {line_, 1}, [&] {
    return "the line holds " + numbers(count) + " (--strict: " + what + " alone on its line)";
  });
}

void StrictLayout::finish() {
  if (end_ == line_start_) return;
  const int64_t column = static_cast<int64_t>(end_ - line_start_) + 1;
  add_found(&found_, &count_, {line_, column}, [] {
    return std::string("the last line has no line end (--strict: every line ends with \\n)");
  });
  close_line(column);
}

bool check_whole(const ByteReader& whole, StrictLayout* layout, std::string* err) {
  std::vector<char> buffer(1 << 20);
  ByteReader in(whole, 0, whole.split_end(), buffer);
  in.tap(layout);
  while (in.peek() != -1) in.skip(in.window().size());
  in.tap(nullptr);
  if (in.error() != 0) {
    *err = reason(in.error());
    return false;
  }
  layout->finish();
  return true;
}

}  // namespace tarnwick
