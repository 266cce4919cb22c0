#!/usr/bin/env python3
"""Prints the test command's closing lines from ctest's JUnit reports: one line
per test level and architecture (ran, passed, failed, skipped and why), then
'N passed, N failed, N skipped' alone on the last line.

Usage: test-summary.py PRESET=REPORT.xml|PRESET=build-failed ...
"""
import sys
import xml.etree.ElementTree as ET
from collections import OrderedDict


def level_of(preset, name):
    if preset == "native":
        if name == "clang_tidy":
            return "static"
        return "fuzz" if name.endswith("_fuzz") else "native"
    if name.startswith("e2e_"):
        return "e2e"
    if name in ("dll_tables", "package_tables"):
        return "binary"
    return "smoke" if name == "windows_smoke" else "windows"


def skip_reason(case):
    out = case.findtext("system-out") or ""
    for line in reversed(out.splitlines()):
        if line.strip().startswith("skipped:"):
            return line.strip()[len("skipped:"):].strip()
    skipped = case.find("skipped")
    return (skipped.get("message") if skipped is not None else None) or "skipped"


def main(args):
    rows = OrderedDict()
    totals = {"passed": 0, "failed": 0, "skipped": 0}
    for arg in args:
        preset, _, report = arg.partition("=")
        if report == "build-failed":
            rows[(preset, "build")] = {"passed": 0, "failed": 1, "skipped": 0, "why": set(), "failed_names": ["the build"]}
            totals["failed"] += 1
            continue
        try:
            cases = ET.parse(report).getroot().iter("testcase")
        except (OSError, ET.ParseError) as error:
            rows[(preset, "ctest")] = {"passed": 0, "failed": 1, "skipped": 0, "why": set(),
                                      "failed_names": [f"no report ({error})"]}
            totals["failed"] += 1
            continue
        for case in cases:
            name = case.get("name")
            row = rows.setdefault((preset, level_of(preset, name)),
                                  {"passed": 0, "failed": 0, "skipped": 0, "why": set(), "failed_names": []})
            status = case.get("status")
            if case.find("skipped") is not None or status in ("notrun", "disabled") and case.find("failure") is None:
                row["skipped"] += 1
                row["why"].add(skip_reason(case))
                totals["skipped"] += 1
            elif case.find("failure") is not None or status == "fail":
                row["failed"] += 1
                row["failed_names"].append(name)
                totals["failed"] += 1
            else:
                row["passed"] += 1
                totals["passed"] += 1
    print("=== summary")
    for (preset, level), row in rows.items():
        ran = row["passed"] + row["failed"]
        line = f"{level} {preset}: ran {ran}, passed {row['passed']}, failed {row['failed']}, skipped {row['skipped']}"
        if row["failed_names"]:
            line += " (failed: " + ", ".join(row["failed_names"]) + ")"
        if row["why"]:
            line += " (skipped: " + "; ".join(sorted(row["why"])) + ")"
        print(line)
    print(f"{totals['passed']} passed, {totals['failed']} failed, {totals['skipped']} skipped")
    return 1 if totals["failed"] else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
