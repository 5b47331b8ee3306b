#!/bin/sh
# Directories that cannot be read, as an unprivileged user sees them (run as
# nobody when started as root, whom permissions do not stop): each is named
# on the error stream with the system's reason, at most 20 of them and then
# the count, also with -q; every other file is reported as ever.
# usage: unreadable.sh TWINEX_CLI
set -u
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }

as_user=""
if [ "$(id -u)" = 0 ]; then
  if ! command -v setpriv >/dev/null; then
    echo "SKIP: running as root and setpriv is missing, so no directory can be made unreadable"
    exit 0
  fi
  as_user="setpriv --reuid=65534 --regid=65534 --clear-groups"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/twinex-cli-unread.XXXXXX")
trap 'chmod -R u+rwx "$work"; rm -rf "$work"' EXIT
chmod 755 "$work"
mkdir -p "$work/root/ok" "$work/out"
chmod 777 "$work/out"
echo one >"$work/root/x.txt"
echo two >"$work/root/ok/x.txt"
i=1
while [ $i -le 25 ]; do
  mkdir "$work/root/locked$i"
  echo $i >"$work/root/locked$i/x.txt"
  chmod 000 "$work/root/locked$i"
  i=$((i + 1))
done

$as_user "$1" -q -y --no-datestamps -o "$work/out" "$work/root" >"$work/o" 2>"$work/e"
status=$?

named=$(grep -c "^twinex: can't read $work/root/locked[0-9]*: Permission denied\$" "$work/e")
[ "$named" -eq 20 ] || { fail "$named directories named, expected 20"; cat "$work/e"; }
[ "$(tail -1 "$work/e")" = "twinex: 25 directories could not be read" ] || { fail "no count line"; cat "$work/e"; }
[ "$(wc -l <"$work/e")" -eq 21 ] || { fail "other messages"; cat "$work/e"; }
[ -s "$work/o" ] || fail "no report path printed (status $status)"
report="$work/out/twinfiles000.txt"
grep -qx "$work/root/x.txt" "$report" && grep -qx "$work/root/ok/x.txt" "$report" ||
  { fail "the readable files are not reported"; cat "$report"; }
grep -q locked "$report" && fail "an unreadable directory shows in the report"

[ $fails -eq 0 ] && echo "unreadable directories check passed"
[ $fails -eq 0 ]
