#!/usr/bin/env bash
# Checks the class report of tarnwick-grade --format=html in a real browser:
# headless Chromium renders it to a PNG, and the text the browser lays out
# (after a click on the Points heading, which sorts the table by it) holds
# the summary, the bars, the histograms and the rows, names with markup shown
# as written. Exits 77 (skipped) when Chromium is not installed.
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
"$grade" --testset data --format=html subs/* >report.html 2>grade.err
[ -s report.html ] || { echo "FAILED - no report"; cat grade.err; exit 1; }

# run ARGS...: Chromium as root, headless, offline, with a profile of its own.
run() {
  timeout 120 "$browser" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$(mktemp -d "$scratch/profile-XXXXXX")" "$@" 2>>browser.err
}

failed=0
run --screenshot="$scratch/report.png" --window-size=1000,1200 "file://$scratch/report.html" >/dev/null
if [ "$(head -c 8 report.png 2>/dev/null | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] &&
  [ "$(stat -c %s report.png)" -gt 10000 ]; then
  echo "ok - the report renders to a PNG"
else
  echo "FAILED - the report renders to a PNG"; tail -5 browser.err; failed=1
fi

# The page's own script sorts by Points (twice: highest first); the text the
# browser lays out then replaces the page, so that --dump-dom hands it back.
sed 's|</body>|<script>\
const points = [...document.querySelectorAll("#students th")].find(h => h.textContent === "Points");\
points.click(); points.click();\
const pre = document.createElement("pre"); pre.id = "text"; pre.textContent = document.body.innerText;\
document.body.replaceChildren(pre);\
</script></body>|' report.html >probe.html
run --dump-dom "file://$scratch/probe.html" |
  sed -e 's/<[^>]*>//g' -e 's/&lt;/</g' -e 's/&gt;/>/g' -e 's/&quot;/"/g' -e 's/&amp;/\&/g' >text.txt

# shows TEXT: the laid-out text holds TEXT on one line.
shows() {
  if grep -qF -- "$1" text.txt; then echo "ok - shows: $1"; else echo "FAILED - shows: $1"; failed=1; fi
}
shows '4 submissions x 2 tests: 3 succeeded, 2 wrong, 1 empty, 2 not judged; 1 of 4 passed every test; mean 1.75 of 5 points.'
shows '1 succeeded, 2 wrong, 0 empty, 1 not judged'
shows '2 succeeded, 0 wrong, 1 empty, 1 not judged'
shows 'Test 1 (n = 3): first wrong line of 2 wrong answers'
shows 'Test 2: no wrong answers.'
shows $'subs/<b>&"x"\tline 2\tpassed\t1\t2'
shows $'subs/bob\tno line 3\tempty\t0\t0'
shows $'subs/cy\tmissing\tmissing\t0\t0'
# Sorted by points, highest first: ada (5), then <b>&"x" (2), which came first as given.
rows=$(grep -E $'^subs/' text.txt | cut -f1 | tr '\n' ' ')
case "$rows" in
  'subs/ada subs/<b>&"x" '*) echo "ok - sorted by points: $rows" ;;
  *) echo "FAILED - sorted by points: $rows"; failed=1 ;;
esac
[ $failed = 0 ] || { echo "--- laid-out text:"; cat text.txt; }
exit $failed
