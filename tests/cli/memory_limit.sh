#!/bin/sh
# twinex-cli under a ladder of address-space limits (ulimit -v) over a tree
# whose scan needs more than the lower limits give. Every run the limit lets
# start ends with a finished report (status 0) or with "QUITTING..." and
# status 3, nothing on standard output; never with a signal. At least one
# run must meet the limit with "OUT OF MEMORY", and one must finish.
# usage: memory_limit.sh TWINEX_CLI   (a build without sanitizers: those
# reserve more address space than any of these limits)
. "$(dirname "$0")/lib.sh"
# 20 directories of the same 500 long names: 10,000 files in 500 groups,
# about 3 MB of paths.
long=$(printf 'x%.0s' $(seq 150))
for d in $(seq 20); do
  mkdir -p "$work/tree/dir-$long-$d"
  (cd "$work/tree/dir-$long-$d" && seq -f "file-$long-%g" 500 | xargs touch)
done
mkdir "$work/out"

# The limits rise by half each step: glibc reserves the heap of the scan
# thread in blocks of 64 MiB, so only the highest limits let the scan finish.
oom=0 done=0
for kb in 6000 8000 12000 16000 24000 32000 48000 64000 96000 128000 192000 256000 384000 512000; do
  (ulimit -v $kb; exec "$1" --version) >/dev/null 2>&1 || continue
  (ulimit -v $kb; exec "$1" -q -y --no-datestamps -o "$work/out" "$work/tree") >"$work/o" 2>"$work/e"
  status=$?
  case $status in
    0) done=$((done + 1)); [ -s "$work/o" ] || fail "$kb KiB: finished without the report path" ;;
    3) grep -q "QUITTING" "$work/e" || fail "$kb KiB: status 3 without QUITTING: $(cat "$work/e")"
       grep -q "OUT OF MEMORY" "$work/e" && oom=$((oom + 1))
       [ -s "$work/o" ] && fail "$kb KiB: report path printed after a fatal error" ;;
    *) fail "$kb KiB: status $status: $(cat "$work/e")" ;;
  esac
  rm -f "$work/out"/*
done
[ $oom -gt 0 ] || fail "no run met the limit with OUT OF MEMORY"
[ $done -gt 0 ] || fail "no run finished: the tree is too big for the highest limit"
verdict "memory limit ($oom runs out of memory, $done finished)"
