#!/bin/sh
# Runs the real twinex-cli with --json on names that are hard to carry
# (quotes, backslashes, a tab, a line break, UTF-8, bytes that are not
# UTF-8) and reads the result back with Python's JSON parser: every name
# must come back as the exact bytes on disk.
# usage: json.sh TWINEX_CLI      (exit 77: skipped, no python3)
set -u
command -v python3 >/dev/null 2>&1 || { echo "no python3: skipped"; exit 77; }
cli=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/twinex-json.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/a" "$work/b" "$work/out"
for d in a b; do
  printf '%s' "$d" >"$work/$d/odd \"q\" \\ name.txt"
  printf '%s' "$d" >"$work/$d/$(printf 'tab\tnl\n.txt')"
  printf '%s' "$d" >"$work/$d/$(printf '\303\251t\303\251.txt')"
  printf '%s' "$d" >"$work/$d/$(printf 'raw\377\376.bin')"
done
touch -d '2005-06-14 14:05:09 UTC' "$work"/a/*
"$cli" -q -y -o "$work/out" --json "$work/out/list.json" "$work/a" "$work/b" >/dev/null || { echo "FAIL: listing run"; exit 1; }
"$cli" -q -y -o "$work/out" --json "$work/out/list.json" "$work/a" >/dev/null 2>"$work/err"
[ $? -eq 2 ] || { echo "FAIL: an existing JSON file was not refused"; exit 1; }
"$cli" -q -y -o "$work/out" --delete --same-content --json "$work/out/delete.json" "$work/a" "$work/b" >/dev/null 2>&1 || { echo "FAIL: delete run"; exit 1; }
WORK="$work" python3 - <<'PY'
import json, os, re, sys
work = os.environ["WORK"].encode()
def raw(obj, key):
    return bytes.fromhex(obj[key + "_bytes"]) if key + "_bytes" in obj else obj[key].encode("utf-8")
names = {b'odd "q" \\ name.txt', b"tab\tnl\n.txt", "été.txt".encode(), b"raw\xff\xfe.bin"}
fails = []
for run in ("list", "delete"):
    with open(os.path.join(work, b"out", run.encode() + b".json"), "rb") as f:
        doc = json.loads(f.read().decode("utf-8"))
    if not doc.get("complete") or doc["groups_found"] != 4 or doc["total_checked"] != 8:
        fails.append(run + ": header facts " + repr({k: doc.get(k) for k in ("complete", "groups_found", "total_checked")}))
    if doc["action"] != ("list" if run == "list" else "delete") or doc["case_insensitive"] is not True:
        fails.append(run + ": action or case rule")
    if [raw(r, "path") for r in doc["roots"]] != [os.path.join(work, b"a"), os.path.join(work, b"b")]:
        fails.append(run + ": roots")
    got = {raw(g, "name") for g in doc["groups"]}
    if got != names:
        fails.append(run + ": names " + repr(got))
    for g in doc["groups"]:
        for f in g["files"]:
            p = raw(f, "path")
            if os.path.basename(p) != raw(g, "name") or os.path.dirname(p) not in (os.path.join(work, b"a"), os.path.join(work, b"b")):
                fails.append(run + ": path " + repr(p))
            if f["size"] != 1 or not all(re.fullmatch(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ", f[k]) for k in ("created", "accessed", "modified")):
                fails.append(run + ": size or times " + repr(f))
            if os.path.dirname(p).endswith(b"/a") and f["modified"] != "2005-06-14T14:05:09Z":
                fails.append(run + ": modified " + f["modified"])
        # same size, other bytes: every older copy stays, with the reason
        outcomes = sorted((f.get("outcome"), f.get("reason")) for f in g["files"])
        if run == "delete" and outcomes != [("kept", None), ("not_deleted", "CONTENT DIFFERS")]:
            fails.append(run + ": outcomes " + repr(g["files"]))
    if run == "delete" and (doc["files_acted_on"] != 0 or doc["bytes_compared"] != 4):
        fails.append("delete: files_acted_on or bytes_compared")
for f in fails:
    print("FAIL:", f)
sys.exit(1 if fails else 0)
PY
