#!/usr/bin/env python3
"""The package's round trip in the harness's prefix, where the control must
not be registered: install, use, replace, uninstall.

    install_round_trip.py <harness.sh> <state-dir> <package.msi> <bin-dir>
                          [<older.msi> <same.msi> <newer.msi>]

With the three other packages (the 64-bit lane's), the package first
upgrades one of an older version whose files are older too, and must leave
its own files; then another build of its own version replaces it, a repair
(REINSTALLMODE=amus) restores a deleted file and key, a package of a newer
version replaces it, and the package is then refused as a downgrade. The
rows that decide that are the same in both packages, and the 32-bit lane's
guest is many times slower.

The registry that the package writes must equal what regsvr32 writes for the
same file at the same place: that comparison is what keeps the package's rows
(installer/registration.wxi) and the module's own registration from drifting
apart. Each step leaves exactly one product in Programs and Features, with
its properties, and InstallDir naming each installed folder; uninstalling
leaves the registry as it was. Run with Debian's python3.
wow64_round_trip.py uses the helpers.
"""
import json
import os
import re
import shutil
import subprocess
import sys
import time

# Wine hands a program's exit code to Linux, which keeps its low 8 bits.
ERROR_INSTALL_FAILURE = 1603 & 0xFF
NAME = os.path.splitext(os.path.basename(sys.argv[0]))[0]
STARTED = time.monotonic()
HKLM = "HKEY_LOCAL_MACHINE\\SOFTWARE\\"
WOW = "WOW6432NODE\\"


def step(message):
    print(f"{NAME}: {time.monotonic() - STARTED:5.0f} s: {message}", flush=True)


def fail(message):
    print(f"{NAME}: {message}", file=sys.stderr)
    sys.exit(1)


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Harness:
    """A Wine prefix of the harness (scripts/harness.sh), of the Wine
    architecture that ORVANTA_WINEARCH names, or arch."""

    def __init__(self, script, state, arch=None):
        self.script, self.state = script, state
        self.prefix = os.path.join(state, "prefix")
        self.env = dict(os.environ, **({"ORVANTA_WINEARCH": arch} if arch else {}))

    def run(self, *args, cwd=None):
        """Runs a Windows program; its exit code and output."""
        result = subprocess.run([self.script, "run", self.state, *args], cwd=cwd, capture_output=True, env=self.env)
        return result.returncode, result.stdout.decode("utf-8", "replace").replace("\r", "")

    def start(self):
        subprocess.run([self.script, "start", self.state], check=True, env=self.env)

    def stop(self):
        subprocess.run([self.script, "stop", self.state], env=self.env)

    def is_win64(self):
        return os.path.isdir(os.path.join(self.prefix, "drive_c", "windows", "syswow64"))

    def registry(self):
        """HKEY_LOCAL_MACHINE\\Software (HKEY_CLASSES_ROOT is its Classes)
        as Wine saves it when the harness ends the prefix's session: {key: [value
        lines]}, keys in upper case. (HKLM\\System changes with Wine's display
        set-up at every start; packages write below Software. Reading Wine's
        file is minutes faster than reg export in the emulated guest.)"""
        subprocess.run([self.script, "wait", self.state], check=True, env=self.env)
        with open(os.path.join(self.prefix, "system.reg"), encoding="latin-1") as saved:
            text = saved.read()
        keys = {}
        lines = None
        for line in text.replace("\\\n  ", "").split("\n"):
            key = re.fullmatch(r"\[(.*)\] \d+", line)
            if key:
                name = "HKEY_LOCAL_MACHINE\\" + key.group(1).replace("\\\\", "\\").upper()
                lines = keys.setdefault(name, []) if name.startswith(HKLM) else None
            elif line and not line.startswith("#") and lines is not None:
                lines.append(line)
        return keys

    def msiexec(self, *args):
        log = os.path.join(self.state, "msiexec.log")
        if os.path.exists(log):
            os.remove(log)
        status, _ = self.run("msiexec", *args, "/qn", "/l*v", windows_path(log))
        text = open(log, "rb").read().decode("latin-1") if os.path.exists(log) else ""
        return status, text

    def install(self, package, what="installing"):
        status, log = self.msiexec("/i", windows_path(package))
        if status != 0:
            fail(f"{what} {os.path.basename(package)} failed ({status}):\n{log[-3000:]}")

    def script_answers(self, cscript="cscript"):
        """Whether a VBScript run by |cscript| creates the control by its
        ProgID and gets its memory report: the script host's way, through
        the type library's registration. The reports themselves are the
        survey's tests'. Returns the failure, or None."""
        with open(os.path.join(self.state, "memory.vbs"), "w") as script:
            script.write('WScript.Echo CreateObject("ORVANTA.OrvantaCtrl.1").GetMemoryInfo()\r\n')
        status, output = self.run(cscript, "//nologo", "memory.vbs", cwd=self.state)
        return None if status == 0 and re.fullmatch(r"\d+ MB\n+", output) else f"({status}):\n{output}"

    def folder(self, bits):
        """The prefix's folder for the package's files of that bitness."""
        native = "Program Files" if bits == 64 or not self.is_win64() else "Program Files (x86)"
        return os.path.join(self.prefix, "drive_c", native, "Pelmora")


def value(keys, key, name):
    """A value's data as Wine saves it: a string unquoted, else as written."""
    for line in keys.get(key, []):
        found = re.fullmatch(rf'"{re.escape(name)}"=(.*)', line)
        if found:
            data = found.group(1)
            return data[1:-1].replace("\\\\", "\\") if data.startswith('"') else data
    return None


def products(keys):
    """The control's entries in Programs and Features, of both views: {key: DisplayName}."""
    return {key: value(keys, key, "DisplayName") for key in keys
            if re.fullmatch(rf"{re.escape(HKLM)}({re.escape(WOW)})?MICROSOFT\\WINDOWS\\CURRENTVERSION\\UNINSTALL\\\{{[0-9A-F-]{{36}}\}}",
                            key) and (value(keys, key, "DisplayName") or "").startswith("Pelmora Control")}


def check_product(harness, keys, name, version):
    """One entry, for the package of that name and version, with its properties."""
    found = products(keys)
    if list(found.values()) != [name]:
        fail(f"Programs and Features should show {name} alone, not {sorted(found.values())}")
    key = next(iter(found))
    home = "C:\\" + os.path.relpath(harness.folder(64 if "x64" in name else 32),
                                    os.path.join(harness.prefix, "drive_c")).replace("/", "\\") + "\\"
    expected = {"DisplayVersion": version, "InstallLocation": home, "HelpLink": home + "manual.md",
                "NoModify": "dword:00000001"}
    shown = {name: value(keys, key, name) for name in expected}
    if shown != expected:
        fail(f"Programs and Features shows {shown} for {name}, not {expected}")
    # Windows Installer keeps the product's icon with its published product.
    icons = [value(keys, published, "ProductIcon") or "" for published in keys
             if published.startswith(HKLM + "CLASSES\\INSTALLER\\PRODUCTS\\") and value(keys, published, "ProductName") == name]
    if len(icons) != 1 or not os.path.isfile(os.path.join(harness.prefix, "drive_c", icons[0][3:].replace("\\", "/"))):
        fail(f"the product's icon {icons} is not one file")
    return key


def check_install_dirs(harness, keys, bits_list):
    """InstallDir in each bitness's view names that bitness's folder."""
    for bits in bits_list:
        key = HKLM + (WOW if bits == 32 and harness.is_win64() else "") + "PELMORA\\CONTROL"
        folder = harness.folder(bits)
        expected = "C:\\" + os.path.relpath(folder, os.path.join(harness.prefix, "drive_c")).replace("/", "\\") + "\\"
        if value(keys, key, "InstallDir") != expected:
            fail(f"InstallDir in [{key}] is {value(keys, key, 'InstallDir')!r}, not {expected!r}")


def control_keys(keys, identifiers, view):
    """The keys of one registry view ("native" or "32-bit") that name one of
    the identifiers. An empty default value counts as none: a package cannot
    write one."""
    return {key: sorted(line for line in lines if line != '@=""') for key, lines in keys.items()
            if any(identifier in key for identifier in identifiers) and (WOW in key) == (view == "32-bit")}


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


def check_restored(harness, before, clients_changed, identifiers):
    """Every key of the control's is gone, and every other key is as before,
    apart from what the clients changed and keys that hold nothing (Windows
    Installer keeps its own, empty, bookkeeping keys); no folder is left."""
    def kept(keys):
        return {key: lines for key, lines in keys.items() if key not in clients_changed and
                (lines or any(identifier in key for identifier in identifiers))}
    after = harness.registry()
    if kept(after) != kept(before):
        print(f"{NAME}: the registry after uninstalling differs from the one before installing:", file=sys.stderr)
        show_difference(kept(before), kept(after))
        fail("uninstalling did not restore the registry")
    for bits in (32, 64):
        if os.path.exists(harness.folder(bits)):
            fail(f"{harness.folder(bits)} is left after uninstalling: {os.listdir(harness.folder(bits))}")


def file_version(path):
    import pefile
    fixed = pefile.PE(path, fast_load=True)
    fixed.parse_data_directories([pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    fixed = fixed.VS_FIXEDFILEINFO[0]
    return "%d.%d.%d.%d" % (fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF,
                            fixed.FileVersionLS >> 16, fixed.FileVersionLS & 0xFFFF)


def main():
    harness = Harness(*sys.argv[1:3])
    package, bin_dir = sys.argv[3:5]
    older, same, newer = sys.argv[5:8] if len(sys.argv) > 5 else (None, None, None)
    arch = "x64" if harness.is_win64() else "x86"
    bits_list = (32, 64) if harness.is_win64() else (32,)
    name, version = f"Pelmora Control ({arch})", re.search(r"-(\d+\.\d+\.\d+)-", package).group(1)
    folder = harness.folder(bits_list[-1])
    # The survey command leaves this tree's module registered in the prefix.
    harness.run("regsvr32", "/s", "/u", "ORVANTA.OCX", cwd=bin_dir)
    before = harness.registry()

    # What regsvr32 writes for the module at the place the package puts it:
    # the keys it adds name the identifiers that make up the registration.
    step("regsvr32")
    os.makedirs(folder)
    shutil.copy(os.path.join(bin_dir, "ORVANTA.OCX"), folder)
    status, output = harness.run("regsvr32", "/s", "ORVANTA.OCX", cwd=folder)
    if status != 0:
        fail(f"regsvr32 failed ({status}): {output}")
    after_regsvr32 = harness.registry()
    harness.run("regsvr32", "/s", "/u", "ORVANTA.OCX", cwd=folder)
    shutil.rmtree(folder)
    identifiers = identifiers_of(key for key in after_regsvr32 if key not in before)
    if not identifiers:
        fail("regsvr32 added no keys")
    if control_keys(before, identifiers, "native") or control_keys(before, identifiers, "32-bit"):
        fail(f"the control was registered before the test ({sorted(identifiers)})")
    registered = control_keys(after_regsvr32, identifiers, "native")

    if older:
        step(f"installing {os.path.basename(older)}, then upgrading")
        harness.install(older)
    step(f"installing {os.path.basename(package)}")
    harness.install(package)
    installed_keys = harness.registry()
    installed = control_keys(installed_keys, identifiers, "native")
    # The x64 package's 32-bit file adds its entry to the type library's key,
    # which both views share; the rest of its registration is in the 32-bit view.
    shared_32 = {key: lines for key, lines in installed.items() if key.endswith("\\WIN32")} if harness.is_win64() else {}
    native = {key: lines for key, lines in installed.items() if key not in shared_32}
    if native != registered:
        print(f"{NAME}: the package's registration differs from regsvr32's:", file=sys.stderr)
        show_difference(registered, native)
        fail("the package's registry rows and the module's registration have drifted apart")
    if harness.is_win64():
        # The 32-bit file's rows are the x86 package's, which the 32-bit lane
        # compares with regsvr32. Here: the same keys as the 64-bit file's in
        # the 32-bit view, the file's paths aside, and its library entry.
        module_path = re.compile(r'"C:\\\\[^"]*\\\\PELMORA\\\\ORVANTA\.OCX', re.I)

        def normalized(keys, prefix):
            return {key.replace(prefix, ""): [module_path.sub('"<module>', line) for line in lines]
                    for key, lines in keys.items() if key.startswith(prefix) and "\\TYPELIB\\" not in key}
        view_32 = normalized(control_keys(installed_keys, identifiers, "32-bit"), HKLM + "CLASSES\\" + WOW)
        expected_32 = normalized(native, HKLM + "CLASSES\\")
        library_32 = [line for lines in shared_32.values() for line in lines]
        if view_32 != expected_32 or library_32 != ['@="C:\\\\Program Files (x86)\\\\Pelmora\\\\ORVANTA.OCX"']:
            show_difference(expected_32, view_32)
            fail(f"the 32-bit file is not registered in the 32-bit view as the 64-bit file is in its own"
                 f" (its library entry: {library_32})")
    for bits in bits_list:
        for file in ("ORVANTA.OCX", "orvanta-survey.exe", "manual.md"):
            path = os.path.join(harness.folder(bits), file)
            if not os.path.isfile(path):
                fail(f"{file} was not installed in {harness.folder(bits)}")
            # The upgrade from older files must leave the package's own.
            if older and file != "manual.md" and file_version(path) != version + ".0":
                fail(f"{path} is version {file_version(path)} after the upgrade, not {version}.0")
    product = check_product(harness, installed_keys, name, version)
    check_install_dirs(harness, installed_keys, bits_list)

    step("the survey tool and a VBScript")
    # The installed survey tool and a script, through the installed control.
    status, output = harness.run("orvanta-survey.exe", "--json", "--only", "GetMemoryInfo,IsInstall", cwd=folder)
    survey = json.loads(output) if status == 0 else {}
    if not re.fullmatch(r"\d+ MB\n", survey.get("GetMemoryInfo", "")) or survey.get("IsInstall") != 1:
        fail(f"the installed survey tool did not answer ({status}): {output}")
    failure = harness.script_answers()
    if failure:
        fail(f"a VBScript did not answer through the installed control {failure}")
    # What the clients themselves leave in the registry (the script host's
    # type library, the sound devices that Wine records) is not the package's.
    clients_changed = {key for key, lines in harness.registry().items() if installed_keys.get(key) != lines}

    installed_package = package
    if same:
        # Another build of the same version (signing makes one) replaces this one.
        step(f"installing another build, {os.path.basename(same)}")
        harness.install(same)
        keys = harness.registry()
        if check_product(harness, keys, name, version) == product:
            fail("the other build of the same version did not replace the installed one")
        installed_package = same
        # The manual's repair brings back a deleted file and a deleted key:
        # its REINSTALL form, since Wine's msiexec /f fails (/famus is the
        # same modes through the command line).
        step("repairing after deleting the module and its ProgID")
        os.remove(os.path.join(folder, "ORVANTA.OCX"))
        harness.run("reg", "delete", "HKEY_CLASSES_ROOT\\ORVANTA.OrvantaCtrl.1", "/f")
        status, log = harness.msiexec("/i", windows_path(same), "REINSTALL=ALL", "REINSTALLMODE=amus")
        if status != 0 or control_keys(harness.registry(), identifiers, "native") != installed or \
                not os.path.isfile(os.path.join(folder, "ORVANTA.OCX")):
            fail(f"the repair did not restore the module and its registration ({status}):\n{log[-3000:]}")
    if newer:
        # A newer package replaces this one; this one then refuses to replace it.
        step(f"upgrading to {os.path.basename(newer)}, then the older package again")
        harness.install(newer, "upgrading to")
        installed_package = newer
        check_product(harness, harness.registry(), name, re.search(r"-(\d+\.\d+\.\d+)-", newer).group(1))
        # The package's launch condition refuses it, with the message of its
        # MajorUpgrade element (which Wine shows only with a user interface).
        status, log = harness.msiexec("/i", windows_path(package))
        if (status != ERROR_INSTALL_FAILURE or not re.search(r"WIX_DOWNGRADE_DETECTED = \{", log)
                or not re.search(r"Action ended [0-9:]+: LaunchConditions\. Return value 0\.", log)):
            fail(f"installing the older package over the newer one was not refused ({status}):\n{log[-3000:]}")
        if control_keys(harness.registry(), identifiers, "native") != installed:
            fail("the upgrade, or the refused downgrade, changed the control's registration")

    step("uninstalling")
    status, log = harness.msiexec("/x", windows_path(installed_package))
    if status != 0:
        fail(f"uninstalling failed ({status}):\n{log[-3000:]}")
    check_restored(harness, before, clients_changed, identifiers)
    step("ok")


if __name__ == "__main__":
    main()
