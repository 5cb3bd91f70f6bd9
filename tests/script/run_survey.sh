#!/usr/bin/env bash
# Registers the control with regsvr32, runs each example client (a .js or
# .vbs survey under cscript, a program directly), and checks that each created
# the control and printed every report. The control is unregistered
# afterwards, also on failure.
#   run_survey.sh <harness.sh> <state-dir> <module-dir> <client>...
set -euo pipefail
harness=$1 state=$2 module_dir=$3
shift 3

run() { "$harness" run "$state" "$@"; }
unregister() { (cd "$module_dir" && run regsvr32 /s /u ORVANTA.OCX) || true; }
trap unregister EXIT

(cd "$module_dir" && run regsvr32 /s ORVANTA.OCX)
for client in "$@"; do
  name=$(basename "$client")
  fail() { echo "survey_script: $name: $*" >&2; exit 1; }
  case $name in
    *.js | *.vbs) output=$(cd "$(dirname "$client")" && run cscript //nologo "$name" | tr -d '\r') ;;
    *) output=$(cd "$(dirname "$client")" && run "$name" | tr -d '\r') ;;
  esac
  printf '%s\n' "$output"

  grep -qx '== Survey complete' <<<"$output" || fail "the survey did not run to its end"
  [[ $(grep -c '^== Get' <<<"$output") -eq 29 ]] || fail "not every report was printed"
  grep -A1 -x '== GetMemoryInfo' <<<"$output" | grep -qE '^[0-9]+ MB$' || fail "no memory report"
  grep -A1 -x '== IsInstall' <<<"$output" | grep -qx '1' || fail "IsInstall did not answer 1"
  grep -A1 -x '== GetOSInfo' <<<"$output" | grep -qE '^[^ =].* \(Build:[0-9]+\)$' || fail "no OS report"
  grep -qE '^C:\\\[Fixed\]\[Free:[0-9]+\.[0-9]{2}(MB|GB)\]\[Total:[0-9]+\.[0-9]{2}(MB|GB)\]$' <<<"$output" ||
    fail "no fixed C: drive in the drive report"
  grep -qE '^SystemDrive:\[Free:[0-9.]+(MB|GB)\]\[Total:[0-9.]+(MB|GB)\]$' <<<"$output" || fail "no system drive report"
done
