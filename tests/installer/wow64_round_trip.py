#!/usr/bin/env python3
"""The control on 64-bit Windows as most users have it, in a win64 prefix of
its own where 32-bit programs run under WOW64 (the 32-bit lane's guest, which
has 32-bit and 64-bit Wine):

- the 32-bit file registered alone with SysWOW64's regsvr32 answers the
  32-bit survey tool, and the 64-bit tool finds none;
- the x86 package and then the x64 package leave one product, and the x86
  package is then refused; InstallDir names each folder in its own view
  (reg query /reg:32 and /reg:64, as the manual shows);
- SysWOW64's cscript creates the control by its ProgID through the 32-bit
  registration (a one-call script: the example's every-method survey would
  add minutes under emulation, and the two survey tools ask every method),
  and the 32-bit and 64-bit survey tools agree except in the methods that
  the manual lists under "Where the 32-bit and 64-bit answers may differ";
- uninstalling leaves no key of the control in either view and no file.

    wow64_round_trip.py <harness.sh> <state-dir> <x86.msi> <x64.msi> <bin32-dir> <bin64-dir> <manual.md>

Reading the registry file means ending the prefix's Wine session, which
takes minutes to start again under emulation, so everything runs in one
session, asked with reg query, and the file is read only before and after.
Run with Debian's python3.
"""
import json
import os
import re
import sys

from install_round_trip import ERROR_INSTALL_FAILURE, WOW, Harness, fail, step, windows_path

SYSWOW64 = "C:\\windows\\syswow64\\"
UNINSTALL = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"


def differing_methods(manual):
    """The methods of the manual's table of answers that may differ by bitness."""
    text = open(manual, encoding="utf-8").read()
    section = re.search(r"\n### Where the 32-bit and 64-bit answers may differ\n(.*?)\n#", text, re.S)
    if not section:
        fail("the manual has no section \"Where the 32-bit and 64-bit answers may differ\"")
    return set(re.findall(r"^\| `(\w+)` \|", section.group(1), re.M))


def windows_folder(harness, bits):
    return "C:\\" + os.path.relpath(harness.folder(bits), os.path.join(harness.prefix, "drive_c")).replace("/", "\\")


def control_lines(keys):
    """The keys and values of HKLM\\Software, both views, that name the control."""
    return {(key, line) for key, lines in keys.items() for line in lines or [""]
            if re.search("orvanta|pelmora", key + line, re.I)}


def main():
    harness = Harness(*sys.argv[1:3], arch="win64")
    x86, x64, bin32, bin64, manual = sys.argv[3:8]
    try:
        harness.start()
        if not harness.is_win64():
            fail(f"{harness.prefix} is not a 64-bit prefix")
        before = harness.registry()
        if control_lines(before):
            fail(f"the control was registered before the test: {sorted(control_lines(before))[:5]}")

        step("the 32-bit file registered alone with SysWOW64's regsvr32")
        status, output = harness.run(SYSWOW64 + "regsvr32.exe", "/s", "ORVANTA.OCX", cwd=bin32)
        if status != 0:
            fail(f"SysWOW64's regsvr32 failed ({status}): {output}")
        status, output = harness.run("orvanta-survey.exe", "--json", "--serial", "--only", "GetMemoryInfo,IsInstall",
                                     cwd=bin32)
        if status != 0 or json.loads(output).get("IsInstall") != 1:
            fail(f"the 32-bit survey tool did not answer through the 32-bit registration ({status}): {output}")
        status, output = harness.run("orvanta-survey.exe", "--serial", "--only", "IsInstall", cwd=bin64)
        if status != 2:
            fail(f"the 64-bit survey tool found a control registered for 32-bit programs only ({status}): {output}")
        harness.run(SYSWOW64 + "regsvr32.exe", "/s", "/u", "ORVANTA.OCX", cwd=bin32)

        step("the x86 package, then the x64 package, then the x86 package again")
        harness.install(x86)
        harness.install(x64)
        status, log = harness.msiexec("/i", windows_path(x86))
        if status != ERROR_INSTALL_FAILURE or not re.search(r"ORVANTA_X64_PRODUCT = \{", log):
            fail(f"the x86 package was not refused beside the x64 product ({status}):\n{log[-3000:]}")
        names = []
        for view in (32, 64):
            status, output = harness.run("reg", "query", UNINSTALL, "/s", f"/reg:{view}")
            names += re.findall(r"^\s+DisplayName\s+REG_SZ\s+(Pelmora Control.*)$", output, re.M)
            status, output = harness.run("reg", "query", "HKLM\\SOFTWARE\\Pelmora\\Control", "/v", "InstallDir",
                                         f"/reg:{view}")
            folder = windows_folder(harness, view)
            if status != 0 or not re.search(rf"InstallDir\s+REG_SZ\s+{re.escape(folder)}\\\n", output):
                fail(f"reg query /reg:{view} does not show {folder}\\ ({status}): {output}")
        if names != ["Pelmora Control (x64)"]:
            fail(f"Programs and Features should show Pelmora Control (x64) alone, not {names}")

        step("SysWOW64's cscript and the survey tools of both bitnesses")
        with open(os.path.join(harness.state, "memory.vbs"), "w") as script:
            script.write('WScript.Echo CreateObject("ORVANTA.OrvantaCtrl.1").GetMemoryInfo()\r\n')
        status, output = harness.run(SYSWOW64 + "cscript.exe", "//nologo", "memory.vbs", cwd=harness.state)
        if status != 0 or not re.fullmatch(r"\d+ MB\n+", output):
            fail(f"SysWOW64's cscript did not create the control ({status}):\n{output}")
        surveys = {}
        for bits in (32, 64):
            status, output = harness.run("orvanta-survey.exe", "--json", cwd=harness.folder(bits))
            if status != 0:
                fail(f"the installed {bits}-bit survey tool failed ({status}): {output}")
            surveys[bits] = json.loads(output)
            step(f"the {bits}-bit survey")
        for bits in (32, 64):
            if surveys[bits]["tool"]["bits"] != bits:
                fail(f"the {bits}-bit survey tool says it is {surveys[bits]['tool']['bits']}-bit")
        # The record's own fields speak of the run (its tool, time and control
        # file) or restate the answers (the facts): the answers are compared.
        allowed = differing_methods(manual) | {"collected", "control", "elapsedMs", "facts", "tool"}
        differing = {name for name in surveys[32].keys() | surveys[64].keys()
                     if surveys[32].get(name) != surveys[64].get(name)}
        for name in sorted(differing):
            print(f"{name}:\n  32-bit {surveys[32].get(name)!r}\n  64-bit {surveys[64].get(name)!r}")
        if differing - allowed:
            fail(f"the 32-bit and 64-bit surveys differ in {sorted(differing - allowed)}, which the manual does not list")

        step("uninstalling")
        status, log = harness.msiexec("/x", windows_path(x64))
        if status != 0:
            fail(f"uninstalling failed ({status}):\n{log[-3000:]}")
    finally:
        harness.stop()
    left = control_lines(harness.registry())
    views = {"32-bit" if WOW in key else "64-bit" for key, _ in left}
    if left:
        fail(f"uninstalling left keys of the control in the {' and '.join(sorted(views))} view:"
             f" {sorted(left)[:10]}")
    for bits in (32, 64):
        if os.path.exists(harness.folder(bits)):
            fail(f"{harness.folder(bits)} is left after uninstalling: {os.listdir(harness.folder(bits))}")
    step("ok")


if __name__ == "__main__":
    main()
