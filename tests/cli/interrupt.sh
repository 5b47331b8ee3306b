#!/bin/sh
# Ctrl-C (SIGINT) during a delete run that waits at a deletion question: the
# scan stops after that file, nothing is deleted, the report stays as far as
# written, and twinex-cli ends with status 1.
# usage: interrupt.sh TWINEX_CLI
. "$(dirname "$0")/lib.sh"
files c b a
mkdir "$work/out"
mkfifo "$work/answers"
"$1" -y --delete --ask -o "$work/out" "$work/root" <"$work/answers" >"$work/o" 2>"$work/e" &
pid=$!
exec 3>"$work/answers"
for i in $(seq 100); do grep -q "Do you want to DELETE" "$work/e" && break; sleep 0.1; done
kill -INT $pid
sleep 0.5          # the program passes Ctrl-C on within a tenth of a second
echo n >&3
exec 3>&-          # any further question meets the end of input
wait $pid
status=$?

[ $status -eq 1 ] || fail "status $status, expected 1"
grep -q "twinex: SCAN ABORTED - Report so far: " "$work/e" || { fail "no abort message"; cat "$work/e"; }
[ "$(ls "$work"/root/*/x.txt | wc -l)" -eq 3 ] || fail "a file was removed"
[ "$(grep -c "Do you want to DELETE" "$work/e")" -eq 1 ] || fail "not asked once, and not again after Ctrl-C"
grep -q "NUMBER OF FILES DELETED" "$work/out/twinfiles000.txt" && fail "closing block written after the abort"
[ -s "$work/o" ] && fail "report path printed although interrupted"
verdict "Ctrl-C"
