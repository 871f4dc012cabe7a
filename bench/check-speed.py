#!/usr/bin/env python3
"""Checks the speed of BuildStationTable from the JSON output of bench_station_table.

  bench_station_table --benchmark_repetitions=5 --benchmark_format=json > out.json
  bench/check-speed.py out.json

Each benchmark's fastest repetition (CPU time) is used, so a busy machine does not fail it:
  - real/all: at least 1,000 MB/s, and at most 6 times the time of the memchr line split
    of the same bytes (skipped when the real network files were not there). The parser
    is the one the 32-bit module runs, built without vectorisation (bench/CMakeLists.txt),
    against the C library's vectorised memchr;
  - adversarial/huge-count: a count of 4294967295 over a small file builds in under 1 ms;
  - adversarial/voice-20000: 20,000 stations and voice clients build in under 100 ms.
"""
import json
import sys


def main(path):
    runs = json.load(open(path))["benchmarks"]
    best = {}
    for r in runs:
        if r.get("run_type") == "aggregate" or r.get("error_occurred"):
            continue
        name = r["run_name"] if "run_name" in r else r["name"]
        ns = r["cpu_time"] * {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}[r["time_unit"]]
        rate = r.get("bytes_per_second", 0)
        if name not in best or ns < best[name][0]:
            best[name] = (ns, rate)

    failures = []

    def report(ok, text):
        print(("ok    " if ok else "FAIL  ") + text)
        if not ok:
            failures.append(text)

    build, split = best.get("BM_Build/real/all"), best.get("BM_LineSplit/real/all")
    if build and split:
        report(build[1] >= 1000e6, "real files: %.0f MB/s (at least 1000)" % (build[1] / 1e6))
        ratio = build[0] / split[0]
        report(ratio <= 6.0, "real files: %.2f times the memchr line split (at most 6)" % ratio)
    else:
        print("skip  real files: none were benchmarked")
    for name, limit in (("adversarial/huge-count", 1e6), ("adversarial/voice-20000", 100e6)):
        run = best.get("BM_Build/" + name)
        if run is None:
            report(False, name + ": not benchmarked")
        else:
            report(run[0] < limit, "%s: %.3f ms (under %g ms)" % (name, run[0] / 1e6, limit / 1e6))
    for name in sorted(best):
        if name.startswith("BM_Build/"):
            other = best.get(name.replace("BM_Build/", "BM_LineSplit/"))
            if other:
                print("      %-50s %8.0f MB/s  %5.2f x line split" % (name, best[name][1] / 1e6, best[name][0] / other[0]))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
