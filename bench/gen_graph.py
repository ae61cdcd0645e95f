#!/usr/bin/env python3
"""Writes a random G(n, p) graph in DIMACS clique format (no weight records).

    gen_graph.py N P SEED OUT

Deterministic for given arguments.  Edges are written row by row as "e i j"
with i < j, the problem line first.
"""
import random
import sys


def main():
    n, p, seed, out = int(sys.argv[1]), float(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
    rng = random.Random(seed)
    rand = rng.random
    count = 0
    with open(out + ".body", "w") as body:
        for i in range(1, n + 1):
            row = [f"e {i} {j}\n" for j in range(i + 1, n + 1) if rand() < p]
            count += len(row)
            body.writelines(row)
    with open(out, "w") as f, open(out + ".body") as body:
        f.write(f"c G({n}, {p}) seed {seed}\n")
        f.write(f"p edge {n} {count}\n")
        while True:
            chunk = body.read(1 << 20)
            if not chunk:
                break
            f.write(chunk)
    import os
    os.remove(out + ".body")


if __name__ == "__main__":
    main()
