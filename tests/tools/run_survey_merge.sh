#!/usr/bin/env bash
# orvanta-survey --merge on generated records (make_records.py), a broken
# file, a newer schema, a computer three times and a UTF-16 file among them,
# and a list of the computers expected, one of which sent no record:
# the exit code and messages, the CSV read back by Python's csv module, the
# JSON Lines loaded by sqlite3's JSON functions, and the page opened in
# headless Chromium, whose DOM must show the counts; its screenshot goes to
# ORVANTA_FLEET_SCREENSHOT when that is set.
#   run_survey_merge.sh <harness.sh> <state-dir> <bin-dir>
set -euo pipefail
harness=$1 state=$2 bin=$3
python=/usr/bin/python3
here=$(cd "$(dirname "$0")" && pwd)
fail() { echo "survey_merge: $*" >&2; exit 1; }

work=$state/merge
rm -rf "$work"
mkdir -p "$work/records"
"$python" "$here/make_records.py" "$work/records" 12 --troubles
printf 'PC-0001\r\npc-0012\r\n  PC-GHOST \r\n\r\n' >"$work/computers.txt"

status=0
err=$(cd "$bin" && "$harness" run "$state" orvanta-survey.exe --merge "Z:$work/records" --csv "Z:$work/fleet.csv" \
  --html "Z:$work/fleet.html" --jsonl "Z:$work/fleet.jsonl" --expect "Z:$work/computers.txt" 2>&1) || status=$?
printf '%s\n' "$err" >"$work/merge.err"
cat "$work/merge.err"
[[ $status -eq 4 ]] || fail "exit code $status with inputs left out, not 4"
grep -q 'broken.json: not a survey record' "$work/merge.err" || fail "the broken file is not named"
grep -q 'newer-schema.json: a record of schema 2, which this tool does not know' "$work/merge.err" ||
  fail "the newer schema is not named"
grep -q 'are both records of PC-0001; the one collected later is kept: .*z-newer.json' "$work/merge.err" ||
  fail "the duplicate is not reported"
grep -qx 'orvanta-survey: PC-GHOST: no record' "$work/merge.err" || fail "the missing computer is not named"

# 13 machines: PC-0001 to PC-0012 and PC-UTF16; PC-0001's latest record failed GetMemoryInfo.
"$python" - "$work/fleet.csv" <<'PY' || fail "the CSV is wrong"
import csv, sys
raw = open(sys.argv[1], "rb").read()
assert raw.startswith(b"\xef\xbb\xbf") and raw.endswith(b"\r\n"), raw[:20]
rows = list(csv.DictReader(open(sys.argv[1], encoding="utf-8-sig", newline="")))
assert [row["computer"] for row in rows] == [f"PC-{i:04d}" for i in range(1, 13)] + ["PC-UTF16"], rows
first = rows[0]
assert first["collected"] == "2026-05-05T08:00:00Z" and first["failed"] == "GetMemoryInfo", first
assert first["memoryMB"] == "" and rows[1]["memoryMB"].isdigit(), (first["memoryMB"], rows[1]["memoryMB"])
assert rows[1]["processor.logical"].isdigit() and rows[1]["display.current.width"] == "1920", rows[1]
assert rows[1]["devices.net"] == "Intel(R) Ethernet Connection" and rows[1]["drives"].startswith('[{"letter":"C"'), rows[1]
assert rows[-1]["devices.net"] == "'=HYPERLINK(\"x\")", rows[-1]["devices.net"]
PY

# The JSON Lines, loaded as a database loads them: machines per DirectX version.
counts=$(sqlite3 :memory: <<SQL
CREATE TABLE survey(record TEXT);
.mode ascii
.separator "\\037" "\\n"
.import $work/fleet.jsonl survey
.mode list
.separator "="
SELECT coalesce(json_extract(record, '\$.facts.directX'), 'none') AS version, count(*) FROM survey
  GROUP BY version ORDER BY version;
SQL
) || fail "sqlite3 could not load the JSON Lines"
expected=$("$python" - "$work/fleet.jsonl" <<'PY'
import collections, json, sys
records = [json.loads(line) for line in open(sys.argv[1], encoding="utf-8")]
assert len(records) == 13
counts = collections.Counter(record["facts"]["directX"] or "none" for record in records)
print("\n".join(f"{k}={v}" for k, v in sorted(counts.items())))
PY
)
[[ "$counts" == "$expected" ]] || fail "sqlite3 counted $counts, not $expected"

# The page in headless Chromium: the count, each chart's bars adding up to
# the machines, the failed and left-out inputs listed, the table sorting.
chromium=(chromium --headless --no-sandbox --disable-gpu --no-first-run --user-data-dir="$work/chromium")
"${chromium[@]}" --dump-dom "file://$work/fleet.html" >"$work/dom.html" 2>/dev/null
"$python" - "$work/dom.html" "$work/records" <<'PY' || fail "the page is wrong"
import collections, glob, json, re, sys
dom = open(sys.argv[1], encoding="utf-8").read()
assert '<span id="machine-count">13</span>' in dom
charts = re.findall(r'<section class="chart" data-chart="\d+"><h2>([^<]+)</h2>(.*?)</section>', dom)
assert [title for title, _ in charts] == ["Operating system", "Logical processors", "Memory", "DirectX",
    "Shader model", "Video card maker", "Video memory", "Antivirus"], [title for title, _ in charts]
for title, body in charts:
    counts = [int(n) for n in re.findall(r'data-count="(\d+)"', body)]
    assert sum(counts) == 13, (title, counts)
bars = dict(re.findall(r'<tr data-value="([^"]+)" data-count="(\d+)"', dict(charts)["DirectX"]))
latest = {}
for path in glob.glob(sys.argv[2] + "/*.json"):
    try:
        record = json.load(open(path, encoding="utf-8"))
    except (ValueError, UnicodeDecodeError):
        try:
            record = json.load(open(path, encoding="utf-16"))
        except ValueError:
            continue
    if record.get("schema") == 1 and record["collected"] >= latest.get(record["computer"], {}).get("collected", ""):
        latest[record["computer"]] = record
expected = collections.Counter(r["facts"]["directX"] or "(unknown)" for r in latest.values())
assert {k: int(v) for k, v in bars.items()} == dict(expected), (bars, expected)
assert re.search(r'<li class="failed" data-computer="PC-0001">PC-0001: GetMemoryInfo</li>', dom)
assert len(re.findall(r'<li class="skipped"', dom)) == 2
assert re.findall(r'<li class="missing" data-computer="([^"]+)"', dom) == ["PC-GHOST"]
assert len(re.findall(r"<tr><td>PC-", dom)) == 13
assert "<td>&lt;b&gt;Bold&lt;/b&gt; card</td>" in dom and "<b>Bold" not in dom
PY
# Sorting: a click on "Memory MB" puts the smallest first.
cat >"$work/sort.html" <<HTML
<iframe id="page" src="file://$work/fleet.html" onload="var d = this.contentDocument;
  d.querySelectorAll('#machines th')[5].click();
  document.title = Array.prototype.map.call(d.querySelectorAll('#machines tbody tr'),
    function (r) { return r.cells[5].textContent; }).join(',');"></iframe>
HTML
"${chromium[@]}" --allow-file-access-from-files --dump-dom "file://$work/sort.html" >"$work/sorted.html" 2>/dev/null
"$python" - "$work/sorted.html" <<'PY' || fail "the table does not sort by memory"
import re, sys
title = re.search(r"<title>([^<]*)</title>", open(sys.argv[1], encoding="utf-8").read()).group(1)
values = title.split(",")
numbers = [int(v) for v in values if v]
assert len(values) == 13 and values[0] == "" and numbers == sorted(numbers), values
PY
if [[ -n ${ORVANTA_FLEET_SCREENSHOT:-} ]]; then
  "${chromium[@]}" --hide-scrollbars --window-size=1280,1400 --screenshot="$ORVANTA_FLEET_SCREENSHOT" \
    "file://$work/fleet.html" >/dev/null 2>&1 || fail "no screenshot"
fi
echo "survey_merge: ok"
