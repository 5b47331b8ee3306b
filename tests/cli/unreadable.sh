#!/bin/sh
# Directories that cannot be read, as an unprivileged user sees them (run as
# nobody when started as root, whom permissions do not stop): each is named
# on the error stream with the system's reason, at most 20 of them and then
# the count, also with -q; every other file is reported as ever, and the
# run ends with status 4: not everything asked was read.
# usage: unreadable.sh TWINEX_CLI
. "$(dirname "$0")/lib.sh"
as_user=""
if [ "$(id -u)" = 0 ]; then
  command -v setpriv >/dev/null || { echo "SKIP: root without setpriv: no directory can be made unreadable"; exit 0; }
  as_user="setpriv --reuid=65534 --regid=65534 --clear-groups"
fi
files . ok $(seq -f locked%g 25)
chmod 755 "$work"
mkdir -m 777 "$work/out"
chmod 000 "$work"/root/locked*

$as_user "$1" -q -y --no-datestamps -o "$work/out" "$work/root" >"$work/o" 2>"$work/e"
status=$?
[ "$status" -eq 4 ] || fail "exit status $status, expected 4"
named=$(grep -c "^twinex: can't read $work/root/locked[0-9]*: Permission denied\$" "$work/e")
[ "$named" -eq 20 ] || fail "$named directories named, expected 20"
[ "$(tail -1 "$work/e")" = "twinex: 25 directories could not be read" ] || fail "no count line"
[ "$(wc -l <"$work/e")" -eq 21 ] || fail "other messages"
[ $fails -eq 0 ] || cat "$work/e"
[ -s "$work/o" ] || fail "no report path printed"
grep -c "^$work/root/\(ok/\)\?x.txt\$" "$work/out/twinfiles000.txt" | grep -qx 2 || fail "the readable files are not reported"
grep -q locked "$work/out/twinfiles000.txt" && fail "an unreadable directory shows in the report"
verdict "unreadable directories"
