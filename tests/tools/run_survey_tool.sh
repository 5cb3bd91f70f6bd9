#!/usr/bin/env bash
# orvanta-survey.exe against the registered control: the text and JSON
# surveys of every method, the side-by-side survey against --serial, --only with valid and unknown names, and a module
# whose control fails two methods. Given the JSON schema, every JSON output is
# checked against it. The control is unregistered afterwards, also on failure.
#   run_survey_tool.sh <harness.sh> <state-dir> <bin-dir> [survey.schema.json]
set -euo pipefail
harness=$1 state=$2 bin=$3 schema=${4:-}
python=/usr/bin/python3

run() { (cd "$bin" && "$harness" run "$state" "$@"); }
unregister() { run regsvr32 /s /u ORVANTA.OCX || true; }
trap unregister EXIT
fail() { echo "survey_tool: $*" >&2; exit 1; }

run regsvr32 /s ORVANTA.OCX

# Text: one heading line per method, AboutBox left out, and nothing on
# standard error: not from ALSA, and no method that the worker processes
# left to the survey itself.
# (Standard error is read through a command substitution, which waits for the
# harness's filter of it to finish.)
err=$(run orvanta-survey.exe 2>&1 >"$state/survey.txt") || fail "the text survey failed: $err"
text=$(tr -d '\r' <"$state/survey.txt")
printf '%s\n' "$text"
[[ -z $err ]] || fail "standard error: $err"
headings=$(grep -cE '^[A-Za-z]+ \([0-9]+\):' <<<"$text") || true
[[ $headings -eq 30 ]] || fail "the text survey shows $headings methods, not 30"
grep -qE '^GetMemoryInfo \(3\): [0-9]+ MB$' <<<"$text" || fail "no memory report in the text survey"
grep -qx 'IsInstall (18): 1' <<<"$text" || fail "IsInstall is not shown as 1"
grep -qE '^    C:\\\[Fixed\]' <<<"$text" || fail "the drive report is not indented below its heading"

# JSON: 30 answers in interface order, texts with their line ends, IsInstall
# a number; then the record's fields and the facts read from the answers.
run orvanta-survey.exe --json >"$state/survey.json"
"$python" - "$state/survey.json" "$text" <<'PY' || fail "the JSON survey is wrong"
import json, re, sys
survey = json.load(open(sys.argv[1], encoding="utf-8"))
text = sys.argv[2]
names = re.findall(r"^([A-Za-z]+) \(\d+\):", text, re.M)
assert list(survey) == names + ["schema", "computer", "collected", "tool", "control", "elapsedMs", "facts"], list(survey)
assert len(names) == 30 and survey["tool"]["bits"] in (32, 64) and survey["computer"], survey
assert survey["control"]["path"].upper().endswith("\\ORVANTA.OCX") and survey["control"]["version"] == "4.1.1.0"
facts = survey["facts"]
assert f"{facts['memoryMB']} MB\n" == survey["GetMemoryInfo"] and str(facts["processor"]["logical"]) == survey["GetCPUCount"]
assert facts["drives"][0]["letter"] == "C" and facts["drives"][0]["totalBytes"] > 0, facts["drives"]
assert "AboutBox" not in survey
assert survey["IsInstall"] == 1 and type(survey["IsInstall"]) is int
assert all(isinstance(survey[k], str) for k in names if k != "IsInstall")
assert re.fullmatch(r"\d+ MB\n", survey["GetMemoryInfo"]), survey["GetMemoryInfo"]
assert f"GetMemoryInfo (3): {survey['GetMemoryInfo'][:-1]}" in text.splitlines()
assert survey["GetDriveInfo"].endswith("\n") and "C:\\[Fixed]" in survey["GetDriveInfo"]
PY

# The default survey asks side by side; --serial one method after another.
# Both answer the same, but for the figures that change between calls: the
# measured clock and the drives' free space.
run orvanta-survey.exe --json --serial >"$state/survey-serial.json"
"$python" - "$state/survey.json" "$state/survey-serial.json" <<'PY' || fail "the side-by-side survey differs from --serial"
import json, re, sys
def steady(path):
    survey = {name: answer for name, answer in json.load(open(path, encoding="utf-8")).items()
              if name.startswith(("Get", "Is"))}
    assert re.fullmatch(r"(\d+ MHz\n)?", survey["GetCPUFrequency"]), survey["GetCPUFrequency"]
    survey["GetCPUFrequency"] = "(measured)"
    return {name: re.sub(r"\[Free:\d+\.\d\d[MG]B\]", "[Free:(changes)]", answer)
            if isinstance(answer, str) else answer for name, answer in survey.items()}
side_by_side, serial = steady(sys.argv[1]), steady(sys.argv[2])
assert list(side_by_side) == list(serial), (list(side_by_side), list(serial))
for name in serial:
    assert side_by_side[name] == serial[name], (name, side_by_side[name], serial[name])
PY

# The JSON outputs that the schema must accept.
check_schema() {
  [[ -n $schema ]] || return 0
  "$python" - "$schema" "$@" <<'PY'
import json, sys
import jsonschema
schema = json.load(open(sys.argv[1], encoding="utf-8"))
jsonschema.Draft202012Validator.check_schema(schema)
for path in sys.argv[2:]:
    jsonschema.validate(json.load(open(path, encoding="utf-8")), schema,
                        cls=jsonschema.Draft202012Validator)
PY
}

# --only: either name of a method, any letter case, interface order.
only=$(run orvanta-survey.exe --json --only 'isinstall,GetSoundcardInfo,GETMEMORYINFO')
"$python" -c 'import json, sys; keys = list(json.loads(sys.argv[1]))
assert keys[:4] == ["GetMemoryInfo", "GetSoundcardNameInfo", "IsInstall", "schema"], keys' "$only" ||
  fail "--only did not select the named methods"

# An unknown name is an error that lists the valid names; the About box is
# not among them.
for only in GetMemoryInfo,GetBogusInfo AboutBox; do
  status=0
  error=$(run orvanta-survey.exe --only "$only" 2>&1 >/dev/null) || status=$?
  [[ $status -eq 3 ]] || fail "--only $only gave exit code $status, not 3"
  grep -q 'unknown method ".*"; valid names: GetOSInfo, GetCPUInfo, .*, GetSecuritySoftInfo$' <<<"$error" ||
    fail "the unknown name's message does not list the valid ones: $error"
done

# A control that fails GetMemoryInfo and GetCPUCount: the others still
# answer, the two are errors, and the exit code says so.
methods=GetMemoryInfo,GetCPUCount,IsInstall,GetDriveInfo
status=0
text=$(run orvanta-survey.exe --ocx failing_control.dll --only "$methods" 2>/dev/null | tr -d '\r') || status=$?
printf '%s\n' "$text"
[[ $status -eq 4 ]] || fail "failed methods gave exit code $status, not 4"
grep -qx 'GetMemoryInfo (3): error 0x80020009 (the method failed: 0x8007000E .*)' <<<"$text" ||
  fail "the method's exception is not shown"
grep -qxE 'GetCPUCount \(27\): error 0x80020003( .*)?' <<<"$text" || fail "the unknown member is not shown"
grep -qx 'IsInstall (18): 1' <<<"$text" || fail "a method after the failed ones did not answer"
status=0
run orvanta-survey.exe --ocx failing_control.dll --json --only "$methods" >"$state/survey-failed.json" || status=$?
[[ $status -eq 4 ]] || fail "failed methods gave exit code $status with --json, not 4"
"$python" - "$state/survey-failed.json" <<'PY' || fail "the JSON of failed methods is wrong"
import json, sys
survey = json.load(open(sys.argv[1], encoding="utf-8"))
assert list(survey)[:4] == ["GetMemoryInfo", "GetDriveInfo", "IsInstall", "GetCPUCount"], list(survey)
assert list(survey)[-1] == "errors" and survey["control"]["path"].endswith("failing_control.dll"), survey
assert survey["GetMemoryInfo"] is None and survey["GetCPUCount"] is None and survey["IsInstall"] == 1
errors = survey["errors"]
assert errors["GetMemoryInfo"]["hresult"] == "0x80020009", errors
assert errors["GetMemoryInfo"]["exception"] == "0x8007000E", errors
assert errors["GetCPUCount"]["hresult"] == "0x80020003" and "exception" not in errors["GetCPUCount"], errors
PY
check_schema "$state/survey.json" "$state/survey-serial.json" "$state/survey-failed.json" || fail "a JSON survey does not match the schema"
echo "survey_tool: ok"
