#!/usr/bin/env python3
"""Checks that the pilot's texts in a release agree with each other and with the version.

usage: check-docs.py RELEASE_FOLDER VERSION

- The sample Hallvoxen.ini holds every key of the guide's INI reference table, in its
  section, with the default the table gives (the NETWORK keys commented out), and no other.
- Every "Hallvoxen-N.N.N" and "Hallvoxen N.N.N" in the guide names VERSION, and the
  change log has a heading for it.
Prints what disagrees; exit 1 then.
"""
import re
import sys


def main():
    folder, version = sys.argv[1], sys.argv[2]
    guide = open(f"{folder}/docs/pilot-guide.md", encoding="utf-8").read()
    sample = open(f"{folder}/Hallvoxen.ini", encoding="utf-8").read()
    changes = open(f"{folder}/CHANGELOG.txt", encoding="utf-8").read()
    problems = []

    table = guide[guide.index("## Hallvoxen.ini reference"):]
    documented = {}
    for section, key, default in re.findall(r"^\| (GENERAL|REMOTE|NETWORK) \| (\w+) \| ([^|]*) \|", table, re.M):
        default = default.strip()
        documented[(section, key)] = "" if default == "(empty)" else default.strip("`")

    in_sample = {}
    section = None
    for line in sample.splitlines():
        line = line.strip()
        if m := re.fullmatch(r"\[(\w+)\]", line):
            section = m.group(1)
        elif m := re.fullmatch(r";?(\w+)=(.*)", line):
            in_sample[(section, m.group(1))] = m.group(2)
    if set(in_sample) != set(documented):
        problems.append(f"sample keys {sorted(in_sample)} are not the guide's {sorted(documented)}")
    for where, default in documented.items():
        if where in in_sample and in_sample[where] != default:
            problems.append(f"{where}: sample says {in_sample[where]!r}, the guide {default!r}")

    for named in set(re.findall(r"Hallvoxen[- ](\d+\.\d+\.\d+)", guide)):
        if named != version:
            problems.append(f"the guide names version {named}, the release is {version}")
    if not re.search(rf"^## {re.escape(version)}\b", changes, re.M):
        problems.append(f"the change log has no heading for {version}")

    for p in problems:
        print("docs:", p)
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
