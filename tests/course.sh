#!/usr/bin/env bash
# A whole course end to end: tarnwick-testset writes ten tests (with points)
# from a description, twenty submission folders hold C++ and Python sources
# (right, wrong, slow, looping, crashing half-way, memory-hungry, forking
# without end, writing forever, not compiling, raising, and a right one with
# an extra empty line at the end), and ONE tarnwick-grade call builds, runs
# and grades them all under limits (--format=jsonl), each record checked
# against the verdict expected of its folder and test. The same class is then
# graded in every other format (text, csv, gradescope for each folder, junit,
# html), each checked for the same verdicts, and the class report is read back
# from headless Chromium.
#
#   bash tests/course.sh GRADE TESTSET SOURCE_DIR
#
# Exits 1 when a check fails, else 77 (skipped) when a check could not be
# done on this machine (each says why), else 0.
set -uo pipefail
grade=$1 testset=$2 source_dir=$3
command -v g++ >/dev/null || { echo "skipped - no g++ to build the C++ submissions"; exit 77; }
scratch=$(mktemp -d /tmp/tarnwick-course-XXXXXX)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" || exit 1

failed=0 skipped=()
# check NAME CONDITION...: prints ok or FAILED for the test command.
check() {
  local name=$1; shift
  if "$@"; then echo "ok - $name"; else echo "FAILED - $name"; failed=1; fi
}
# skip WHAT WHY: a check this machine cannot do.
skip() { echo "skipped - $1: $2"; skipped+=("$1"); }

# The tests: 1 to 7 small, 8 to 10 of 1000 vertices (where cubic time fails),
# three of them from another source than 1; 20 points in all.
cat >tests.txt <<'EOF'
# NAME vertices edges min_weight max_weight seed [connected] [source=S] [points=P]
1 6 9 1 20 101 connected points=1
2 30 80 1 100 102 connected points=1
3 30 80 1 100 103 connected source=7 points=1
4 100 400 1 1000 104 connected points=1
5 200 800 1 1000 105 connected source=150 points=2
6 200 1000 0 50 106 connected points=2
7 300 1500 1 1000000 107 connected points=2
8 1000 4000 1 1000 108 connected points=3
9 1000 4000 1 1000 109 connected source=500 points=3
10 1000 5000 1 100 110 connected points=4
EOF
"$testset" tests.txt data >testset.out 2>&1
check 'tarnwick-testset writes the ten tests and their points' \
  grep -qx 'data: 10 tests, 20 points, 10 model answers; validate.txt: 0 errors, 0 warnings' testset.out
chmod 700 data  # the tests' answers out of the runs' reach (README: a uid a run)
tests=(1 2 3 4 5 6 7 8 9 10)
declare -A n=() src=()
for t in "${tests[@]}"; do
  read -r _ n[$t] _ _ _ _ rest < <(grep "^$t " tests.txt)
  [[ $rest =~ source=([0-9]+) ]] && src[$t]=${BASH_REMATCH[1]} || src[$t]=1
done

# ---- The submissions, each a folder holding sol.cpp or sol.py.
dijkstra=$source_dir/examples/programs/dijkstra.cc
# cpp NAME [SED_SCRIPT]: a C++ folder holding the example Dijkstra, edited by SED_SCRIPT.
cpp() { mkdir -p "subs/$1" && sed -e "${2:-}" "$dijkstra" >"subs/$1/sol.cpp"; }
# put NAME FILE: a folder holding FILE, its text from standard input.
put() { mkdir -p "subs/$1" && cat >"subs/$1/$2"; }
declare -A expect=()
# expect NAME VERDICT [TEST=VERDICT...]: what each test of NAME's folder should get.
expect() {
  local name=$1 all=$2 t; shift 2
  for t in "${tests[@]}"; do expect[$name/$t]=$all; done
  for t in "$@"; do expect[$name/${t%%=*}]=${t#*=}; done
}
# expect_line NAME D: each test's wrong answer at line n + D, from its source.
expect_line() {
  local t
  for t in "${tests[@]}"; do expect[$1/$t]="Wrong answer in path ${src[$t]} to $((n[$t] + $2))"; done
}

cpp dijkstra;                                             expect dijkstra Success
cpp source-in-front 's/if (k == s) path.push_back(s);.*/path.push_back(s);/'
expect source-in-front Success
mkdir -p subs/fewest-edges
cp "$source_dir/examples/kattis/shortestpaths/submissions/wrong_answer/fewest_edges.cc" \
  subs/fewest-edges/sol.cpp;                              expect fewest-edges 'Wrong answer in path *'
cpp off-by-one 's/k <= n; ++k/k < n; ++k/'                # stops before line n
expect_line off-by-one 0
cpp empty-line '$i\  std::cout << '"'\\\\n'"';  // one line end too many'
expect_line empty-line 1
cpp no-pop '/queue.pop();/d';                             expect no-pop 'Time limit exceeded'
cpp crash 's/for (int k = 1; k <= n; ++k) {/&\n    if (k > n \/ 2) std::cout << std::flush, *(volatile int*)nullptr = k;/'
expect crash 'Run-time error: killed by signal 11 (SIGSEGV)'
cpp returns-1 '$i\  return 1;';                          expect returns-1 'Run-time error: exit status 1'
cpp writes-forever '$i\  for (;;) std::cout << s << '"'\\\\n'"';'
expect writes-forever 'Output limit exceeded'
cpp syntax 's/std::cin >> s;/std::cin >> s/';             expect syntax 'Compile error'
put floyd sol.cpp <<'EOF'
// Floyd and Warshall's all pairs: right, but cubic time.
#include <cstdint>
#include <cstdio>
#include <vector>
int main() {
  int n, m, s;
  if (scanf("%d %d", &n, &m) != 2) return 1;
  const int64_t far = INT64_MAX / 4;
  std::vector<int64_t> d((n + 1) * (n + 1), far);
  std::vector<int> next((n + 1) * (n + 1), 0);
  for (int i = 1; i <= n; ++i) d[i * (n + 1) + i] = 0, next[i * (n + 1) + i] = i;
  for (int e = 0, u, v, w; e < m && scanf("%d %d %d", &u, &v, &w) == 3; ++e) {
    d[u * (n + 1) + v] = d[v * (n + 1) + u] = w;
    next[u * (n + 1) + v] = v, next[v * (n + 1) + u] = u;
  }
  if (scanf("%d", &s) != 1) return 1;
  // n^3 steps no compiler folds or vectorizes: well past the time limit at
  // n = 1000, well inside it at n = 300, whatever the loops below cost.
  volatile int64_t spin = 0;
  for (int64_t t = 0; t < int64_t{n} * n * n; ++t) spin = spin + 1;
  for (int k = 1; k <= n; ++k)
    for (int i = 1; i <= n; ++i)
      for (int j = 1; j <= n; ++j)
        if (d[i * (n + 1) + k] + d[k * (n + 1) + j] < d[i * (n + 1) + j])
          d[i * (n + 1) + j] = d[i * (n + 1) + k] + d[k * (n + 1) + j],
          next[i * (n + 1) + j] = next[i * (n + 1) + k];
  for (int k = 1; k <= n; ++k) {
    printf("%d", s);
    for (int v = s; v != k; printf(" %d", v = next[v * (n + 1) + k])) {}
    printf("\n");
  }
}
EOF
expect floyd Success 8='Time limit exceeded' 9='Time limit exceeded' 10='Time limit exceeded'
put hog sol.cpp <<'EOF'
// Keeps every path it ever made: a mebibyte more each round, touched, without end.
#include <vector>
int main() {
  std::vector<std::vector<char>> kept;
  for (;;) kept.emplace_back(1 << 20, 1);
}
EOF
expect hog 'Memory limit exceeded'
if [ "$(id -u)" = 0 ]; then
  put fork-bomb sol.cpp <<'EOF'
// Forks without end: held by the process limit of its run's own uid.
#include <unistd.h>
int main() { for (;;) fork(); }
EOF
  expect fork-bomb 'Time limit exceeded'
else
  skip 'the fork-bomb folder' 'not root: a run has no uid of its own, so no process limit holds a fork bomb'
fi

python=/usr/bin/python3  # what the sandbox's PATH finds, whatever this shell's PATH says
if [ -x "$python" ]; then
  put py-dijkstra sol.py <<'EOF'
#!/usr/bin/env python3
"""Dijkstra's algorithm with a heap; each path from the source written from the parents."""
import heapq, sys
data = sys.stdin.read().split()
n, m = int(data[0]), int(data[1])
adj = [[] for _ in range(n + 1)]
for i in range(m):
    u, v, w = (int(x) for x in data[2 + 3 * i:5 + 3 * i])
    adj[u].append((v, w))
    adj[v].append((u, w))
s = int(data[2 + 3 * m])
dist, parent = [None] * (n + 1), [0] * (n + 1)
dist[s], heap = 0, [(0, s)]
while heap:
    d, u = heapq.heappop(heap)
    if d != dist[u]:
        continue
    for v, w in adj[u]:
        if dist[v] is None or d + w < dist[v]:
            dist[v], parent[v] = d + w, u
            heapq.heappush(heap, (d + w, v))
lines = []
for k in range(1, n + 1):
    path = [k]
    while path[-1] != s:
        path.append(parent[path[-1]])
    lines.append(" ".join(map(str, reversed(path))))
print("\n".join(lines))
EOF
  expect py-dijkstra Success
  put py-empty-line sol.py < <(sed 's/^print("\\n".join(lines))$/print("\\n".join(lines) + "\\n")/' subs/py-dijkstra/sol.py)
  expect_line py-empty-line 1
  put py-off-by-one sol.py < <(sed 's/^for k in range(1, n + 1):$/for k in range(1, n):/' subs/py-dijkstra/sol.py)
  expect_line py-off-by-one 0
  put py-distances sol.py < <(sed 's/^    lines.append(.*/    lines.append(str(dist[k]))/' subs/py-dijkstra/sol.py)
  expect py-distances 'Wrong answer in path *'
  # Half-way through, a vertex past the end of the parents: IndexError.
  put py-raises sol.py < <(sed 's/^    path = \[k\]$/    path = [k if k <= n \/\/ 2 else n + k]\n    print(k, flush=True)/' subs/py-dijkstra/sol.py)
  expect py-raises 'Run-time error: exit status 1'
  put py-syntax sol.py < <(sed 's/^    if d != dist\[u\]:$/    if d != dist[u]/' subs/py-dijkstra/sol.py)
  expect py-syntax 'Compile error'
  put py-fewest-edges sol.py <<'EOF'
#!/usr/bin/env python3
"""A breadth-first search: the paths of fewest edges, whatever they weigh."""
import sys
from collections import deque
data = list(map(int, sys.stdin.read().split()))
n, m = data[0], data[1]
adj = [[] for _ in range(n + 1)]
for i in range(m):
    adj[data[2 + 3 * i]].append(data[3 + 3 * i])
    adj[data[3 + 3 * i]].append(data[2 + 3 * i])
s = data[2 + 3 * m]
parent, queue = {s: 0}, deque([s])
while queue:
    u = queue.popleft()
    for v in adj[u]:
        if v not in parent:
            parent[v] = u
            queue.append(v)
for k in range(1, n + 1):
    path = [k]
    while path[-1] != s:
        path.append(parent[path[-1]])
    print(*reversed(path))
EOF
  expect py-fewest-edges 'Wrong answer in path *'
else
  skip 'the Python folders' "no $python, which the runs' sandbox would find on its PATH"
fi
# ---- One call: every folder built, run on every test and graded.
limits=(--time 0.5 --memory 64M --output-limit 1M --processes 16)
build='if [ -f sol.cpp ]; then g++ -O2 -o sol sol.cpp; else python3 -m py_compile sol.py && cp sol.py sol && chmod +x sol; fi'
folders=(subs/*)
# grade_class ARGS...: the class graded with ARGS, its records on standard output.
grade_class() {
  "$grade" --testset data --build "$build" --run ./sol "${limits[@]}" "$@"
}
start=$SECONDS
grade_class --format=jsonl "${folders[@]}" >class.jsonl 2>class.err
status=$?
check "one call grades ${#folders[@]} folders x 10 tests (exit status $status, $((SECONDS - start)) s)" \
  test "$status" = 0

declare -A missing=()
# verdicts_match NAME FILE FOLDER...: FILE holds a "FOLDER<tab>TEST<tab>VERDICT"
# line for each test of each FOLDER given, once, as expected (in the table
# named by $want, expect by default), and nothing else.
verdicts_match() {
  local name=$1 file=$2 folder t v bad=0 count=0 key; shift 2
  local -A seen=()
  local -n table=${want:-expect}
  while IFS=$'\t' read -r folder t v; do
    key=${folder#subs/}/$t
    if [[ -n ${seen[$key]+x} || -z ${table[$key]+x} || $v != ${table[$key]} ]]; then
      echo "  $key: '$v', expected '${table[$key]-no record}'"; bad=1
    fi
    seen[$key]=1 count=$((count + 1))
  done <"$file"
  check "$name: the ${#tests[@]} verdicts of $# folders as expected ($count records)" \
    test "$bad$count" = "0$(($# * ${#tests[@]}))"
}
sed -E 's/^\{"submission":"([^"]*)","test":"([^"]*)","path":"[^"]*","verdict":"([^"]*)".*/\1\t\2\t\3/;t;d' \
  class.jsonl >jsonl.tsv
verdicts_match jsonl jsonl.tsv "${folders[@]}"
check 'jsonl: each right solution with an extra empty line is told so' \
  test "$(grep -c '"note":"the file ends with an empty line: line [0-9]* is judged"' class.jsonl)" = \
       "$(grep -c 'Wrong answer in path [0-9]* to [0-9]*","line":[0-9]*,.*empty line' class.jsonl)"
check 'jsonl: the compilers say why (errors kept)' \
  eval '! grep "\"verdict\":\"Compile error\"" class.jsonl | grep -qv "\"step\":\"build\".*\"errors\":\"[^\"]"'
total() { grep -c "\"submission\":\"$1\",\"passed\":$2,\"tests\":10,\"points\":$3," class.jsonl; }
check 'jsonl: the standings of the right and the slow' eval \
  '[ "$(total subs/dijkstra 10 20)$(total subs/floyd 7 10)" = 11 ]'

# ---- The other formats. tarnwick-grade writes one format a call, and each
# call builds and runs its folders again (about 20 s of CPU for the class),
# so these grade a slice of the class that costs little: the Python folders,
# the C++ syntax error; the class report grades them all.
slice=(subs/py-* subs/syntax)
[ -e "${slice[0]}" ] || slice=("${slice[@]:1}")
grade_class --format=text "${slice[@]}" >class.txt 2>/dev/null
awk -F'\t' '$2 ~ /^[0-9]+$/ {print $1 FS $2 FS $3}' class.txt >text.tsv
verdicts_match text text.tsv "${slice[@]}"
grade_class --format=csv "${slice[@]}" >class.csv 2>/dev/null
check 'csv: its header' grep -qx 'submission,test,path,verdict,line,judged,points,path_bytes,note,cpu_seconds,wall_seconds,peak_memory_bytes' class.csv
check 'csv: no field quoted (so a comma splits it)' eval '! grep -q "\"" class.csv'
awk -F, 'NR > 1 && $2 != "" {print $1 FS $2 FS $4}' OFS='\t' class.csv | tr , '\t' >csv.tsv
verdicts_match csv csv.tsv "${slice[@]}"
grade_class --format=junit "${slice[@]}" >class.xml 2>/dev/null
if command -v xmllint >/dev/null; then check 'junit: well-formed XML' xmllint --noout class.xml
else skip 'the JUnit XML parse' 'no xmllint (libxml2-utils)'; fi
# A testcase without a failure passed; one with a failure has the verdict as its message.
sed -nE -e 's/^ *<testcase classname="([^"]*)" name="([^"]*)"( time="[^"]*")?(\/?)>$/T\t\1\t\2\t\4/p' \
  -e 's/^ *<(failure|error) message="([^"]*)".*/F\t\2/p' class.xml |
  awk -F'\t' '$1 == "T" && $4 == "/" {print $2 FS $3 FS "Success"} $1 == "T" {c = $2 FS $3}
               $1 == "F" {print c FS $2}' >junit.tsv
verdicts_match junit junit.tsv "${slice[@]}"
if command -v python3 >/dev/null; then
  : >gradescope.tsv
  for folder in "${slice[@]}"; do
    grade_class --format=gradescope "$folder" >results.json 2>/dev/null
    python3 -m json.tool results.json >/dev/null || echo "  $folder: results.json does not parse"
    # Each test's output begins with the verdict, then a program's figures.
    python3 - "$folder" >>gradescope.tsv <<'PY' || echo "  $1: unreadable results"
import json, re, sys
for t in json.load(open("results.json"))["tests"]:
    v = re.sub(r" \((exit status \d+|[^()]* s of CPU[^()]*)\)$", "", t["output"].split("\n")[0])
    ok = (t["status"] == "passed") == (v == "Success") == (t["score"] == t["max_score"])
    print(sys.argv[1], t["name"], v if ok else "status " + t["status"], sep="\t")
PY
  done
  verdicts_match gradescope gradescope.tsv "${slice[@]}"
else
  skip 'the Gradescope results' 'no python3 to parse them (python3 -m json.tool)'
fi

# ---- The class report: every folder, read back from headless Chromium.
grade_class --format=html "${folders[@]}" >report.html 2>/dev/null
browser=$(command -v chromium || command -v chromium-browser) || browser=
if [ -z "$browser" ]; then
  skip 'the class report in a browser' 'chromium is not installed'
else
  # The page's own script has run; its students' table, a row a line, replaces it.
  { sed '/<\/body>/,$d' report.html
    echo '<script>{ const pre = document.createElement("pre");'
    echo 'pre.textContent = [...students.rows].map(tr => [...tr.cells].map(c =>'
    echo '  (c.querySelector("summary") ?? c).textContent).join("\t")).join("\n");'
    echo 'document.body.replaceChildren(pre); }</script></body></html>'; } >probe.html
  timeout 120 "$browser" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --host-resolver-rules='MAP * ~NOTFOUND' --user-data-dir="$(mktemp -d "$scratch/profile-XXXXXX")" \
    --dump-dom "file://$scratch/probe.html" 2>browser.err |
    sed -e 's/<[^>]*>//g' -e 's/&lt;/</g' -e 's/&gt;/>/g' -e 's/&quot;/"/g' -e 's/&amp;/\&/g' >table.txt
  # A row: the folder, tests passed, points, then each test's cell.
  for folder in "${folders[@]}"; do
    row=$(grep -m1 "^$folder"$'\t' table.txt)
    read -ra cells <<<"$(cut -f4- <<<"$row" | tr '\t' '\n' | sed 's/ /_/g' | tr '\n' ' ')"
    for i in "${!tests[@]}"; do printf '%s\t%s\t%s\n' "$folder" "${tests[$i]}" "${cells[$i]//_/ }"; done
  done >html.tsv
  # A cell tells a verdict in a word or two: passed, line K or no line K (a
  # wrong answer at line K, or the file ended before it), time limit, ...
  declare -A cell=()
  for key in "${!expect[@]}"; do
    v=${expect[$key]%%:*}
    case $v in
      Success) cell[$key]=passed ;;
      Wrong*) cell[$key]="*line ${v##* }" ;;
      *) v=${v% exceeded}; cell[$key]=${v,,} ;;
    esac
  done
  want=cell verdicts_match 'html in Chromium' html.tsv "${folders[@]}"
fi

[ $failed = 0 ] || exit 1
[ ${#skipped[@]} = 0 ] || { printf 'skipped: %s\n' "${skipped[*]}"; exit 77; }
