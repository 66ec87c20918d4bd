#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz and runs each one for
# SECONDS, one after the other, starting from its committed corpus (copied, so
# that the committed one is not flooded). Exits non-zero on any finding; the
# reproducer is kept under build-fuzz/findings/<target>/.
#
# TARNWICK_FUZZ_TARGETS="fuzz_input" runs only the targets named.
#
# A single allocation above 128 MB counts as a finding: inputs of a few KB must
# not make the judge ask for that much (TARNWICK_FUZZ_MALLOC_LIMIT_MB changes it).
#
#   fuzz/run.sh SECONDS     (without it: the usage line, exit status 1)
set -euo pipefail

usage="Usage: fuzz/run.sh SECONDS"
if [ "${1:-}" = --help ]; then
  echo "$usage"
  exit 0
fi
if [ $# -ne 1 ] || ! [[ $1 =~ ^[0-9]+$ ]]; then
  echo "$usage" >&2
  exit 1
fi
seconds=$1
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-fuzz
targets=(${TARNWICK_FUZZ_TARGETS:-fuzz_input fuzz_judge fuzz_run})

if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DTARNWICK_FUZZ=ON -DTARNWICK_TESTS=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j2 --target "${targets[@]}"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
report=()
for t in "${targets[@]}"; do
  findings=$build/findings/$t
  mkdir -p "$work/$t" "$findings"
  cp "$root/fuzz/corpus/$t/"* "$work/$t/"
  echo "== $t for ${seconds}s"
  set +e
  "$build/fuzz/$t" "$work/$t" -dict="$root/fuzz/tarnwick.dict" -max_total_time="$seconds" \
    -rss_limit_mb=2048 -malloc_limit_mb="${TARNWICK_FUZZ_MALLOC_LIMIT_MB:-128}" -timeout=10 -print_final_stats=1 -artifact_prefix="$findings/" \
    >"$work/$t.log" 2>&1
  rc=$?
  set -e
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$t.log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$work/$t.log")
  if [ "$rc" -ne 0 ]; then
    status=1
    tail -n 40 "$work/$t.log"
    report+=("$t: FINDING (exit $rc), reproducer in $findings/")
  else
    report+=("$t: ${execs:-?} runs, ${rate:-?} exec/s")
  fi
done

echo "== summary"
printf '%s\n' "${report[@]}"
exit "$status"
