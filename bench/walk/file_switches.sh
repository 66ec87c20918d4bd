#!/bin/sh
# Counts the file switches of two runs read as code (call_walk.py): a wrong
# answer through `tarnwick-checker --kattis`, and `tarnwick-grade --testset
# --format=html` on two tests and two submissions (one wrong). Builds the
# tree given (default: this one) with -finstrument-functions into a scratch
# folder, removed at the end.
# Usage: bench/walk/file_switches.sh [SOURCE_TREE] [--skip FOLDERS] [-v]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
tree=$(cd "${1:-$here/../..}" && pwd)
[ $# -gt 0 ] && shift
scratch=$(mktemp -d "${TMPDIR:-/tmp}/file-switches.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
cc -O2 -c "$here/call_trace.c" -o "$scratch/call_trace.o"
cmake -S "$tree" -B "$scratch/build" -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS="-O0 -g -fno-pie -finstrument-functions -finstrument-functions-exclude-file-list=/usr/include" \
  -DCMAKE_EXE_LINKER_FLAGS="-no-pie $scratch/call_trace.o" >/dev/null
cmake --build "$scratch/build" -j"$(nproc)" --target tarnwick-checker tarnwick-grade tarnwick-gen tarnwick-solve >/dev/null
t="$scratch/build/tools" && s="$scratch/run" && mkdir -p "$s/data" "$s/ada" "$s/bob" "$s/feedback"
# One test: a path that takes a step with no edge at line 5.
"$t/tarnwick-gen" --simple --source 1 30 60 1 50 7 connected >"$s/t.in"
"$t/tarnwick-solve" "$s/t.in" >"$s/t.ans"
awk 'NR == 5 { $0 = $0 " 3" } 1' "$s/t.ans" >"$s/t.out"
for i in 1 2; do
  "$t/tarnwick-gen" --simple --source 2 20 40 1 30 "$i" connected >"$s/data/t$i.in"
  "$t/tarnwick-solve" "$s/data/t$i.in" >"$s/ada/t$i.out"
  awk 'NR == 3 { $0 = $0 " 1" } 1' "$s/ada/t$i.out" >"$s/bob/t$i.out"
done
TRACE_OUT="$s/checker.trace" "$t/tarnwick-checker" --kattis "$s/t.in" "$s/t.ans" "$s/feedback" <"$s/t.out" || true
TRACE_OUT="$s/grade.trace" "$t/tarnwick-grade" --testset "$s/data" --format=html "$s/ada" "$s/bob" >/dev/null 2>&1
printf 'tarnwick-checker --kattis, a wrong answer: '
python3 "$here/call_walk.py" "$t/tarnwick-checker" "$s/checker.trace" "$tree" "$@"
printf 'tarnwick-grade --testset --format=html: '
python3 "$here/call_walk.py" "$t/tarnwick-grade" "$s/grade.trace" "$tree" "$@"
