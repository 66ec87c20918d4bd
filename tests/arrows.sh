#!/usr/bin/env bash
# The layout's rules for the arrows between folders, as the sources' own
# #include lines draw them (tests apart): graph/ stands alone; check/ and
# cli/ stand on graph/; the feature folders on graph/, check/ and cli/, and
# grade/ and systems/ on explain/ too, systems/ never on grade/; testset/ on
# gen/, validate/ and grade/ (the points file's format); package/ on graph/,
# check/, cli/, gen/, validate/ and grade/; tools/ on all of
# them; nothing on tools/.
#
#   tests/arrows.sh [SOURCE_DIR]
set -u
cd "${1:-$(dirname "$0")/..}" || exit 2

# allowed FOLDER: the folders FOLDER's sources may include from.
allowed() {
  case $1 in
    graph) echo "graph" ;;
    check) echo "graph check" ;;
    cli) echo "graph cli" ;;
    explain | validate | gen) echo "graph check cli $1" ;;
    grade | systems) echo "graph check cli explain $1" ;;
    testset) echo "graph check cli gen validate grade testset" ;;
    package) echo "graph check cli gen validate grade package" ;;
    tools) echo "graph check cli explain validate gen grade systems testset package tools" ;;
  esac
}

broken=0
for folder in graph check cli explain validate gen grade systems testset package tools; do
  for file in "$folder"/*.cc "$folder"/*.h; do
    [ -e "$file" ] || continue
    case $file in *_test.cc) continue ;; esac
    for target in $(sed -n 's|^#include "\([a-z]*\)/.*"|\1|p' "$file"); do
      case " $(allowed "$folder") " in
        *" $target "*) ;;
        *) echo "$file includes $target/: $folder/ may include only $(allowed "$folder")"; broken=1 ;;
      esac
    done
  done
done
[ "$broken" = 0 ] && echo "every include follows the layout's arrows"
exit "$broken"
