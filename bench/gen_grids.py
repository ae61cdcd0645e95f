#!/usr/bin/env python3
"""Writes disjoint grid graphs with random vertex weights in DIMACS format.

    gen_grids.py COUNT ROWS COLS SEED OUT [WMAX]

COUNT disjoint ROWS x COLS grids (4-neighbour), vertices numbered grid by
grid, row by row; every vertex gets an `n` weight record drawn uniformly from
1..WMAX (default 1000).  Deterministic for given arguments.  Such graphs have
small treewidth (at most min(ROWS, COLS)) and few reductions apply to them.
The comment line gives the optimum of the independent-set mode, computed by
dynamic programming over the rows (for ROWS up to about 16).
"""
import random
import sys


def grid_mwis(weights, rows, cols):
    """Maximum weight independent set of one grid, by DP over columns of ROWS cells."""
    masks = [m for m in range(1 << rows) if m & (m >> 1) == 0]
    def col_weight(c, m):
        return sum(weights[r * cols + c] for r in range(rows) if m >> r & 1)
    best = {m: col_weight(0, m) for m in masks}
    for c in range(1, cols):
        nxt = {}
        for m in masks:
            prev = max(v for p, v in best.items() if p & m == 0)
            nxt[m] = prev + col_weight(c, m)
        best = nxt
    return max(best.values())


def main():
    count, rows, cols, seed, out = (int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]),
                                    sys.argv[5])
    wmax = int(sys.argv[6]) if len(sys.argv) > 6 else 1000
    rng = random.Random(seed)
    size = rows * cols
    n = count * size
    weights = [rng.randint(1, wmax) for _ in range(n)]
    edges = []
    for g in range(count):
        base = g * size
        for r in range(rows):
            for c in range(cols):
                v = base + r * cols + c + 1
                if c + 1 < cols:
                    edges.append((v, v + 1))
                if r + 1 < rows:
                    edges.append((v, v + cols))
    optimum = None
    if rows <= 16:
        optimum = sum(grid_mwis(weights[g * size:(g + 1) * size], rows, cols) for g in range(count))
    with open(out, "w") as f:
        f.write(f"c {count} disjoint {rows}x{cols} grids, weights 1..{wmax}, seed {seed}\n")
        if optimum is not None:
            f.write(f"c maximum weight independent set: {optimum}\n")
        f.write(f"p edge {n} {len(edges)}\n")
        f.writelines(f"e {a} {b}\n" for a, b in edges)
        f.writelines(f"n {v + 1} {w}\n" for v, w in enumerate(weights))


if __name__ == "__main__":
    main()
