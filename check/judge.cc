#include "check/judge.h"

#include <algorithm>

namespace tarnwick {

std::string verdict_line(const Verdict& v) {
  switch (v.kind) {
    case Verdict::kSuccess:
      return "Success\n";
    case Verdict::kEmptyFile:
      return "Empty file\n";
    case Verdict::kWrongAnswer:
      break;
  }
  return "Wrong answer in path " + std::to_string(v.source) + " to " + std::to_string(v.line) +
         "\n";
}

namespace {

// An id read from the result file that cannot index the tables. It weighs 0
// to and from every vertex, like the ids above n.
constexpr int32_t kOutside = -1;

// Weighs the lines of a result file as its bytes arrive, one at a time.
class PathWeigher {
 public:
  PathWeigher(const DirectWeights& Dist, const SourceRow& APSP)
      : Dist_(Dist), APSP_(APSP), previous_(APSP.source()) {}

  // Takes the next byte. Returns false when a line has just been found wrong.
  bool take(int c);
  // Ends the file. Returns false when its last line is wrong.
  bool finish();
  // Returns the verdict once the file has ended or a line was found wrong.
  Verdict verdict() const;

 private:
  enum class Token { kNone, kLeadingSpace, kSign, kDigits, kRest };

  void take_in_token(int c);
  void end_token();
  bool end_line();

  const DirectWeights& Dist_;
  const SourceRow& APSP_;
  // The whole file.
  int64_t line_ = 1;
  bool any_line_ = false;
  bool wrong_ = false;
  int32_t last_id_ = 0;  // carried across tokens and lines
  // The current line.
  bool line_open_ = false;
  int32_t previous_;
  __int128 weight_ = 0;  // exact: no sum of steps can overflow it
  // The current token, read like "%d".
  Token token_ = Token::kNone;
  bool has_number_ = false;
  bool negative_ = false;
  int32_t magnitude_ = 0;  // saturates at V: anything from V up is outside the tables
};

// Reads c as part of the current token the way "%d" reads: leading whitespace,
// an optional sign, then digits. The first byte that is not a digit ends the
// number, and the rest of the token is passed over.
void PathWeigher::take_in_token(int c) {
  if (token_ == Token::kNone) token_ = Token::kLeadingSpace;
  if (token_ == Token::kLeadingSpace) {
    if (is_space(c)) return;
    token_ = Token::kSign;  // with or without a sign, digits come next
    if (c == '+' || c == '-') {
      negative_ = c == '-';
      return;
    }
  }
  if (token_ == Token::kSign || token_ == Token::kDigits) {
    if (!is_digit(c)) {
      token_ = Token::kRest;
      return;
    }
    token_ = Token::kDigits;
    has_number_ = true;
    magnitude_ = std::min<int32_t>(magnitude_ * 10 + (c - '0'), V);
  }
}

void PathWeigher::end_token() {
  if (token_ == Token::kNone) return;
  // A token without a number repeats the last id read, from this line or an earlier one.
  if (has_number_) {
    bool fits = magnitude_ < V && (!negative_ || magnitude_ == 0);
    last_id_ = fits ? magnitude_ : kOutside;
  }
  weight_ += Dist_(previous_, last_id_);
  previous_ = last_id_;
  token_ = Token::kNone;
  has_number_ = negative_ = false;
  magnitude_ = 0;
}

bool PathWeigher::end_line() {
  any_line_ = true;
  if (weight_ != APSP_.at(line_)) {
    wrong_ = true;
    return false;
  }
  ++line_;
  line_open_ = false;
  previous_ = APSP_.source();
  weight_ = 0;
  return true;
}

bool PathWeigher::take(int c) {
  line_open_ = true;
  if (c == ' ') {
    end_token();
    return true;
  }
  take_in_token(c);
  if (c != '\n') return true;
  // The line end belongs to the last token of its line.
  end_token();
  return end_line();
}

bool PathWeigher::finish() {
  if (!line_open_) return true;
  end_token();
  return end_line();
}

Verdict PathWeigher::verdict() const {
  Verdict v;
  v.source = APSP_.source();
  v.line = line_;
  // A file whose lines are all right but that stops before line n is wrong at
  // its first missing line, line_.
  bool stops_early = any_line_ && line_ <= Dist_.n();
  if (wrong_ || stops_early) {
    v.kind = Verdict::kWrongAnswer;
    v.missing = !wrong_;
  } else {
    v.kind = any_line_ ? Verdict::kSuccess : Verdict::kEmptyFile;
  }
  return v;
}

}  // namespace

bool judge(ByteReader& in, const DirectWeights& Dist, const SourceRow& APSP, Verdict* out) {
  PathWeigher weigher(Dist, APSP);
  for (int c; (c = in.peek()) >= 0; in.skip()) {
    if (!weigher.take(c)) {
      *out = weigher.verdict();
      return true;
    }
  }
  if (in.error() != 0) return false;
  weigher.finish();
  *out = weigher.verdict();
  return true;
}

bool judge(const char* path, const DirectWeights& Dist, const SourceRow& APSP, Verdict* out,
           std::string* err) {
  InputFile file;
  if (!file.open(path, err)) return false;
  ByteReader in(file.fd());
  bool ok = judge(in, Dist, APSP, out);
  if (!ok) *err = reason(in.error());
  return ok;
}

}  // namespace tarnwick
