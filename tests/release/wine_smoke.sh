#!/bin/sh
# The packaged 64-bit twinex-cli.exe, under Wine, against the packaged Linux
# twinex-cli: the same small tree must give the same report once Windows
# paths are written as Linux paths and the creation date is left out.
# usage: wine_smoke.sh OUTDIR VERSION   (Wine ready, WINEPREFIX set)
set -u
out=$1 version=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/twinex-smoke.XXXXXX")
trap 'rm -rf "$work"' EXIT
unzip -q "$out/twinex-$version-win64.zip" -d "$work" || exit 1
tar -C "$work" -xzf "$out/twinex-$version-linux-x86_64.tar.gz" || exit 1

cd "$work"
mkfile() {  # path, modification time
  mkdir -p "$(dirname "tree/$1")"
  echo "$1" >"tree/$1"
  touch -d "$2" "tree/$1"
}
mkfile a/notes.txt "2024-01-02 10:00:00"
mkfile b/notes.txt "2024-03-04 10:00:00"
mkfile b/deep/er/NOTES.TXT "2023-05-06 10:00:00"
mkfile a/photo.jpg "2022-01-01 12:00:00"
mkfile c/photo.jpg "2022-02-01 12:00:00"
mkfile c/alone.doc "2021-01-01 00:00:00"

# Same-named output directories, so that the reports name the same paths.
mkdir -p linux/out win/out
(cd linux && ../twinex-$version-linux-x86_64/bin/twinex-cli -y -q --no-datestamps -o out ../tree) \
  >linux.out 2>linux.err || { echo "FAIL: Linux twinex-cli:"; cat linux.err; exit 1; }
(cd win && WINEDEBUG=-all wine ../twinex-$version-win64/twinex-cli.exe -y -q --no-datestamps -o out ../tree) \
  >win.out 2>win.err || { echo "FAIL: twinex-cli.exe under Wine:"; cat win.err; exit 1; }

# Z:\tmp\x\win\out -> /tmp/x/linux/out; the creation date left out.
sed -e '/^CREATION DATE:/d' -e 's|Z:\\|/|g' -e 's|\\|/|g' -e 's|/win/|/linux/|g' \
  win/out/twinfiles000.txt >win.report
sed -e '/^CREATION DATE:/d' linux/out/twinfiles000.txt >linux.report
if ! diff -u linux.report win.report; then
  echo "FAIL: the reports differ (above: Linux first, then Windows with its paths mapped)"
  exit 1
fi
grep -q '^NUMBER FOUND:   2$' linux.report || { echo "FAIL: expected 2 groups:"; cat linux.report; exit 1; }
echo "packaged twinex-cli.exe under Wine: same report as the Linux twinex-cli"
