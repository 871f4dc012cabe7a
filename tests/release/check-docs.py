#!/usr/bin/env python3
"""usage: check-docs.py RELEASE_FOLDER VERSION

Fails (exit 1, naming what disagrees) unless the sample Hallvoxen.ini holds exactly the
keys of the guide's INI reference table, each in its section with the table's default
(the NETWORK keys commented out), every "Hallvoxen-N.N.N" or "Hallvoxen N.N.N" in the guide
is VERSION, and the change log has a heading for VERSION.
"""
import re
import sys

folder, version = sys.argv[1], sys.argv[2]
guide = open(f"{folder}/docs/pilot-guide.md", encoding="utf-8").read()
table = guide[guide.index("## Hallvoxen.ini reference"):]
documented = {(s, k): "" if d.strip() == "(empty)" else d.strip().strip("`")
              for s, k, d in re.findall(r"^\| (GENERAL|REMOTE|NETWORK) \| (\w+) \| ([^|]*) \|", table, re.M)}
sample, section = {}, None
for line in open(f"{folder}/Hallvoxen.ini", encoding="utf-8").read().splitlines():
    if m := re.fullmatch(r"\[(\w+)\]", line.strip()):
        section = m.group(1)
    elif m := re.fullmatch(r";?(\w+)=(.*)", line.strip()):
        sample[(section, m.group(1))] = m.group(2)
differ = sorted(set(sample.items()) ^ set(documented.items()))
problems = [f"the sample INI and the guide's reference differ in {differ}"] if differ else []
problems += [f"the guide names version {v}" for v in set(re.findall(r"Hallvoxen[- ](\d+\.\d+\.\d+)", guide)) - {version}]
if not re.search(rf"^## {re.escape(version)}\b", open(f"{folder}/CHANGELOG.txt", encoding="utf-8").read(), re.M):
    problems.append(f"the change log has no heading for {version}")
for p in problems:
    print("docs:", p)
sys.exit(1 if problems else 0)
