#!/bin/sh
# Names outside the old Windows code page: two different names, each in two
# directories, must give two groups under their real names, not one group
# of "??.txt" (the manifest asks for UTF-8 as the process code page).
# usage: utf8_names.sh [RUNNER...] TWINEX_CLI   (RUNNER: wine)
set -u
export LC_ALL=C.UTF-8   # Wine reads the names on disk in the locale's encoding
work=$(mktemp -d "${TMPDIR:-/tmp}/twinex-utf8.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/tree/a" "$work/tree/b" "$work/tree/c" "$work/out"
echo 1 >"$work/tree/a/日本.txt"
echo 2 >"$work/tree/b/日本.txt"
echo 3 >"$work/tree/a/中国.txt"
echo 4 >"$work/tree/c/中国.txt"
cd "$work" && "$@" -y -q --no-datestamps -o out tree >stdout 2>stderr \
  || { echo "FAIL: status $?:"; cat stderr; exit 1; }
tr '\\' / <out/twinfiles000.txt >report
fails=0
has() {  # grep option, text
  grep -q"$1" -- "$2" report || { echo "FAIL: no \"$2\" in the report"; fails=$((fails + 1)); }
}
has xF 'NUMBER FOUND:   2'
has xF '日本.txt'
has xF '中国.txt'
for path in a/日本.txt b/日本.txt a/中国.txt c/中国.txt; do has F "tree/$path"; done
[ $fails -eq 0 ] || cat report
[ $fails -eq 0 ] && echo "names in UTF-8: two groups under their real names"
[ $fails -eq 0 ]
