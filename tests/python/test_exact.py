"""The module's default solves go through the reduction and the exact
searches: on random networkx graphs they return networkx's optimum, proven,
and stop for that reason; in-memory clique graphs too large for a complement
reduce; a kernel that no exact method settles is searched, and the progress
callback follows the search's improvements."""
import random

import networkx as nx
import pytest

import mavu


def weighted_gnp(n, p, seed):
    g = nx.gnp_random_graph(n, p, seed=seed)
    rng = random.Random(seed)
    for v in g:
        g.nodes[v]["weight"] = rng.randint(1, 100)
    return g


@pytest.mark.parametrize("n,p", [(30, 0.5), (200, 0.1), (200, 0.5)], ids=["30_half", "200_sparse", "200_half"])
def test_default_solves_return_the_proven_optimum(n, p):
    for seed in range(3):
        g = weighted_gnp(n, p, seed)
        clique, weight = nx.max_weight_clique(g, weight="weight")
        h = nx.complement(g)
        nx.set_node_attributes(h, {v: g.nodes[v]["weight"] for v in g}, "weight")
        for result in (mavu.max_weight_clique(g), mavu.max_weight_independent_set(h)):
            assert (result.weight, result.proven_optimal, result.stopped) == (weight, True, "proven")
            assert sum(g.nodes[v]["weight"] for v in result.vertices) == weight
            assert all(g.has_edge(a, b) for a in result.vertices for b in result.vertices if a != b)


def random_edges(n, m, seed):
    rng = random.Random(seed)
    edges = set()
    while len(edges) < m:
        a, b = rng.randrange(n), rng.randrange(n)
        if a != b:
            edges.add((min(a, b), max(a, b)))
    return sorted(edges)


def test_an_in_memory_clique_graph_of_100000_vertices_reduces():
    n = 100000
    edges = random_edges(n, 500000, 1)
    weights = [i % 200 + 1 for i in range(n)]
    result = mavu.max_weight_clique(edges=edges, weights=weights, reduce=True)
    assert result.proven_optimal and result.stopped == "proven"
    adjacent = set(edges)
    vs = sorted(result.vertices)
    assert all((a, b) in adjacent for i, a in enumerate(vs) for b in vs[i + 1:])
    assert result.weight == sum(weights[v] for v in vs)
    assert mavu.max_weight_clique(edges=edges, weights=weights).weight == result.weight  # the default reduces too


def test_progress_follows_the_kernel_search():
    n = 100000
    edges = random_edges(n, 250000, 2)
    calls = []
    # An iteration limit, not a time limit: the rules take a machine-dependent
    # share of a short limit, and the search must run long enough to tick.
    result = mavu.max_weight_independent_set(edges=edges, weights=[i % 200 + 1 for i in range(n)],
                                             max_iterations=1000000,
                                             progress=lambda it, best, seconds: calls.append((it, best, seconds)))
    assert (result.stopped, result.proven_optimal) == ("iterations", False)
    assert len(calls) >= 2
    assert all(a[0] < b[0] and a[1] <= b[1] and a[2] < b[2] for a, b in zip(calls, calls[1:]))
    assert calls[0][1] < calls[-1][1] <= result.weight
