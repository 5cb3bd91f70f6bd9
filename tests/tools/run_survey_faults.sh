#!/usr/bin/env bash
# orvanta-survey.exe against a stand-in control (failing_control.dll, with
# ORVANTA_FAULTS) that hangs, crashes (in a method or while it is created),
# writes to standard output or answers odd strings (the control is registered
# meanwhile): the survey never hangs, leaves no worker behind, reports what
# failed and why, and keeps every other answer. Also: --ocx loads exactly the
# file named, a failed write is an error, and --worker is refused.
#   run_survey_faults.sh <harness.sh> <state-dir> <bin-dir>
set -euo pipefail
harness=$1 state=$2 bin=$3
python=/usr/bin/python3
work=$state/faults
rm -rf "$work"
mkdir -p "$work"
fail() { echo "survey_faults: $*" >&2; exit 1; }
# The stand-in describes itself from the registered type library.
(cd "$bin" && "$harness" run "$state" regsvr32 /s ORVANTA.OCX)
trap '(cd "$bin" && "$harness" run "$state" regsvr32 /s /u ORVANTA.OCX) || true' EXIT

# survey <faults> <args...>: the survey against the stand-in, its JSON in
# $work/out, standard error in $work/err, its exit code in $status; ended
# after a minute if it hangs (exit code 124).
# (Standard error is read through a command substitution, which waits for the
# harness's filter of it to finish.)
survey() {
  local faults=$1
  shift
  status=0
  capture "$bin" env ORVANTA_FAULTS="$faults" timeout 60 "$harness" run "$state" orvanta-survey.exe \
    --ocx failing_control.dll "$@"
}
# capture <folder> <command...>: standard output to $work/out, error to $work/err.
capture() {
  local folder=$1 err
  shift
  status=0
  err=$(cd "$folder" && "$@" 2>&1 >"$work/out") || status=$?
  printf '%s' "$err" >"$work/err"
}
# check <python expression over survey, err>: judged on the last JSON survey.
check() {
  "$python" - "$work/out" "$work/err" "$1" <<'PY'
import json, sys
survey = json.loads(open(sys.argv[1], encoding="utf-8").read())
err = open(sys.argv[2], encoding="utf-8").read()
assert eval(" ".join(sys.argv[3].split())), (survey, err)
PY
}
methods=GetOSInfo,GetDriverInfo,GetNetInfo,IsInstall

# A method that never answers: its worker is ended at --timeout, the others'
# answers kept, and the method asked once more alone, then reported.
survey hang:GetDriverInfo --json --timeout 5 --only $methods
[[ $status -eq 4 ]] || fail "a hanging method gave exit code $status, not 4: $(cat "$work/err")"
check 'survey["GetDriverInfo"] is None and survey["errors"]["GetDriverInfo"]["hresult"] == "0x800705B4"
  and survey["IsInstall"] == 1 and isinstance(survey["GetNetInfo"], str) and "not answered" in err' ||
  fail "the hanging method is not reported"

# A method that crashes its worker: asked again alone, reported with the
# worker's exit code; the survey itself lives on.
survey crash:GetDriverInfo --json --only $methods
[[ $status -eq 4 ]] || fail "a crashing method gave exit code $status, not 4: $(cat "$work/err")"
check 'survey["errors"]["GetDriverInfo"]["hresult"] == "0xC0000005" and survey["IsInstall"] == 1
  and isinstance(survey["GetOSInfo"], str) and list(survey["errors"]) == ["GetDriverInfo"]' ||
  fail "the crashing method is not reported"

# A control that hangs or crashes while it is created: the survey ends all
# the same, with exit code 1 and a message that says how.
for fault in 'hang:creation|no answer within 5 s' 'crash:creation|ended with code 0xC0000005'; do
  survey "${fault%%|*}" --timeout 5 --only $methods
  [[ $status -eq 1 && ! -s $work/out ]] && grep -q "${fault#*|}" "$work/err" ||
    fail "${fault%%|*} gave exit code $status: $(cat "$work/err")"
done

# Stray bytes on a worker's standard output touch neither the answers nor
# the survey's own output.
survey stray:GetOSInfo,stray:GetNetInfo --json --only $methods
[[ $status -eq 0 ]] || fail "stray output gave exit code $status: $(cat "$work/err")"
check 'err == "" and "errors" not in survey and survey["IsInstall"] == 1' || fail "stray output spoilt the survey"

# Odd strings: exact in JSON (the lone surrogate as its escape), visible in text.
survey odd:GetOSInfo --json --only GetOSInfo
check 'survey["GetOSInfo"] == "esc\x1b[31m nul\x00 cr\r lone\ud800 end"' || fail "the odd string is not exact in JSON"
survey odd:GetOSInfo --only GetOSInfo
[[ $(tr -d '\r' <"$work/out") == 'GetOSInfo (1): esc\x1B[31m nul\x00 cr\x0D lone\uD800 end' ]] ||
  fail "the odd string is not shown visibly: $(cat -v "$work/out")"

# Workers have no console window and no crash dialog.
survey console:GetOSInfo --json --only GetOSInfo,IsInstall
check 'survey["GetOSInfo"] == "no console window, crash dialog off"' || fail "a worker's console or error mode"

# A survey killed while a worker hangs: the worker ends with it, and the
# caller's pipe closes at once.
workers() {  # the worker processes of this prefix
  local pid
  for pid in $(pgrep -f -- '--worker \\\\.\\pipe\\orvanta-survey-' || true); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$state/prefix" && echo "$pid"
  done
}
(cd "$bin" && ORVANTA_FAULTS=hang:GetDriverInfo "$harness" run "$state" orvanta-survey.exe --only GetDriverInfo,IsInstall \
  --ocx failing_control.dll | cat >/dev/null) &
pipeline=$!
for _ in $(seq 150); do [[ -n $(workers) ]] && break; sleep 0.2; done
[[ -n $(workers) ]] || fail "no worker started"
sleep 1
for pid in $(pgrep -f -- 'orvanta-survey.exe --only GetDriverInfo,IsInstall --ocx' || true); do
  tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$state/prefix" && kill -9 "$pid"
done
for _ in $(seq 50); do kill -0 $pipeline 2>/dev/null || break; sleep 0.2; done
if kill -0 $pipeline 2>/dev/null; then
  for pid in $(workers); do kill -9 "$pid"; done
  fail "the caller's pipe stayed open after the survey was killed"
fi
wait $pipeline 2>/dev/null || true
sleep 1
[[ -z $(workers) ]] || { for pid in $(workers); do kill -9 "$pid"; done; fail "a worker outlived the survey"; }

# --ocx names a file in the current folder: that file, not a copy that the
# search order finds beside the tool.
mkdir -p "$work/here"
echo "not a module" >"$work/here/ORVANTA.OCX"
capture "$work/here" "$harness" run "$state" "$bin/orvanta-survey.exe" --ocx ORVANTA.OCX --only IsInstall
[[ $status -eq 1 ]] || fail "--ocx answered from another file (exit code $status)"
grep -q "loading .*here.ORVANTA.OCX failed" "$work/err" || fail "--ocx: $(cat "$work/err")"

# A write that fails is an error, not a success.
status=0
err=$(cd "$bin" && "$harness" run "$state" orvanta-survey.exe --ocx ORVANTA.OCX --json --only IsInstall 2>&1 >/dev/full) ||
  status=$?
printf '%s' "$err" >"$work/err"
[[ $status -eq 5 ]] || fail "a failed write gave exit code $status, not 5"
grep -q 'writing the survey failed' "$work/err" || fail "no message for the failed write: $(cat "$work/err")"

# --worker belongs to the survey's own workers.
capture "$bin" "$harness" run "$state" orvanta-survey.exe --ocx ORVANTA.OCX --only IsInstall --worker
[[ $status -eq 3 && ! -s "$work/out" ]] || fail "--worker from a user was accepted (exit code $status)"
echo "survey_faults: ok"
