#!/usr/bin/env bash
# orvanta-survey.exe against the registered control: the text and JSON
# surveys of every method, --only with valid and unknown names. The control
# is unregistered afterwards, also on failure.
#   run_survey_tool.sh <harness.sh> <state-dir> <bin-dir>
set -euo pipefail
harness=$1 state=$2 bin=$3
python=/usr/bin/python3

run() { (cd "$bin" && "$harness" run "$state" "$@"); }
unregister() { run regsvr32 /s /u ORVANTA.OCX || true; }
trap unregister EXIT
fail() { echo "survey_tool: $*" >&2; exit 1; }

run regsvr32 /s ORVANTA.OCX

# Text: one heading line per method, AboutBox left out.
text=$(run orvanta-survey.exe | tr -d '\r')
printf '%s\n' "$text"
headings=$(grep -cE '^[A-Za-z]+ \([0-9]+\):' <<<"$text") || true
[[ $headings -eq 30 ]] || fail "the text survey shows $headings methods, not 30"
grep -qE '^GetMemoryInfo \(3\): [0-9]+ MB$' <<<"$text" || fail "no memory report in the text survey"
grep -qx 'IsInstall (18): 1' <<<"$text" || fail "IsInstall is not shown as 1"
grep -qE '^    C:\\\[Fixed\]' <<<"$text" || fail "the drive report is not indented below its heading"

# JSON: 30 keys in interface order, texts with their line ends, IsInstall a number.
run orvanta-survey.exe --json >"$state/survey.json"
"$python" - "$state/survey.json" "$text" <<'PY' || fail "the JSON survey is wrong"
import json, re, sys
survey = json.load(open(sys.argv[1], encoding="utf-8"))
text = sys.argv[2]
names = re.findall(r"^([A-Za-z]+) \(\d+\):", text, re.M)
assert list(survey) == names and len(names) == 30, (list(survey), names)
assert "AboutBox" not in survey
assert survey["IsInstall"] == 1 and type(survey["IsInstall"]) is int
assert all(isinstance(survey[k], str) for k in names if k != "IsInstall")
assert re.fullmatch(r"\d+ MB\n", survey["GetMemoryInfo"]), survey["GetMemoryInfo"]
assert f"GetMemoryInfo (3): {survey['GetMemoryInfo'][:-1]}" in text.splitlines()
assert survey["GetDriveInfo"].endswith("\n") and "C:\\[Fixed]" in survey["GetDriveInfo"]
PY

# --only: either name of a method, any letter case, interface order.
only=$(run orvanta-survey.exe --json --only 'isinstall,GetSoundcardInfo,GETMEMORYINFO')
"$python" -c 'import json, sys; keys = list(json.loads(sys.argv[1]))
assert keys == ["GetMemoryInfo", "GetSoundcardNameInfo", "IsInstall"], keys' "$only" ||
  fail "--only did not select the named methods"

# An unknown name is an error that lists the valid names.
status=0
error=$(run orvanta-survey.exe --only GetMemoryInfo,GetBogusInfo 2>&1 >/dev/null) || status=$?
[[ $status -eq 3 ]] || fail "an unknown name gave exit code $status, not 3"
grep -q 'unknown method "GetBogusInfo"; valid names: GetOSInfo, GetCPUInfo, ' <<<"$error" ||
  fail "the unknown name's message does not list the valid ones: $error"
echo "survey_tool: ok"
