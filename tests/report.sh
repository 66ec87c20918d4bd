#!/usr/bin/env bash
# Checks the class report of tarnwick-grade --format=html in a real browser,
# offline: headless Chromium renders it to a PNG at 1400 x 1000 pixels, the
# students' table lies wholly in that window, its rows read back from the
# page (after a click on the Points heading, which sorts the table by it) and
# the text the browser lays out holds the heading, the summary, the bars, the
# histograms and the one cell the page's address opens (#open=SUBMISSION/TEST),
# names with markup shown as written. Exits 77 (skipped) when Chromium is not
# installed.
#
#   bash tests/report.sh GRADE SOLVE
set -uo pipefail
grade=$1 solve=$2
browser=$(command -v chromium || command -v chromium-browser) ||
  { echo "skipped - chromium is not installed"; exit 77; }
scratch=$(mktemp -d /tmp/tarnwick-report-XXXXXX)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" || exit 1
mkdir -p data subs/ada 'subs/<b>&"x"' subs/bob subs/cy
printf '3 3\n1 2 4\n2 3 1\n1 3 7\n1\n' >data/1.in
printf '4 3\n1 2 4\n2 3 1\n3 4 2\n2\n' >data/2.in
printf '1 3\n2 2\n' >data/points
for t in 1:1 2:2; do "$solve" "data/${t%:*}.in" "${t#*:}" >"subs/ada/${t%:*}.out"; done
cp subs/ada/2.out 'subs/<b>&"x"/2.out'
printf '1\n1 3\n' >'subs/<b>&"x"/1.out'
printf '1\n1 2\n' >subs/bob/1.out
: >subs/bob/2.out
"$grade" --testset data/ --format=html subs/* >report.html 2>grade.err
[ -s report.html ] || { echo "FAILED - no report"; cat grade.err; exit 1; }

# run ARGS...: Chromium as root, headless, offline, with a profile of its own.
run() {
  timeout 120 "$browser" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --host-resolver-rules='MAP * ~NOTFOUND' \
    --user-data-dir="$(mktemp -d "$scratch/profile-XXXXXX")" "$@" 2>>browser.err
}

failed=0
# check NAME CONDITION...: prints ok or FAILED for the test command.
check() {
  local name=$1; shift
  if "$@"; then echo "ok - $name"; else echo "FAILED - $name"; failed=1; fi
}
# The page fetches nothing: no address of another place, no src or href at all.
check 'the page names no URL' eval '! grep -Eqi "https?://|(src|href)=" report.html'

run --screenshot="$scratch/report.png" --window-size=1400,1000 "file://$scratch/report.html" >/dev/null
check 'the report renders to a PNG' eval '[ "$(head -c 8 report.png 2>/dev/null | od -An -tx1 | tr -d " \n")" = 89504e470d0a1a0a ] && [ "$(stat -c %s report.png)" -gt 10000 ]'

# A probe after the page's own script: where the students' table lies in the
# window, each row as the table shows it (after a click on Points twice,
# which sorts it highest first), then the text the browser lays out; all of
# it then replaces the page, so that --dump-dom hands it back. The address
# opens the cell of <b>&"x" (subs/ left out) and test 1.
cat >probe.js <<'EOF'
const box = students.getBoundingClientRect();
const points = [...students.tHead.rows[0].cells].find(h => h.textContent.startsWith('Points'));
points.click(); points.click();
const rows = [...students.rows].map(tr =>
  [...tr.cells].map(c => (c.querySelector('summary') ?? c).textContent).join('\t'));
const lines = [`probe-window ${innerWidth}x${innerHeight}`,
  `probe-table ${[box.left, box.top, box.right, box.bottom].map(Math.round).join(' ')}`,
  ...rows.map(row => 'probe-row ' + row), document.body.innerText];
const pre = document.createElement('pre');
pre.textContent = lines.join('\n');
document.body.replaceChildren(pre);
EOF
{ sed '/<\/body>/,$d' report.html; echo '<script>'; cat probe.js; echo '</script></body></html>'; } >probe.html
run --dump-dom --window-size=1400,1000 "file://$scratch/probe.html#open=%3Cb%3E%26%22x%22/1" |
  sed -e 's/<[^>]*>//g' -e 's/&lt;/</g' -e 's/&gt;/>/g' -e 's/&quot;/"/g' -e 's/&amp;/\&/g' >text.txt

# shows TEXT: the text read back holds TEXT on one line.
shows() { check "shows: $1" grep -qF -- "$1" text.txt; }
# The whole table lies in the window of 1400 x 1000 pixels (of which the
# page has 1400 x 857 when --dump-dom keeps room for the browser's bars).
read -r _ width height < <(grep '^probe-window ' text.txt | tr x ' ')
read -r _ left top right bottom < <(grep '^probe-table ' text.txt)
check "the students' table is in view ($left $top $right $bottom in ${width}x$height)" \
  eval '[ "$width" = 1400 ] && [ "$height" -ge 800 ] && [ "$left" -ge 0 ] && [ "$top" -ge 0 ] &&
        [ "$right" -le "$width" ] && [ "$bottom" -le "$height" ]'
shows $'probe-row Submission\tPassed (of 2)\tPoints (of 5)\t1\t2'
# Sorted by points, highest first: ada (5), then <b>&"x" (2), which came first as given.
rows=$(grep '^probe-row subs/' text.txt | cut -f1 | tr '\n' ' ')
check "sorted by points: $rows" test "$rows" = 'probe-row subs/ada probe-row subs/<b>&"x" probe-row subs/bob probe-row subs/cy '
shows $'probe-row subs/<b>&"x"\t1\t2\tline 2\tpassed'
shows $'probe-row subs/bob\t0\t0\tno line 3\tempty'
shows $'probe-row subs/cy\t0\t0\tmissing\tmissing'
shows '4 submissions x 2 tests: 3 succeeded, 2 wrong, 1 empty, 2 not judged; 1 of 4 passed every test; mean 1.75 of 5 points.'
check 'the heading: the folder without its slash, the date' \
  grep -qE '^Class report: data graded [0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z$' text.txt
shows '1 succeeded, 2 wrong, 0 empty, 1 not judged'
shows '2 succeeded, 0 wrong, 1 empty, 1 not judged'
shows 'Test 1 (n = 3): first wrong line of 2 wrong answers'
shows 'Test 2: no wrong answers.'
# The opened cell shows what the student is told; a closed one shows nothing.
shows 'subs/<b>&"x", test 1'
shows "  step 1: 1 to 1, weight 0: the source's own diagonal"
check 'a closed cell shows nothing' eval '! grep -qF "not judged: missing (1.out)" text.txt'
[ $failed = 0 ] || { echo "--- read back:"; cat text.txt; }
exit $failed
