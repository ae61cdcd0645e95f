#!/usr/bin/env python3
"""Exact weight of a vertex set of an instance file, as a decimal.

    exact_weight.py INSTANCE SET_FILE_OR_DASH

The set: 0-based vertex numbers (file numbering), whitespace separated, from
a file (bench/ils --set) or standard input; with a program's whole output on
standard input, the line after "Final result"/"Final solution" is taken.
Weights are the file's weight records read as exact decimals; vertices
without one weigh (i mod 200) + 1, i numbered from 1.  Checks that no two
vertices of the set are joined by an edge of the file.
"""
import gzip
import sys
from fractions import Fraction


def read_instance(path):
    opener = gzip.open if path.endswith(".gz") else open
    weights, edges = {}, set()
    with opener(path, "rt") as f:
        for line in f:
            t = line.split()
            if not t:
                continue
            if t[0] == "n" and len(t) >= 3:
                weights[int(t[1])] = Fraction(t[2])
            elif t[0] == "e" and len(t) >= 3:
                a, b = int(t[1]), int(t[2])
                edges.add((min(a, b), max(a, b)))
    return weights, edges


def read_set(arg):
    text = sys.stdin.read() if arg == "-" else open(arg).read()
    lines = text.splitlines()
    for i, line in enumerate(lines):
        if line.startswith("Final result") or line.startswith("Final solution"):
            return [int(x) for x in lines[i + 1].split()]
    return [int(x) for x in text.split()]


def main():
    weights, edges = read_instance(sys.argv[1])
    s = read_set(sys.argv[2])
    members = {v + 1 for v in s}
    bad = sum(1 for a, b in edges if a in members and b in members)
    total = sum(weights.get(v, Fraction(v % 200 + 1)) for v in members)
    whole = total.numerator // total.denominator
    frac = total - whole
    print(f"{whole}.{str(int(frac * 10**9)).zfill(9)} size {len(members)}" + (f" CONFLICTS {bad}" if bad else ""))


if __name__ == "__main__":
    main()
