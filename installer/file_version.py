#!/usr/bin/python3
"""Prints a program file's version and language from its own version
resource, as Windows Installer's File table holds them: "4.1.1.0 1041".
Exits with 1, saying so, when the file has no version resource.

    file_version.py FILE
"""
import sys

import pefile

path = sys.argv[1]
module = pefile.PE(path, fast_load=True)
module.parse_data_directories([pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
fixed = getattr(module, "VS_FIXEDFILEINFO", None)
# Each translation is "0xLLLL 0xCCCC", a language and a code page.
languages = [int(var.entry[b"Translation"].split()[0], 16) for info in getattr(module, "FileInfo", [])
             for entry in info if entry.Key == b"VarFileInfo" for var in entry.Var if b"Translation" in var.entry]
if not fixed:
    sys.exit(f"{path} has no version resource")
fixed = fixed[0]
print("%d.%d.%d.%d" % (fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF,
                       fixed.FileVersionLS >> 16, fixed.FileVersionLS & 0xFFFF), ",".join(map(str, languages)) or "0")
