#!/usr/bin/env python3
"""The Python module's inputs at size: conversion time of an edge list and an
independent-set solve from each input form, with its peak memory.

    PYTHONPATH=build/release/python python3 bench/python_inputs.py [REPEATS]

Each measure runs in a fresh interpreter (peak RSS is per process); the
figures are medians of REPEATS runs (default 5).  Graphs are uniform random:
10^5 vertices and 3*10^5 edges for the solves, 10^6 edges on 10^5 vertices
for the conversion.  Solves run 1000 iterations of each program: the figure is the cost of
getting the graph in and the search set up, which is what the input form
changes.
"""
import json
import statistics
import subprocess
import sys

CHILD = r"""
import json, resource, sys, time
import numpy as np
import mavu
form, n, m, what, program = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4], sys.argv[5]
rng = np.random.default_rng(1)
e = rng.integers(0, n, size=(int(m * 1.05), 2))
e = e[e[:, 0] != e[:, 1]]
e = np.unique(np.sort(e, axis=1), axis=0)[:m]
rng.shuffle(e)
if form == "numpy":
    data = dict(edges=e)
elif form == "list":
    data = dict(edges=[tuple(p) for p in e.tolist()])
elif form == "scipy":
    import scipy.sparse
    a = scipy.sparse.coo_array((np.ones(len(e)), (e[:, 0], e[:, 1])), shape=(n, n))
    data = dict(graph=(a + a.T).tocsr())
elif form == "networkx":
    import networkx as nx
    g = nx.Graph()
    g.add_nodes_from(range(n))
    g.add_edges_from(e.tolist())
    data = dict(graph=g, weight=None)
if form != "networkx":
    data["weights"] = np.ones(n)
before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
t = time.perf_counter()
c = time.process_time()
if what == "convert":
    if form == "list":
        arr = np.asarray(data["edges"])  # what the module does with a list
        mavu._mavu.Graph.from_arrays(n, arr, None, True)
    else:
        mavu._mavu.Graph.from_arrays(n, e, None, True)
else:
    r = mavu.max_weight_independent_set(max_iterations=1000, program=program, **data)
seconds = time.perf_counter() - t
cpu = time.process_time() - c
peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
print(json.dumps(dict(seconds=seconds, cpu=cpu, peak_mib=peak / 1024, before_mib=before / 1024)))
"""


def measure(form, n, m, what, repeats, program="mavu2"):
    runs = []
    for _ in range(repeats):
        out = subprocess.run([sys.executable, "-c", CHILD, form, str(n), str(m), what, program],
                             capture_output=True, text=True, check=True).stdout
        runs.append(json.loads(out))
    return (statistics.median(r["seconds"] for r in runs), statistics.median(r["cpu"] for r in runs),
            statistics.median(r["peak_mib"] for r in runs), statistics.median(r["before_mib"] for r in runs))


def main():
    repeats = int(sys.argv[1]) if len(sys.argv) > 1 else 5
    print("| input | what | n | m | wall s (median) | CPU s (median) | peak RSS MiB | RSS before MiB |")
    print("|---|---|---|---|---|---|---|---|")
    for form in ["numpy", "list"]:
        s, c, peak, before = measure(form, 100000, 1000000, "convert", repeats)
        print(f"| {form} | convert | 100000 | 1000000 | {s:.3f} | {c:.3f} | {peak:.0f} | {before:.0f} |")
    for program in ["mavu2", "mavu1"]:
        for form in ["numpy", "list", "scipy", "networkx"]:
            s, c, peak, before = measure(form, 100000, 300000, "solve", repeats, program)
            print(f"| {form} | independent set, {program}, 1000 iterations | 100000 | 300000 | {s:.3f} | {c:.3f} "
                  f"| {peak:.0f} "
                  f"| {before:.0f} |")


if __name__ == "__main__":
    main()
