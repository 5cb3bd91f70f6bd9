#!/usr/bin/env python3
"""Writes the sample answers of a survey (orvanta-survey.exe --json) into the
user's manual, between its <!-- samples:begin --> and <!-- samples:end -->
markers: one heading per method, its answer as printed, and whether it ends
with a line feed.

    refresh_samples.py survey.json docs/manual.md
"""
import json
import re
import sys

# Identifiers by type-library name, from the manual's own method table.
ROW = re.compile(r'^\|\s*(-?\d+)\s*\|\s*(\w+)\s*\|')


def sample(name, method_id, answer):
    lines = [f"#### {name} ({method_id})", ""]
    if isinstance(answer, int):
        lines += ["```text", str(answer), "```", "", "A number (VT_I2), not a text."]
    elif answer == "":
        lines += ["An empty text on this machine."]
    else:
        body = answer[:-1] if answer.endswith("\n") else answer
        lines += ["```text", *body.replace("\r", "").split("\n"), "```", ""]
        lines += ["Ends with a line feed." if answer.endswith("\n") else "No line feed at the end."]
    return lines + [""]


def main():
    survey_path, manual_path = sys.argv[1:3]
    survey = json.load(open(survey_path, encoding="utf-8"))
    text = open(manual_path, encoding="utf-8").read()
    lines = text.split("\n")
    begin, end = lines.index("<!-- samples:begin -->"), lines.index("<!-- samples:end -->")
    ids = dict((m[2], m[1]) for line in lines if (m := ROW.match(line)))
    body = [""]
    # The answers come first; the record's own fields and facts follow them.
    for name, answer in survey.items():
        if name in ids:
            body += sample(name, ids[name], answer)
    lines[begin + 1:end] = body
    open(manual_path, "w", encoding="utf-8").write("\n".join(lines))


if __name__ == "__main__":
    sys.exit(main())
