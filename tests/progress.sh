#!/usr/bin/env bash
# The progress line, seen from outside: on a pseudo-terminal it shows up
# during a long all-pairs pass and is erased before the verdict; with standard
# error on a file or a pipe it never shows. The tools that run the pass
# (tarnwick-explain, tarnwick-checker) show it the judge's way.
#
#   tests/progress.sh BUILD_DIR
#
# The graph has negative edges, so the judge runs its exact pass, which takes a
# few seconds at the size chosen below. Needs bsdutils (script) and gawk or mawk.
set -uo pipefail

if [ $# -ne 1 ]; then
  echo "Usage: tests/progress.sh BUILD_DIR" >&2
  exit 2
fi
build=$(cd "$1" && pwd) || exit 2
judge=$build/tarnwick
scratch=$(mktemp -d /tmp/tarnwick-progress-XXXXXX)
trap 'rm -rf "$scratch"' EXIT

# shellcheck source=tests/checks.sh
source "$(dirname "$0")/checks.sh"

# shows FILE: prints FILE with its control characters made visible, indented.
shows() { cat -A "$1" | sed 's/^/    /' | head -c 2000; echo; }

# equals ACTUAL EXPECTED: true when they are the same, saying so otherwise.
equals() {
  [ "$1" = "$2" ] && return 0
  printf '    got:      %q\n    expected: %q\n' "$1" "$2"
  return 1
}

# only_warnings FILE: FILE holds nothing but the judge's warnings.
only_warnings() {
  ! grep -v '^tarnwick: .*: warning: ' "$1" >"$scratch/other" && return 0
  shows "$scratch/other"
  return 1
}

# make_graph N: writes a graph of N vertices and 5N edges weighing -5 to 100.
make_graph() {
  if [ -x "$build/tools/tarnwick-gen" ]; then
    "$build/tools/tarnwick-gen" "$1" $(($1 * 5)) -5 100 7
  else
    awk -v n="$1" 'BEGIN {
      srand(7); m = 5 * n; print n, m
      for (e = 0; e < m; e++) print 1 + int(rand() * n), 1 + int(rand() * n), int(rand() * 106) - 5
    }'
  fi
}

milliseconds() { echo $(($(date +%s%N) / 1000000)); }

cr=$'\r'
graph=$scratch/graph.txt
result=$scratch/result.txt
printf '1\n2\n' >"$result"

# The smallest graph whose pass takes two seconds or more here, judged with
# both streams off any terminal: the reference for the rest.
for n in 2000 3000 4500 6500 9000; do
  make_graph $n >"$graph"
  started=$(milliseconds)
  "$judge" "$graph" "$result" 1 >"$scratch/plain.out" 2>"$scratch/plain.err"
  status=$?
  [ $(($(milliseconds) - started)) -ge 2000 ] && break
done
echo "   (a graph of $n vertices)"
check "judged off a terminal" equals "$status" 0
verdict=$(cat "$scratch/plain.out")
check "no progress on a file" only_warnings "$scratch/plain.err"
check "no progress on a pipe" equals "$("$judge" "$graph" "$result" 1 2>&1 | cat)" "$verdict"

# Both streams on one pseudo-terminal, as a person at a terminal sees them.
# The typescript holds exactly the bytes written, with each "\n" as "\r\n".
started=$(milliseconds)
TERM=xterm script -qec "'$judge' '$graph' '$result' 1" /dev/null </dev/null >"$scratch/tty.log"
took=$(($(milliseconds) - started))
screen=$(cat "$scratch/tty.log")
# drawn_then_erased: the screen is one or more drawings of the line, one
# erasure, then the verdict.
drawn_then_erased() {
  local esc=$'\e'
  local drawing="${cr}tarnwick: all-pairs pass [0-9]+% done(, about [0-9]+ (s|min) left)?${esc}\\[K"
  local erase="${cr}${esc}\\[K"
  [[ $screen =~ ^($drawing)+$erase"$verdict"$cr$ ]] && return 0
  shows "$scratch/tty.log"
  return 1
}
if [[ $screen != *"all-pairs pass"* && $took -lt 2000 ]]; then
  echo "skipped - the pass took under 2 s here: too quick for a progress line"
else
  check "progress drawn, then erased, then the verdict" drawn_then_erased
fi

# Standard error on a file while standard output is on the terminal.
TERM=xterm script -qec "'$judge' '$graph' '$result' 1 2>'$scratch/err.txt'" /dev/null \
  </dev/null >"$scratch/tty2.log"
check "standard error on a file gets no progress" only_warnings "$scratch/err.txt"
check "the terminal gets only the verdict" equals "$(cat "$scratch/tty2.log")" "$verdict$cr"

# erased_before_output LOG: the log opens with drawings of the line and one
# erasure, and the line is not drawn again after it.
erased_before_output() {
  local esc=$'\e'
  local drawing="${cr}tarnwick: all-pairs pass [0-9]+% done(, about [0-9]+ (s|min) left)?${esc}\\[K"
  local text
  text=$(cat "$1")
  local after=
  [[ $text =~ ^($drawing)+$cr$esc\[K(.*)$ ]] && after=${BASH_REMATCH[4]}
  [[ -n $after && ! $after =~ "all-pairs pass "[0-9] ]] && return 0
  shows "$1"
  return 1
}
input=$scratch/test.in
{ cat "$graph"; echo 1; } >"$input"
: >"$scratch/empty.ans"
for tool in "tools/tarnwick-explain '$graph' '$result' 1" \
            "tools/tarnwick-checker --testlib '$input' '$result' '$scratch/empty.ans'"; do
  [[ $screen == *"all-pairs pass"* ]] || break  # too quick here for a progress line
  TERM=xterm script -qec "'$build/'$tool" /dev/null </dev/null >"$scratch/tool.log"
  check "${tool%% *}: progress drawn, then erased, before its output" \
    erased_before_output "$scratch/tool.log"
done

summary progress
