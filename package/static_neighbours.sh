#!/usr/bin/env bash
# With a static build (TARNWICK_STATIC), tarnwick-package takes the static
# executables beside it: a CMS task and a Gradescope zip made with no
# --static-dir carry exactly those files.
#
#   package/static_neighbours.sh TARNWICK_PACKAGE TARNWICK_TESTSET DESCRIPTION
set -eu
package=$1 testset=$2 description=$3
scratch=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-static-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
tools=$(dirname "$package")
"$testset" "$description" "$scratch/data" >/dev/null
"$package" --system=cms "$scratch/data" "$scratch/paths"
cmp "$scratch/paths/check/checker" "$tools/tarnwick-checker-cms"
"$scratch/paths/check/checker" "$scratch/data/1.in" "$scratch/data/1.ans" "$scratch/data/1.ans" \
  > "$scratch/score" 2>/dev/null
[ "$(cat "$scratch/score")" = 1.0 ] || { echo "check/checker did not score 1.0"; exit 1; }
"$package" --system=gradescope "$scratch/data" "$scratch/autograder.zip"
echo "the CMS task and the Gradescope zip carry the static executables beside tarnwick-package"
