#!/usr/bin/python3
"""Both programs on every weighted sample instance, checked by a reader of its own.

    weighted_runs.py BIN_DIR INSTANCE_DIR [ITERATIONS]

Every file under INSTANCE_DIR (DIMACS text, gzip-compressed or not) runs in mavu1 and mavu2
for a short iteration bound; files of the independent-set folders (uai-*) run with -c 1. A
run passes when it ends with status 0 and the printed set is, by the file's own edges and
weights as read here, a clique (an independent set with -c 1) of the printed weight. The
reader is deliberately separate from the programs' loader: weight records `n`/`v` anywhere
after the problem line, the default weight (i mod 200) + 1 otherwise.
Exit status 77 (skipped) when INSTANCE_DIR is absent.
"""

import gzip
import math
import os
import subprocess
import sys

LEFT_OUT = set()


def read_dimacs(path):
    """(n, set of 1-based edges (a, b) with a < b, weights indexed from 1)."""
    with open(path, "rb") as f:
        compressed = f.read(2) == b"\x1f\x8b"
    with (gzip.open if compressed else open)(path, "rt") as f:
        n, edges, weights = None, set(), {}
        for line in f:
            words = line.split()
            if not words:
                continue
            if words[0] == "p":
                n = int(words[2])
            elif words[0] == "e":
                a, b = int(words[1]), int(words[2])
                edges.add((min(a, b), max(a, b)))
            elif words[0] in ("n", "v"):
                weights[int(words[1])] = float(words[2])
    assert n is not None, f"{path}: no problem line"
    return n, edges, [0.0] + [weights.get(i, float(i % 200 + 1)) for i in range(1, n + 1)]


def printed_result(out):
    """(0-based vertices of the set, #objv) of a program's standard output."""
    lines = out.split("\n")
    heading = next(i for i, l in enumerate(lines) if l.startswith(("Final result", "Final solution")))
    weight = next(float(l[len("#objv="):]) for l in lines if l.startswith("#objv="))
    return [int(v) for v in lines[heading + 1].split()], weight


def check_run(program, path, graph, complement, iterations, extra=()):
    cmd = [program, "-f", path, "-t", "100", "-i", str(iterations)] + (["-c", "1"] if complement else []) + list(extra)
    proc = subprocess.run(cmd, capture_output=True, text=True)
    if proc.returncode != 0:
        return f"status {proc.returncode}: {proc.stderr.strip() or proc.stdout[-300:]}"
    n, edges, weights = graph
    vertices, reported = printed_result(proc.stdout)
    members = [v + 1 for v in vertices]
    if not members or len(set(members)) != len(members) or not all(1 <= v <= n for v in members):
        return f"not a set of vertices of the graph: {vertices[:20]}"
    if complement:  # an independent set may hold most of the graph: walk the edges, not the pairs
        inside = set(members)
        for a, b in edges:
            if a in inside and b in inside:
                return f"vertices {a} and {b} are adjacent"
    for i, a in enumerate(members if not complement else []):
        for b in members[i + 1:]:
            if (min(a, b), max(a, b)) not in edges:
                return f"vertices {a} and {b} are not adjacent"
    total = math.fsum(weights[v] for v in members)
    # The print keeps 5 decimals. Integer weights add up exactly in the programs too; other
    # weights (reals from 10^-2 to 10^22) leave the programs' running sum a little off.
    exact = all(weights[v].is_integer() for v in members) and total < 2 ** 53
    if abs(total - reported) > 1e-4 + (0 if exact else 1e-9 * total):
        return f"printed weight {reported!r}, the file's weights add up to {total!r}"
    return None


def main(argv):
    bin_dir, folder = argv[1], argv[2]
    iterations = int(argv[3]) if len(argv) > 3 else 20000
    if not os.path.isdir(folder):
        print(f"no {folder}: skipped")
        return 77
    files = sorted(os.path.join(d, f) for d, _, fs in os.walk(folder) for f in fs if f != "README.md")
    failures, checked = [], 0
    for path in files:
        if os.path.basename(path).split(".")[0] in LEFT_OUT:
            continue
        graph = read_dimacs(path)
        complement = os.path.basename(os.path.dirname(path)).startswith("uai-")
        for program in ("mavu1", "mavu2"):
            error = check_run(os.path.join(bin_dir, program), path, graph, complement, iterations)
            checked += 1
            rel = os.path.relpath(path, folder)
            print(f"{'FAIL' if error else 'ok  '} {program} {rel}" + (f": {error}" if error else ""))
            if error:
                failures.append(rel)
    print(f"{checked - len(failures)} of {checked} runs checked")
    return 1 if failures or checked == 0 else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
