#!/bin/sh
# Checks the archives written by tools/package: the files in each, the
# format of each program, no debug sections, the large-address-aware flag of
# the 32-bit programs, the version resource and manifest of every Windows
# program (the window's asking for visual styles), CR LF text files for Windows, and a manual page that renders
# without warnings.
# usage: archives.sh OUTDIR VERSION
set -u
out=$1 version=$2
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }

work=$(mktemp -d "${TMPDIR:-/tmp}/twinex-archives.XXXXXX")
trap 'rm -rf "$work"' EXIT

files_are() {  # archive, the expected list (one name a line, sorted)
  if [ "$(cat "$work/list")" != "$2" ]; then
    fail "$1 holds:"; cat "$work/list"
  fi
}

check_windows() {  # arch (win32, win64), object format
  name=twinex-$version-$1
  [ -f "$out/$name.zip" ] || { fail "no $name.zip"; return; }
  unzip -Z1 "$out/$name.zip" | sort >"$work/list"
  files_are "$name.zip" "$(printf '%s\n' "$name/" "$name/LICENSE.txt" "$name/README.txt" \
                           "$name/twinex-cli.exe" "$name/twinex.exe")"
  unzip -q -o "$out/$name.zip" -d "$work"
  for text in README.txt LICENSE.txt; do
    awk '!/\r$/ { bad = 1 } END { exit bad }' "$work/$name/$text" || fail "$name/$text: a line without CR LF"
  done
  for exe in twinex.exe twinex-cli.exe; do
    f=$work/$name/$exe
    [ -f "$f" ] || continue
    objdump -f "$f" | grep -q "file format $2\$" || fail "$name/$exe is not $2"
    ! objdump -h "$f" | grep -q '\.debug' || fail "$name/$exe has debug sections"
    if [ "$2" = pei-i386 ]; then
      objdump -p "$f" | grep -q 'large address aware' || fail "$name/$exe is not large-address-aware"
    fi
    x86_64-w64-mingw32-windres -i "$f" -O rc >"$work/rc" 2>&1 || fail "$name/$exe: no resources"
    for want in 'FILEVERSION 1, 3, 0, 0' '"ProductName", "twinex"' '"FileVersion", "1.03"' \
                '"LegalCopyright", "Copyright' "\"OriginalFilename\", \"$exe\"" 'RT_MANIFEST' \
                'level=""asInvoker""' '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}' '>UTF-8</activeCodePage>'; do
      grep -qF -- "$want" "$work/rc" || fail "$name/$exe: no $want in its resources"
    done
    if [ $exe = twinex.exe ]; then
      grep -qF 'Microsoft.Windows.Common-Controls' "$work/rc" || fail "$name/$exe: no visual styles"
    fi
  done
}

check_linux() {
  name=twinex-$version-linux-x86_64
  [ -f "$out/$name.tar.gz" ] || { fail "no $name.tar.gz"; return; }
  tar -tzf "$out/$name.tar.gz" | grep -v '/$' | sort >"$work/list"
  files_are "$name.tar.gz" "$(printf '%s\n' "$name/LICENSE" "$name/README.md" \
                              "$name/bin/twinex-cli" "$name/share/man/man1/twinex-cli.1")"
  tar -C "$work" -xzf "$out/$name.tar.gz"
  f=$work/$name/bin/twinex-cli
  objdump -f "$f" | grep -q 'file format elf64-x86-64$' || fail "$name/bin/twinex-cli is not elf64-x86-64"
  ! objdump -h "$f" | grep -q '\.debug' || fail "$name/bin/twinex-cli has debug sections"
  "$f" --version | grep -qF "twinex $version" || fail "$name/bin/twinex-cli --version"
  warnings=$(groff -man -ww -z "$work/$name/share/man/man1/twinex-cli.1" 2>&1)
  [ -z "$warnings" ] || fail "the manual page: $warnings"
}

check_windows win32 pei-i386
check_windows win64 pei-x86-64
check_linux
[ $fails -eq 0 ] && echo "release archives: all checks passed"
[ $fails -eq 0 ]
