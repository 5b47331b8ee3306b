#!/bin/sh
# A directory swapped for a symbolic link at the moment of the act. The
# preloaded library swap_preload.c counts the calls that name the older copy
# root/a/d/x.txt (and in a second sweep also those that name root/a or
# root/a/d, as the walk and a program reaching the file's directory again
# do) and, before one of them, renames its directory (a/d, or a above it)
# away and puts a link to an outside tree in its place; the
# outside tree holds a file of the same name, size and time. Each run is
# made once without a swap, to count those calls, and then once with the
# swap before each of them. Whatever the program chooses (to act on the
# file it found, or to keep it as changed), the outside file stays as it
# was, none of its bytes reach the sinkhole or the trash, nothing the user
# asked to keep is lost, and the run ends with 0, or with 4 when it kept
# the file.
# usage: swap.sh TWINEX_CLI PRELOAD_LIBRARY   (a twinex-cli without
# sanitizers: AddressSanitizer refuses a preloaded library)
. "$(dirname "$0")/lib.sh"
cli=$1 lib=$2
w=$(cd "$work" && pwd -P)
target="$w/root/a/d/x.txt"

# Every call of the program that takes a path must pass through the library.
for f in $(nm -D --undefined-only "$cli" | awk '{ sub(/@.*/, "", $2); print $2 }'); do
  case $f in
    fstat|fstat64|fstatfs*|fstatvfs*|f*xattr|faccessat2) ;;
    open|open64|openat*|__open*|creat*|fopen*|*stat|*stat64|statx|*access*|realpath|*xattr|unlink*|remove|rename*|link|linkat|truncate*|*chmod*|*chown*|utime*|lutimes|name_to_handle_at)
      nm -D --defined-only "$lib" | grep -q " $f\$" || fail "twinex-cli calls $f, which the library does not wrap" ;;
  esac
done

# Three files of one size; the older copy and the outside file also share
# their time. Only their first bytes tell them apart.
body=$(seq -s . 900)
intended="INTENDED$body" other="KEPT-ONE$body" outside="OUTSIDE!$body"
setup() {  # the newest copy's text
  rm -rf "$w/root" "$w/outside" "$w/out" "$w/data" "$w/log"
  mkdir -p "$w/root/a/d" "$w/root/b" "$w/outside/d" "$w/out"
  printf '%s' "$intended" >"$target"
  printf '%s' "$1" >"$w/root/b/x.txt"
  printf '%s' "$outside" >"$w/outside/d/x.txt"
  touch -d '2019-01-01 00:00:00' "$target" "$w/outside/d/x.txt"
}

# attempt WHAT AT DIR NEWEST OPTIONS...: one run with the swap of root/DIR
# before call AT (0: no swap); NEWEST is the newest copy's text.
attempt() {
  what=$1 at=$2 dir=$3 newest=$4
  shift 4
  setup "$newest"
  where="$what, swap of $dir before call $at"
  SWAP_FILE=$target SWAP_DIRS=$dirs SWAP_AT=$at SWAP_DIR="$w/root/$dir" SWAP_LINK="$w/outside${dir#a}" SWAP_LOG="$w/log" \
    XDG_DATA_HOME="$w/data" LD_PRELOAD="$lib" "$cli" -q -y -o "$w/out" "$@" "$w/root" >/dev/null 2>"$w/e"
  status=$?
  [ $status -eq 0 ] || [ $status -eq 4 ] || { fail "$where: status $status"; cat "$w/e"; }
  [ "$(cat "$w/outside/d/x.txt" 2>/dev/null)" = "$outside" ] && [ "$(ls -A "$w/outside/d")" = x.txt ] &&
    [ "$(date -r "$w/outside/d/x.txt" +%Y%m%d%H%M%S)" = 20190101000000 ] ||
    fail "$where: the outside file was touched"
  copied=$(grep -rlF 'OUTSIDE!' "$w" | grep -v "^$w/outside/")
  [ -z "$copied" ] || fail "$where: the outside file's bytes were copied to ${copied#$w/}"
  saved="${newest%%$body}"
  case " $* " in *" --save "* | *" --move "* | *" --trash "*) saved="$saved INTENDED" ;; esac
  for t in $saved; do
    grep -rqF "$t" "$w/root" "$w/out" "$w/data" 2>/dev/null || fail "$where: the file holding $t is lost"
  done
  place="$w/root/$dir.away/${target#$w/root/$dir/}"
  [ -e "$place" ] && [ $status -ne 4 ] && fail "$where: the file was kept, but the status is $status"
}

sweep() {  # what, newest copy's text, options...
  case_name=$1 case_text=$2
  shift 2
  for dirs in "" "$w/root"; do
    attempt "$case_name" 0 a "$case_text" "$@"
    [ -e "$target" ] && fail "$case_name: without a swap the older copy stays"
    calls=$(($(cat "$w/log" 2>/dev/null | wc -l)))
    [ $calls -gt 0 ] || fail "$case_name: no call the library wraps names the file"
    for d in a a/d; do
      for n in $(seq $calls); do attempt "$case_name${dirs:+ (directories counted)}" "$n" "$d" "$case_text" "$@"; done
    done
  done
}

sweep "--delete"                "$other"    --delete
sweep "--delete --save"         "$other"    --delete --save
sweep "--move"                  "$other"    --move
sweep "--delete --trash"        "$other"    --delete --trash
sweep "--delete --same-content" "$intended" --delete --same-content
verdict "directory swapped for a link"
