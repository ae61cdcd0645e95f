#!/usr/bin/env python3
"""Writes a random graph with exactly M distinct edges in DIMACS format.

    gen_sparse_graph.py N M SEED OUT

Deterministic for given arguments.  Edges are uniform random pairs, written
"e a b" in the order drawn, the problem line first; no weight records.  Made
for the independent-set mode (-c 1) at sizes a G(n, p) generator cannot reach.
"""
import random
import sys


def main():
    n, m, seed, out = int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
    rng = random.Random(seed)
    seen = set()
    with open(out, "w") as f:
        f.write(f"c {m} random edges on {n} vertices, seed {seed}\n")
        f.write(f"p edge {n} {m}\n")
        lines = []
        while len(seen) < m:
            a, b = rng.randrange(1, n + 1), rng.randrange(1, n + 1)
            key = (min(a, b), max(a, b))
            if a == b or key in seen:
                continue
            seen.add(key)
            lines.append(f"e {a} {b}\n")
            if len(lines) == 100000:
                f.writelines(lines)
                lines = []
        f.writelines(lines)


if __name__ == "__main__":
    main()
