#!/bin/sh
# cmake --install into a new prefix puts the program in bin and its manual
# page in share/man/man1, and the installed program runs.
# usage: install.sh CMAKE BUILD_DIR SOURCE_DIR
. "$(dirname "$0")/../cli/lib.sh"
"$1" --install "$2" --prefix "$work" >/dev/null || fail "cmake --install"
cmp -s "$3/doc/twinex-cli.1" "$work/share/man/man1/twinex-cli.1" || fail "no manual page in share/man/man1"
"$work/bin/twinex-cli" --version </dev/null | grep -q '^twinex ' || fail "the installed bin/twinex-cli does not run"
verdict "install"
