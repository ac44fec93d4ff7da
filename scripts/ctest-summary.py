#!/usr/bin/env python3
"""Reads the JUnit report of a ctest run (ctest --output-junit FILE) and prints one line with the
counts of the part, then each skipped test with the reason it gave (disabled tests count as
skipped).

  scripts/ctest-summary.py PART REPORT.xml
"""
import sys
import xml.etree.ElementTree as ElementTree


def reason(output):
    """The reason a skipped test printed: GoogleTest's message after "Skipped", else the last line
    that speaks of skipping, else the last line."""
    lines = [line.strip() for line in output.splitlines() if line.strip()]
    for i, line in enumerate(lines):
        if line.endswith("Skipped") and i + 1 < len(lines) and not lines[i + 1].startswith("["):
            return lines[i + 1]
    for line in reversed(lines):
        if "skip" in line.lower() and not line.startswith("[  SKIPPED"):
            return line
    return lines[-1] if lines else "(no reason printed)"


def main():
    part, path = sys.argv[1], sys.argv[2]
    try:
        cases = ElementTree.parse(path).getroot().iter("testcase")
    except (OSError, ElementTree.ParseError) as error:
        print(f"{part}: no test report ({error})")
        return 0
    counts = {"passed": 0, "failed": 0, "skipped": 0}
    skipped = []
    for case in cases:
        if case.get("status") == "disabled":
            # A test the build left out on purpose: its name says why.
            counts["skipped"] += 1
            skipped.append((case.get("name"), "disabled in this build"))
        elif case.find("skipped") is not None:
            counts["skipped"] += 1
            skipped.append((case.get("name"), reason(case.findtext("system-out") or "")))
        elif case.find("failure") is not None or case.get("status") == "fail":
            counts["failed"] += 1
        else:
            counts["passed"] += 1
    total = sum(counts.values())
    print(f"{part}: {total} tests, {counts['passed']} passed, {counts['failed']} failed, "
          f"{counts['skipped']} skipped")
    for name, why in skipped:
        print(f"  skipped {name}: {why[:200]}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
