#!/usr/bin/env bash
# Packs a built tree as a Debian package and installs it two ways, checking
# that what lands is a working judge with its manual pages:
#   - the .deb: its control fields, its file list, `dpkg --dry-run -i` (as
#     root), and its contents unpacked with `dpkg -x` and run from there;
#   - `cmake --install` into a scratch prefix.
#
#   tests/package.sh BUILD_DIR
#
# Needs cmake (cpack), dpkg-dev, man-db and groff-base. Exits non-zero when a
# check fails; the build folder is left as it was.
set -uo pipefail

if [ $# -ne 1 ]; then
  echo "Usage: tests/package.sh BUILD_DIR" >&2
  exit 2
fi
build=$(cd "$1" && pwd) || exit 2
source_dir=$(cd "$(dirname "$0")/.." && pwd)
scratch=$(mktemp -d /tmp/tarnwick-package-XXXXXX)
trap 'rm -rf "$scratch"' EXIT

# shellcheck source=tests/checks.sh
source "$(dirname "$0")/checks.sh"

# equals ACTUAL EXPECTED: true when they are the same, saying so otherwise.
equals() {
  [ "$1" = "$2" ] && return 0
  printf '    got:      %s\n    expected: %s\n' "$1" "$2"
  return 1
}

# judges ROOT: the judge under ROOT gives the verdicts the bundled examples call for.
judges() {
  local bin=$1/bin/tarnwick examples=$1/share/doc/tarnwick/examples
  equals "$("$bin" "$examples/graph.txt" "$examples/result-right.txt" 1)" "Success" &&
    equals "$("$bin" "$examples/graph.txt" "$examples/result-wrong.txt" 1)" \
      "Wrong answer in path 1 to 3"
}

# tools_agree ROOT: the model answer of ROOT's solver for a generated graph passes ROOT's judge.
tools_agree() {
  local bin=$1/bin
  "$bin/tarnwick-gen" 200 800 0 50 11 connected >"$scratch/gen.txt" &&
    "$bin/tarnwick-solve" "$scratch/gen.txt" 1 >"$scratch/answer.txt" &&
    equals "$("$bin/tarnwick" "$scratch/gen.txt" "$scratch/answer.txt" 1)" "Success"
}

# grades_and_checks ROOT: ROOT's grader and checker give the judge's verdicts on the examples.
grades_and_checks() {
  local bin=$1/bin examples=$1/share/doc/tarnwick/examples
  equals "$("$bin/tarnwick-grade" "$examples/graph.txt" 1 "$examples/result-wrong.txt" 2>/dev/null)" \
    "$examples/result-wrong.txt	Wrong answer in path 1 to 3" || return 1
  mkdir -p "$scratch/feedback"
  "$bin/tarnwick-checker" --kattis "$examples/graph.txt" "$examples/result-right.txt" \
    "$scratch/feedback" --source 1 <"$examples/result-wrong.txt"
  equals "$?" 43 && equals "$(head -n 1 "$scratch/feedback/teammessage.txt")" "Wrong answer in path 1 to 3"
}

# writes_tests ROOT: ROOT's tarnwick-testset writes the bundled class's tests,
# which ROOT's validator passes as a problem package's inputs and whose model
# answers ROOT's judge accepts, and ROOT's package maker makes a Kattis package of.
writes_tests() {
  local bin=$1/bin examples=$1/share/doc/tarnwick/examples data=$scratch/data-${1//\//_}
  quietly "$bin/tarnwick-testset" "$examples/class-tests.txt" "$data" || return 1
  "$bin/tarnwick-validate" --kattis --strict <"$data/3.in" >/dev/null
  equals "$?" 42 && equals "$("$bin/tarnwick" "$data/3.in" "$data/3.ans" 1)" "Success" || return 1
  # The installed package maker carries its single-file sources: no source tree needed.
  # (The package's name is its folder's: lower-case letters and digits.)
  mkdir -p "$data-pk" &&
    quietly "$bin/tarnwick-package" --system=kattis "$data" "$data-pk/paths" &&
    grep -q '^#define TARNWICK_DEFAULT_SYSTEM "kattis"' \
      "$data-pk/paths/output_validators/tarnwick/tarnwick-checker-kattis.cc"
}

# instructs ROOT: ROOT's validator passes the bundled graph and its explainer
# starts with the judge's verdict on the wrong example.
instructs() {
  local bin=$1/bin examples=$1/share/doc/tarnwick/examples
  "$bin/tarnwick-validate" --simple --connected "$examples/graph.txt" >/dev/null &&
    equals "$("$bin/tarnwick-explain" "$examples/graph.txt" "$examples/result-wrong.txt" 1 |
      head -n 1)" "Wrong answer in path 1 to 3"
}

# renders PAGE TEXT: man shows PAGE without a roff warning, with TEXT in it
# (runs of spaces count as one).
renders() {
  local out err
  out=$(MANWIDTH=80 MANROFFOPT=-ww man -l "$1" 2>"$scratch/man.err") || return 1
  err=$(cat "$scratch/man.err")
  out=$(tr -s ' ' <<<"$out")
  equals "$err" "" && [[ $out == *"$2"* ]]
}

# quietly COMMAND...: runs the command, showing its output only when it fails.
quietly() {
  "$@" >"$scratch/quiet.log" 2>&1 && return 0
  sed 's/^/    /' "$scratch/quiet.log"
  return 1
}

# debian_copyright FILE: FILE is a machine-readable Debian copyright file
# (DEP-5) giving LICENSE's copyright line and its terms, as Expat.
debian_copyright() {
  local license=$source_dir/LICENSE terms
  # The text after the last "License: Expat" line, continuation marks removed.
  terms=$(awk '/^License: Expat$/ { text = ""; on = 1; next } on { text = text $0 "\n" }
    END { printf "%s", text }' "$1" | sed 's/^ //; s/^\.$//')
  equals "$(head -n 1 "$1")" \
    "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" &&
    grep -qx 'Files: \*' "$1" &&
    equals "$(sed -n 's/^Copyright: //p' "$1")" "$(sed -n 's/^Copyright (c) //p' "$license")" &&
    equals "$terms" "$(sed -n '/^Permission is hereby granted/,$p' "$license")"
}

# readme_pictures DOCDIR: every picture that DOCDIR/README.md shows (a link
# "![...](PATH)" to a file of its own) is installed at PATH in DOCDIR.
readme_pictures() {
  local missing=0 shown=0 picture
  while read -r picture; do
    shown=$((shown + 1))
    [ -f "$1/$picture" ] || { echo "    missing: $picture"; missing=1; }
  done < <(grep -o '!\[[^]]*\]([^)]*)' "$1/README.md" | sed 's/.*](\(.*\))$/\1/' | grep -v '://')
  [ "$shown" -gt 0 ] || { echo "    no picture found in $1/README.md"; missing=1; }
  return $missing
}

# readme_examples DOCDIR: every file of examples/ that DOCDIR/README.md names
# (the README's commands copy them) is installed beside it.
readme_examples() {
  local missing=0 named
  while read -r named; do
    [ -f "$source_dir/$named" ] || continue
    [ -f "$1/$named" ] || { echo "    missing: $named"; missing=1; }
  done < <(grep -o 'examples/[A-Za-z0-9_./-]*[A-Za-z0-9_]' "$1/README.md" | sort -u)
  return $missing
}

# has_files ROOT PATH...: every PATH exists under ROOT.
has_files() {
  local root=$1 missing=0
  shift
  for f in "$@"; do
    [ -e "$root/$f" ] || { echo "    missing: $f"; missing=1; }
  done
  return $missing
}

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
tools_built=0
[ -x "$build/tools/tarnwick-gen" ] && [ -x "$build/tools/tarnwick-solve" ] &&
  [ -x "$build/tools/tarnwick-grade" ] && [ -x "$build/tools/tarnwick-checker" ] &&
  [ -x "$build/tools/tarnwick-validate" ] && [ -x "$build/tools/tarnwick-explain" ] &&
  [ -x "$build/tools/tarnwick-testset" ] && tools_built=1

echo "== manual page sources"
for page in "$source_dir"/man/*.1; do
  name=$(basename "$page" .1)
  check "$name.1 renders cleanly" renders "$page" "$name - "
done

echo "== Debian package"
(cd "$build" && cpack -G DEB -B "$scratch/pkg" >"$scratch/cpack.log" 2>&1) ||
  { cat "$scratch/cpack.log"; echo "FAILED - cpack -G DEB"; exit 1; }
debs=("$scratch"/pkg/*.deb)
check "cpack makes one package" equals "${#debs[@]}" 1
deb=${debs[0]}
field() { dpkg-deb -f "$deb" "$1"; }
check "package name" equals "$(field Package)" tarnwick
check "package version is the project's" equals "$(field Version)" "$version"
check "architecture" equals "$(field Architecture)" "$(dpkg --print-architecture)"
check "section" equals "$(field Section)" education
check "maintainer set" test -n "$(field Maintainer)"
for lib in libc6 'libstdc\+\+6'; do
  check "depends on ${lib//\\/}" grep -qE "(^|, )$lib( |,|$)" <<<"$(field Depends)"
done
dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./|/|' >"$scratch/contents"
for f in /usr/bin/tarnwick /usr/share/man/man1/tarnwick.1.gz \
  /usr/share/doc/tarnwick/examples/graph.txt /usr/share/doc/tarnwick/copyright; do
  check "package holds $f" grep -qxF "$f" "$scratch/contents"
done
if [ "$(id -u)" = 0 ]; then
  check "dpkg would install it" quietly dpkg --dry-run -i "$deb"
else
  echo "skipped - dpkg --dry-run -i (needs root)"
fi
dpkg -x "$deb" "$scratch/root"
check "unpacked judge judges the examples" judges "$scratch/root/usr"
check "unpacked copyright file is DEP-5 with LICENSE's terms" \
  debian_copyright "$scratch/root/usr/share/doc/tarnwick/copyright"
check "unpacked manual page renders" \
  renders "$scratch/root/usr/share/man/man1/tarnwick.1.gz" "tarnwick - "
check "unpacked README's pictures beside it" readme_pictures "$scratch/root/usr/share/doc/tarnwick"
check "unpacked README's example files beside it" readme_examples "$scratch/root/usr/share/doc/tarnwick"
if [ $tools_built = 1 ]; then
  check "unpacked tools make a case the judge accepts" tools_agree "$scratch/root/usr"
  check "unpacked grader and checker judge the examples" grades_and_checks "$scratch/root/usr"
  for tool in tarnwick-grade tarnwick-checker tarnwick-validate tarnwick-explain tarnwick-testset; do
    for f in /usr/bin/$tool /usr/share/man/man1/$tool.1.gz; do
      check "package holds $f" grep -qxF "$f" "$scratch/contents"
    done
  done
  check "unpacked validator and explainer work" instructs "$scratch/root/usr"
  check "unpacked tarnwick-testset writes the example class's tests" writes_tests "$scratch/root/usr"
fi

echo "== cmake --install"
prefix=$scratch/prefix
check "cmake --install into a prefix" quietly cmake --install "$build" --prefix "$prefix"
check "installed files in place" has_files "$prefix" bin/tarnwick share/man/man1/tarnwick.1.gz \
  share/doc/tarnwick/examples/result-right.txt
# The README points to examples/kattis/shortestpaths: installed beside it, whole.
check "installed example problem package" test -s \
  "$prefix/share/doc/tarnwick/examples/kattis/shortestpaths/output_validators/tarnwick/tarnwick-checker-kattis.cc"
check "installed judge judges the examples" judges "$prefix"
check "installed copyright file is DEP-5 with LICENSE's terms" \
  debian_copyright "$prefix/share/doc/tarnwick/copyright"
check "installed manual page renders" renders "$prefix/share/man/man1/tarnwick.1.gz" "tarnwick - "
check "installed README's pictures beside it" readme_pictures "$prefix/share/doc/tarnwick"
if [ $tools_built = 1 ]; then
  check "installed tools and their pages" has_files "$prefix" bin/tarnwick-gen bin/tarnwick-solve \
    bin/tarnwick-grade bin/tarnwick-checker bin/tarnwick-validate bin/tarnwick-explain \
    bin/tarnwick-testset share/man/man1/tarnwick-gen.1.gz share/man/man1/tarnwick-solve.1.gz \
    share/man/man1/tarnwick-grade.1.gz share/man/man1/tarnwick-checker.1.gz \
    share/man/man1/tarnwick-validate.1.gz share/man/man1/tarnwick-explain.1.gz \
    share/man/man1/tarnwick-testset.1.gz share/doc/tarnwick/examples/class-tests.txt
  check "installed grader and checker judge the examples" grades_and_checks "$prefix"
  check "installed validator and explainer work" instructs "$prefix"
  check "installed tarnwick-testset writes the example class's tests" writes_tests "$prefix"
  check "installed checker's page renders" \
    renders "$prefix/share/man/man1/tarnwick-checker.1.gz" "tarnwick-checker - "
fi

summary package
