"""Maximum weight clique and maximum weight independent set: the programs
mavu1 and mavu2 (reduction, exact search, restart-based tabu search), with
their runs.

The result unpacks as networkx's does, and keeps its details by name:

    >>> import mavu
    >>> nodes, weight = mavu.max_weight_clique(edges=[(0, 1), (1, 2), (0, 2), (2, 3)])
    >>> nodes, weight
    ([0, 1, 2], 3)
    >>> r = mavu.max_weight_independent_set(edges=[(0, 1), (1, 2)], weights=[2, 3, 2.5])
    >>> r.vertices, r.weight, r.stopped, r.proven_optimal
    ([0, 2], 4.5, 'proven', True)
    >>> r = mavu.max_weight_independent_set(edges=[(0, 1), (1, 2)], weights=[2, 3, 2.5], time_limit=0.2,
    ...                                     reduce=False)
    >>> r.vertices, r.weight, r.stopped, r.proven_optimal
    ([0, 2], 4.5, 'time_limit', False)

Graphs come as a path to an instance file, a networkx graph, an edge list
or (m, 2) integer array, or a scipy.sparse adjacency matrix.  By default a
solve reduces the graph and ends as soon as its set is proven optimal (small
graphs and most sparse ones); where no proof comes, the set is the best the
search found within its limits.
"""

import itertools
import math
import numbers
import os

try:
    import numpy as np
except ImportError as e:  # pragma: no cover - depends on the interpreter
    raise ImportError("mavu needs numpy (pip install numpy, or Debian's python3-numpy): " + str(e)) from e

from . import _mavu

__all__ = ["Result", "StopToken", "max_weight_clique", "max_weight_independent_set"]

StopToken = _mavu.StopToken
__version__ = _mavu.__version__

# The option table of the library (mavu/options.h): defaults and ranges.
_OPTIONS = {o["name"]: o for o in _mavu.OPTIONS}


def _default(name, kind=int):
    return kind(_OPTIONS[name]["default"])


class Result(tuple):
    """The best set of a solve: a pair (vertices, weight), as networkx
    returns, with the details by name.

    vertices: the set, as node labels for a networkx graph and as 0-based
        vertex numbers otherwise, ascending by vertex number (the programs'
        order);
    weight: its weight (an int when every weight is an int);
    best_iteration: the iteration at which it was found;
    best_time: the CPU seconds the solve had spent when it was found;
    iterations: the iterations the search ran;
    stopped: why it ended: "iterations", "time_limit", "wall_time_limit",
        "target", "stop_requested", "empty_graph", or "proven" (the set was
        proven optimal);
    seed: the seed of the run;
    runs: with several seeds, the Result of each, in the order of the seeds
        (empty otherwise);
    kernel_vertices: the vertices a reduction left for the search (None: no
        reduction ran);
    proven_optimal: whether the set is proven optimal (reduced solves).

    Results compare as their pairs (vertices, weight).
    """

    def __new__(cls, vertices, weight, best_iteration=0, best_time=0.0, iterations=0,
                stopped="empty_graph", seed=0, runs=(), kernel_vertices=None, proven_optimal=False):
        self = super().__new__(cls, (vertices, weight))
        self.best_iteration = best_iteration
        self.best_time = best_time
        self.iterations = iterations
        self.stopped = stopped
        self.seed = seed
        self.runs = list(runs)
        self.kernel_vertices = kernel_vertices
        self.proven_optimal = proven_optimal
        return self

    @property
    def vertices(self):
        return self[0]

    @property
    def weight(self):
        return self[1]

    def _fields(self):
        return (self[0], self[1], self.best_iteration, self.best_time, self.iterations, self.stopped, self.seed,
                self.runs, self.kernel_vertices, self.proven_optimal)

    # pickle, copy and deepcopy rebuild a Result from all its fields (a tuple
    # subclass would otherwise be rebuilt from the pair alone).
    def __reduce__(self):
        return (Result, self._fields())

    def __repr__(self):
        names = ("vertices", "weight", "best_iteration", "best_time", "iterations", "stopped", "seed", "runs",
                 "kernel_vertices", "proven_optimal")
        return "Result(" + ", ".join(f"{n}={v!r}" for n, v in zip(names, self._fields())) + ")"


def _check_option(name, value, integer=True):
    """The value, checked against the option table's range."""
    if integer:
        if isinstance(value, bool) or not isinstance(value, numbers.Integral):
            raise TypeError(f"{name} must be an integer, not {type(value).__name__}")
        value = int(value)
        as_float = float(value) if abs(value) < 2 ** 62 else math.copysign(math.inf, value)
    else:
        if isinstance(value, bool) or not isinstance(value, numbers.Real):
            raise TypeError(f"{name} must be a number, not {type(value).__name__}")
        value = as_float = float(value)
    message = _mavu.check_option(name, as_float)
    if message:
        raise ValueError(message)
    return value


def _weight_array(weights):
    """Weights as float64, refusing what is not a number (strings, booleans)."""
    w = np.asarray(weights)
    if w.dtype.kind not in "iuf" or w.ndim != 1:
        raise ValueError(f"weights must be a sequence of numbers, not {w.dtype} of shape {w.shape}")
    return w.astype(np.float64, copy=False), w.dtype.kind in "iu"


def _edge_array(edges):
    if not isinstance(edges, np.ndarray) and not hasattr(edges, "__len__"):
        edges = list(edges)  # a generator or another iterable of pairs
    e = np.asarray(edges)
    if e.size == 0:
        return np.zeros((0, 2), dtype=np.int64)
    if e.dtype.kind not in "iu":
        raise ValueError(f"edges must hold integer vertex numbers, not {e.dtype}")
    if e.ndim != 2 or e.shape[1] != 2:
        raise ValueError(f"edges must be pairs (an (m, 2) array), not of shape {e.shape}")
    return e


def _without_loops(e, independent_set, name=lambda v: v):
    """Loops are left out of a clique search; an independent-set search refuses them."""
    loops = e[:, 0] == e[:, 1]
    if not loops.any():
        return e
    if independent_set:
        v = name(e[int(np.argmax(loops)), 0])
        raise ValueError(f"node {v!r} has a self-loop: it conflicts with itself and can never be in an "
                         "independent set; remove the loop or the node")
    return e[~loops]


def _from_edges(edges, weights, independent_set):
    e = _edge_array(edges if edges is not None else ())
    top = int(e.max()) + 1 if e.size else 0
    integral = True
    if weights is None:
        n, w = top, None
    else:
        w, integral = _weight_array(weights)
        n = len(w)
        if top > n:
            raise ValueError(f"{n} weights for {top} vertices")
    e = _without_loops(e, independent_set)
    return _mavu.Graph.from_arrays(n, e, w, independent_set), None, integral


def _from_networkx(graph, weight, independent_set):
    if graph.is_directed() or graph.is_multigraph():
        raise ValueError("the graph must be a simple undirected graph "
                         "(networkx.Graph); convert it with networkx.Graph(graph)")
    nodes = list(graph)
    number = {node: i for i, node in enumerate(nodes)}
    integral = True
    w = None
    if weight is not None:
        values = []
        for node, value in graph.nodes(data=weight):
            if value is None:
                raise KeyError(f"node {node!r} has no {weight!r} attribute (weight=None weighs every node 1)")
            if isinstance(value, bool) or not isinstance(value, numbers.Real):
                raise ValueError(f"the {weight!r} of node {node!r} is {value!r}, not a number")
            if not value >= 0 or not math.isfinite(value):
                raise ValueError(f"the {weight!r} of node {node!r} is {value!r}: weights must be finite and "
                                 "zero or more")
            integral = integral and isinstance(value, numbers.Integral)
            values.append(value)
        w = np.array(values, dtype=np.float64)
    # networkx's own edge iteration is the cost here; map() keeps the rest
    # out of Python bytecode.
    m = graph.number_of_edges()
    e = np.fromiter(map(number.__getitem__, itertools.chain.from_iterable(graph.edges())), dtype=np.int64,
                    count=2 * m).reshape(m, 2)
    e = _without_loops(e, independent_set, lambda v: nodes[v])
    return _mavu.Graph.from_arrays(len(nodes), e, w, independent_set), nodes, integral


def _from_scipy(matrix, weights, independent_set):
    import scipy.sparse
    a = scipy.sparse.csr_matrix(matrix)
    if a.shape[0] != a.shape[1]:
        raise ValueError(f"the adjacency matrix must be square, not {a.shape[0]} x {a.shape[1]}")
    n = a.shape[0]
    pattern = a != 0
    if (pattern != pattern.T).nnz:
        raise ValueError("the adjacency matrix must be symmetric")
    upper = scipy.sparse.triu(pattern, k=1, format="coo")  # the diagonal is ignored
    e = np.column_stack((upper.row, upper.col)).astype(np.int64, copy=False)
    integral = True
    w = None
    if weights is not None:
        w, integral = _weight_array(weights)
        if len(w) != n:
            raise ValueError(f"{len(w)} weights for {n} vertices")
    return _mavu.Graph.from_arrays(n, e, w, independent_set), None, integral


def _load_file(path, independent_set):
    path = os.fsdecode(path)
    try:
        return _mavu.Graph.from_file(path, independent_set)
    except MemoryError:
        raise
    except OSError as e:
        # The library says the file cannot be opened; the system says why
        # (FileNotFoundError, PermissionError, ... with errno and filename).
        try:
            with open(path, "rb"):
                pass
        except OSError as why:
            raise why from None
        raise e


class _Unset:
    """The default of max_iterations: the option table's, or no limit when a time limit is given."""

    def __repr__(self):
        return f"{_default('max_iterations')} (None with a time limit)"


_UNSET = _Unset()


def _check_keywords(weight, stop, progress):
    """Keywords of the wrong kind, refused before any work."""
    if weight is not None and (isinstance(weight, (list, tuple, np.ndarray)) or getattr(weight, "__hash__", None)
                               is None):
        raise TypeError(f"weight= names the node attribute that holds a networkx graph's weights (as in "
                        f"networkx), not a {type(weight).__name__}; give a list of weights as weights=")
    if stop is not None and not isinstance(stop, StopToken):
        raise TypeError(f"stop must be a mavu.StopToken or None, not {type(stop).__name__}")
    if progress is not None and not callable(progress):
        raise TypeError(f"progress must be callable as progress(iterations, best_weight, cpu_seconds) or None, "
                        f"not {type(progress).__name__}")


def _solve(graph, edges, weights, weight, program, seed, seeds, threads, time_limit, wall_time_limit,
           max_iterations, target, depth, directed_percent, stop, progress, independent_set, reduce=None):
    labels = None
    integral = False
    _check_keywords(weight, stop, progress)
    if graph is not None and edges is not None:
        raise ValueError("give either a graph or edges, not both")
    if isinstance(graph, (str, bytes, os.PathLike)):
        if weights is not None:
            raise ValueError("an instance file brings its own weights: weights= is for edges and matrices")
        g = _load_file(graph, independent_set)
    elif graph is not None and hasattr(graph, "tocsr") and hasattr(graph, "shape"):
        g, labels, integral = _from_scipy(graph, weights, independent_set)
    elif graph is not None:
        if not (hasattr(graph, "nodes") and hasattr(graph, "edges") and hasattr(graph, "is_directed")):
            raise TypeError("graph must be a path, a networkx graph or a scipy.sparse matrix, not "
                            + type(graph).__name__)
        if weights is not None:
            raise ValueError("a networkx graph carries its weights as node attributes: use weight=")
        g, labels, integral = _from_networkx(graph, weight, independent_set)
    else:
        g, labels, integral = _from_edges(edges, weights, independent_set)

    if max_iterations is _UNSET:
        limited = time_limit is not None or wall_time_limit is not None
        max_iterations = None if limited else _default("max_iterations")
    if max_iterations is None:
        max_iterations = _mavu.NO_ITERATION_LIMIT
    seed_list = []
    if seeds is not None:
        seed_list = [_check_option("seed", s) for s in seeds]
        if not seed_list:
            raise ValueError("seeds must list at least one seed")
    result = _mavu.solve(
        g, program, _check_option("seed", seed), seed_list, _check_option("threads", threads),
        _check_option("time_limit", _default("time_limit", float) if time_limit is None else time_limit, False),
        _check_option("wall_time_limit", math.inf if wall_time_limit is None else wall_time_limit, False),
        _check_option("max_iterations", max_iterations),
        _check_option("target", math.inf if target is None else target, False),
        _check_option("depth", depth), _check_option("directed_percent", directed_percent),
        independent_set, stop, progress, -1 if reduce is None else int(bool(reduce)))

    def make(vertices, weight, best_iteration, best_time, iterations, stopped, run_seed, runs, kernel, proven):
        if labels is not None:
            vertices = [labels[v] for v in vertices]
        if integral and weight == int(weight):
            weight = int(weight)
        return Result(vertices, weight, best_iteration, best_time, iterations, stopped, run_seed,
                      [make(*r) for r in runs], None if kernel < 0 else kernel, proven)

    return make(*result)


_DOC_ARGS = """
    graph: one of
        - a path (str or PathLike) to an instance file in any format the
          programs read (DIMACS, Matrix Market, METIS, gzip-compressed or
          not; vertices without a weight record weigh ((i + 1) mod 200) + 1,
          the files' convention);
        - a networkx.Graph: node weights from the attribute named by
          `weight` ("weight"; None: every node weighs 1; a node without it
          raises KeyError), self-loops ignored for cliques and refused for
          independent sets (a looped node can never be taken);
        - a scipy.sparse adjacency matrix (any format, symmetric, the
          diagonal ignored), weights from `weights`.
    edges: instead of graph, pairs of 0-based vertex numbers: a list (or
        any iterable, a generator say) of pairs or an (m, 2) integer array
        (read without a Python loop).
        Loops are ignored for cliques and refused for independent sets; a
        repeated edge is refused.
    weights: with edges or a matrix, one weight per vertex (their number
        is the vertex count); None: every vertex weighs 1.  Weights are
        finite numbers, zero or more (a zero-weight vertex adds nothing: it
        is left out of the search and is never in the set); negative,
        infinite, boolean or string weights raise ValueError.
    weight: with a networkx graph, the name of the node attribute holding
        the weights (networkx's keyword); a list of weights (or anything but
        a name) raises TypeError: weights go in `weights`.
    program: "mavu1" (adaptive gain threshold) or "mavu2" (for large sparse
        real-life graphs).
    seed, max_iterations, target (stop once a set weighs at least this),
        depth (restart after more than this many iterations without a new
        best) and directed_percent (share of directed restarts) are the
        programs' -s, -i, -o, -l and -p; with the same values the run is the
        program's.  A run ends as soon as its best set reaches the
        target, the first construction's set included.  max_iterations=None: no limit (the iteration counter's
        ceiling, 2**31 - 1), the default when a time limit is given.
    seeds: instead of seed, several seeds: one solve each, `threads` at once
        (0: one per processor core); the best is returned (the first listed
        among equal weights), every run in result.runs.
    time_limit: CPU seconds of the solving thread (None: no limit; with
        several seeds, each run's own thread);
    wall_time_limit: wall-clock seconds of the solve (None: no limit).
    stop: a mavu.StopToken; its request_stop(), from any thread or a
        signal handler, ends the solve with the best set so far (anything
        else raises TypeError).
    progress: called as progress(iterations, best_weight, cpu_seconds) at
        most every 0.1 s, in the calling thread; an exception it raises stops
        the solve and is raised.  Anything not callable raises TypeError.
    reduce: True: reduce the graph first, solve exactly what can be of the
        kernel and search the rest, and stop as soon as the set is proven
        optimal (result.proven_optimal; result.stopped == "proven"): the
        programs' -r 1.  False: never (the programs' -r 0: the search of the
        whole conflict graph).  None: independent sets always; cliques when
        the graph has at most 500 vertices (its optimum is usually proven in
        milliseconds), or at least 1000 vertices and an average degree below
        n/20, or is too large for its conflict graph (see
        docs/reduction.md).

    Ranges (ValueError naming the option and its range when outside): seed
    and seeds -2**31 .. 2**31 - 1, max_iterations and depth 0 .. 2**31 - 1,
    directed_percent 0 .. 100, time limits 0 or more, threads 0 .. 1024.
    Vertex counts: up to 2**31 - 1 (compressed lists when sparse); a clique
    search without reduction holds the complement as a bit matrix, up to
    46341 vertices.

    Returns a Result (picklable, so it travels between processes).  An
    empty graph gives ([], 0).  The search runs without the GIL; Ctrl-C
    stops it and raises KeyboardInterrupt (a SIGINT handler that calls a
    StopToken's request_stop() gets the best set so far instead).  A file
    that cannot be opened raises FileNotFoundError (or another OSError with
    errno and filename), bad input ValueError with the programs' message, a
    graph that does not fit MemoryError.
"""


def max_weight_clique(graph=None, *, edges=None, weights=None, weight="weight", program="mavu1",
                      seed=_default("seed"), seeds=None, threads=_default("threads"), time_limit=None,
                      wall_time_limit=None, max_iterations=_UNSET, target=None, depth=_default("depth"),
                      directed_percent=_default("directed_percent"), stop=None, progress=None, reduce=None):
    return _solve(graph, edges, weights, weight, program, seed, seeds, threads, time_limit, wall_time_limit,
                  max_iterations, target, depth, directed_percent, stop, progress, False, reduce)


def max_weight_independent_set(graph=None, *, edges=None, weights=None, weight="weight", program="mavu1",
                               seed=_default("seed"), seeds=None, threads=_default("threads"),
                               time_limit=None, wall_time_limit=None, max_iterations=_UNSET, target=None,
                               depth=_default("depth"), directed_percent=_default("directed_percent"),
                               stop=None, progress=None, reduce=None):
    return _solve(graph, edges, weights, weight, program, seed, seeds, threads, time_limit, wall_time_limit,
                  max_iterations, target, depth, directed_percent, stop, progress, True, reduce)


max_weight_clique.__doc__ = ("A clique of large weight, found by reduction, exact search and restart-based\n"
                             "    tabu search.\n" + _DOC_ARGS)
max_weight_independent_set.__doc__ = (
    "An independent set of large weight (no two of its vertices adjacent): the\n"
    "    programs' -c 1 mode; the graph's edges are the conflicts.\n" + _DOC_ARGS)
