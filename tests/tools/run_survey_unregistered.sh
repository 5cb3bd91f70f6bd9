#!/usr/bin/env bash
# orvanta-survey.exe in a Wine prefix where the control was never registered:
# the not-registered message and its exit code, then registration-free use
# through the manifests beside the tool (--here) and from the module file
# (--ocx), both asking side by side in worker processes, which must create
# their controls the same way: the tool says on standard error when they
# cannot. Nothing may end up registered.
#   run_survey_unregistered.sh <harness.sh> <state-dir> <bin-dir>
set -euo pipefail
harness=$1 state=$2 bin=$3
python=/usr/bin/python3

run() { (cd "$bin" && "$harness" run "$state" "$@"); }
fail() { echo "survey_unregistered: $*" >&2; exit 1; }
registered() { run reg query 'HKCR\ORVANTA.OrvantaCtrl.1' >/dev/null 2>&1; }

registered && fail "the control is registered in this prefix; it must not be"

status=0
error=$(run orvanta-survey.exe --only GetMemoryInfo 2>&1 >/dev/null) || status=$?
printf '%s\n' "$error"
[[ $status -eq 2 ]] || fail "exit code $status without registration, not 2"
[[ $(wc -l <<<"$error") -eq 1 ]] || fail "the not-registered message is not one line"
grep -q 'is not registered for 64-bit programs: register the 64-bit ORVANTA.OCX with "regsvr32 ORVANTA.OCX"' \
  <<<"$error" || fail "the message does not say how to register"

# An unknown method is a wrong command line, found before the control is looked for.
status=0
error=$(run orvanta-survey.exe --only GetBogusInfo 2>&1 >/dev/null) || status=$?
[[ $status -eq 3 ]] || fail "an unknown method without registration gave exit code $status, not 3"
grep -q '^orvanta-survey: unknown method "GetBogusInfo"; valid names: GetOSInfo, ' <<<"$error" ||
  fail "the unknown method's message: $error"

check_memory() {
  "$python" -c 'import json, re, sys; survey = json.loads(sys.argv[1])
assert list(survey)[0] == "GetMemoryInfo", survey
assert re.fullmatch(r"\d+ MB\n", survey["GetMemoryInfo"]), survey' "$1"
}

# Standard error is read through a command substitution, which waits for the
# harness's filter of it to finish; standard output goes to a file.
err=$(run orvanta-survey.exe --here --json --only GetMemoryInfo,IsInstall 2>&1 >"$state/here.json") ||
  fail "--here failed: $err"
here=$(<"$state/here.json")
printf '%s\n' "$here"
check_memory "$here" || fail "--here did not answer GetMemoryInfo"
[[ -z $err ]] || fail "--here: $err"

err=$(run orvanta-survey.exe --ocx ORVANTA.OCX --json --only GetMemoryInfo,GetSoundcardNameInfo,IsInstall \
  2>&1 >"$state/ocx.json") || fail "--ocx failed: $err"
check_memory "$(<"$state/ocx.json")" || fail "--ocx did not answer GetMemoryInfo"
[[ -z $err ]] || fail "--ocx: $err"

registered && fail "using the control left it registered"
echo "survey_unregistered: ok"
