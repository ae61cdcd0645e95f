#!/usr/bin/env python3
"""CPU cost of the progress callback and the wall-clock limit to the search.

    PYTHONPATH=build/release/python python3 bench/progress_cost.py [REPEATS] [ITERATIONS]

Solves data/C125.9.clq with a fixed iteration count, plain, with a progress
callback, and with a (never reached) wall-clock limit, alternating; prints
the median CPU seconds of each solve's thread (the CPU time at which the
last iteration ended is not reported, so the solve's time is measured as the
process CPU time around the call) and the ratios to the plain solve.
"""
import os
import statistics
import sys
import time

import mavu

repeats = int(sys.argv[1]) if len(sys.argv) > 1 else 7
iterations = int(sys.argv[2]) if len(sys.argv) > 2 else 2000000
path = os.path.join(os.path.dirname(__file__), "..", "data", "C125.9.clq")
kinds = {"plain": {}, "progress": {"progress": lambda *a: None}, "wall limit": {"wall_time_limit": 1e6}}
cpu = {k: [] for k in kinds}
for _ in range(repeats):
    for name, extra in kinds.items():
        start = time.process_time()
        r = mavu.max_weight_clique(path, seed=1, max_iterations=iterations, **extra)
        cpu[name].append(time.process_time() - start)
        assert r.iterations == iterations
base = statistics.median(cpu["plain"])
for name in kinds:
    m = statistics.median(cpu[name])
    print(f"{name:10s} {m:.3f} CPU s (median of {repeats}), ratio to plain {m / base:.3f}")
