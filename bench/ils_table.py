#!/usr/bin/env python3
"""Weights of the kernel local search at given CPU times, medians over seeds.

    ils_table.py [--seconds 10] [--at 3,10] [--seeds 1,2,3] [--reduce 1] ILS_BINARY FILE...

Runs `ILS_BINARY --seconds S --every 1 --seed K FILE` once per file and seed
(one run at a time: the figures are CPU seconds of the whole process, loading
and reduction included) and prints a markdown table of the median total
weight reached at each time of --at, with the median iterations per CPU
second of the search.
"""
import argparse
import re
import statistics
import subprocess
import sys


def one_run(binary, path, seconds, seed, reduce):
    out = subprocess.run([binary, "--reduce", str(reduce), "--seconds", str(seconds), "--every", "1", "--seed",
                          str(seed), path], capture_output=True, text=True, check=True).stdout
    at = {}
    iters = 0
    search_start = None
    last_t = 0.0
    for line in out.splitlines():
        m = re.match(r"init ([0-9.]+) s", line)
        if m:
            search_start = float(m.group(1))
        m = re.match(r"([0-9.]+) s: ([0-9.e+]+)\s+\((\d+) iterations", line)
        if m:
            t, w, it = float(m.group(1)), float(m.group(2)), int(m.group(3))
            at[round(t)] = w
            iters += it
            last_t = t
    rate = iters / max(1e-9, last_t - (search_start or 0))
    return at, rate


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--seconds", type=float, default=10)
    ap.add_argument("--at", default="3,10")
    ap.add_argument("--seeds", default="1,2,3")
    ap.add_argument("--reduce", type=int, default=1)
    ap.add_argument("binary")
    ap.add_argument("files", nargs="+")
    a = ap.parse_args()
    times = [int(x) for x in a.at.split(",")]
    seeds = [int(x) for x in a.seeds.split(",")]
    print("| instance | " + " | ".join(f"{t} s" for t in times) + " | iterations/s |")
    print("|---|" + "---:|" * (len(times) + 1))
    for f in a.files:
        rows = [one_run(a.binary, f, a.seconds, s, a.reduce) for s in seeds]
        cells = []
        for t in times:
            ws = [r[0].get(t) for r in rows]
            cells.append("%.17g" % statistics.median(ws) if None not in ws else "-")
        rate = statistics.median(r[1] for r in rows)
        name = f.rsplit("/", 1)[-1]
        print(f"| {name} | " + " | ".join(cells) + f" | {rate:.0f} |")
        sys.stdout.flush()


if __name__ == "__main__":
    main()
