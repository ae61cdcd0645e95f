#!/usr/bin/env python3
"""Independent-set runs with and without reduction, side by side.

    reduction_mis.py BUILD_DIR SECONDS_REDUCED SECONDS_PLAIN FILE...

For each file and program (mavu1, mavu2, seed 1): the run with -c 1 -r 1 and a limit of
SECONDS_REDUCED CPU seconds, and the run with -c 1 alone and SECONDS_PLAIN. Prints one
markdown row per file and program: vertices, edges, the reduction's figures (bench/reduce_mwis:
kernel after the rules, components and largest, components left for the search, CPU seconds
to reduce), the reduced run's weight, time to best and #optimal, and the plain run's weight
and time to best.
"""
import os
import re
import subprocess
import sys


def run(cmd):
    out = subprocess.run(cmd, capture_output=True, text=True).stdout
    get = lambda key: (re.search(rf"^{key}=(\S+)", out, re.M) or [None, "-"])[1]
    return get("#objv"), get("#besttime"), get("#optimal")


def main(argv):
    build, t_red, t_plain, files = argv[1], argv[2], argv[3], argv[4:]
    print("| graph | program | n | m | kernel | components (largest) | searched | reduce s |"
          " -r 1 weight | -r 1 best s | proven | -c 1 weight | -c 1 best s |")
    print("|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
    for f in files:
        stats = subprocess.run([os.path.join(build, "bench", "reduce_mwis"), f], capture_output=True,
                               text=True).stdout.split("\n")[1].split()
        n, m, kernel, comps, largest, exact, searched, red_s = (stats[1], stats[2], stats[3], stats[4],
                                                               stats[5], stats[6], stats[7], stats[9])
        for prog in ("mavu1", "mavu2"):
            exe = os.path.join(build, prog)
            w1, b1, opt = run([exe, "-f", f, "-c", "1", "-r", "1", "-s", "1", "-t", t_red])
            w0, b0, _ = run([exe, "-f", f, "-c", "1", "-s", "1", "-t", t_plain])
            print(f"| {os.path.basename(f)} | {prog} | {n} | {m} | {kernel} | {comps} ({largest}) |"
                  f" {int(comps) - int(exact)} ({searched} v.) | {red_s} | {float(w1):.6g} | {b1} | {opt} |"
                  f" {float(w0):.6g} | {b0} |", flush=True)


if __name__ == "__main__":
    main(sys.argv)
