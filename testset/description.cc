// A description read: each line cut at its comment and split into words, the
// graph's words handed to the generator's own reader, so that a wrong number
// is told in tarnwick-gen's words.
#include "testset/description.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <map>

#include "grade/testset.h"
#include "graph/reader.h"

namespace tarnwick {
namespace {

// The words that may follow the seed, each at most once.
struct Extras {
  bool connected = false, simple = false, repeats = false;
  const std::string* source = nullptr;
  const std::string* points = nullptr;
};

// The way the generator's messages name the simple graph and the source here.
constexpr GenWords kWords = {"a simple graph", "the source"};

// Returns the words of a line, up to its comment, split at white space.
std::vector<std::string> line_words(std::string_view line) {
  line = line.substr(0, line.find('#'));
  std::vector<std::string> words;
  size_t at = 0;
  while (at < line.size()) {
    const size_t start = line.find_first_not_of(" \t\r\v\f", at);
    if (start == std::string_view::npos) break;
    at = std::min(line.find_first_of(" \t\r\v\f", start), line.size());
    words.emplace_back(line.substr(start, at - start));
  }
  return words;
}

// Returns "" when `name` can name a test's files, else why not.
std::string check_name(const std::string& name) {
  bool plain = name[0] != '.' && name[0] != '-';
  for (char c : name) {
    const bool letter = (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
    plain = plain && (letter || is_digit(c) || c == '-' || c == '_' || c == '.');
  }
  if (plain) return "";
  return "test name '" + name +
         "' is not a plain file name: letters, digits, '-', '_' and '.', not starting with '.' "
         "or '-'";
}

// Takes one word after the seed into *e. Returns false with *why set when it
// is unknown or given twice.
bool take_extra(const std::string& word, Extras* e, std::string* why) {
  bool twice = false;
  if (word == "connected" || word == "simple" || word == "repeats") {
    bool& flag = word == "connected" ? e->connected : word == "simple" ? e->simple : e->repeats;
    twice = flag;
    flag = true;
  } else if (word.starts_with("source=") || word.starts_with("points=")) {
    const std::string*& value = word[0] == 's' ? e->source : e->points;
    twice = value != nullptr;
    value = &word;
  } else {
    *why = "unknown word '" + word +
           "': after the seed come connected, simple or repeats, source=S and points=P";
    return false;
  }
  const size_t equals = word.find('=');
  const std::string named = equals == std::string::npos ? word : word.substr(0, equals + 1);
  if (twice) *why = "'" + named + "' is given twice";
  return !twice;
}

// Reads the words of one line into *plan. Returns false with *why set.
bool parse_test(const std::vector<std::string>& words, TestPlan* plan, std::string* why) {
  if (words.size() < 6) {
    *why = "expected NAME vertices edges min_weight max_weight seed, got " +
           std::to_string(words.size()) + (words.size() == 1 ? " word" : " words");
    return false;
  }
  plan->name = words[0];
  if (*why = check_name(plan->name); !why->empty()) return false;
  Extras e;
  for (size_t i = 6; i < words.size(); ++i) {
    if (!take_extra(words[i], &e, why)) return false;
  }
  if (e.simple && e.repeats) {
    *why = "a test is simple or repeats, not both";
    return false;
  }
  std::vector<std::string> operands(words.begin() + 1, words.begin() + 6);
  if (e.connected) operands.push_back("connected");
  plan->graph.simple = !e.repeats;
  const std::string source = e.source != nullptr ? e.source->substr(7) : "1";
  if (!read_gen_options(operands, &source, &plan->graph, why, kWords)) return false;
  return e.points == nullptr || parse_points_value(e.points->substr(7), &plan->milli_points, why);
}

}  // namespace

bool read_description(const std::string& path, std::string* text, std::string* label,
                      std::string* why) {
  *label = path == "-" ? "<stdin>" : path;
  const int fd = path == "-" ? 0 : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  char chunk[1 << 16];
  ssize_t got = fd < 0 ? -1 : 0;
  while (fd >= 0 && (got = ::read(fd, chunk, sizeof chunk)) != 0) {
    if (got > 0) text->append(chunk, static_cast<size_t>(got));
    if (got < 0 && errno != EINTR) break;
  }
  const int error = got < 0 ? errno : 0;
  if (fd >= 0 && path != "-") ::close(fd);
  if (error != 0) *why = *label + ": " + reason(error);
  return error == 0;
}

bool parse_description(std::string_view text, const std::string& label,
                       std::vector<TestPlan>* plans, std::string* why) {
  std::map<std::string, int64_t> first_line;
  int64_t number = 0;
  for (size_t at = 0; at < text.size(); at = std::min(text.find('\n', at), text.size()) + 1) {
    ++number;
    const std::vector<std::string> words = line_words(text.substr(at, text.find('\n', at) - at));
    if (words.empty()) continue;
    TestPlan plan;
    plan.line = number;
    const std::string where = label + ":" + std::to_string(number) + ": ";
    if (!parse_test(words, &plan, why)) {
      *why = where + *why;
      return false;
    }
    if (auto [it, fresh] = first_line.emplace(plan.name, number); !fresh) {
      *why = where + "test '" + plan.name + "' is described twice, first on line " +
             std::to_string(it->second);
      return false;
    }
    plans->push_back(std::move(plan));
  }
  if (plans->empty()) *why = label + ": no test described";
  return !plans->empty();
}

}  // namespace tarnwick
