#!/bin/sh
# Runs the real twinex-cli program and checks its exit codes and output.
# usage: exit_codes.sh [RUNNER...] TWINEX_CLI   (RUNNER: wine, for the Windows build)
set -u
fails=0
check() {  # what, expected status, actual status
  if [ "$2" -ne "$3" ]; then
    echo "FAIL: $1: status $3, expected $2"
    fails=$((fails + 1))
  fi
}
contains() {  # what, file, text
  if ! tr -d '\r' <"$2" | grep -qF -- "$3"; then
    echo "FAIL: $1: no \"$3\" in:"; cat "$2"
    fails=$((fails + 1))
  fi
}

work=$(mktemp -d "${TMPDIR:-/tmp}/twinex-cli-sh.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/root/a" "$work/root/b" "$work/out"
echo one >"$work/root/a/x.txt"
echo two >"$work/root/b/x.txt"

"$@" --version >"$work/o" 2>"$work/e" </dev/null
check "--version" 0 $?
contains "--version" "$work/o" "twinex 1.03"

"$@" >"$work/o" 2>"$work/e" </dev/null
check "no roots, no output" 2 $?
contains "no roots, no output" "$work/e" "twinex: NOTHING TO SCAN"

"$@" --bogus >"$work/o" 2>"$work/e" </dev/null
check "unknown option" 2 $?
contains "unknown option" "$work/e" "usage: twinex-cli"

echo n | "$@" -q "$work/root" >"$work/o" 2>"$work/e"
check "NO OUTPUT CHOSEN answered n" 1 $?
contains "NO OUTPUT CHOSEN answered n" "$work/e" "NO OUTPUT CHOSEN - Do you want to use:-"

"$@" -q -y -o "$work/out" "$work/root" >"$work/o" 2>"$work/e" </dev/null
check "listing run" 0 $?
contains "listing run" "$work/o" "twinfiles000.txt"
[ -f "$work/out/twinfiles000.txt" ] || { echo "FAIL: listing run: no report"; fails=$((fails + 1)); }
contains "listing run report" "$work/out/twinfiles000.txt" "x.txt"

[ $fails -eq 0 ] && echo "all twinex-cli exit-code checks passed"
[ $fails -eq 0 ]
