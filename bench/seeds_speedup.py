#!/usr/bin/env python3
"""Wall-clock speed-up of several seeds in parallel threads.

    PYTHONPATH=build/release/python python3 bench/seeds_speedup.py [REPEATS] [ITERATIONS]

The same four seeds on data/C125.9.clq, max_iterations fixed, solved with
threads=1 and threads=2, the two alternating; prints the median wall seconds
of each, their ratio, the CPU seconds the process used per wall second (how
many cores it actually got) and the load average (other processes share the
cores).
The runs are the same in both: the check below makes sure of it.
"""
import os
import statistics
import sys
import time

import mavu

repeats = int(sys.argv[1]) if len(sys.argv) > 1 else 5
iterations = int(sys.argv[2]) if len(sys.argv) > 2 else 1000000
path = os.path.join(os.path.dirname(__file__), "..", "data", "C125.9.clq")
seeds = [1, 2, 3, 4]
times = {1: [], 2: []}
cpu = {1: [], 2: []}
results = {}
for _ in range(repeats):
    for threads in (1, 2):
        start, start_cpu = time.perf_counter(), time.process_time()
        r = mavu.max_weight_clique(path, seeds=seeds, threads=threads, max_iterations=iterations)
        times[threads].append(time.perf_counter() - start)
        cpu[threads].append(time.process_time() - start_cpu)
        results.setdefault(threads, [(x.vertices, x.best_iteration) for x in r.runs])
assert results[1] == results[2]
one, two = statistics.median(times[1]), statistics.median(times[2])
print(f"4 seeds x {iterations} iterations, C125.9: threads=1 {one:.2f} s, threads=2 {two:.2f} s (medians of "
      f"{repeats}), speed-up {one / two:.2f}; CPU seconds per wall second: threads=1 "
      f"{statistics.median(cpu[1]) / one:.2f}, threads=2 {statistics.median(cpu[2]) / two:.2f}; "
      f"load average after: {os.getloadavg()[0]:.1f}")
