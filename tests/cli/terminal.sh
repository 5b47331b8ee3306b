#!/bin/sh
# Runs the real twinex-cli with its standard input on a pseudo-terminal (made
# by `script`): a delete run asks its one question there and acts only on
# yes; a listing run, and a run with --yes, ask nothing.
# usage: terminal.sh TWINEX_CLI
. "$(dirname "$0")/lib.sh"
command -v script >/dev/null || { echo "SKIP: no script(1) to make a terminal"; exit 0; }
files a b
mkdir "$work/out"

# tty STATUS ANSWER ARGS...: runs twinex-cli ARGS on a terminal that types
# ANSWER; everything it shows is left in $work/t.
tty() {
  want=$1 answer=$2
  shift 2
  printf '%s' "$answer" | script -qec "$(printf "'%s' " "$@" -o "$work/out" "$work/root")" /dev/null >"$work/t" 2>&1
  got=$?
  [ "$got" -eq "$want" ] || { fail "$*: status $got, expected $want"; cat "$work/t"; }
}
tty 0 "" "$1"
grep -qF "[y/N]" "$work/t" && fail "listing run asked a question"
tty 1 "n
" "$1" --delete
grep -qF "DELETING OLD MODIFIED without Saving - ARE YOU SURE? [y/N]" "$work/t" || { fail "no question"; cat "$work/t"; }
[ -f "$work/root/a/x.txt" ] || fail "delete run answered n removed a file"
tty 0 "y
" "$1" --delete
[ -f "$work/root/a/x.txt" ] && fail "delete run answered y kept the older copy"
[ -f "$work/root/b/x.txt" ] || fail "delete run answered y removed the newest copy"
tty 0 "" "$1" -y --move
grep -qF "[y/N]" "$work/t" && fail "--yes asked a question"
verdict "terminal"
