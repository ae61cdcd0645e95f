#!/usr/bin/env python3
"""Clique-mode reduction on large sparse graphs: the table of docs/reduction.md.

    bench/reduction.py BUILD_DIR [--massive DIR] [--work DIR] [--reps R] [--time T]

Per graph of the shared massive sample and for a generated Chung-Lu graph of 10^6 vertices
and 10^7 edge draws with a planted clique of 30 vertices (bench/gen_powerlaw, seed 1):
vertices, edges, kernel size, CPU seconds to read and to reduce (bench/reduce_stats, median of
R runs), the -c 1 -r 0 program's CPU seconds for the same file with one iteration (its
load), and per program (mavu1, mavu2; -t T, the default path, which reduces such graphs) the
weight, #besttime, #optimal, the run's CPU seconds (to its proof when #optimal=1) and the
peak resident memory (bench/run_stats) against the budget of 64 bytes per
edge, 128 bytes per vertex and the kernel's conflict graph. Prints a Markdown table.
"""
import argparse
import os
import re
import statistics
import subprocess
import sys


def stats_line(build, path):
    out = subprocess.run([os.path.join(build, "bench", "reduce_stats"), path], capture_output=True, text=True,
                         check=True).stdout
    return {k: float(v) for k, v in re.findall(r"(\w+)=([\d.e+-]+)", out)}


def run_stats(build, cmd):
    """(stdout, cpu seconds, peak KiB) of cmd."""
    out_file = os.path.join("/tmp", f"reduction_bench_{os.getpid()}.out")
    line = subprocess.run([os.path.join(build, "bench", "run_stats"), out_file] + cmd, capture_output=True,
                          text=True, check=True).stdout.split()
    with open(out_file) as f:
        text = f.read()
    os.remove(out_file)
    return text, float(line[0]), int(line[1])


def key(text, name):
    m = re.search(rf"^{re.escape(name)}=(\S+)$", text, re.M)
    return m.group(1) if m else "-"


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build")
    ap.add_argument("--massive", default=os.path.join(os.path.dirname(__file__), "..", "..", "shared", "instances",
                                                      "massive"))
    ap.add_argument("--work", default="/tmp/mavu_reduction_bench")
    ap.add_argument("--reps", type=int, default=3)
    ap.add_argument("--time", type=int, default=10)
    args = ap.parse_args()
    os.makedirs(args.work, exist_ok=True)
    files = sorted(os.path.join(args.massive, f) for f in os.listdir(args.massive) if f.endswith(".gz"))
    for edges, planted in (("3000000", "0"), ("10000000", "30")):
        generated = os.path.join(args.work, f"powerlaw_1e6_{edges[0]}e{len(edges) - 1}_k{planted}_s1.clq")
        if not os.path.exists(generated):
            subprocess.run([os.path.join(args.build, "bench", "gen_powerlaw"), "1000000", edges, planted, "1",
                            generated], check=True)
        files.append(generated)
    print("| graph | vertices | edges | kernel | read (s) | reduce (s) | -c 1 load (s) | (read+reduce)/load |"
          " program | weight | #besttime | #optimal | CPU (s) | peak MiB | budget MiB |")
    print("|---|---:|---:|---:|---:|---:|---:|---:|---|---:|---:|---:|---:|---:|---:|")
    for path in files:
        reps = [stats_line(args.build, path) for _ in range(args.reps)]
        s = reps[0]
        read = statistics.median(r["read"] for r in reps)
        reduce = statistics.median(r["reduce"] for r in reps)
        load = statistics.median(
            run_stats(args.build, [os.path.join(args.build, "mavu2"), "-f", path, "-t", "1000", "-c", "1", "-r", "0",
                                      "-i", "1"])[1]
            for _ in range(args.reps))
        budget = (64 * s["edges"] + 128 * s["vertices"]) / 2 ** 20 + s["kernel_mib"]
        name = os.path.basename(path)
        for program in ("mavu1", "mavu2"):
            text, cpu, peak = run_stats(args.build, [os.path.join(args.build, program), "-f", path, "-t",
                                                     str(args.time)])
            head = (f"| {name} | {int(s['vertices'])} | {int(s['edges'])} | {int(s['kernel'])} | {read:.3f} |"
                    f" {reduce:.3f} | {load:.3f} | {(read + reduce) / load:.2f} |") if program == "mavu1" else \
                "| | | | | | | | |"
            print(f"{head} {program} | {key(text, '#objv')} | {key(text, '#besttime')} | {key(text, '#optimal')} |"
                  f" {cpu:.2f} | {peak / 1024:.1f} | {budget:.1f} |", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
