#!/usr/bin/env bash
# The survey tool's merge of a large fleet: generated records
# (tests/tools/make_records.py), merged into the CSV file, the JSON Lines and
# the page in one run, under Wine. Prints a Markdown section: the wall time
# and the peak memory (resident set) of the run, against a run that only
# prints the help, which shows what Wine and the tool cost by themselves.
#
#   bench/merge.sh <harness.sh> <state-dir> <bin-dir> [records, 10000]
set -euo pipefail
harness=$(realpath "$1") state=$(realpath "$2") bin=$3 count=${4:-10000}
root=$(cd "$(dirname "$0")/.." && pwd)
python=/usr/bin/python3
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
mkdir "$out/records"
"$python" "$root/tests/tools/make_records.py" "$out/records" "$count"

"$python" - "$harness" "$state" "$bin" "$out" "$count" "$(nproc)" <<'PY'
import os, resource, subprocess, sys, time
harness, state, bin_dir, out, count, processors = sys.argv[1:]
def measure(*args):
    """Wall seconds and the largest resident set (MB) of one run."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
    start = time.monotonic()
    subprocess.run([harness, "run", state, "orvanta-survey.exe", *args], cwd=bin_dir, check=False,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    seconds = time.monotonic() - start
    return seconds, max(before, resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss) / 1024
help_seconds, help_mb = measure("--help")
merge_seconds, merge_mb = measure("--merge", f"Z:{out}/records", "--csv", f"Z:{out}/fleet.csv",
                                  "--jsonl", f"Z:{out}/fleet.jsonl", "--html", f"Z:{out}/fleet.html")
size = sum(os.path.getsize(f"{out}/records/{name}") for name in os.listdir(f"{out}/records"))
outputs = {name: os.path.getsize(f"{out}/fleet.{name}") / 1048576 for name in ("csv", "jsonl", "html")}
rows = sum(1 for _ in open(f"{out}/fleet.jsonl", encoding="utf-8"))
load = open("/proc/loadavg").read().split()[:3]
print("## Merging a fleet\n")
print(f"`orvanta-survey.exe --merge` (64-bit, under Wine) of {int(count):,} generated records")
print(f"(`tests/tools/make_records.py`, {size / 1048576:.1f} MB in as many files) into the CSV file, the JSON Lines")
print(f"and the page in one run; {rows:,} machines out. Peak memory is the largest resident set of the run's")
print(f"processes, Wine's own included; the `--help` run shows that share. {processors} logical processors;")
print(f"load (1, 5 and 15 minutes) when the runs ended: {' '.join(load)}.\n")
print("| run | wall time | peak memory |\n|---|---:|---:|")
print(f"| `--help` | {help_seconds:.1f} s | {help_mb:.0f} MB |")
print(f"| `--merge` of {int(count):,} records | {merge_seconds:.1f} s | {merge_mb:.0f} MB |\n")
print(f"Outputs: CSV {outputs['csv']:.1f} MB, JSON Lines {outputs['jsonl']:.1f} MB, page {outputs['html']:.1f} MB.")
PY
