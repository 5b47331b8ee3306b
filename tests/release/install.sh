#!/bin/sh
# cmake --install into a new prefix puts the program in bin and its manual
# page in share/man/man1, and the installed program runs.
# usage: install.sh CMAKE BUILD_DIR SOURCE_DIR
set -u
cmake=$1 build=$2 source=$3
prefix=$(mktemp -d "${TMPDIR:-/tmp}/twinex-install.XXXXXX")
trap 'rm -rf "$prefix"' EXIT
"$cmake" --install "$build" --prefix "$prefix" >/dev/null || { echo "FAIL: cmake --install"; exit 1; }
fails=0
[ -x "$prefix/bin/twinex-cli" ] || { echo "FAIL: no $prefix/bin/twinex-cli"; fails=$((fails + 1)); }
cmp -s "$source/doc/twinex-cli.1" "$prefix/share/man/man1/twinex-cli.1" \
  || { echo "FAIL: no manual page in $prefix/share/man/man1"; fails=$((fails + 1)); }
"$prefix/bin/twinex-cli" --version </dev/null | grep -q '^twinex ' \
  || { echo "FAIL: the installed twinex-cli does not run"; fails=$((fails + 1)); }
[ $fails -eq 0 ] && echo "installed: bin/twinex-cli and share/man/man1/twinex-cli.1"
[ $fails -eq 0 ]
