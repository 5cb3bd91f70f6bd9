#!/usr/bin/python3
"""Copies program files with their fixed version lowered, for the install
test's package of an older version: Windows Installer compares the versions
in the files' resources, and the test needs files that are really older.

    older_copy.py <version> <out-dir> <file>...
"""
import os
import sys

import pefile

version, out = sys.argv[1:3]
numbers = [int(part) for part in (version.split(".") + ["0"] * 4)[:4]]
os.makedirs(out, exist_ok=True)
for path in sys.argv[3:]:
    module = pefile.PE(path)
    fixed = module.VS_FIXEDFILEINFO[0]
    fixed.FileVersionMS = fixed.ProductVersionMS = numbers[0] << 16 | numbers[1]
    fixed.FileVersionLS = fixed.ProductVersionLS = numbers[2] << 16 | numbers[3]
    module.write(os.path.join(out, os.path.basename(path)))
