#!/usr/bin/env python3
"""Checks that the method reference in docs/methods.md says what the control's
dispatch table says: every identifier, both names, the return type and the
collector that answers it, and that its Code column names files that exist,
the first of them the one that defines the collector. Given the user's manual as well, checks its method
table (identifiers, both names, return type) and that its sample answers name
every method but AboutBox once, in table order.

    check_methods_doc.py control/dispatch_table.cpp docs/methods.md [docs/manual.md]
"""
import os
import re
import sys

TABLE_ROW = re.compile(
    r'\{(?P<id>[-\w]+), L"(?P<typelib>\w+)", L"(?P<dispatch>\w+)", (?P<vt>VT_\w+), '
    r'(?:&CUserOrvanta::(?P<collector>\w+)|nullptr)\}')
DOC_ROW = re.compile(
    r'^\|\s*(?P<id>-?\d+)\s*\|\s*(?P<typelib>\w+)\s*\|\s*(?P<dispatch>\w*)\s*\|\s*(?P<returns>[\w ]+?)\s*\|'
    r'\s*(?P<by>[^|]+?)\s*\|(?:\s*(?P<code>[^|]*?)\s*\|)?')
RETURNS = {"VT_BSTR": "BSTR", "VT_I2": "VT_I2", "VT_EMPTY": "nothing"}
NAMED_IDS = {"kDispidIsInstall": "18", "DISPID_ABOUTBOX": "-552"}


SAMPLE_HEADING = re.compile(r'^#### (?P<name>\w+) \((?P<id>-?\d+)\)$')


def check_code(root, row_id, collector, code):
    """Mismatches between a row's Code column and the tree below |root|."""
    failures, folder, paths = [], "", []
    for name in re.findall(r'`([^`]+)`', code or ""):
        folder = os.path.dirname(name) if "/" in name else folder
        paths.append(os.path.join(root, name if "/" in name else os.path.join(folder, name)))
    for path in paths:
        if not os.path.isfile(path):
            failures.append(f"row {row_id}: the reference names {os.path.relpath(path, root)}, which does not exist")
    if collector and paths and os.path.isfile(paths[0]):
        if f"CUserOrvanta::{collector}(" not in open(paths[0], encoding="utf-8").read():
            failures.append(f"row {row_id}: {os.path.relpath(paths[0], root)} does not define {collector}")
    return failures


def between(lines, name):
    """The lines between the <!-- name:begin --> and <!-- name:end --> markers."""
    begin, end = f"<!-- {name}:begin -->", f"<!-- {name}:end -->"
    if begin not in lines or end not in lines:
        return None
    return lines[lines.index(begin) + 1:lines.index(end)]


def compare_rows(table, docs, where):
    """Mismatches between the dispatch table and a document's method rows."""
    failures = []
    if len(docs) != len(table):
        failures.append(f"{where} lists {len(docs)} methods, the table {len(table)}")
    for row, doc in zip(table, docs):
        row_id = NAMED_IDS.get(row["id"], row["id"])
        expected = {
            "id": row_id,
            "typelib": row["typelib"],
            "dispatch": "" if row["dispatch"] == row["typelib"] else row["dispatch"],
            "returns": RETURNS[row["vt"]],
        }
        actual = {key: doc[key].strip() for key in expected}
        if actual != expected:
            failures.append(f"{where}, row {row_id}: it says {actual}, the table {expected}")
    return failures


def check_manual(table, manual_path):
    failures = []
    lines = open(manual_path, encoding="utf-8").read().splitlines()
    rows = between(lines, "methods")
    if rows is None:
        return [f"{manual_path} has no methods markers"]
    docs = [m.groupdict() for line in rows if (m := DOC_ROW.match(line))]
    failures += compare_rows(table, docs, "the manual")
    samples = between(lines, "samples")
    if samples is None:
        return failures + [f"{manual_path} has no samples markers"]
    headings = [(m["name"], m["id"]) for line in samples if (m := SAMPLE_HEADING.match(line))]
    expected = [(row["typelib"], NAMED_IDS.get(row["id"], row["id"])) for row in table if row["vt"] != "VT_EMPTY"]
    if headings != expected:
        failures.append(f"the manual's samples are {headings}, the table has {expected}")
    return failures


def main():
    table_path, doc_path = sys.argv[1:3]
    root = os.path.dirname(os.path.dirname(os.path.abspath(table_path)))
    manual_path = sys.argv[3] if len(sys.argv) > 3 else None
    table = [m.groupdict() for m in TABLE_ROW.finditer(open(table_path, encoding="utf-8").read())]
    docs = [m.groupdict() for line in open(doc_path, encoding="utf-8") if (m := DOC_ROW.match(line))]
    failures = []
    if len(table) != 31:
        failures.append(f"the dispatch table has {len(table)} rows, not 31")
    failures += compare_rows(table, docs, "the reference")
    for row, doc in zip(table, docs):
        row_id = NAMED_IDS.get(row["id"], row["id"])
        collector = row["collector"]
        answered_by = doc["by"].strip()
        if collector and answered_by != f"`CUserOrvanta::{collector}`":
            failures.append(f"row {row_id}: answered by {collector}, the reference says {answered_by}")
        if not collector and "CUserOrvanta" in answered_by:
            failures.append(f"row {row_id}: no collector in the table, the reference names {answered_by}")
        failures += check_code(root, row_id, collector, doc["code"])
    if manual_path:
        failures += check_manual(table, manual_path)
    for failure in failures:
        print(f"FAIL: {failure}")
    checked = doc_path + (f" and {manual_path}" if manual_path else "")
    print(f"{checked}: {'ok' if not failures else f'{len(failures)} mismatch(es)'}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
