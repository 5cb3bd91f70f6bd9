#!/usr/bin/env python3
"""The package's round trip in the harness's prefix, where the control must
not be registered: install, use, (upgrade, refuse a downgrade,) uninstall.

    install_round_trip.py <harness.sh> <state-dir> <package.msi> <bin-dir> <survey.vbs> [<newer.msi>]

With a package of a newer version, that one replaces the first, and the first
is then refused. The 64-bit lane does that part: the rows that decide it are
the same in both packages, and the 32-bit lane's guest is many times slower.

The registry that the package writes must equal what regsvr32 writes for the
same file at the same place: that comparison is what keeps the package's rows
(installer/registration.wxi) and the module's own registration from drifting
apart. Run with Debian's python3.
"""
import json
import os
import re
import shutil
import subprocess
import sys
import time

harness, state, package, bin_dir, vbs = sys.argv[1:6]
newer = sys.argv[6] if len(sys.argv) > 6 else None
prefix = os.path.join(state, "prefix")
# Wine hands a program's exit code to Linux, which keeps its low 8 bits.
ERROR_INSTALL_FAILURE = 1603 & 0xFF


STARTED = time.monotonic()


def step(message):
    print(f"install_round_trip: {time.monotonic() - STARTED:5.0f} s: {message}", flush=True)


def fail(message):
    print(f"install_round_trip: {message}", file=sys.stderr)
    sys.exit(1)


def wine(*args, cwd=None):
    """Runs a Windows program in the harness; its exit code and output."""
    result = subprocess.run([harness, "run", state, *args], cwd=cwd, capture_output=True)
    return result.returncode, result.stdout.decode("utf-8", "replace").replace("\r", "")


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def is_win64():
    return os.path.isdir(os.path.join(prefix, "drive_c", "windows", "syswow64"))


def registry():
    """HKEY_LOCAL_MACHINE\\Software (HKEY_CLASSES_ROOT is its Classes) as Wine
    saves it once the prefix's programs have ended: {key: [value lines]}, keys
    in upper case. (HKLM\\System changes with Wine's display set-up at every
    start; packages write below Software. Reading Wine's file is minutes
    faster than reg export in the emulated guest.)"""
    subprocess.run([harness, "wait", state], check=True)
    with open(os.path.join(prefix, "system.reg"), encoding="latin-1") as saved:
        text = saved.read()
    keys = {}
    lines = None
    for line in text.replace("\\\n  ", "").split("\n"):
        key = re.fullmatch(r"\[(.*)\] \d+", line)
        if key:
            name = "HKEY_LOCAL_MACHINE\\" + key.group(1).replace("\\\\", "\\").upper()
            lines = keys.setdefault(name, []) if name.startswith("HKEY_LOCAL_MACHINE\\SOFTWARE\\") else None
        elif line and not line.startswith("#") and lines is not None:
            lines.append(line)
    return keys


def control_keys(keys, identifiers, view):
    """The keys of one registry view ("native" or "32-bit") that name one of
    the identifiers. An empty default value counts as none: a package cannot
    write one."""
    return {key: sorted(line for line in lines if line != '@=""') for key, lines in keys.items()
            if any(identifier in key for identifier in identifiers) and ("WOW6432NODE" in key) == (view == "32-bit")}


def identifiers_of(keys):
    """The class, interface and library identifiers and the ProgIDs in the names of keys."""
    names = set()
    for key in keys:
        names.update(re.findall(r"\{[0-9A-F-]{36}\}", key))
        names.update(re.findall(r"\\CLASSES\\([^\\{]+\.[^\\{]+)", key))
    return names


def show_difference(expected, actual):
    for key in sorted(set(expected) | set(actual)):
        if expected.get(key) != actual.get(key):
            print(f"  [{key}]\n    expected {expected.get(key)}\n    found    {actual.get(key)}", file=sys.stderr)


def msiexec(*args):
    log = os.path.join(state, "msiexec.log")
    status, _ = wine("msiexec", *args, "/qn", "/l*v", windows_path(log))
    text = open(log, "rb").read().decode("latin-1") if os.path.exists(log) else ""
    return status, text


def program_folders():
    """The folders that the package fills, the one of the prefix's own bitness first."""
    drive = os.path.join(prefix, "drive_c")
    folders = [os.path.join(drive, "Program Files", "Pelmora")]
    if is_win64():
        folders.append(os.path.join(drive, "Program Files (x86)", "Pelmora"))
    return folders


def main():
    folder = program_folders()[0]
    # The survey command leaves this tree's module registered in the prefix.
    wine("regsvr32", "/s", "/u", "ORVANTA.OCX", cwd=bin_dir)
    before = registry()

    # What regsvr32 writes for the module at the place the package puts it:
    # the keys it adds name the identifiers that make up the registration.
    step("regsvr32")
    os.makedirs(folder)
    shutil.copy(os.path.join(bin_dir, "ORVANTA.OCX"), folder)
    status, output = wine("regsvr32", "/s", "ORVANTA.OCX", cwd=folder)
    if status != 0:
        fail(f"regsvr32 failed ({status}): {output}")
    after_regsvr32 = registry()
    wine("regsvr32", "/s", "/u", "ORVANTA.OCX", cwd=folder)
    shutil.rmtree(folder)
    identifiers = identifiers_of(key for key in after_regsvr32 if key not in before)
    if not identifiers:
        fail("regsvr32 added no keys")
    if control_keys(before, identifiers, "native") or control_keys(before, identifiers, "32-bit"):
        fail(f"the control was registered before the test ({sorted(identifiers)})")
    registered = control_keys(after_regsvr32, identifiers, "native")

    step(f"installing {os.path.basename(package)}")
    status, log = msiexec("/i", windows_path(package))
    if status != 0:
        fail(f"installing {package} failed ({status}):\n{log[-3000:]}")
    installed_keys = registry()
    installed = control_keys(installed_keys, identifiers, "native")
    # The x64 package's 32-bit file adds its entry to the type library's key,
    # which both views share; the rest of its registration is in the 32-bit view.
    shared_32 = {key: lines for key, lines in installed.items() if key.endswith("\\WIN32")} if is_win64() else {}
    native = {key: lines for key, lines in installed.items() if key not in shared_32}
    if native != registered:
        print("install_round_trip: the package's registration differs from regsvr32's:", file=sys.stderr)
        show_difference(registered, native)
        fail("the package's registry rows and the module's registration have drifted apart")
    if is_win64():
        # The 32-bit file's rows are the x86 package's, which the 32-bit lane
        # compares with regsvr32. Here: the same keys as the 64-bit file's in
        # the 32-bit view, the file's paths aside, and its library entry.
        module_path = re.compile(r'"C:\\\\[^"]*\\\\PELMORA\\\\ORVANTA\.OCX', re.I)

        def normalized(keys, prefix):
            return {key.replace(prefix, ""): [module_path.sub('"<module>', line) for line in lines]
                    for key, lines in keys.items() if key.startswith(prefix) and "\\TYPELIB\\" not in key}
        view_32 = normalized(control_keys(installed_keys, identifiers, "32-bit"),
                             "HKEY_LOCAL_MACHINE\\SOFTWARE\\CLASSES\\WOW6432NODE\\")
        expected_32 = normalized(native, "HKEY_LOCAL_MACHINE\\SOFTWARE\\CLASSES\\")
        library_32 = [line for lines in shared_32.values() for line in lines]
        if view_32 != expected_32 or library_32 != ['@="C:\\\\Program Files (x86)\\\\Pelmora\\\\ORVANTA.OCX"']:
            show_difference(expected_32, view_32)
            fail(f"the 32-bit file is not registered in the 32-bit view as the 64-bit file is in its own"
                 f" (its library entry: {library_32})")
    for path in program_folders():
        for name in ("ORVANTA.OCX", "orvanta-survey.exe", "manual.md"):
            if not os.path.isfile(os.path.join(path, name)):
                fail(f"{name} was not installed in {path}")

    step("the survey tool and the VBScript example")
    # The installed survey tool and the VBScript example, through the installed control.
    status, output = wine("orvanta-survey.exe", "--json", "--only", "GetMemoryInfo,IsInstall", cwd=folder)
    survey = json.loads(output) if status == 0 else {}
    if not re.fullmatch(r"\d+ MB\n", survey.get("GetMemoryInfo", "")) or survey.get("IsInstall") != 1:
        fail(f"the installed survey tool did not answer ({status}): {output}")
    status, output = wine("cscript", "//nologo", os.path.basename(vbs), cwd=os.path.dirname(vbs))
    if status != 0 or "== Survey complete" not in output or not re.search(r"== GetMemoryInfo\n\d+ MB\n", output):
        fail(f"the VBScript example did not answer through the installed control ({status}):\n{output}")
    # What the clients themselves leave in the registry (the script host's
    # type library, the sound devices that Wine records) is not the package's.
    clients_changed = {key for key, lines in registry().items() if installed_keys.get(key) != lines}

    # A newer package replaces this one; this one then refuses to replace it.
    installed_package = package
    if newer:
        step(f"upgrading to {os.path.basename(newer)}, then the older package again")
        status, log = msiexec("/i", windows_path(newer))
        if status != 0:
            fail(f"upgrading to {newer} failed ({status}):\n{log[-3000:]}")
        installed_package = newer
        # The package's launch condition refuses it, with the message of its
        # MajorUpgrade element (which Wine shows only with a user interface).
        status, log = msiexec("/i", windows_path(package))
        if (status != ERROR_INSTALL_FAILURE or not re.search(r"WIX_DOWNGRADE_DETECTED = \{", log)
                or not re.search(r"Action ended [0-9:]+: LaunchConditions\. Return value 0\.", log)):
            fail(f"installing the older package over the newer one was not refused ({status}):\n{log[-3000:]}")
        if control_keys(registry(), identifiers, "native") != installed:
            fail("the upgrade, or the refused downgrade, changed the control's registration")

    step("uninstalling")
    status, log = msiexec("/x", windows_path(installed_package))
    if status != 0:
        fail(f"uninstalling failed ({status}):\n{log[-3000:]}")
    # Every key of the control's is gone, and every other key is as before,
    # apart from what the clients changed and keys that hold nothing (Windows
    # Installer keeps its own, empty, bookkeeping keys).
    after = registry()

    def kept(keys):
        return {key: lines for key, lines in keys.items() if key not in clients_changed and
                (lines or any(identifier in key for identifier in identifiers))}
    if kept(after) != kept(before):
        print("install_round_trip: the registry after uninstalling differs from the one before installing:",
              file=sys.stderr)
        show_difference(kept(before), kept(after))
        fail("uninstalling did not restore the registry")
    for path in program_folders():
        if os.path.exists(path):
            fail(f"{path} is left after uninstalling: {os.listdir(path)}")
    step("ok")


main()
