#!/bin/sh
# The packaged 64-bit twinex-cli.exe, under Wine, against the packaged Linux
# twinex-cli: the same small tree must give the same report once Windows
# paths are written as Linux paths and the creation date is left out.
# usage: wine_smoke.sh OUTDIR VERSION   (Wine ready, WINEPREFIX set)
. "$(dirname "$0")/../cli/lib.sh"
unzip -q "$1/twinex-$2-win64.zip" -d "$work" && tar -C "$work" -xzf "$1/twinex-$2-linux-x86_64.tar.gz" || exit 1
cd "$work"
for f in a/notes.txt:2024-01-02 b/notes.txt:2024-03-04 b/deep/er/NOTES.TXT:2023-05-06 \
         a/photo.jpg:2022-01-01 c/photo.jpg:2022-02-01 c/alone.doc:2021-01-01; do
  mkdir -p "$(dirname "tree/${f%:*}")" linux/out win/out
  echo "${f%:*}" >"tree/${f%:*}"
  touch -d "${f#*:} 10:00:00" "tree/${f%:*}"
done
# Same-named output directories, so that the reports name the same paths.
(cd linux && ../twinex-$2-linux-x86_64/bin/twinex-cli -y -q --no-datestamps -o out ../tree) >/dev/null 2>linux.err \
  || fail "Linux twinex-cli: $(cat linux.err)"
(cd win && WINEDEBUG=-all wine ../twinex-$2-win64/twinex-cli.exe -y -q --no-datestamps -o out ../tree) >/dev/null 2>win.err \
  || fail "twinex-cli.exe under Wine: $(cat win.err)"
# Z:\tmp\x\win\out -> /tmp/x/linux/out; the creation date left out.
sed -e '/^CREATION DATE:/d' -e 's|Z:\\|/|g' -e 's|\\|/|g' -e 's|/win/|/linux/|g' win/out/twinfiles000.txt >win.report
sed -e '/^CREATION DATE:/d' linux/out/twinfiles000.txt >linux.report
diff -u linux.report win.report || fail "the reports differ (above: Linux first, then Windows with its paths mapped)"
grep -q '^NUMBER FOUND:   2$' linux.report || fail "expected 2 groups"
verdict "packaged twinex-cli.exe under Wine against the Linux one"
