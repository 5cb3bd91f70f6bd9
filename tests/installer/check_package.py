#!/usr/bin/env python3
"""Checks an MSI package's programs as Windows Installer sees them: every
ORVANTA.OCX and orvanta-survey.exe in its File table is a versioned file of
the project's version, with a language, and has no hash row (which is for
unversioned files). Otherwise a versioned copy already on disk would win over
the package's file.

    check_package.py <package.msi> <version>
"""
import subprocess
import sys

package, version = sys.argv[1:3]


def table(name):
    lines = subprocess.run(["msiinfo", "export", package, name], capture_output=True, text=True,
                           check=True).stdout.replace("\r", "").splitlines()
    columns = lines[0].split("\t")
    return [dict(zip(columns, line.split("\t"))) for line in lines[3:]]


programs = {row["File"]: row for row in table("File") if row["FileName"] in ("ORVANTA.OCX", "orvanta-survey.exe")}
expected_count = 4 if package.endswith("-x64.msi") else 2
shown = {key: (row["FileName"], row["Version"], row["Language"]) for key, row in programs.items()}
hashed = sorted(row["File_"] for row in table("MsiFileHash") if row["File_"] in programs)
if (len(programs) != expected_count or any(row["Version"] != version + ".0" or not row["Language"].isdigit()
                                           for row in programs.values()) or hashed):
    sys.exit(f"package: the programs in {package} should be {expected_count} versioned files of {version}.0"
             f" with a language and no hash; the File table has {shown}, hashes for {hashed}")
print(f"package: {shown}")
