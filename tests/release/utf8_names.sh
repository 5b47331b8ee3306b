#!/bin/sh
# Names outside the old Windows code page: two different names, each in two
# directories, must give two groups under their real names, not one group
# of "??.txt" (the manifest asks for UTF-8 as the process code page).
# usage: utf8_names.sh [RUNNER...] TWINEX_CLI   (RUNNER: wine)
. "$(dirname "$0")/../cli/lib.sh"
export LC_ALL=C.UTF-8   # Wine reads the names on disk in the locale's encoding
mkdir -p "$work/tree/a" "$work/tree/b" "$work/tree/c" "$work/out"
for f in a/日本.txt b/日本.txt a/中国.txt c/中国.txt; do echo "$f" >"$work/tree/$f"; done
(cd "$work" && "$@" -y -q --no-datestamps -o out tree >/dev/null 2>"$work/e") || { fail "status $?:"; cat "$work/e"; }
tr '\\' / <"$work/out/twinfiles000.txt" >"$work/report"
for line in 'NUMBER FOUND:   2' 日本.txt 中国.txt; do grep -qxF "$line" "$work/report" || fail "no line \"$line\""; done
for f in a/日本.txt b/日本.txt a/中国.txt c/中国.txt; do grep -qF "tree/$f" "$work/report" || fail "no tree/$f"; done
[ $fails -eq 0 ] || cat "$work/report"
# --unicode: the spellings of one name are one group, composed or decomposed, in either case.
mkdir -p "$work/uni/a" "$work/uni/b"
for f in a/Übersicht.docx b/übersicht.docx "a/$(printf 'cafe\314\201.txt')" b/CAFÉ.txt; do echo x >"$work/uni/$f"; done
(cd "$work" && "$@" -y -q --no-datestamps --unicode -o out uni >/dev/null 2>"$work/e") || { fail "--unicode, status $?:"; cat "$work/e"; }
grep -qxF 'NUMBER FOUND:   2' "$work/out/twinfiles001.txt" || { fail "--unicode: not two groups"; cat "$work/out/twinfiles001.txt"; }
verdict "names in UTF-8"
