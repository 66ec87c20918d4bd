#!/usr/bin/env bash
# Draws end-to-end time against graph file size, this judge against the
# baseline, from the lines load_bench --plot writes. Optional: needs gnuplot
# (Debian package gnuplot-nox), which nothing else needs.
#
#   bench/plot.sh DATA OUT.png
set -euo pipefail
data=${1:?usage: bench/plot.sh DATA OUT.png}
out=${2:?usage: bench/plot.sh DATA OUT.png}
command -v gnuplot >/dev/null || { echo "plot.sh: gnuplot is not installed" >&2; exit 2; }
gnuplot <<GP
set terminal pngcairo size 720,440 noenhanced
set output "$out"
set title "Whole run against graph file size (best of runs)"
set xlabel "graph file (MB)"
set ylabel "seconds"
set key left top
set grid
plot "$data" using 1:2 with linespoints title "tarnwick", \
     "$data" using 1:(\$3 > 0 ? \$3 : 1/0) with linespoints title "baseline"
GP
echo "plot.sh: wrote $out"
