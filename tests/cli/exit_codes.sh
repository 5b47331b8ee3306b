#!/bin/sh
# Runs the real twinex-cli with standard input not a terminal (/dev/null) and
# checks, for each command line, the exit status, a line of its messages and
# what it left on disk.
# usage: exit_codes.sh [RUNNER...] TWINEX_CLI   (RUNNER: wine, for the Windows build)
. "$(dirname "$0")/lib.sh"
# the runner first, the program last, callable from any directory
for a; do [ -f "$a" ] && a="$(cd "$(dirname "$a")" && pwd)/$(basename "$a")"; cli="${cli:-} '$a'"; done
files a b
mkdir -p "$work/out" "$work/here"
echo file >"$work/file"
long=$(awk 'BEGIN { for (i = 0; i < 3000; i++) printf "["; for (i = 0; i < 3000; i++) printf "]" }')

# case_ WHAT STATUS TEXT ARGS...: runs twinex-cli ARGS in $work/here; TEXT
# must appear in its error stream (or, for "out:TEXT", on its standard output).
case_() {
  what=$1 want=$2 text=$3
  shift 3
  (cd "$work/here" && eval "$cli \"\$@\"" >"$work/o" 2>"$work/e" </dev/null)
  got=$?
  [ "$got" -eq "$want" ] || fail "$what: status $got, expected $want"
  file="$work/e"
  case $text in out:*) file="$work/o" text=${text#out:} ;; esac
  tr -d '\r' <"$file" | grep -qF -- "$text" || { fail "$what: no \"$text\" in:"; cat "$work/e"; }
}

r="$work/root" o="$work/out"
case_ "--version"              0 "out:twinex 1.03"                    --version
case_ "--help"                 0 "out:*.[(txt)(doc)]"                 --help
case_ "no root"                2 "twinex: NOTHING TO SCAN"
case_ "unknown option"         2 "twinex: unknown option --bogus"     --bogus "$r"
case_ "root not a directory"   2 "nowhere - NOT A DIRECTORY"          -o "$o" "$work/nowhere"
case_ "--move with --delete"   2 "twinex: --move and --delete exclude each other" -y --move --delete -o "$o" "$r"
case_ "--ask without --delete" 2 "twinex: --ask needs --delete"       -y --ask -o "$o" "$r"
case_ "--save without --delete" 2 "twinex: --save needs --delete"     -y --save -o "$o" "$r"
case_ "--same-content alone"   2 "twinex: --same-content only goes with --delete" -y --same-content -o "$o" "$r"
case_ "--copies --delete alone" 2 "twinex: --copies with --delete needs --same-content" -y --copies --delete -o "$o" "$r"
case_ "bad pattern"            2 'twinex: PATTERN ERROR: Extraneous "("' -y -p '(a|b)' -o "$o" "$r"
case_ "bad pattern hint"       2 "*.[(txt)(doc)]"                     -y -p '(a|b)' -o "$o" "$r"
case_ "bad exclusion"          2 "twinex: --exclude [a: PATTERN ERROR"              -y -x '[a' -o "$o" "$r"
case_ "pattern too long"       2 "twinex: PATTERN TOO LONG: 6000 characters, at most 2047" -y -p "$long" -o "$o" "$r"
case_ "--keep bogus"           2 "twinex: --keep bogus: keep newest or oldest" -y --delete --keep bogus -o "$o" "$r"
case_ "--keep with --move"     2 "twinex: --keep goes with --delete only"   -y --move --keep oldest -o "$o" "$r"
case_ "--keep, --reference"    2 "twinex: --keep and --reference exclude each other" -y --delete --keep newest --reference "$r/a" -o "$o" "$r/b"
case_ "not a size"             2 "twinex: --min-size 1Q: not a size"        --min-size 1Q -o "$o" "$r"
case_ "min above max"          2 "twinex: --min-size 2048 is above --max-size 1024" --min-size 2k --max-size 1K -o "$o" "$r"
case_ "list missing"           2 "twinex: --files-from nowhere.txt: No such file or directory" --files-from nowhere.txt -o "$o"
case_ "-0 alone"               2 "twinex: -0 needs --files-from"            -0 -o "$o" "$r"
case_ "list across roots"      2 "twinex: --across-roots and --files-from exclude each other" --across-roots --files-from - -o "$o"
case_ "list and --ask"         2 "twinex: --files-from - and --ask both read standard input" -y --delete --ask --files-from - -o "$o"
case_ "reference not a dir"    2 "nowhere - NOT A DIRECTORY"                --reference "$work/nowhere" -o "$o" "$r"
case_ "root in a reference"    2 "a - A ROOT INSIDE A REFERENCE ROOT"       --reference "$r" -o "$o" "$r/a"
case_ "root and reference"     2 "root - A ROOT AND A REFERENCE ROOT AT ONCE" --reference "$r" -o "$o" "$r"
case_ "reference alone"        2 "twinex: NOTHING TO SCAN"                  --reference "$r" -o "$o"
case_ "--delete, no terminal"  2 "twinex: --delete changes files; confirm with --yes when not run from a terminal" --delete -o "$o" "$r"
case_ "--move, no terminal"    2 "twinex: --move changes files; confirm with --yes when not run from a terminal" --move -o "$o" "$r"
[ -f "$r/a/x.txt" ] && [ -f "$r/b/x.txt" ] || fail "refused runs: a file was removed"
[ -z "$(ls -A "$o")$(ls -A "$work/here")" ] || fail "refused runs: something was written"

case_ "output under a file"    3 "twinex: can't create "              -o "$work/file/out" "$r"
case_ "listing, no -o"         0 "out:twinfiles000.txt"               ../root/./a/..//
tr '\\' / <"$work/here/twinfiles000.txt" | grep -q "^DIRECTORIES: .*[^.]/root 2 filenames checked" \
  || fail "listing, no -o: no report in the current directory, or its root not made absolute and plain"
case_ "listing summary"        0 "1 root, 2 names checked, 1 group, 2 files" -o "$work/new/deep/out" "$r"
[ -f "$work/new/deep/out/twinfiles000.txt" ] || fail "-o: the missing directories were not made"
tr -d '\r' <"$work/o" | grep -qx '.*twinfiles000\.txt' && [ "$(wc -l <"$work/o")" -eq 1 ] \
  || { fail "standard output is not just the report's path:"; cat "$work/o"; }
case_ "--ask, no answer"       0 "twinex: end of input: this and every later question is answered no" -y --delete --ask -o "$o" "$r"
case_ "root below a root"      0 "a - Not added to chosen list. It is a subdirectory of existing choice." -o "$o" "$r" "$r/a"
case_ "delete with --yes"      0 "1 deleted, 1 newest kept"           -y --delete -o "$o" "$r"
[ -f "$r/a/x.txt" ] && fail "delete with --yes: the older copy is still there"
[ -f "$r/b/x.txt" ] || fail "delete with --yes: the newest copy is gone"
case_ "no group"               0 "1 root, 1 name checked, 0 groups, 0 files" -o "$o" "$r"

# A card cleaned against a library, then a list of files, one of them missing.
files a b
case_ "reference"              0 "1 deleted, 1 reference copy kept"   -y --delete --reference "$r/b" -o "$o" "$r/a"
[ -f "$r/a/x.txt" ] && fail "reference: the copy outside the library is still there"
[ -f "$r/b/x.txt" ] || fail "reference: the library's copy is gone"
files a b
printf '../root/a/x.txt\n../root/b/./x.txt\n../root/a/x.txt\n../root/gone.txt\n' >"$work/list"
case_ "list"                   4 "1 root, 1 file listed, 2 names checked, 1 group, 2 files" -y --move --files-from ../list -o "$work/listed" "$r/a"
grep -q "can't read .*gone.txt: No such file or directory" "$work/e" || fail "list: the missing entry is not named"
[ -f "$r/b/x.txt" ] && fail "list: a listed file was not moved"
grep -q "^root" "$work/listed/twinfiles000.sinkhole.manifest" && fail "list: the manifest records a root"

# A move, undone: the files come back with their times, the sinkhole empties.
files a b
s="$work/moved/twinfiles000.sinkhole"
case_ "move with --yes"        0 "out:twinfiles000.sinkhole"          -y --move -o "$work/moved" "$r"
[ -f "$r/a/x.txt" ] && fail "move: a file is still in place"
case_ "restore"                0 "2 FILES RESTORED, 0 LEFT IN THE SINKHOLE" --restore "$s"
[ "$(date -r "$r/a/x.txt" +%Y)$(cat "$r/b/x.txt")" = 2019b ] || fail "restore: not back as it was"
[ -z "$(ls -A "$s")" ] && [ ! -e "$s.manifest" ] || fail "restore: the sinkhole still holds something"
case_ "second restore"         0 "NOTHING TO RESTORE"                 --restore "$s"

# --trash: the desktop trash on Linux, the Recycle Bin under Wine (kept in
# the same place). One that will not take the file never removes it outright.
export XDG_DATA_HOME="$work/data"
mkdir "$work/data"
files a b
case_ "--trash"                0 "1 moved to the trash, 1 newest kept" -y --delete --trash -o "$o" "$r"
[ ! -e "$r/a/x.txt" ] && [ "$(cat "$work/data/Trash/files/x.txt")" = a ] || fail "--trash: not in the trash"
files a b
rm -r "$work/data/Trash/files" && echo >"$work/data/Trash/files"
case_ "--trash, no trash"      4 "1 NOT DELETED - "                   -y --delete --trash -o "$o" "$r"
[ "$(cat "$r/a/x.txt")" = a ] || fail "--trash, no trash: the file is gone"
verdict "twinex-cli exit codes"
