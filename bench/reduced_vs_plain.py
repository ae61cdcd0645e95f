#!/usr/bin/env python3
"""Independent-set runs with and without reduction under the same CPU limit.

    reduced_vs_plain.py BUILD_DIR SECONDS FILE... [--seeds 1,2,3]

For each file, program (mavu1, mavu2) and seed: `-c 1 -r 1 -t SECONDS` against
`-c 1 -r 0 -t SECONDS`. Prints one markdown row per file and program with the
median weight of each, the worst difference over the seeds (reduced minus
plain: never negative is the promise; "ok" when it is not below -1e-12 times
the weight, the rounding of sums of weights of 10^23), the reduced run's
#optimal and kernel, and the largest CPU time of the reduced runs and of the
plain runs (user + system, from wait4), which must stay within the limit plus
0.1 s when loading and reduction fit in it.
"""
import os
import re
import resource
import statistics
import subprocess
import sys


def run(cmd):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    out = subprocess.run(cmd, capture_output=True, text=True).stdout
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    get = lambda key: (re.search(rf"^{key}=(\S+)", out, re.M) or [None, "nan"])[1]
    return float(get("#objv")), get("#optimal"), get("#kernel"), cpu


def main(argv):
    seeds = ["1"]
    if "--seeds" in argv:
        i = argv.index("--seeds")
        seeds = argv[i + 1].split(",")
        argv = argv[:i] + argv[i + 2:]
    build, seconds, files = argv[1], argv[2], argv[3:]
    print(f"| graph | program | -r 1 weight | -r 0 weight | worst diff | not worse | proven | kernel |"
          f" max CPU s -r 1 / -r 0 (limit {seconds}) |")
    print("|---|---|---:|---:|---:|---|---|---:|---:|")
    for f in files:
        for prog in ("mavu1", "mavu2"):
            exe = os.path.join(build, prog)
            red, plain, diffs, cpus1, cpus0, opt, kernel = [], [], [], [], [], "-", "-"
            for s in seeds:
                w1, opt, kernel, c1 = run([exe, "-f", f, "-c", "1", "-r", "1", "-s", s, "-t", seconds])
                w0, _, _, c0 = run([exe, "-f", f, "-c", "1", "-r", "0", "-s", s, "-t", seconds])
                red.append(w1)
                plain.append(w0)
                diffs.append(w1 - w0)
                cpus1.append(c1)
                cpus0.append(c0)
            ok = all(d >= -1e-12 * max(abs(w), 1.0) for d, w in zip(diffs, plain))
            print(f"| {os.path.basename(f)} | {prog} | {statistics.median(red):.10g} | {statistics.median(plain):.10g} |"
                  f" {min(diffs):.6g} | {'ok' if ok else 'WORSE'} | {opt} | {kernel} |"
                  f" {max(cpus1):.2f} / {max(cpus0):.2f} |", flush=True)


if __name__ == "__main__":
    main(sys.argv)
