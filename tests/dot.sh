#!/usr/bin/env bash
# Checks that Graphviz's dot renders what tarnwick-explain --dot writes, for the
# bundled examples and for a graph with ids outside it and a missing edge.
# Exits 77 (skipped) when dot is not installed.
#
#   bash tests/dot.sh EXPLAIN EXAMPLES_DIR
set -uo pipefail
explain=$1 examples=$2
command -v dot >/dev/null || { echo "skipped - dot (graphviz) is not installed"; exit 77; }
scratch=$(mktemp -d /tmp/tarnwick-dot-XXXXXX)
trap 'rm -rf "$scratch"' EXIT
printf '4 3\n1 2 4\n2 3 1\n0 4 2\n' >"$scratch/graph.txt"
printf '1\n9 10010 2\n2 4\n' >"$scratch/result.txt"
failed=0
# renders GRAPH RESULT SOURCE [LINE]: the picture comes out as SVG without a word on stderr.
renders() {
  "$explain" --dot "$@" >"$scratch/in.dot" || return 1
  dot -Tsvg "$scratch/in.dot" >"$scratch/out.svg" 2>"$scratch/dot.err" || return 1
  [ ! -s "$scratch/dot.err" ] && grep -q '<svg' "$scratch/out.svg"
}
for args in "$examples/graph.txt $examples/result-wrong.txt 1" \
  "$examples/graph.txt $examples/result-right.txt 1" \
  "$scratch/graph.txt $scratch/result.txt 1" "$scratch/graph.txt $scratch/result.txt 9 3"; do
  # shellcheck disable=SC2086
  if renders $args; then echo "ok - dot renders: $args"; else
    echo "FAILED - dot renders: $args"; cat "$scratch/dot.err" 2>/dev/null; failed=1
  fi
done
exit $failed
