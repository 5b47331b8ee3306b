#!/bin/sh
# Runs the real twinex-cli with its standard input on a pseudo-terminal (made
# by `script`): a delete run asks its one question there and acts only on
# yes; a listing run, and a run with --yes, ask nothing.
# usage: terminal.sh TWINEX_CLI
set -u
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }
command -v script >/dev/null || { echo "SKIP: no script(1) to make a terminal"; exit 0; }

work=$(mktemp -d "${TMPDIR:-/tmp}/twinex-cli-tty.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/root/a" "$work/root/b" "$work/out"
echo old >"$work/root/a/x.txt"
echo new >"$work/root/b/x.txt"
touch -d '2020-01-01 00:00:00' "$work/root/a/x.txt"

# tty WHAT STATUS ANSWER ARGS...: runs twinex-cli ARGS on a terminal that
# types ANSWER; everything it shows is left in $work/t.
tty() {
  what=$1 want=$2 answer=$3
  shift 3
  printf '%s' "$answer" | script -qec "$(printf "'%s' " "$@")" /dev/null >"$work/t" 2>&1
  got=$?
  [ "$got" -eq "$want" ] || { fail "$what: status $got, expected $want"; cat "$work/t"; }
}
question="DELETING OLD MODIFIED without Saving - ARE YOU SURE? [y/N]"

tty "listing run" 0 "" "$1" -o "$work/out" "$work/root"
grep -qF "[y/N]" "$work/t" && fail "listing run asked a question"
tty "delete run, answered n" 1 "n
" "$1" --delete -o "$work/out" "$work/root"
grep -qF "$question" "$work/t" || { fail "delete run: no question"; cat "$work/t"; }
[ -f "$work/root/a/x.txt" ] || fail "delete run answered n removed a file"
tty "delete run, answered y" 0 "y
" "$1" --delete -o "$work/out" "$work/root"
[ -f "$work/root/a/x.txt" ] && fail "delete run answered y kept the older copy"
[ -f "$work/root/b/x.txt" ] || fail "delete run answered y removed the newest copy"
tty "move run with --yes" 0 "" "$1" -y --move -o "$work/out" "$work/root"
grep -qF "[y/N]" "$work/t" && fail "--yes asked a question"

[ $fails -eq 0 ] && echo "terminal checks passed"
[ $fails -eq 0 ]
