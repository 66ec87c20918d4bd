#!/usr/bin/env bash
# Compiles each single-file source alone in a scratch folder, as a judging
# system compiles a validator or checker, and checks that the program it
# makes behaves exactly as the tool built from the sources: the checker's
# cases through each flavour (every convention by its flag, its own with no
# flag, another by the program's name), the input validator and the solver on
# a few test inputs. Each compiler line of the files' headers is used once,
# for the file of the system that uses it (the flavours differ by one
# #define, so each is compiled once), two at a time. A compiler that says a
# word (a warning) fails the test.
#
#   bash tests/single_file.sh SINGLE_DIR CHECKER VALIDATE SOLVE GEN
set -uo pipefail
single=$(realpath "$1") checker=$(realpath "$2") validate=$(realpath "$3")
solve=$(realpath "$4") gen=$(realpath "$5")
command -v g++ >/dev/null || { echo "skipped - g++ is not installed"; exit 77; }
command -v clang++ >/dev/null || { echo "skipped - clang++ is not installed"; exit 77; }
scratch=$(mktemp -d /tmp/tarnwick-single-XXXXXX)
trap 'rm -rf "$scratch"' EXIT
. "$(dirname "$0")/checks.sh"

# Each file, the line it is compiled with (as its header gives it).
kattis_tools='g++ -g -O2 -std=gnu++23 -static -o run FILE -lrt -Wl,--whole-archive -lpthread -Wl,--no-whole-archive'
compiles=(
  "tarnwick-checker-kattis|$kattis_tools"
  "tarnwick-validate|$kattis_tools"
  "tarnwick-checker-testlib|g++ -Wall -O2 -std=gnu++20 FILE -o run"
  "tarnwick-checker-cms|clang++ -O2 -std=gnu++20 -pthread FILE -o run"
  "tarnwick-solve|g++ -O2 -std=gnu++20 -pthread FILE -o run"
)

# compile NAME LINE: compiles NAME.cc, alone in a folder, to NAME/run; what
# the compiler says goes to NAME/said.
compile() {
  local dir=$scratch/$1 line=${2/FILE/$1.cc}
  mkdir "$dir" && cp "$single/$1.cc" "$dir/" && (cd "$dir" && $line) >"$dir/said" 2>&1
}

SECONDS=0
running=0
for job in "${compiles[@]}"; do
  if [ "$running" = 2 ]; then wait -n; running=1; fi
  compile "${job%%|*}" "${job#*|}" &
  running=$((running + 1))
done
wait
echo "compiled ${#compiles[@]} files in ${SECONDS} s"
for job in "${compiles[@]}"; do
  name=${job%%|*}
  check "$name.cc says what it is, its version and its commit" \
    bash -c "head -1 '$single/$name.cc' | grep -q '^// $name.cc: tarnwick-[a-z]* [0-9.]*, of tarnwick' &&
             grep -Eq '^// Made from the sources of commit ([0-9a-f]{40}|unknown)' '$single/$name.cc'"
  check "$name.cc holds no #include \"...\"" bash -c "! grep -q '^#include \"' '$single/$name.cc'"
  check "$name.cc compiles alone, without a word: ${job#*|}" \
    bash -c "[ -x '$scratch/$name/run' ] && [ ! -s '$scratch/$name/said' ] ||
             { head -20 '$scratch/$name/said'; false; }"
done

# The checker's cases: a folder each, with the test input, the answer file,
# the team's output, the flags (one a line), and `cut` for wrong use (the
# last file left out).
edges='3 3\n1 2 4\n2 3 1\n1 3 7\n'
model='1\n1 2\n1 2 3\n'
n=0
# add_case INPUT ANSWER TEAM [FLAG...]: a case from printf formats.
add_case() {
  local c
  n=$((n + 1))
  c=$scratch/cases/$(printf %02d "$n")
  mkdir -p "$c"
  printf %b "$1" >"$c/in"
  printf %b "$2" >"$c/ans"
  printf %b "$3" >"$c/team"
  shift 3
  printf '%s\n' "$@" | sed '/^$/d' >"$c/flags"
}
add_case "${edges}1\n" "$model" '1\n2\n2 3\n'              # accepted
add_case "${edges}1\n" "$model" '1\n1 2\n1 3\n'            # a wrong line
add_case "${edges}1\n" "$model" '1\n1 2\n'                 # a missing line
add_case "${edges}1\n" "$model" ''                         # an empty output
add_case "${edges}1\n" '' '1\n1 2\n1 3\n'                  # no model answer
add_case "${edges}1\n" '1\n1 3\n' "$model"                 # a model answer not accepted
add_case '10010 0\n1\n' "$model" "$model"                  # a broken test
add_case "$edges" "$model" "$model"                        # no source
add_case "$edges" "$model" "$model" --source 1             # the source by flag
add_case "${edges}0\n" '0\n0\n0\n' '0\n0\n0\n'             # a source not a vertex: a warning
add_case '3 3\n1 2 -4\n2 3 1\n1 3 7\n1\n' '' '1\n1 2\n1 3\n'  # negative weights: the exact pass
add_case "${edges}1\n" "$model" "$model" --frobnicate      # wrong use: an unknown option
add_case "${edges}1\n" "$model" "$model" && touch "$scratch/cases/13/cut"  # wrong use: a file missing
# A test of 2 MB, read in ranges on every CPU: its model answer, and the same stopping early.
add_case '' '' ''
big=$scratch/cases/14
"$gen" --simple 3000 150000 1 1000 7 connected --source 1 >"$big/in"
"$solve" "$big/in" >"$big/ans"
cp "$big/ans" "$big/team"
add_case '' '' ''
cp "$big/in" "$big/ans" "$scratch/cases/15/"
head -n 2000 "$big/ans" >"$scratch/cases/15/team"

# run_into DIR CASE CONVENTION PROGRAM [SYSTEM_FLAG]: runs the program on the
# case the way CONVENTION calls a checker (kattis, testlib, testlib-xml: with
# a result file in testlib's XML, cms), and leaves in DIR (with DIR/fb made)
# all it did: exit status, standard output and error, feedback files, result
# file. The case's own files are named as the case folder sees them.
run_into() {
  local d=$1 c=$2 convention=$3 program=$4 files flags
  shift 4
  case $convention in
    kattis) files=(in ans "$d/fb") ;;
    testlib) files=(in team ans) ;;
    testlib-xml) files=(in team ans "$d/res" -appes) ;;
    cms) files=(in ans team) ;;
  esac
  [ -e "$c/cut" ] && unset 'files[-1]'
  mapfile -t flags <"$c/flags"
  cd "$c" || return
  "$program" "$@" "${files[@]}" "${flags[@]}" <team >"$d/out" 2>"$d/err"
  echo "exit status $?" >"$d/status"
  cd "$scratch" || return
}

# runs INTO PROGRAM MODE SYSTEM...: runs PROGRAM on every case in each
# system's conventions, into INTO/CASE.CONVENTION; MODE "flag" gives the
# system's flag, "none" gives none.
runs() {
  local into=$1 program=$2 mode=$3 system convention c dirs=() flag=()
  shift 3
  for system in "$@"; do
    for convention in "${conventions[@]}"; do
      [ "${convention%-xml}" = "$system" ] || continue
      for c in "${cases[@]}"; do dirs+=("$into/${c##*/}.$convention/fb"); done
    done
  done
  mkdir -p "${dirs[@]}"
  for system in "$@"; do
    [ "$mode" = flag ] && flag=("--$system")
    for convention in "${conventions[@]}"; do
      [ "${convention%-xml}" = "$system" ] || continue
      for c in "${cases[@]}"; do
        run_into "$into/${c##*/}.$convention" "$c" "$convention" "$program" "${flag[@]}"
      done
    done
  done
}

# The built checker's outcomes, once a case and convention.
conventions=(kattis testlib testlib-xml cms)
cases=("$scratch"/cases/*)
runs "$scratch/expected" "$checker" flag kattis testlib cms
sound() {
  local e=$scratch/expected
  grep -qx 'exit status 42' "$e/01.kattis/status" &&
    grep -qx 'exit status 43' "$e/02.kattis/status" &&
    grep -qx 'exit status 1' "$e/03.testlib/status" &&
    grep -qx 'exit status 2' "$e/07.cms/status" &&
    grep -qx '0.0' "$e/04.cms/out" &&
    grep -q 'wrong-answer' "$e/02.testlib-xml/res" &&
    grep -qx 'exit status 42' "$e/14.kattis/status" &&
    grep -qx 'exit status 43' "$e/15.kattis/status"
}
check "the built checker accepts, rejects and fails as each system wants (the cases are sound)" sound

# alike PROGRAM MODE SYSTEM...: whether PROGRAM's outcome on every case, in
# each system's conventions (see runs), is the built checker's. Shows the
# differences.
alike() {
  local got=$scratch/got$((++alike_runs))
  runs "$got" "$@"
  ! diff -r "$scratch/expected" "$got" | grep -v "^Only in $scratch/expected" | head -20 | grep .
}

alike_runs=0
next_system() { case $1 in kattis) echo testlib ;; testlib) echo cms ;; cms) echo kattis ;; esac; }
for system in kattis testlib cms; do
  run=$scratch/tarnwick-checker-$system/run
  other=$(next_system "$system")
  others=$(echo kattis testlib cms | sed "s/$system//")
  ln -s "$run" "$scratch/judge-$other"
  check "tarnwick-checker-$system: with no flag, as tarnwick-checker --$system" \
    alike "$run" none "$system"
  # shellcheck disable=SC2086  # two words
  check "tarnwick-checker-$system: with the flag of another system, as tarnwick-checker" \
    alike "$run" flag $others
  check "tarnwick-checker-$system: named judge-$other, as tarnwick-checker --$other" \
    alike "$scratch/judge-$other" none "$other"
done

# The input validator: standard input, no --kattis, the package's flags;
# the same with --kattis given anyway.
validator=$scratch/tarnwick-validate/run
printf %b "${edges}1\n" >"$scratch/valid.in"
printf %b "$edges" >"$scratch/no-source.in"
printf '3 3\n1 2 4\n2 1 5\n1 3 7\n1\n' >"$scratch/twice.in"
: >"$scratch/empty.in"
validated() {
  local program=$1 input=$2
  shift 2
  "$program" "$@" <"$input" >"$scratch/v.out" 2>"$scratch/v.err"
  echo "exit status $?"
  cat "$scratch/v.out" "$scratch/v.err"
}
validator_alike() {
  local input flags
  for input in valid no-source twice empty; do
    for flags in "" "--max-vertices 2" "--simple --connected" "--source 2" "--kattis --simple"; do
      # shellcheck disable=SC2086  # the flags are words
      if [ "$(validated "$validate" "$scratch/$input.in" --kattis ${flags#--kattis})" != \
        "$(validated "$validator" "$scratch/$input.in" $flags)" ]; then
        echo "$input.in with '$flags' differs"
        return 1
      fi
    done
  done
  [ "$(validated "$validator" "$big/in")" = "$(validated "$validate" "$big/in" --kattis)" ]
}
check "tarnwick-validate.cc: with no flag or the package's flags, as tarnwick-validate --kattis" \
  validator_alike
check "tarnwick-validate.cc: 42 for a valid input, 43 for an invalid one" \
  bash -c "'$validator' <'$scratch/valid.in' >/dev/null; [ \$? = 42 ] &&
           { '$validator' <'$scratch/no-source.in' >/dev/null; [ \$? = 43 ]; }"

# The solver as a submission: the test input on standard input, no operand.
solver=$scratch/tarnwick-solve/run
printf '3 3\n1 2 -4\n2 3 1\n1 3 7\n1\n' >"$scratch/negative.in"
solved() {
  "$@" >"$scratch/s.out" 2>"$scratch/s.err"
  echo "exit status $?"
  cat "$scratch/s.out"
  sed "s|$scratch/[a-z.-]*|<stdin>|" "$scratch/s.err"
}
solver_alike() {
  local input
  for input in "$scratch/valid.in" "$scratch/no-source.in" "$scratch/negative.in" "$big/in"; do
    if [ "$(solved "$solve" "$input")" != "$(solved "$solver" <"$input")" ]; then
      echo "$input differs"
      return 1
    fi
  done
  [ "$(solved "$solve" "$scratch/valid.in" 1)" = "$(solved "$solver" "$scratch/valid.in" 1)" ]
}
check "tarnwick-solve.cc: a test input on standard input, as tarnwick-solve TEST" solver_alike

echo "single-file sources checked in ${SECONDS} s"
summary "single-file sources"
