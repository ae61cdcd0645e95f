"""Maximum weight clique and maximum weight independent set by restart-based
tabu search: the search of the programs mavu1 and mavu2, with their runs.

    >>> import mavu
    >>> r = mavu.max_weight_clique("data/C125.9.clq", max_iterations=20000)
    >>> r.weight, r.vertices[:3]
"""

import os

from . import _mavu

__all__ = ["Result", "max_weight_clique", "max_weight_independent_set"]
__version__ = _mavu.__version__


class Result:
    """The best set of a solve.

    vertices: the set, as node labels for a networkx graph and as 0-based
        vertex numbers otherwise, in the order the programs print them
        (ascending vertex number);
    weight: its weight;
    best_iteration: the iteration at which it was found;
    best_time: the CPU seconds the solve had spent when it was found;
    kernel_vertices: the vertices a reduction left for the search (None: no
        reduction ran);
    proven_optimal: whether the reduction proved the set optimal.
    """

    __slots__ = ("vertices", "weight", "best_iteration", "best_time", "kernel_vertices", "proven_optimal")

    def __init__(self, vertices, weight, best_iteration, best_time, kernel_vertices=None, proven_optimal=False):
        self.vertices = vertices
        self.weight = weight
        self.best_iteration = best_iteration
        self.best_time = best_time
        self.kernel_vertices = kernel_vertices
        self.proven_optimal = proven_optimal

    def __repr__(self):
        return (f"Result(vertices={self.vertices!r}, weight={self.weight!r}, "
                f"best_iteration={self.best_iteration!r}, best_time={self.best_time!r})")


def _networkx_graph(graph):
    """The extension's graph of a networkx graph and its node labels by number."""
    if graph.is_directed() or graph.is_multigraph():
        raise ValueError("the graph must be a simple undirected graph "
                         "(networkx.Graph); convert it with networkx.Graph(graph)")
    nodes = list(graph.nodes)
    number = {node: i for i, node in enumerate(nodes)}
    edges = [(number[a], number[b]) for a, b in graph.edges()]
    # Vertex number i (0-based) weighs ((i + 1) mod 200) + 1 unless weighted,
    # as vertex i + 1 of an instance file does.
    weights = [float(data.get("weight", (i + 1) % 200 + 1))
               for i, (_, data) in enumerate(graph.nodes(data=True))]
    return _mavu.Graph.from_edges(len(nodes), edges, weights), nodes


def _solve(graph, edges, weights, program, seed, time_limit, max_iterations, target,
           depth, directed_percent, independent_set, reduce=None):
    labels = None
    if graph is not None and (edges is not None or weights is not None):
        raise ValueError("give either a graph or edges and weights, not both")
    if isinstance(graph, (str, bytes, os.PathLike)):
        g = _mavu.Graph.from_file(os.fsdecode(graph), independent_set)
    elif graph is not None:
        if not (hasattr(graph, "nodes") and hasattr(graph, "edges") and hasattr(graph, "is_directed")):
            raise TypeError("graph must be a path or a networkx graph, not " + type(graph).__name__)
        g, labels = _networkx_graph(graph)
    elif edges is not None or weights is not None:
        edges = [tuple(e) for e in (edges if edges is not None else ())]
        if weights is None:
            n = 1 + max((max(a, b) for a, b in edges), default=-1)
            weights = []
        else:
            weights = [float(w) for w in weights]
            n = len(weights)
        g = _mavu.Graph.from_edges(n, edges, weights)
    else:
        raise ValueError("no graph: give a path, a networkx graph, or edges and weights")

    vertices, weight, best_iteration, best_time, kernel, proven = _mavu.solve(
        g, program, seed,
        999999999.0 if time_limit is None else float(time_limit),
        max_iterations,
        float('inf') if target is None else float(target),
        depth, directed_percent, independent_set, -1 if reduce is None else int(bool(reduce)))
    if labels is not None:
        vertices = [labels[v] for v in vertices]
    return Result(vertices, weight, best_iteration, best_time, None if kernel < 0 else kernel, proven)


def max_weight_clique(graph=None, *, edges=None, weights=None, program="mavu1", seed=533875888,
                      time_limit=None, max_iterations=100000000, target=None, depth=4000,
                      directed_percent=70, reduce=None):
    """A clique of large weight, found by restart-based tabu search.

    graph: a path (str or PathLike) to an instance file in any format the
        programs read, or a networkx graph (node attribute "weight"; a node
        without one weighs ((i + 1) mod 200) + 1, i its 0-based position in
        the node order).  Or, instead of graph:
    edges: pairs of 0-based vertex numbers, and
    weights: one weight per vertex (their number is the vertex count).
    program: "mavu1" (adaptive gain threshold) or "mavu2" (for large sparse
        real-life graphs).
    seed, max_iterations, target (stop once a set weighs at least this),
    depth (restart after this many iterations without a new best) and
    directed_percent (share of directed restarts) are the programs' -s, -i,
    -o, -l and -p; with the same values the run is the program's.
    time_limit: CPU seconds of the solve; None: no limit.
    reduce: True: reduce the graph first and search only the kernel (the
        programs' -r 1); False: never; None: only a graph too large for its
        conflict graph.

    Returns a Result.  The search runs without the GIL; Ctrl-C stops it and
    raises KeyboardInterrupt.  A file that cannot be opened raises OSError,
    bad input ValueError, both with the programs' message.
    """
    return _solve(graph, edges, weights, program, seed, time_limit, max_iterations, target,
                  depth, directed_percent, False, reduce)


def max_weight_independent_set(graph=None, *, edges=None, weights=None, program="mavu1",
                               seed=533875888, time_limit=None, max_iterations=100000000,
                               target=None, depth=4000, directed_percent=70, reduce=None):
    """An independent set of large weight (no two vertices adjacent): the
    programs' -c 1 mode.  Arguments and result as for max_weight_clique,
    except reduce: True reduces the graph first (the programs' -c 1 -r 1:
    the kernel's small components solved exactly, the others searched);
    None or False search the whole graph."""
    return _solve(graph, edges, weights, program, seed, time_limit, max_iterations, target,
                  depth, directed_percent, True, reduce)
