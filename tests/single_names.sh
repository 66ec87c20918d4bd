#!/usr/bin/env bash
# Checks that no two .cc files pasted into one single-file source give the
# same name internal linkage (in an anonymous namespace, or static). In one
# translation unit two such names are one: a redefinition fails to compile,
# but two functions of the same name and other parameters become overloads
# of each other, and a call may silently reach the other file's function.
# The files pasted are read from each single file's "// ---- PATH ----" marks.
#
#   bash tests/single_names.sh SINGLE_DIR SOURCE_DIR
set -uo pipefail
single=$1 source=$2

# Prints "NAME FILE" for each name a file gives internal linkage at namespace
# scope. Declarations there start at column 0 (the project's format).
internal_names() {
  awk '
    FNR == 1 { depth = 0; top = 0 }
    {
      code = $0
      gsub(/\\./, "", code)
      gsub(/"[^"]*"|'"'"'[^'"'"']*'"'"'/, "", code)
      sub(/\/\/.*/, "", code)
      opens = gsub(/\{/, "{", code)
      closes = gsub(/\}/, "}", code)
      at_scope = depth == (top ? inner[top] : 0)
      if (code ~ /^namespace( [A-Za-z_:]+)? *\{/) {
        top++
        anon[top] = code !~ /^namespace [A-Za-z_]/ || (top > 1 && anon[top - 1])
        depth += opens - closes
        inner[top] = depth
        next
      }
      depth += opens - closes
      if (top && depth < inner[top]) { top--; next }
      if (!at_scope || code !~ /^[A-Za-z_\[]/) next
      if (!(top && anon[top]) && code !~ /^static /) next
      sub(/^(\[\[[^\]]*\]\] *)+/, "", code)
      name = ""
      if (match(code, /^(struct|class|union|enum class|enum) [A-Za-z_][A-Za-z0-9_]*/)) {
        name = substr(code, RSTART, RLENGTH); sub(/.* /, "", name)
      } else if (match(code, /^using [A-Za-z_][A-Za-z0-9_]* =/)) {
        name = substr(code, 7, RLENGTH - 8)
      } else if (code !~ /^(template|static_assert)/ &&
                 match(code, /[A-Za-z_][A-Za-z0-9_:]* *(\[[^\]]*\])* *[(=;{]/)) {
        name = substr(code, RSTART, RLENGTH); sub(/[ \[(=;{].*$/, "", name)
      }
      if (name != "" && name !~ /::|^operator$/) print name, FILENAME
    }' "$@"
}

broken=0 files=0
for made in "$single"/*.cc; do
  [ -e "$made" ] || { echo "no single-file source in $single"; exit 1; }
  files=$((files + 1))
  mapfile -t pasted < <(sed -n 's|^// ---- \(.*\.cc\) ----$|\1|p' "$made")
  [ "${#pasted[@]}" -gt 1 ] || { echo "$made: no .cc file marked in it"; broken=1; }
  twice=$(cd "$source" && internal_names "${pasted[@]}" | sort -u |
    awk '{ files[$1] = files[$1] " " $2; count[$1]++ }
         END { for (n in count) if (count[n] > 1) print n ":" files[n] }')
  if [ -n "$twice" ]; then
    echo "$(basename "$made"): names given internal linkage in two of its files (rename one):"
    echo "$twice" | sed 's/^/  /'
    broken=1
  fi
done
[ "$broken" = 0 ] && echo "no name is given internal linkage twice in any of the $files single-file sources"
exit "$broken"
