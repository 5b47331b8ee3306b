#!/bin/sh
# Runs the real twinex-cli program with standard input not a terminal
# (/dev/null) and checks, for each command line, the exit status, a line of
# its messages and what it left on disk.
# usage: exit_codes.sh [RUNNER...] TWINEX_CLI   (RUNNER: wine, for the Windows build)
set -u
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }

work=$(mktemp -d "${TMPDIR:-/tmp}/twinex-cli-sh.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/root/a" "$work/root/b" "$work/out" "$work/here"
echo one >"$work/root/a/x.txt"
echo two >"$work/root/b/x.txt"
touch -d '2020-01-01 00:00:00' "$work/root/a/x.txt"
echo file >"$work/file"
long=$(awk 'BEGIN { for (i = 0; i < 3000; i++) printf "["; for (i = 0; i < 3000; i++) printf "]" }')

# case WHAT STATUS TEXT ARGS...: runs twinex-cli ARGS in $work/here; TEXT must
# appear in its error stream (or, for "out:TEXT", on its standard output).
case_() {
  what=$1 want=$2 text=$3
  shift 3
  (cd "$work/here" && "$cli" "$@" >"$work/o" 2>"$work/e" </dev/null)
  got=$?
  [ "$got" -eq "$want" ] || fail "$what: status $got, expected $want"
  case $text in
    out:*) file="$work/o" text=${text#out:} ;;
    *) file="$work/e" ;;
  esac
  tr -d '\r' <"$file" | grep -qF -- "$text" || { fail "$what: no \"$text\" in:"; cat "$work/e"; }
}
# untouched WHAT: the tree is as it was and no report was written.
untouched() {
  [ -f "$work/root/a/x.txt" ] && [ -f "$work/root/b/x.txt" ] || fail "$1: a file was removed"
  [ -z "$(ls -A "$work/out")$(ls -A "$work/here")" ] || fail "$1: something was written"
}

# The runner (wine) comes first, the program last: one command to call from
# any directory.
cli="$work/cli"
{
  echo '#!/bin/sh'
  printf 'exec'
  n=0
  for a in "$@"; do
    n=$((n + 1))
    [ $n -eq $# ] && case $a in /*) ;; *) a="$PWD/$a" ;; esac
    printf " '%s'" "$a"
  done
  echo ' "$@"'
} >"$cli"
chmod +x "$cli"

r="$work/root" o="$work/out"
case_ "--version"              0 "out:twinex 1.03"                    --version
case_ "--help"                 0 "out:*.[(txt)(doc)]"                 --help
case_ "no root"                2 "twinex: NOTHING TO SCAN"
case_ "unknown option"         2 "twinex: unknown option --bogus"     --bogus "$r"
case_ "root not a directory"   2 "nowhere - NOT A DIRECTORY"          -o "$o" "$work/nowhere"
case_ "--move with --delete"   2 "twinex: --move and --delete exclude each other" -y --move --delete -o "$o" "$r"
case_ "--ask without --delete" 2 "twinex: --ask needs --delete"       -y --ask -o "$o" "$r"
case_ "--save without --delete" 2 "twinex: --save needs --delete"     -y --save -o "$o" "$r"
case_ "bad pattern"            2 'twinex: PATTERN ERROR: Extraneous "("' -y -p '(a|b)' -o "$o" "$r"
case_ "bad pattern hint"       2 "*.[(txt)(doc)]"                     -y -p '(a|b)' -o "$o" "$r"
case_ "pattern too long"       2 "twinex: PATTERN TOO LONG: 6000 characters, at most 2047" -y -p "$long" -o "$o" "$r"
case_ "--delete, no terminal"  2 "twinex: --delete changes files; confirm with --yes when not run from a terminal" --delete -o "$o" "$r"
case_ "--move, no terminal"    2 "twinex: --move changes files; confirm with --yes when not run from a terminal" --move -o "$o" "$r"
untouched "refused runs"

case_ "output under a file"    3 "twinex: can't create "              -o "$work/file/out" "$r"
case_ "listing, no -o"         0 "out:twinfiles000.txt"               "$r"
[ -f "$work/here/twinfiles000.txt" ] || fail "listing, no -o: no report in the current directory"
case_ "listing summary"        0 "1 root, 2 names checked, 1 group, 2 files" -o "$work/new/deep/out" "$r"
[ -f "$work/new/deep/out/twinfiles000.txt" ] || fail "-o: the missing directories were not made"
tr -d '\r' <"$work/o" | grep -qx '.*twinfiles000\.txt' && [ "$(wc -l <"$work/o")" -eq 1 ] \
  || { fail "standard output is not just the report's path:"; cat "$work/o"; }
case_ "delete with --yes"      0 "1 deleted, 1 newest kept"           -y --delete -o "$o" "$r"
[ -f "$work/root/a/x.txt" ] && fail "delete with --yes: the older copy is still there"
[ -f "$work/root/b/x.txt" ] || fail "delete with --yes: the newest copy is gone"

[ $fails -eq 0 ] && echo "all twinex-cli exit-code checks passed"
[ $fails -eq 0 ]
