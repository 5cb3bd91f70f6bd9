#!/usr/bin/env bash
# Registers the control with regsvr32, runs the example survey under cscript,
# and checks that the script created the control by its ProgID and printed
# its reports. The control is unregistered afterwards, also on failure.
#   run_survey.sh <harness.sh> <state-dir> <module-dir> <survey.vbs>
set -euo pipefail
harness=$1 state=$2 module_dir=$3 script=$4

run() { "$harness" run "$state" "$@"; }
unregister() { (cd "$module_dir" && run regsvr32 /s /u ORVANTA.OCX) || true; }
trap unregister EXIT

(cd "$module_dir" && run regsvr32 /s ORVANTA.OCX)
output=$(cd "$(dirname "$script")" && run cscript //nologo "$(basename "$script")" | tr -d '\r')
printf '%s\n' "$output"

fail() { echo "survey_script: $*" >&2; exit 1; }
grep -qx '== Survey complete' <<<"$output" || fail "the survey did not run to its end"
[[ $(grep -c '^== Get' <<<"$output") -eq 29 ]] || fail "not every report was printed"
grep -A1 -x '== GetMemoryInfo' <<<"$output" | grep -qE '^[0-9]+ MB$' || fail "no memory report"
grep -A1 -x '== IsInstall' <<<"$output" | grep -qx '1' || fail "IsInstall did not answer 1"
grep -A1 -x '== GetOSInfo' <<<"$output" | grep -qE '^[^ =].* \(Build:[0-9]+\)$' || fail "no OS report"
grep -qE '^C:\\\[Fixed\]\[Free:[0-9]+\.[0-9]{2}(MB|GB)\]\[Total:[0-9]+\.[0-9]{2}(MB|GB)\]$' <<<"$output" ||
  fail "no fixed C: drive in the drive report"
grep -qE '^SystemDrive:\[Free:[0-9.]+(MB|GB)\]\[Total:[0-9.]+(MB|GB)\]$' <<<"$output" || fail "no system drive report"
