#!/usr/bin/env python3
"""Compares two builds of mavu1/mavu2: iterations per second, loading time and
peak memory, and checks that both print the same output.

    bench/bench.py [--ref COMMIT | --ref-bin DIR] [--new-bin DIR] [--repeat N]
                   [--quick] [--only NAME]

By default the reference is commit 21a9f7e (tagged `perf-reference` where the
tag exists: the commit that completed both programs), built in
build/bench-ref from a temporary git worktree, and the new build is the current tree's release build
(build/release).  Instances: DIMACS and BHOSLIB graphs from ../shared/instances
(when present) plus generated random graphs and the largest weighted clique
files of the shared sample (rewritten in the layout both builds read), cached
in build/bench-graphs.

Every run uses a fixed seed and an iteration limit (never a time limit), so
both builds make exactly the same moves.  Per program and instance:
  - search speed: N / (cpu(-i N) - cpu(-i 0)) iterations per second;
  - loading: cpu(-i 0), which is loading plus the first construction;
  - peak memory: maximum resident set size of the -i 0 run.
Each figure is the median of --repeat runs (the two builds alternate); the ratio column is new / ref
(for time and memory: ref / new, so bigger is better everywhere).
"""
import argparse
import gzip
import os
import statistics
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SHARED = os.path.join(os.path.dirname(ROOT), "shared", "instances")
GRAPHS = os.path.join(ROOT, "build", "bench-graphs")

# (name, path or generator source, iterations)
SET = [
    ("brock400_1", "dimacs/brock400_1.clq", 400000),
    ("C500.9", "dimacs/C500.9.clq", 400000),
    ("p_hat700-2", "dimacs/p_hat700-2.clq", 400000),
    ("keller5", "dimacs/keller5.clq", 400000),
    ("MANN_a45", "dimacs/MANN_a45.clq", 400000),
    ("frb40-19-1", "bhoslib/frb40-19-1.clq", 400000),
    ("frb50-23-1", "bhoslib/frb50-23-1.clq", 400000),
    ("C2000.9", "dimacs/C2000.9.clq", 200000),
    ("keller6", "dimacs/keller6.clq", 100000),
    ("G(500,0.5)", ("gen", 500, 0.5), 400000),
    ("G(1000,0.9)", ("gen", 1000, 0.9), 400000),
    ("G(4000,0.5)", ("gen", 4000, 0.5), 50000),
    # The largest clique files of the shared weighted sample, rewritten with
    # their weights as v records after the edges, the layout both builds read.
    ("ref-60-230-5 (w)", ("weighted", "weighted/ref/ref-60-230-5.clq"), 400000),
    ("ref-60-230-2 (w)", ("weighted", "weighted/ref/ref-60-230-2.clq.gz"), 400000),
    ("ref-20-50-08 (w)", ("weighted", "weighted/ref-goldilocks/ref-20-50-08.clq"), 400000),
]
QUICK = {"brock400_1", "frb40-19-1", "G(500,0.5)", "G(1000,0.9)", "G(4000,0.5)"}
SEED = "7"


def weighted_copy(source, path):
    """Writes the p line, the e records and then the weights as v records."""
    opener = gzip.open if source.endswith(".gz") else open
    header, edges, weights = [], [], []
    with opener(source, "rt") as f:
        for line in f:
            kind = line[:1]
            if kind == "p":
                header.append(line)
            elif kind == "e":
                edges.append(line)
            elif kind in ("n", "v"):
                weights.append("v" + line[1:])
    with open(path, "w") as out:
        out.writelines(header + edges + weights)


def instance_path(source):
    if isinstance(source, tuple) and source[0] == "weighted":
        src = os.path.join(SHARED, source[1])
        if not os.path.exists(src):
            return None
        os.makedirs(GRAPHS, exist_ok=True)
        path = os.path.join(GRAPHS, os.path.basename(source[1]).removesuffix(".gz"))
        if not os.path.exists(path):
            weighted_copy(src, path)
        return path
    if isinstance(source, tuple):
        _, n, p = source
        os.makedirs(GRAPHS, exist_ok=True)
        path = os.path.join(GRAPHS, f"g{n}_{p}.clq")
        if not os.path.exists(path):
            print(f"generating {path}", file=sys.stderr)
            subprocess.run([sys.executable, os.path.join(ROOT, "bench", "gen_graph.py"), str(n), str(p), "1", path],
                           check=True)
        return path
    path = os.path.join(SHARED, source)
    return path if os.path.exists(path) else None


RUN_STATS = None  # bench/run_stats, built with the new tree


def run(binary, path, iters):
    """Runs one command; returns (stdout without the time line, cpu seconds, peak KiB)."""
    with tempfile.NamedTemporaryFile() as out:
        res = subprocess.run([RUN_STATS, out.name, binary, "-f", path, "-t", "100000", "-s", SEED, "-i", str(iters)],
                             capture_output=True, text=True, check=True)
        cpu, peak, status = res.stdout.split()
        with open(out.name, "rb") as f:
            text = b"".join(l for l in f if not l.startswith(b"#besttime="))
    if status != "0":
        raise RuntimeError(f"{binary} {path} -i {iters}: status {status}")
    return text, float(cpu), int(peak)


def build_ref(commit):
    wt = os.path.join(ROOT, "build", "bench-ref-src")
    bdir = os.path.join(ROOT, "build", "bench-ref")
    subprocess.run(["git", "-C", ROOT, "worktree", "remove", "--force", wt], stderr=subprocess.DEVNULL)
    subprocess.run(["git", "-C", ROOT, "worktree", "add", "--detach", wt, commit], check=True,
                   stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "-S", wt, "-B", bdir, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
                    "-DCMAKE_CXX_FLAGS_RELEASE=-O3", "-DMAVU_BUILD_TESTS=OFF"], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", bdir, "--target", "mavu1", "mavu2"], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["git", "-C", ROOT, "worktree", "remove", "--force", wt], stderr=subprocess.DEVNULL)
    return bdir


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--ref", default="21a9f7e", help="commit to build as the reference")
    ap.add_argument("--ref-bin", help="directory holding reference mavu1/mavu2 (skips building)")
    ap.add_argument("--new-bin", default=os.path.join(ROOT, "build", "release"))
    ap.add_argument("--repeat", type=int, default=3)
    ap.add_argument("--quick", action="store_true", help="a small subset")
    ap.add_argument("--only", help="instances whose name contains this text")
    ap.add_argument("--programs", default="mavu1,mavu2")
    args = ap.parse_args()

    global RUN_STATS
    RUN_STATS = os.path.join(args.new_bin, "bench", "run_stats")
    if not os.path.exists(RUN_STATS):
        subprocess.run(["cmake", "--build", args.new_bin, "--target", "run_stats"], check=True,
                       stdout=subprocess.DEVNULL)
    ref_dir = args.ref_bin or build_ref(args.ref)
    rows = []
    mismatches = 0
    for name, source, iters in SET:
        if args.quick and name not in QUICK:
            continue
        if args.only and args.only not in name:
            continue
        path = instance_path(source)
        if not path:
            print(f"skipping {name}: not found", file=sys.stderr)
            continue
        for prog in args.programs.split(","):
            # The two builds take turns, so a change of the machine's load
            # during a row weighs on both sides alike.
            builds = (("ref", ref_dir), ("new", args.new_bin))
            samples = {label: ([], [], [], set()) for label, _ in builds}
            for _ in range(args.repeat):
                for label, d in builds:
                    b = os.path.join(d, prog)
                    loads, runs, mems, outs = samples[label]
                    _, t0, m0 = run(b, path, 0)
                    text, t1, _ = run(b, path, iters)
                    loads.append(t0)
                    runs.append(max(t1 - t0, 1e-6))
                    mems.append(m0)
                    outs.add(text)
            fig = {}
            for label, (loads, runs, mems, outs) in samples.items():
                fig[label] = (iters / statistics.median(runs), statistics.median(loads), statistics.median(mems), outs)
            same = fig["ref"][3] == fig["new"][3] and len(fig["ref"][3]) == 1
            mismatches += not same
            r, n = fig["ref"], fig["new"]
            rows.append((name, prog, r[0], n[0], n[0] / r[0], r[1], n[1], r[1] / max(n[1], 1e-4), r[2], n[2],
                         r[2] / n[2], "yes" if same else "NO"))
            print(f"{name} {prog} done", file=sys.stderr)

    hdr = ("instance", "program", "ref it/s", "new it/s", "ratio", "ref load s", "new load s", "ratio",
           "ref peak MiB", "new peak MiB", "ratio", "same output")
    print("| " + " | ".join(hdr) + " |")
    print("|" + "---|" * len(hdr))
    for r in rows:
        print(f"| {r[0]} | {r[1]} | {r[2]:,.0f} | {r[3]:,.0f} | {r[4]:.2f} | {r[5]:.3f} | {r[6]:.3f} | {r[7]:.1f} | "
              f"{r[8] / 1024:.1f} | {r[9] / 1024:.1f} | {r[10]:.1f} | {r[11]} |")
    if rows:
        print(f"\nmedian ratios: speed {statistics.median(r[4] for r in rows):.2f}, "
              f"loading {statistics.median(r[7] for r in rows):.1f}, memory {statistics.median(r[10] for r in rows):.1f}")
    if mismatches:
        print(f"{mismatches} output mismatches", file=sys.stderr)
        sys.exit(1)


if __name__ == "__main__":
    main()
