# Sourced by the scripts in tests/cli and tests/release: a scratch directory
# $work removed at the end, failures counted, and the closing verdict.
set -u
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }
work=$(mktemp -d "${TMPDIR:-/tmp}/twinex-test.XXXXXX")
undo=:   # what a script must undo before $work goes (unmounting, say)
trap 'eval "$undo"; chmod -R u+rwx "$work"; rm -rf "$work"' EXIT

# files DIR...: DIR/x.txt holding its directory's name for each DIR under
# $work/root, the first dated 2019, the second 2020, the others now.
files() {
  year=2019
  for d; do
    mkdir -p "$work/root/$d"
    echo "$d" >"$work/root/$d/x.txt"
    [ $year -gt 2020 ] || touch -d "$year-01-01 00:00:00" "$work/root/$d/x.txt"
    year=$((year + 1))
  done
}

# verdict WHAT: the closing line when every check passed; the exit status.
verdict() {
  [ $fails -eq 0 ] && echo "$1: all checks passed"
  [ $fails -eq 0 ]
}
