#!/bin/sh
# Runs the real twinex-cli with --json on names that are hard to carry
# (quotes, backslashes, a tab, a line break, UTF-8, bytes that are not
# UTF-8) and reads the result back with Python's JSON parser: every name
# must come back as the exact bytes on disk.
# usage: json.sh TWINEX_CLI      (exit 77: skipped, no python3)
command -v python3 >/dev/null 2>&1 || { echo "no python3: skipped"; exit 77; }
. "$(dirname "$0")/lib.sh"
mkdir -p "$work/a" "$work/b" "$work/out"
for d in a b; do
  for n in "odd \"q\" \\ name.txt" "$(printf 'tab\tnl\n.txt')" "$(printf '\303\251t\303\251.txt')" "$(printf 'raw\377\376.bin')"; do
    printf '%s' "$d" >"$work/$d/$n"
  done
done
touch -d '2005-06-14 14:05:09 UTC' "$work"/a/*
"$1" -q -y -o "$work/out" --json "$work/out/list.json" "$work/a" "$work/b" >/dev/null || fail "listing run"
"$1" -q -y -o "$work/out" --json "$work/out/list.json" "$work/a" >/dev/null 2>&1
[ $? -eq 2 ] || fail "an existing JSON file was not refused"
"$1" -q -y -o "$work/out" --delete --same-content --unicode --copies --json "$work/out/delete.json" "$work/a" "$work/b" >/dev/null 2>&1 || fail "delete run"
# The same files from a NUL-separated list read from a pipe, with a missing
# entry, a directory and a file listed twice: status 4, each file once.
{ find "$work/a" "$work/b" -type f -print0; printf '%s\0' "$work/gone" "$work/a" "$work/a/$(ls "$work/a" | head -1)"; } |
  "$1" -q -o "$work/out" --files-from - -0 --json "$work/out/listed.json" >/dev/null 2>"$work/err"
[ $? -eq 4 ] || fail "a list with a missing entry and a directory did not end with status 4"
[ "$(grep -c "can't read $work/\(gone: No such file\|a: not a regular file\)" "$work/err")" -eq 2 ] \
  || { fail "the refused entries are not named"; cat "$work/err"; }
WORK="$work" python3 - <<'PY' || fail "the JSON read back"
import json, os, re, sys
work = os.environ["WORK"].encode()
roots = [os.path.join(work, b"a"), os.path.join(work, b"b")]
names = {b'odd "q" \\ name.txt', b"tab\tnl\n.txt", "été.txt".encode(), b"raw\xff\xfe.bin"}
stamp = re.compile(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ")
def raw(obj, key):
    return bytes.fromhex(obj[key + "_bytes"]) if key + "_bytes" in obj else obj[key].encode("utf-8")
def check(run, ok, what):
    if not ok:
        print("FAIL: %s: %s" % (run, what))
        sys.exit(1)
for run in ("list", "delete"):
    doc = json.loads(open(os.path.join(work, b"out", run.encode() + b".json"), "rb").read().decode("utf-8"))
    facts = (doc["complete"], doc["groups_found"], doc["total_checked"], doc["action"], doc["case_insensitive"])
    check(run, facts == (True, 4, 8, run, True), "header " + repr(facts))
    names_rules = (doc.get("unicode"), doc.get("copies"))
    check(run, names_rules == ((None, None) if run == "list" else (True, True)), "unicode, copies " + repr(names_rules))
    check(run, [raw(r, "path") for r in doc["roots"]] == roots, "roots")
    check(run, {raw(g, "name") for g in doc["groups"]} == names, "names")
    for g in doc["groups"]:
        for f in g["files"]:
            p = raw(f, "path")
            check(run, os.path.basename(p) == raw(g, "name") and os.path.dirname(p) in roots, "path " + repr(p))
            check(run, f["size"] == 1 and all(stamp.fullmatch(f[k]) for k in ("created", "accessed", "modified")), repr(f))
            check(run, not p.startswith(roots[0]) or f["modified"] == "2005-06-14T14:05:09Z", "modified " + f["modified"])
        if run == "delete":   # same size, other bytes: every older copy stays, with the reason
            outcomes = sorted((f.get("outcome"), f.get("reason")) for f in g["files"])
            check(run, outcomes == [("kept", None), ("not_deleted", "CONTENT DIFFERS")], repr(g["files"]))
    check(run, run == "list" or (doc["files_acted_on"], doc["bytes_compared"]) == (0, 4), "acted on, compared")
doc = json.loads(open(os.path.join(work, b"out", b"listed.json"), "rb").read().decode("utf-8"))
listed = sorted(raw(f, "path") for g in doc["groups"] for f in g["files"])
check("listed", listed == sorted(os.path.join(r, n) for r in roots for n in names), "paths " + repr(listed))
check("listed", (doc["roots"], doc["files_from"]["path"], doc["files_from"]["checked"]) == ([], "-", 8), "header")
PY
verdict "JSON"
