#!/usr/bin/env python3
"""Checks ORVANTA.CAB, the CAB that web pages name in their codebase: it
holds exactly the 32-bit ORVANTA.OCX and ORVANTA.INF, and the INF installs
that file under the CLSID of the control class in the file's own type
library, at the file's own version, and lets it register itself. Run with
Debian's python3 (python3-pefile).

    check_cab.py path/to/ORVANTA.CAB
"""
import configparser
import os
import struct
import subprocess
import sys
import tempfile
import uuid

import pefile

TKIND_COCLASS = 5


def fail(message):
    print(f"cab: {message}", file=sys.stderr)
    sys.exit(1)


def coclass_guids(library):
    """The GUIDs of the component classes of a binary (MSFT) type library."""
    if library[:4] != b"MSFT":
        fail("the module's type library is not in the binary format")
    count, = struct.unpack_from("<i", library, 0x20)
    (varflags,) = struct.unpack_from("<i", library, 0x14)
    offset = 0x54 + (4 if varflags & 0x100 else 0) + 4 * count
    # The segment directory: 15 entries of (offset, length, two reserved).
    typeinfos, _ = struct.unpack_from("<ii", library, offset)
    guids, _ = struct.unpack_from("<ii", library, offset + 5 * 16)
    found = []
    for index in range(count):
        base = typeinfos + index * 0x64
        (kind,) = struct.unpack_from("<i", library, base)
        (position,) = struct.unpack_from("<i", library, base + 0x2C)
        if kind & 0xF == TKIND_COCLASS:
            found.append(str(uuid.UUID(bytes_le=library[guids + position:guids + position + 16])).upper())
    return found


def main():
    cab = sys.argv[1]
    listing = subprocess.run(["gcab", "--list", cab], capture_output=True, text=True, check=True).stdout
    names = sorted(line.split()[0] for line in listing.splitlines() if line.strip())
    if names != ["ORVANTA.INF", "ORVANTA.OCX"]:
        fail(f"the CAB holds {names}, not exactly ORVANTA.OCX and ORVANTA.INF")

    with tempfile.TemporaryDirectory() as folder:
        subprocess.run(["gcab", "--extract", "--directory", folder, cab], check=True)
        module = pefile.PE(os.path.join(folder, "ORVANTA.OCX"))
        inf = configparser.ConfigParser()
        inf.optionxform = str
        inf.read(os.path.join(folder, "ORVANTA.INF"), encoding="ascii")

    if module.FILE_HEADER.Machine != pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"]:
        fail("the CAB's ORVANTA.OCX is not the 32-bit module")
    fixed = module.VS_FIXEDFILEINFO[0]
    version = "%d,%d,%d,%d" % (fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF,
                               fixed.FileVersionLS >> 16, fixed.FileVersionLS & 0xFFFF)
    libraries = [entry for entry in module.DIRECTORY_ENTRY_RESOURCE.entries if str(entry.name) == "TYPELIB"]
    data = libraries[0].directory.entries[0].directory.entries[0].data.struct
    classes = coclass_guids(module.get_data(data.OffsetToData, data.Size))
    if len(classes) != 1:
        fail(f"the module's type library has {len(classes)} component classes, not one")

    expected = {
        ("Add.Code", "ORVANTA.OCX"): "ORVANTA.OCX",
        ("ORVANTA.OCX", "file-win32-x86"): "thiscab",
        ("ORVANTA.OCX", "clsid"): "{%s}" % classes[0],
        ("ORVANTA.OCX", "FileVersion"): version,
        ("ORVANTA.OCX", "RegisterServer"): "yes",
    }
    for (section, key), value in expected.items():
        found = inf.get(section, key, fallback=None)
        if found is None or found.upper() != value.upper():
            fail(f"ORVANTA.INF [{section}] {key} is {found!r}, not {value!r}")
    print(f"cab: ok (CLSID {{{classes[0]}}}, version {version})")


main()
