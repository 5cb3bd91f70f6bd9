#!/usr/bin/env python3
"""The graphics reports on other machines than Wine's default one: the
graphics COM tests and the survey tool's graphics methods, run once per
configuration of Wine's Direct3D settings (HKCU\\Software\\Wine\\Direct3D,
which every process reads when it starts Direct3D) in the harness's one
prefix. The COM tests compare each answer with what the platform itself says
in that configuration and record it; the survey tool must answer the same,
and no two configurations may answer alike (a setting that Wine ignored would
test one machine many times). Prints each configuration's cost and answers.

Wine's settings are put back afterwards, also on failure, and, should a run
be killed, by the next run before it starts.

    graphics_matrix.py <harness.sh> <state-dir> <bin-dir> [survey.schema.json]
"""
import json
import os
import signal
import subprocess
import sys
import time

DIRECT3D = r"HKEY_CURRENT_USER\Software\Wine\Direct3D"
OVERRIDES = r"HKEY_CURRENT_USER\Software\Wine\DllOverrides"
# Values under Direct3D (numbers are REG_DWORD, texts REG_SZ, as Wine reads
# them) and overrides of the RUNTIMES ("" leaves a library out: it cannot be
# loaded; the others are not overridden).
CONFIGURATIONS = [
    ("shader model 1, no Direct3D 10", {"MaxShaderModelVS": 1, "MaxShaderModelPS": 1, "MaxShaderModelGS": 0}, {}),
    ("shader model 2, no Direct3D 10", {"MaxShaderModelVS": 2, "MaxShaderModelPS": 2, "MaxShaderModelGS": 0}, {}),
    ("shader model 3, no Direct3D 10", {"MaxShaderModelVS": 3, "MaxShaderModelPS": 3, "MaxShaderModelGS": 0}, {}),
    ("NVIDIA GeForce GTX 1080 with 3 GB",
     {"VideoPciVendorID": 0x10DE, "VideoPciDeviceID": 0x1B80, "VideoMemorySize": "3072"}, {}),
    ("AMD Radeon RX 480 with 6 GB", {"VideoPciVendorID": 0x1002, "VideoPciDeviceID": 0x67DF, "VideoMemorySize": "6144"},
     {}),
    ("no 3D renderer", {"renderer": "no3d"}, {}),
    # No Direct3D setting reaches these: the Direct3D 10 devices and the
    # shader models of Direct3D 8.
    ("without d3d9.dll and d3d10_1.dll", {}, {"d3d9": "", "d3d10_1": ""}),
]
RUNTIMES = ("d3d9", "d3d10_1")
COM_TESTS = "GraphicsReports.*:VideoDriverReport.*:DeviceReports.Videocard*"
DEADLINE = 300  # seconds for any one program


def main():
    harness, state, bin_dir = map(os.path.abspath, sys.argv[1:4])
    schema = json.load(open(sys.argv[4], encoding="utf-8")) if len(sys.argv) > 4 else None
    restore = os.path.join(state, "graphics-matrix-restore.reg")
    config = os.path.join(state, "graphics-matrix.reg")

    def run(*args):
        return subprocess.run([harness, "run", state, *args], cwd=bin_dir, capture_output=True, text=True,
                              errors="replace", timeout=DEADLINE)

    def windows(path):
        return "Z:" + path.replace("/", "\\")

    def import_reg(path):
        result = run("regedit", "/s", windows(path))
        if result.returncode != 0:
            sys.exit(f"graphics_matrix: regedit could not import {path}: {result.stderr}")

    def exported(key):
        """The key as regedit exports it, after the header; nothing when it is missing."""
        path = os.path.join(state, "graphics-matrix-export.reg")
        if os.path.exists(path):
            os.remove(path)
        if run("regedit", "/e", windows(path), key).returncode != 0 or not os.path.exists(path):
            return []
        lines = open(path, encoding="utf-16").read().splitlines()[1:]
        os.remove(path)
        return lines

    # SIGTERM ends the run after the configuration at hand (killing the COM
    # tests would leave the keys that they plant), and Wine's settings go back.
    terminated = []
    signal.signal(signal.SIGTERM, lambda *_: terminated.append(True))
    if os.path.exists(restore):
        print("graphics_matrix: putting back the settings that a killed run left")
        import_reg(restore)
        os.remove(restore)
    write_reg(restore, [line for key in (DIRECT3D, OVERRIDES) for line in [f"[-{key}]", "", *exported(key)]])
    failures, seen = [], {}
    try:
        for name, direct3d, overrides in CONFIGURATIONS:
            if terminated:
                failures.append("terminated")
                break
            started = time.monotonic()
            write_reg(config, [f"[-{DIRECT3D}]", "", f"[{DIRECT3D}]"] +
                      [f'"{value}"=dword:{data:08x}' if isinstance(data, int) else f'"{value}"="{data}"'
                       for value, data in direct3d.items()] +
                      ["", f"[{OVERRIDES}]"] +
                      [f'"{dll}"="{overrides[dll]}"' if dll in overrides else f'"{dll}"=-' for dll in RUNTIMES])
            import_reg(config)
            answers, problems = com_answers(run, windows, state)
            if not problems:
                problems = survey_problems(run, answers, schema)
            for other, other_answers in seen.items():
                if other_answers == answers:
                    problems.append(f"answers exactly as under '{other}': is the setting read?")
            seen[name] = answers
            print(f"== {name}: {time.monotonic() - started:.1f} s")
            for method, answer in answers.items():
                print(f"   {method}: {json.dumps(answer)}")
            failures += [f"{name}: {problem}" for problem in problems]
    finally:
        import_reg(restore)
        for path in (restore, config, os.path.join(state, "graphics-matrix.json")):
            if os.path.exists(path):
                os.remove(path)
    if failures:
        sys.exit("graphics_matrix: " + "\n".join(failures))
    print("graphics_matrix: ok")


def write_reg(path, lines):
    """A registry file of |lines| in regedit's format, as Wine's regedit exports."""
    with open(path, "w", encoding="utf-16", newline="\r\n") as out:
        out.write("\n".join(["Windows Registry Editor Version 5.00", "", *lines, ""]))


def com_answers(run, windows, state):
    """The answers that the graphics COM tests recorded, and what went wrong."""
    output = os.path.join(state, "graphics-matrix.json")
    if os.path.exists(output):
        os.remove(output)
    result = run("com_tests.exe", f"--gtest_filter={COM_TESTS}", f"--gtest_output=json:{windows(output)}")
    problems = [] if result.returncode == 0 else [f"the COM tests failed:\n{result.stdout[-6000:]}{result.stderr}"]
    answers = {}
    if os.path.exists(output):
        for suite in json.load(open(output, encoding="utf-8"))["testsuites"]:
            for test in suite["testsuite"]:
                answers.update({key: value for key, value in test.items() if key.startswith(("Get", "Is"))})
    if not answers:
        problems.append("the COM tests recorded no answer")
    return answers, problems


def survey_problems(run, answers, schema):
    """What the survey tool answered otherwise than the control through COM."""
    methods = list(answers)
    result = run("orvanta-survey.exe", "--ocx", "ORVANTA.OCX", "--json", "--only", ",".join(methods))
    if result.returncode != 0:
        return [f"the survey tool ended with {result.returncode}: {result.stderr}{result.stdout[-2000:]}"]
    record = json.loads(result.stdout)
    problems = [f"the survey could not read {method}: {error}" for method, error in record.get("errors", {}).items()]
    problems += [f"the survey says {json.dumps(record.get(method))} for {method}, COM {json.dumps(answers[method])}"
                 for method in methods if record.get(method) != answers[method]]
    if schema:
        import jsonschema
        try:
            jsonschema.validate(record, schema, cls=jsonschema.Draft202012Validator)
        except jsonschema.ValidationError as error:
            problems.append(f"the survey's record does not match its schema: {error.message}")
    return problems


if __name__ == "__main__":
    main()
