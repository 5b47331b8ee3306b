#!/bin/sh
# Checks the archives written by tools/package: the files in each, the
# format of each program, no debug sections, the large-address-aware flag of
# the 32-bit programs, the version resource and manifest of every Windows
# program (the window's asking for visual styles), CR LF text files for
# Windows, and a manual page that renders without warnings.
# usage: archives.sh OUTDIR VERSION
. "$(dirname "$0")/../cli/lib.sh"
out=$1 version=$2

# unpack ARCHIVE NAME...: ARCHIVE must hold exactly the NAMEs (in its folder
# $name), and is unpacked into $work.
unpack() {
  a=$out/$1
  shift
  [ -f "$a" ] || { fail "no $a"; return 1; }
  case $a in *.zip) unzip -Z1 "$a"; unzip -q -o "$a" -d "$work" ;; *) tar -tzf "$a"; tar -C "$work" -xzf "$a" ;; esac \
    | grep -v '/$' | sort >"$work/list"
  [ "$(cat "$work/list")" = "$(printf "$name/%s\n" "$@" | sort)" ] || { fail "$a holds:"; cat "$work/list"; }
}

# program FILE FORMAT: an object of FORMAT without debug sections.
program() {
  objdump -f "$1" | grep -q "file format $2\$" || fail "$1 is not $2"
  ! objdump -h "$1" | grep -q '\.debug' || fail "$1 has debug sections"
}

for arch in win32:pei-i386 win64:pei-x86-64; do
  name=twinex-$version-${arch%:*}
  unpack "$name.zip" LICENSE.txt README.txt twinex-cli.exe twinex.exe || continue
  for text in README.txt LICENSE.txt; do
    awk '!/\r$/ { bad = 1 } END { exit bad }' "$work/$name/$text" || fail "$name/$text: a line without CR LF"
  done
  for exe in twinex.exe twinex-cli.exe; do
    f=$work/$name/$exe
    program "$f" "${arch#*:}"
    [ "$arch" = win64:pei-x86-64 ] || objdump -p "$f" | grep -q 'large address aware' || fail "$f is not large-address-aware"
    x86_64-w64-mingw32-windres -i "$f" -O rc >"$work/rc" 2>&1 || fail "$f: no resources"
    [ $exe = twinex-cli.exe ] || grep -qF 'Microsoft.Windows.Common-Controls' "$work/rc" || fail "$f: no visual styles"
    for want in 'FILEVERSION 1, 3, 0, 0' '"ProductName", "twinex"' '"FileVersion", "1.03"' \
                '"LegalCopyright", "Copyright' "\"OriginalFilename\", \"$exe\"" 'RT_MANIFEST' \
                'level=""asInvoker""' '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}' '>UTF-8</activeCodePage>'; do
      grep -qF -- "$want" "$work/rc" || fail "$f: no $want in its resources"
    done
  done
done

name=twinex-$version-linux-x86_64
if unpack "$name.tar.gz" LICENSE README.md bin/twinex-cli share/man/man1/twinex-cli.1; then
  program "$work/$name/bin/twinex-cli" elf64-x86-64
  "$work/$name/bin/twinex-cli" --version | grep -qF "twinex $version" || fail "$name/bin/twinex-cli --version"
  warnings=$(groff -man -ww -z "$work/$name/share/man/man1/twinex-cli.1" 2>&1)
  [ -z "$warnings" ] || fail "the manual page: $warnings"
fi
verdict "release archives"
