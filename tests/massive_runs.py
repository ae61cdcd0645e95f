#!/usr/bin/python3
"""Both programs on every real-life sparse graph of the shared sample, in both modes.

    massive_runs.py BIN_DIR INSTANCE_DIR [WEIGHTED_DIR]

Each graph runs in mavu1 and mavu2 as the programs choose (reduced when the graph is sparse,
with at least 1000 vertices and an average degree below n/32, or too large for its conflict
graph) and with -r 1. A run passes when it ends with status 0, its set is a clique of the
file (read by weighted_runs.py's own reader) of the printed weight, that weight is the best
known (the folder's README), and the lines of a reduced run are there (@para_reduce,
#kernel, #optimal) exactly when it reduced; a reduced run must prove its set optimal
(#optimal=1), and ends there. In independent-set mode with reduction (-c 1 -r 1), each graph must reach
the proven optimum of the README with #optimal=1. The independent-set samples of
WEIGHTED_DIR (uai-*, no optimum known) run with -c 1 -r 1 for 20000 iterations, their sets
checked against the file. Exit status 77 (skipped) when INSTANCE_DIR is absent.
"""

import os
import re
import subprocess
import sys

from weighted_runs import check_run as check_weighted_run, printed_result, read_dimacs


def best_known(folder, column=4):
    """{file name: best weight known} from the README's table: the clique column, or with
    column=5 the independent-set column."""
    best = {}
    with open(os.path.join(folder, "README.md")) as f:
        for line in f:
            cells = [c.strip() for c in line.strip().strip("|").split("|")]
            if len(cells) >= 6 and cells[0].endswith(".gz"):
                best[cells[0]] = float(re.match(r"[\d,.]+", cells[column]).group(0).replace(",", ""))
    return best


def check_independent_run(program, path, graph, optimum):
    """-c 1 -r 1: an independent set of the file of the proven optimum, proven (#optimal=1)."""
    cmd = [program, "-f", path, "-t", "10", "-c", "1", "-r", "1"]
    proc = subprocess.run(cmd, capture_output=True, text=True)
    if proc.returncode != 0:
        return f"status {proc.returncode}: {proc.stderr.strip() or proc.stdout[-300:]}"
    _, edges, weights = graph
    vertices, reported = printed_result(proc.stdout)
    inside = {v + 1 for v in vertices}
    if len(inside) != len(vertices):
        return "a vertex repeats"
    for a, b in edges:
        if a in inside and b in inside:
            return f"vertices {a} and {b} are adjacent"
    total = sum(weights[v] for v in inside)
    keys = dict(l.split("=", 1) for l in proc.stdout.split("\n") if l.startswith(("#kernel=", "#optimal=")))
    if total != reported or total != optimum or keys.get("#optimal") != "1":
        return f"printed weight {reported!r}, the set weighs {total!r}, optimum {optimum!r}, lines {keys}"
    return None


def check_run(program, path, graph, target, reduce_option):
    cmd = [program, "-f", path, "-t", "10"] + reduce_option
    proc = subprocess.run(cmd, capture_output=True, text=True)
    if proc.returncode != 0:
        return f"status {proc.returncode}: {proc.stderr.strip() or proc.stdout[-300:]}"
    n, edges, weights = graph
    vertices, reported = printed_result(proc.stdout)
    members = [v + 1 for v in vertices]
    if not members or len(set(members)) != len(members) or not all(1 <= v <= n for v in members):
        return f"not a set of vertices of the graph: {vertices[:20]}"
    for i, a in enumerate(members):
        for b in members[i + 1:]:
            if (min(a, b), max(a, b)) not in edges:
                return f"vertices {a} and {b} are not adjacent"
    total = sum(weights[v] for v in members)
    if total != reported or total != target:
        return f"printed weight {reported!r}, the set weighs {total!r}, best known {target!r}"
    keys = dict(l.split("=", 1) for l in proc.stdout.split("\n") if l.startswith(("@para_reduce=", "#kernel=", "#optimal=")))
    conflicts = n * (n - 1) // 2 - len(edges)  # bytes of the bit matrix, the per-vertex arrays, the lists:
    conflict_bytes = n * ((n + 63) // 64) * 8 + n * 20 + 4 * conflicts
    sparse = n >= 1000 and 2 * len(edges) * 32 < n * n
    reduced = bool(reduce_option) or sparse or n > 46341 or conflict_bytes > 2 << 30
    if reduced != ("@para_reduce" in keys) or (reduced and set(keys) != {"@para_reduce", "#kernel", "#optimal"}):
        return f"reduction lines {keys} for a run that {'reduced' if reduced else 'did not reduce'}"
    if reduced and keys["#optimal"] != "1":
        return f"#optimal={keys['#optimal']}: the optimum not proven"
    return None


def main(argv):
    bin_dir, folder = argv[1], argv[2]
    if not os.path.isdir(folder):
        print(f"no {folder}: skipped")
        return 77
    best = best_known(folder)
    failures, checked = [], 0
    for name in sorted(best):
        path = os.path.join(folder, name)
        graph = read_dimacs(path)
        for program in ("mavu1", "mavu2"):
            for option in ([], ["-r", "1"]):
                error = check_run(os.path.join(bin_dir, program), path, graph, best[name], option)
                checked += 1
                print(f"{'FAIL' if error else 'ok  '} {program} {' '.join(option)} {name}" + (f": {error}" if error else ""))
                if error:
                    failures.append(name)
    # Independent-set mode with reduction: every graph to its proven optimum, proven.
    optima = best_known(folder, column=5)
    for name in sorted(optima):
        path = os.path.join(folder, name)
        graph = read_dimacs(path)
        for program in ("mavu1", "mavu2"):
            error = check_independent_run(os.path.join(bin_dir, program), path, graph, optima[name])
            checked += 1
            print(f"{'FAIL' if error else 'ok  '} {program} -c 1 -r 1 {name}" + (f": {error}" if error else ""))
            if error:
                failures.append(name)
    # The independent-set samples of the weighted folder (no optimum known): reduced runs
    # whose sets are independent sets of the file of the printed weight.
    weighted = argv[3] if len(argv) > 3 else None
    for sub in sorted(os.listdir(weighted)) if weighted and os.path.isdir(weighted) else []:
        if not sub.startswith("uai-"):
            continue
        for name in sorted(os.listdir(os.path.join(weighted, sub))):
            path = os.path.join(weighted, sub, name)
            graph = read_dimacs(path)
            for program in ("mavu1", "mavu2"):
                error = check_weighted_run(os.path.join(bin_dir, program), path, graph, True, 20000, ["-r", "1"])
                checked += 1
                print(f"{'FAIL' if error else 'ok  '} {program} -c 1 -r 1 {sub}/{name}" + (f": {error}" if error else ""))
                if error:
                    failures.append(name)
    print(f"{checked - len(failures)} of {checked} runs checked")
    return 1 if failures or checked == 0 else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
