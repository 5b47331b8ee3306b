#!/bin/sh
# Moves, saves and restores on loop-mounted ext4 images, cut off as a power
# cut would: a few seconds after the runs (the journal commits each second,
# file data waits 30 s for its writeback), each image file is copied as it
# stands, with no sync and no unmount, and the copy is checked and read.
# Every file must be there with its bytes, at its place or in the sinkhole
# under a name its manifest lists, and each report must be complete; with
# the sinkhole on the files' own file system and on a second one.
# Then the rename path: a move onto a nearly full file system still moves,
# and the moved files keep their creation times.
# usage: power_cut.sh TWINEX_CLI   (exit 77: skipped, not root or no loop device)
. "$(dirname "$0")/lib.sh"
cli=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
[ "$(id -u)" = 0 ] || { echo "skipped: loop mounts need root"; exit 77; }
for tool in mkfs.ext4 e2fsck debugfs losetup; do
  command -v $tool >/dev/null || { echo "skipped: no $tool (e2fsprogs, util-linux)"; exit 77; }
done
losetup -f >/dev/null 2>&1 || { echo "skipped: no free loop device"; exit 77; }
mounted=""
undo='cd /; for m in $mounted; do umount "$m" 2>/dev/null || umount -l "$m"; done'
trap 'exit 1' INT TERM HUP

image() {  # name, MiB: an empty ext4 file system in $work/NAME.img, mounted at $work/NAME
  truncate -s "$2M" "$work/$1.img"
  mkfs.ext4 -q -F -I 256 -m 0 -E lazy_itable_init=0,lazy_journal_init=0 "$work/$1.img"
  mkdir "$work/$1"
  mount -o loop,commit=1 "$work/$1.img" "$work/$1" || { echo "skipped: can't mount a loop image"; exit 77; }
  mounted="$work/$1 $mounted"
}

# tree DIR: 8 names in three directories each, random bytes of 1 to 40 KiB.
tree() {
  for i in $(seq 8); do
    for d in one two three/deep; do
      mkdir -p "$1/$d"
      head -c $(((i * 13 + ${#d}) % 40 * 1024 + 1000)) /dev/urandom >"$1/$d/f$i.dat"
    done
  done
}

image a 64
image b 64
image c 48
# The rename path's files, made first so that their creation times are past.
for d in one two three; do
  mkdir -p "$work/c/roomy/$d" "$work/c/full/$d"
  head -c 100000 /dev/urandom >"$work/c/roomy/$d/big.bin"
  head -c 6000000 /dev/urandom >"$work/c/full/$d/big.bin"
done
(cd "$work/c" && stat -c '%W %n' */*/big.bin && sha256sum */*/big.bin) >"$work/c-before"

# same-* keep their sinkholes on a, across-* on b. The restore trees are
# moved first and one of their directories removed, so restoring makes it.
cd "$work/a"
for k in same across; do
  for run in move save restore; do tree "$k-$run"; done
done
find . -path ./lost+found -prune -o -type f -exec sha256sum {} + >"$work/sums"
sink() { [ "$1" = same ] && echo "$work/a/same-out-$2" || echo "$work/b/across-out-$2"; }
for k in same across; do
  "$cli" -q -y --move -o "$(sink $k restore)" "$k-restore" >/dev/null || fail "$k: first move"
  rm -r "$k-restore/three"
done
sync -f "$work/a"
sync -f "$work/b"
for k in same across; do
  "$cli" -q -y --move -o "$(sink $k move)" "$work/a/$k-move" >/dev/null || fail "$k: --move"
  "$cli" -q -y --delete --save -o "$(sink $k save)" "$work/a/$k-save" >/dev/null || fail "$k: --delete --save"
  "$cli" -q --restore "$(sink $k restore)/twinfiles000.sinkhole" 2>"$work/e" || { fail "$k: --restore"; cat "$work/e"; }
done
sleep 3
for i in a b; do cp --sparse=always "$work/$i.img" "$work/cut-$i.img"; done

# The copies checked (the journal replayed) and read out with debugfs.
for i in a b; do
  e2fsck -fy "$work/cut-$i.img" >"$work/fsck" 2>&1
  [ $? -lt 4 ] || { fail "image $i: e2fsck left errors"; cat "$work/fsck"; }
  mkdir "$work/cut-$i"
  debugfs -R "rdump / $work/cut-$i" "$work/cut-$i.img" 2>/dev/null
done
on_cut() { echo "$work/cut-${1#$work/}"; }   # a path as the cut images hold it
for k in same across; do
  for run in move save; do
    cmp -s "$(sink $k $run)/twinfiles000.txt" "$(on_cut "$(sink $k $run)")/twinfiles000.txt" ||
      fail "$k --$run: the report is not complete on the disk"
  done
done
(cd "$work" && find cut-a cut-b -path '*.sinkhole/*' -type f -exec sha256sum {} +) >"$work/cut-sums"
: >"$work/lost"
while read -r sum rel; do
  [ "$(sha256sum 2>/dev/null <"$work/cut-a/$rel")" = "$sum  -" ] && continue
  copy=$(grep -m1 "^$sum " "$work/cut-sums" | cut -c67-)
  sinkhole=${copy%%.sinkhole/*}.sinkhole
  if [ -z "$copy" ]; then
    echo "${rel#./}" >>"$work/lost"
  elif ! cut -f1 "$work/$sinkhole.manifest" 2>/dev/null | grep -qxF "${copy#$sinkhole/}"; then
    fail "${rel#./}: in the sinkhole as ${copy#$sinkhole/}, but its manifest does not name it"
  fi
done <"$work/sums"
for k in same across; do
  for run in move save restore; do
    n=$(grep -c "^$k-$run/" "$work/lost")
    [ "$n" -eq 0 ] || fail "$k --$run: $n of 24 files lost, neither at their place nor in a sinkhole ($(grep -m1 "^$k-$run/" "$work/lost"), ...)"
  done
done

# The rename path: a move within the file system keeps the creation times,
# and still moves every file with less room left than one of them needs.
moved_whole() {  # tree in $work/c
  for d in one two three; do
    [ -e "$work/c/$1/$d/big.bin" ] && fail "$1: $d/big.bin was not moved"
    born=$(grep " $1/$d/big.bin\$" "$work/c-before" | head -1 | cut -d' ' -f1)
    sum=$(grep " $1/$d/big.bin\$" "$work/c-before" | tail -1 | cut -d' ' -f1)
    moved=""
    for f in "$work/c/out-$1"/twinfiles000.sinkhole/big.bin/*; do
      [ -f "$f" ] && [ "$(sha256sum <"$f")" = "$sum  -" ] && moved=$f
    done
    [ -n "$moved" ] || { fail "$1: $d/big.bin is not in the sinkhole"; continue; }
    [ "$(stat -c %W "$moved")" = "$born" ] || fail "$1: $d/big.bin lost its creation time"
  done
}
"$cli" -q -y --move -o "$work/c/out-roomy" "$work/c/roomy" >/dev/null || fail "roomy: status $?"
moved_whole roomy
dd if=/dev/zero of="$work/c/filler" bs=1M 2>/dev/null
truncate -s -1M "$work/c/filler"
"$cli" -q -y --move -o "$work/c/out-full" "$work/c/full" >/dev/null || fail "nearly full: status $?"
moved_whole full
verdict "power cut and rename path"
