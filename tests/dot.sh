#!/usr/bin/env bash
# Checks that Graphviz's dot renders what tarnwick-explain --dot writes, for the
# bundled examples, for a graph with ids outside it and a missing edge, and for
# the neighbourhood of a line of 10,000 steps around a self-loop in a graph of
# 500 vertices (each distinct step drawn once).
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
# A path of 500 vertices with a self-loop on 1; line 3 walks the loop 10,000 times.
awk 'BEGIN { print "500 500"; for (i = 1; i < 500; i++) print i, i + 1, 3; print "1 1 2" }' \
  >"$scratch/path.txt"
awk 'BEGIN { for (k = 1; k <= 500; k++) { if (k != 3) { print k; continue }
  s = ""; for (i = 0; i < 10000; i++) s = s "1 "; print s "3" } }' >"$scratch/loop.txt"
failed=0
# renders GRAPH RESULT SOURCE [LINE]: the picture comes out as SVG without a word on stderr.
renders() {
  "$explain" --dot "$@" >"$scratch/in.dot" || return 1
  dot -Tsvg "$scratch/in.dot" >"$scratch/out.svg" 2>"$scratch/dot.err" || return 1
  [ ! -s "$scratch/dot.err" ] && grep -q '<svg' "$scratch/out.svg"
}
for args in "$examples/graph.txt $examples/result-wrong.txt 1" \
  "$examples/graph.txt $examples/result-right.txt 1" \
  "$scratch/graph.txt $scratch/result.txt 1" "$scratch/graph.txt $scratch/result.txt 9 3" \
  "$scratch/path.txt $scratch/loop.txt 1"; do
  # shellcheck disable=SC2086
  if renders $args; then echo "ok - dot renders: $args"; else
    echo "FAILED - dot renders: $args"; cat "$scratch/dot.err" 2>/dev/null; failed=1
  fi
done
# The neighbourhood only: the source, the line's vertex and the path between.
if [ "$(grep -c -- '->' "$scratch/in.dot")" -le 8 ] && grep -q 'label="1: 2 (x10000)"' "$scratch/in.dot"; then
  echo "ok - a long line's repeated step is drawn once, with its count"
else
  echo "FAILED - a long line's repeated step is drawn once, with its count"; failed=1
fi
exit $failed
