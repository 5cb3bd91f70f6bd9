#!/usr/bin/env bash
# Refreshes the sample answers in docs/manual.md from a real survey: builds,
# registers the 64-bit control in the build tree's Wine prefix, runs
# orvanta-survey.exe --json, unregisters it, and writes every answer into the
# manual between its samples markers.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/setup.sh" survey
"$root/scripts/build.sh" x64

harness=("$root/scripts/harness.sh")
state=$root/build/x64/wine
bin=$root/build/x64/bin
run() { (cd "$bin" && "${harness[@]}" run "$state" "$@"); }
cleanup() {
  run regsvr32 /s /u ORVANTA.OCX || true
  "${harness[@]}" stop "$state"
}
trap cleanup EXIT

run regsvr32 /s ORVANTA.OCX
run orvanta-survey.exe --json >"$state/samples.json"
/usr/bin/python3 "$root/scripts/refresh_samples.py" "$state/samples.json" "$root/docs/manual.md"
echo "refresh_samples: docs/manual.md updated"
