#!/usr/bin/env python3
"""Adds up the test results of several build trees into one line:
'N passed, N failed' (and ', N skipped' when any were skipped).

A GoogleTest program counts its cases (from the XML it wrote); any other
ctest entry counts as one test. A program that failed without writing its
XML (a crash, a time-out) counts as one failure. The fixtures that start and
stop Wine count only when they fail."""
import os
import sys
import xml.etree.ElementTree as ET

FIXTURES = {"wine_start", "wine_stop"}


def summarize(build_dir):
    passed = failed = skipped = 0
    problems = []
    junit = os.path.join(build_dir, "ctest-junit.xml")
    if not os.path.exists(junit):
        return 0, 1, 0, [f"{build_dir}: no ctest results"]
    for case in ET.parse(junit).getroot().iter("testcase"):
        name = case.get("name")
        status = case.get("status", "")
        ok = status == "run" and case.find("failure") is None and case.find("error") is None
        if status in ("notrun", "disabled") or case.find("skipped") is not None:
            skipped += 1
            continue
        gtest_xml = os.path.join(build_dir, "test-results", name + ".xml")
        if os.path.exists(gtest_xml):
            root = ET.parse(gtest_xml).getroot()
            tests = int(root.get("tests", 0))
            bad = int(root.get("failures", 0)) + int(root.get("errors", 0))
            skip = sum(1 for c in root.iter("testcase") if c.find("skipped") is not None)
            disabled = int(root.get("disabled", 0))
            passed += tests - bad - skip - disabled
            failed += bad
            skipped += skip + disabled
            if bad:
                problems.append(f"{name}: {bad} failed")
            if not ok and bad == 0:
                failed += 1
                problems.append(f"{name}: the program failed after its tests")
        elif name in FIXTURES:
            if not ok:
                failed += 1
                problems.append(f"{name}: failed")
        elif ok:
            passed += 1
        else:
            failed += 1
            problems.append(f"{name}: failed")
    return passed, failed, skipped, problems


def main():
    total_passed = total_failed = total_skipped = 0
    for build_dir in sys.argv[1:]:
        p, f, s, problems = summarize(build_dir)
        total_passed += p
        total_failed += f
        total_skipped += s
        for problem in problems:
            print(f"  {os.path.basename(build_dir)}: {problem}")
    line = f"{total_passed} passed, {total_failed} failed"
    if total_skipped:
        line += f", {total_skipped} skipped"
    print(line)
    return 1 if total_failed else 0


if __name__ == "__main__":
    sys.exit(main())
