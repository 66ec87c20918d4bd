// The checker: a result file weighed line by line as its bytes arrive.
#include "check/judge.h"

#include <algorithm>

namespace tarnwick {

std::string verdict_words(const Verdict& v) {
  if (v.kind == Verdict::kSuccess) return "Success";
  if (v.kind == Verdict::kEmptyFile) return "Empty file";
  return "Wrong answer in path " + std::to_string(v.source) + " to " + std::to_string(v.line);
}

namespace {

constexpr int32_t kOutside = kOutsideId;

// Weighs the lines of a result file as its bytes arrive, one at a time.
// kObserved: an observer hears every step and line end; without one, the
// calls are compiled out, so that judging alone pays nothing for them.
template <bool kObserved>
class PathWeigher {
 public:
  PathWeigher(const DirectWeights& Dist, const SourceRow& APSP, JudgeObserver* observer)
      : Dist_(Dist), APSP_(APSP), previous_(APSP.source()), observer_(observer) {}

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
  void tell_step(int32_t weight);

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
  // For the observer.
  JudgeObserver* observer_;  // set when kObserved
  int64_t wrong_line_ = 0;   // the first line weighed wrong, or 0 (may not be the last read)
  int64_t steps_ = 0;        // steps of the current line
  std::string token_bytes_;  // the current token's first kTokenKept bytes
  bool tail_ = false;        // a byte of the current token was passed over
};

// Reads c as part of the current token the way "%d" reads: leading whitespace,
// an optional sign, then digits. The first byte that is not a digit ends the
// number, and the rest of the token is passed over.
template <bool kObserved>
void PathWeigher<kObserved>::take_in_token(int c) {
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

template <bool kObserved>
void PathWeigher<kObserved>::end_token() {
  if (token_ == Token::kNone) return;
  // A token without a number repeats the last id read, from this line or an earlier one.
  if (has_number_) {
    bool fits = magnitude_ < V && (!negative_ || magnitude_ == 0);
    last_id_ = fits ? magnitude_ : kOutside;
  }
  const int32_t w = Dist_(previous_, last_id_);
  weight_ += w;
  if constexpr (kObserved) tell_step(w);
  previous_ = last_id_;
  token_ = Token::kNone;
  has_number_ = negative_ = false;
  magnitude_ = 0;
}

// Tells the observer of the step just weighed (before previous_ moves on).
template <bool kObserved>
void PathWeigher<kObserved>::tell_step(int32_t weight) {
  WeighedStep s;
  s.line = line_;
  s.index = ++steps_;
  s.from = previous_;
  s.to = last_id_;
  s.repeated = !has_number_;
  s.tail_ignored = has_number_ && tail_;
  s.weight = weight;
  s.token = token_bytes_;
  observer_->step(s);
  token_bytes_.clear();
  tail_ = false;
}

template <bool kObserved>
bool PathWeigher<kObserved>::end_line() {
  any_line_ = true;
  const int32_t expected = APSP_.at(line_);
  if (weight_ != expected && !wrong_) {
    wrong_ = true;
    wrong_line_ = line_;
  }
  if constexpr (kObserved) {
    // Once the verdict stands, reading goes on only while the observer asks.
    steps_ = 0;
    if (!observer_->line_end(line_, weight_, expected) && wrong_) return false;
  } else {
    if (wrong_) return false;
  }
  ++line_;
  line_open_ = false;
  previous_ = APSP_.source();
  weight_ = 0;
  return true;
}

template <bool kObserved>
bool PathWeigher<kObserved>::take(int c) {
  line_open_ = true;
  if (c == ' ') {
    end_token();
    return true;
  }
  take_in_token(c);
  if constexpr (kObserved) {
    if (c != '\n' && token_bytes_.size() < kTokenKept) token_bytes_ += static_cast<char>(c);
    if (c != '\n' && token_ == Token::kRest) tail_ = true;
  }
  if (c != '\n') return true;
  // The line end belongs to the last token of its line.
  end_token();
  return end_line();
}

template <bool kObserved>
bool PathWeigher<kObserved>::finish() {
  if (!line_open_) return true;
  end_token();
  return end_line();
}

template <bool kObserved>
Verdict PathWeigher<kObserved>::verdict() const {
  Verdict v;
  v.source = APSP_.source();
  v.line = wrong_line_ != 0 ? wrong_line_ : line_;  // the first line weighed wrong
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

// Feeds the bytes of `in` to the weigher until a line is found wrong or the
// file ends. Returns false when a read fails.
template <bool kObserved>
bool weigh_file(ByteReader& in, PathWeigher<kObserved>& weigher, Verdict* out) {
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

}  // namespace

bool judge(ByteReader& in, const DirectWeights& Dist, const SourceRow& APSP, Verdict* out,
           JudgeObserver* observer) {
  if (observer == nullptr) {
    PathWeigher<false> weigher(Dist, APSP, nullptr);
    return weigh_file(in, weigher, out);
  }
  PathWeigher<true> weigher(Dist, APSP, observer);
  return weigh_file(in, weigher, out);
}

}  // namespace tarnwick
