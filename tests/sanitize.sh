#!/usr/bin/env bash
# Builds the whole test suite with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer into build-asan and runs it there. Any sanitizer
# report fails the run: the judge binary the golden tests start is built the
# same way, and a report from it breaks their expected output.
#
#   tests/sanitize.sh
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-asan

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTARNWICK_SANITIZE=address,undefined >/dev/null
cmake --build "$build" -j2
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$build" --output-on-failure -j2
