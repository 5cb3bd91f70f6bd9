#!/usr/bin/env bash
# The survey tool's wall time, side by side (its default) against --serial:
# the two take turns, each run as a process of its own in a started harness,
# from the module file beside the tool (--ocx). Prints a Markdown section: each
# run's time and measured clock against the counter's rate, the medians and
# their ratio.
#
# Without a counter rate (the benchmark's, measured against the performance
# counter), the kernel's time-stamp counter rate from /proc/cpuinfo is used.
#
#   bench/survey.sh <harness.sh> <state-dir> <bin-dir> [counter MHz|-] [runs, 5]
set -euo pipefail
harness=$(realpath "$1") state=$(realpath "$2") bin=$3 counter_mhz=${4:--} runs=${5:-5}
counter_source="from the clock table above"
if [[ $counter_mhz == - ]]; then
  counter_mhz=$(awk -F': *' '/^cpu MHz/ {print $2; exit}' /proc/cpuinfo)
  counter_source="the kernel's time-stamp counter rate"
fi
python=/usr/bin/python3
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# survey <output> [args]: runs one survey, prints its milliseconds.
survey() {
  local output=$1 start end
  shift
  start=$(date +%s%N)
  (cd "$bin" && "$harness" run "$state" orvanta-survey.exe --ocx ORVANTA.OCX --json "$@") >"$output" 2>/dev/null
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
}

for run in $(seq "$runs"); do
  # Alternate which goes first, so that a change in load weighs on both.
  if ((run % 2)); then
    survey "$out/serial-$run.json" --serial >"$out/serial-$run.ms"
    survey "$out/parallel-$run.json" >"$out/parallel-$run.ms"
  else
    survey "$out/parallel-$run.json" >"$out/parallel-$run.ms"
    survey "$out/serial-$run.json" --serial >"$out/serial-$run.ms"
  fi
done

"$python" - "$out" "$runs" "$counter_mhz" "$(nproc)" "$(cut -d' ' -f1-3 /proc/loadavg)" "$counter_source" <<'PY'
import json, statistics, sys
out, runs, counter, processors, load, source = sys.argv[1], int(sys.argv[2]), float(sys.argv[3]), *sys.argv[4:]
def run(kind, n):
    ms = int(open(f"{out}/{kind}-{n}.ms").read())
    clock = json.load(open(f"{out}/{kind}-{n}.json", encoding="utf-8"))["GetCPUFrequency"]
    mhz = int(clock.split()[0]) if clock else 0
    return ms, mhz, (mhz - counter) * 100 / counter
print("## Survey tool\n")
print(f"`orvanta-survey.exe --json --ocx ORVANTA.OCX` (64-bit), side by side (the default: {processors} logical")
print(f"processors, so {max(2, int(processors))} worker processes) and with `--serial`, taking turns, {runs} runs each; wall")
print("time of the whole process under Wine, and the clock that each survey measured against the")
print(f"counter's rate ({counter:.1f} MHz, {source}). Load (1, 5 and 15 minutes) when the runs ended: {load}.\n")
print("| run | side by side ms | clock | error | serial ms | clock | error |")
print("|---:|---:|---:|---:|---:|---:|---:|")
times = {"parallel": [], "serial": []}
for n in range(1, runs + 1):
    row = [str(n)]
    for kind in ("parallel", "serial"):
        ms, mhz, error = run(kind, n)
        times[kind].append(ms)
        row += [str(ms), f"{mhz} MHz", f"{error:+.3f}%"]
    print("| " + " | ".join(row) + " |")
parallel, serial = statistics.median(times["parallel"]), statistics.median(times["serial"])
print(f"\n| median side by side | median serial | ratio |\n|---:|---:|---:|")
print(f"| {parallel:.0f} ms | {serial:.0f} ms | {parallel / serial:.2f}x |")
PY
