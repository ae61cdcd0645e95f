"""The Python module against the programs: files, networkx graphs, edge lists
and the independent-set mode give the programs' runs; errors raise with the
programs' messages; Ctrl-C interrupts a solve; solves in threads.  Against
networkx: its weight conventions and its max_weight_clique's weights; arrays
and sparse matrices against edge lists; refused inputs and options; limits,
stop tokens and progress; several seeds against sequential solves; the
docstring's and the documentation's examples."""
import doctest
import errno
import math
import os
import re
import signal
import subprocess
import sys
import threading
import time
from concurrent.futures import ThreadPoolExecutor

import networkx as nx
import numpy as np
import pytest
import scipy.sparse

import mavu

DATA = os.environ["MAVU_TEST_DATA_DIR"]
INSTANCES = os.path.join(os.environ["MAVU_TESTS_DIR"], "regression", "instances")
PROGRAMS = {"mavu1": os.environ["MAVU1_BIN"], "mavu2": os.environ["MAVU2_BIN"]}

RUNS = [  # file, program, seed, iterations, target
    (os.path.join(DATA, "C125.9.clq"), "mavu1", 5, 20000, None),
    (os.path.join(DATA, "keller4.clq"), "mavu2", 3, 30000, None),
    (os.path.join(INSTANCES, "g40_frac.clq"), "mavu2", 2, 50000, 20.0),
]


def program_run(path, program, seed, iterations, target, complement=0, reduce=0):
    args = [PROGRAMS[program], "-f", path, "-t", "1000", "-s", str(seed), "-i", str(iterations),
            "-c", str(complement), "-r", str(reduce)]
    if target is not None:
        args += ["-o", repr(target)]
    out = subprocess.run(args, capture_output=True, text=True, check=True).stdout
    lines = out[out.index("\nFinal") + 1:].splitlines()
    objv = float(re.search(r"#objv=(\S+)", out).group(1))
    return [int(v) for v in lines[1].split()], objv, int(re.search(r"#bestiter=(\d+)", out).group(1))


def read_networkx(path):
    """The file as a networkx graph whose node labels are strings, with the files' default weights."""
    g = nx.Graph()
    for line in open(path):
        f = line.split()
        if f and f[0] == "p":
            g.add_nodes_from((f"v{i}", {"weight": (i + 1) % 200 + 1}) for i in range(int(f[2])))
        elif f and f[0] == "e":
            g.add_edge(f"v{int(f[1]) - 1}", f"v{int(f[2]) - 1}")
        elif f and f[0] == "v":
            g.nodes[f"v{int(f[1]) - 1}"]["weight"] = float(f[2])
    return g


@pytest.mark.parametrize("path,program,seed,iterations,target", RUNS)
def test_every_input_gives_the_programs_run(path, program, seed, iterations, target):
    vertices, objv, best_iter = program_run(path, program, seed, iterations, target)
    opts = dict(program=program, seed=seed, max_iterations=iterations, target=target, reduce=False)
    g = read_networkx(path)
    weights = [g.nodes[v]["weight"] for v in g.nodes]
    edges = [(int(a[1:]), int(b[1:])) for a, b in g.edges]
    complement = nx.complement(g)
    nx.set_node_attributes(complement, dict(zip(g.nodes, weights)), "weight")
    labels = [f"v{v}" for v in vertices]
    for result, want in [
        (mavu.max_weight_clique(path, **opts), vertices),
        (mavu.max_weight_clique(g, **opts), labels),
        (mavu.max_weight_clique(edges=edges, weights=weights, **opts), vertices),
        (mavu.max_weight_independent_set(complement, **opts), labels),
    ]:
        assert (result.vertices, result.best_iteration) == (want, best_iter)
        assert result.weight == pytest.approx(objv, abs=1e-5)
    vertices, objv, best_iter = program_run(path, program, seed, iterations, target, complement=1)
    result = mavu.max_weight_independent_set(path, **opts)
    assert (result.vertices, result.best_iteration) == (vertices, best_iter)
    assert result.weight == pytest.approx(objv, abs=1e-5)
    # The default solves go through the reduction, as -r 1 does.
    del opts["reduce"]
    for complement, solve in [(0, mavu.max_weight_clique), (1, mavu.max_weight_independent_set)]:
        vertices, objv, best_iter = program_run(path, program, seed, iterations, target, complement, reduce=1)
        result = solve(path, **opts)
        assert (result.vertices, result.best_iteration) == (vertices, best_iter)
        assert result.weight == pytest.approx(objv, abs=1e-5)


def test_errors_raise_with_the_programs_message(tmp_path):
    bad = tmp_path / "bad.clq"
    bad.write_text("p edge 3 1\ne 1 9\n")
    stderr = subprocess.run([PROGRAMS["mavu1"], "-f", str(bad), "-t", "5"], capture_output=True, text=True).stderr
    with pytest.raises(ValueError) as e:
        mavu.max_weight_clique(bad)
    assert str(e.value) + "\n" == stderr
    missing = tmp_path / "nowhere.clq"
    with pytest.raises(FileNotFoundError) as e:
        mavu.max_weight_clique(missing)
    assert (e.value.errno, e.value.filename) == (errno.ENOENT, str(missing))


def weighted(edges, **attrs):
    g = nx.Graph(edges)
    for name, values in attrs.items():
        nx.set_node_attributes(g, dict(zip(g.nodes, values)), name)
    return g


looped = weighted([(0, 1), (1, 1)], weight=[1, 1])
REFUSED = [  # function, arguments, exception, message
    ("clique", dict(graph=weighted([(0, 1)], w=[1, 2])), KeyError, "node 0 has no 'weight' attribute"),
    ("clique", dict(graph=weighted([(0, 1)], weight=[1, "2"])), ValueError, "'weight' of node 1 is '2', not a number"),
    ("clique", dict(graph=weighted([(0, 1)], weight=[1, -2])), ValueError, "'weight' of node 1 is -2"),
    ("independent_set", dict(graph=looped), ValueError, "node 1 has a self-loop"),
    ("independent_set", dict(edges=[(0, 1), (2, 2)]), ValueError, "node 2 has a self-loop"),
    ("clique", dict(edges=[(0, 1), (2, 3)], weights=[1, 2, 3]), ValueError, "^3 weights for 4 vertices$"),
    ("clique", dict(edges=[(0, 1)], weights=["1", "2"]), ValueError, "weights must be a sequence of numbers"),
    ("clique", dict(edges=[(0, 1)], weights=[1, -1]), ValueError, "^the weight of vertex 1 is negative$"),
    ("clique", dict(edges=[(0, 1), (1, 0)]), ValueError, "^edge 1 repeats an earlier edge$"),
    ("clique", dict(edges=[(0.5, 1)]), ValueError, "integer vertex numbers"),
    ("clique", dict(edges=[(0, -1)]), ValueError, "^edge 0 has a vertex outside 0 .. 0$"),
    ("clique", dict(graph=scipy.sparse.coo_array(([1], ([0], [1])), shape=(2, 2))), ValueError, "symmetric"),
    ("clique", dict(graph=nx.DiGraph([(0, 1)])), ValueError, "undirected"),
    ("clique", dict(edges=[(0, 1)], program="mavu3"), ValueError, "mavu1"),
    ("clique", dict(edges=[(0, 1)], seed=2**31), ValueError, r"^seed = 2147483648 is outside its range -2147483648 \.\. 2147483647$"),
    ("clique", dict(edges=[(0, 1)], seeds=[1, -2**31 - 1]), ValueError, "^seed = -2147483649 is outside"),
    ("clique", dict(edges=[(0, 1)], depth=-1), ValueError, r"^depth = -1 is outside its range 0 \.\. 2147483647$"),
    ("clique", dict(edges=[(0, 1)], directed_percent=150), ValueError, r"^directed_percent = 150 is outside its range 0 \.\. 100$"),
    ("clique", dict(edges=[(0, 1)], max_iterations=10**10), ValueError, "^max_iterations = 10000000000 is outside"),
    ("clique", dict(edges=[(0, 1)], time_limit=-1), ValueError, r"^time_limit = -1 is outside its range 0 \.\. inf$"),
    ("clique", dict(edges=[(0, 1)], wall_time_limit=math.nan), ValueError, "^wall_time_limit = nan is outside"),
    ("clique", dict(edges=[(0, 1)], max_iterations=1.5), TypeError, "max_iterations must be an integer"),
]


@pytest.mark.parametrize("function,kwargs,error,message", REFUSED, ids=[r[3] for r in REFUSED])
def test_refused_input_and_options_raise_naming_the_fault(function, kwargs, error, message):
    with pytest.raises(error, match=message):
        getattr(mavu, "max_weight_" + function)(**kwargs)


def test_ctrl_c_stops_the_solve_and_raises_keyboard_interrupt():
    threading.Timer(0.3, os.kill, (os.getpid(), signal.SIGINT)).start()
    start = time.monotonic()
    with pytest.raises(KeyboardInterrupt):
        mavu.max_weight_clique(os.path.join(DATA, "keller4.clq"), reduce=False)  # 10^8 iterations: about a minute
    assert time.monotonic() - start < 1.3


def test_solves_in_threads_give_the_sequential_results():
    path = os.path.join(DATA, "MANN_a27.clq")
    runs = [dict(seed=4, depth=50, max_iterations=300000),
            dict(seed=2, depth=50, max_iterations=300000, program="mavu2")]
    with ThreadPoolExecutor(2) as pool:
        parallel = list(pool.map(lambda o: mavu.max_weight_clique(path, **o), runs))
    for o, p in zip(runs, parallel):
        s = mavu.max_weight_clique(path, **o)
        assert (p.vertices, p.weight, p.best_iteration) == (s.vertices, s.weight, s.best_iteration)


def random_graph(n, p, seed):
    return nx.gnp_random_graph(n, p, seed=seed)


@pytest.mark.parametrize("seed", range(4))
def test_networkx_conventions_give_networkx_weights(seed):
    g = random_graph(14, 0.5, seed)
    g.add_edge(3, 3)  # a self-loop: ignored for cliques, as networkx ignores it
    rng = np.random.default_rng(seed)
    nx.set_node_attributes(g, {v: int(rng.integers(0, 20)) for v in g}, "weight")
    g.nodes[seed]["weight"] = 0  # zero weights are accepted
    nx.set_node_attributes(g, {v: int(rng.integers(1, 9)) for v in g}, "w")
    for weight in ["weight", "w", None]:
        nodes, total = mavu.max_weight_clique(g, weight=weight, max_iterations=20000)
        assert total == nx.max_weight_clique(g, weight=weight)[1]
        assert all(g.has_edge(a, b) for a in nodes for b in nodes if a != b)
        assert isinstance(total, int)
    g.remove_edge(3, 3)
    complement = nx.complement(g)
    nx.set_node_attributes(complement, nx.get_node_attributes(g, "w"), "w")
    r = mavu.max_weight_independent_set(g, weight="w", max_iterations=20000)
    assert r.weight == nx.max_weight_clique(complement, weight="w")[1]
    assert not any(g.has_edge(a, b) for a in r.vertices for b in r.vertices)
    assert mavu.max_weight_clique(nx.Graph()) == ([], 0)


def test_arrays_and_matrices_give_the_edge_list_result():
    g = random_graph(60, 0.3, 5)
    pairs = list(g.edges())
    weights = [(v * 7) % 11 + 1.5 for v in range(60)]
    a = np.array(pairs)
    matrix = nx.to_scipy_sparse_array(g, nodelist=range(60), format="coo")
    matrix.setdiag(1)  # the diagonal is ignored
    forms = [dict(edges=a), dict(edges=a.astype(np.int32)), dict(edges=a[:, ::-1].copy()),
             dict(graph=matrix), dict(graph=matrix.tocsr()), dict(graph=matrix.tocsc())]
    for solve in (mavu.max_weight_clique, mavu.max_weight_independent_set):
        want = solve(edges=pairs, weights=weights, max_iterations=5000)
        for form in forms:
            r = solve(weights=np.array(weights), max_iterations=5000, **form)
            assert (r, r.best_iteration) == (want, want.best_iteration), form


def test_several_seeds_give_the_best_of_the_sequential_solves():
    path = os.path.join(DATA, "brock200_2.clq")
    seeds = [3, 1, 4, 1, 5]
    r = mavu.max_weight_clique(path, seeds=seeds, threads=2, max_iterations=20000, depth=50)
    alone = [mavu.max_weight_clique(path, seed=s, max_iterations=20000, depth=50) for s in seeds]
    assert [(x, x.best_iteration, x.seed) for x in r.runs] == [(x, x.best_iteration, s) for x, s in zip(alone, seeds)]
    best = max(range(len(seeds)), key=lambda i: (alone[i].weight, -i))
    assert (r, r.seed) == (alone[best], seeds[best])


def test_limits_stop_tokens_and_progress_say_why_the_solve_stopped():
    path = os.path.join(DATA, "keller4.clq")
    calls = []
    token = mavu.StopToken()

    def progress(iterations, best, seconds):
        calls.append((time.monotonic(), iterations, best, seconds))
        if len(calls) == 4:
            token.request_stop()

    cases = [
        (dict(max_iterations=1000), "iterations"),
        (dict(time_limit=0.3), "time_limit"),  # and no iteration limit
        (dict(wall_time_limit=0.3, max_iterations=None), "wall_time_limit"),
        (dict(target=10), "target"),
        (dict(stop=token, progress=progress), "stop_requested"),
    ]
    for kwargs, why in cases:
        r = mavu.max_weight_clique(path, reduce=False, **kwargs)  # the search alone: the exact search proves keller4
        assert r.stopped == why, kwargs
        assert 0 <= r.best_iteration <= r.iterations
    assert r.iterations >= calls[-1][1] > calls[0][1] > 0
    assert min(b[0] - a[0] for a, b in zip(calls, calls[1:])) >= 0.09
    with pytest.raises(ZeroDivisionError):
        mavu.max_weight_clique(path, reduce=False, progress=lambda *args: 1 / 0)


def test_the_module_docstring_examples_pass():
    failed, attempted = doctest.testmod(mavu)
    assert (failed, attempted > 0) == (0, True)


def test_the_documented_examples_type_check(tmp_path, monkeypatch):
    """mypy over the examples of docs/python.md against the package's stubs;
    a wrong call must be reported, so the stubs are what mypy read."""
    mypy = pytest.importorskip("mypy.api", reason="mypy is not installed (tools/install-deps.sh installs it)")
    page = open(os.path.join(os.environ["MAVU_TESTS_DIR"], "..", "docs", "python.md")).read()
    examples = re.findall(r"```python\n(.*?)```", page, re.S)
    assert examples
    for i, code in enumerate(examples):
        (tmp_path / f"example{i}.py").write_text(code)
    (tmp_path / "wrong.py").write_text('import mavu\nr = mavu.max_weight_clique(edges=[(0, 1)], seed="5")\n'
                                       'name: str = r.weight\n')
    build = os.path.dirname(os.path.dirname(mavu.__file__))
    if os.path.basename(build) != "site-packages":  # an installed module is found where it is
        monkeypatch.setenv("MYPYPATH", build)
    out, err, status = mypy.run(["--ignore-missing-imports", "--cache-dir", str(tmp_path / ".mypy_cache"),
                                 *sorted(str(p) for p in tmp_path.glob("*.py"))])
    files_with_errors = {os.path.basename(line.split(":")[0]) for line in out.splitlines() if ": error:" in line}
    assert files_with_errors == {"wrong.py"}, out + err


def test_reduce_gives_the_programs_reduced_run():
    path = os.path.join(INSTANCES, "p_hat300-1.clq")
    out = subprocess.run([PROGRAMS["mavu2"], "-f", path, "-t", "1000", "-s", "1", "-i", "30000", "-r", "1"],
                         capture_output=True, text=True, check=True).stdout
    lines = out[out.index("\nFinal") + 1:].splitlines()
    kernel = int(re.search(r"#kernel=(\d+)", out).group(1))
    optimal = re.search(r"#optimal=(\d)", out).group(1) == "1"
    result = mavu.max_weight_clique(path, program="mavu2", seed=1, max_iterations=30000, reduce=True)
    assert (result.vertices, result.kernel_vertices, result.proven_optimal) == (
        [int(v) for v in lines[1].split()], kernel, optimal)
    assert result.best_iteration == int(re.search(r"#bestiter=(\d+)", out).group(1))
    plain = mavu.max_weight_clique(path, program="mavu2", seed=1, max_iterations=30000, reduce=False)
    assert (plain.kernel_vertices, plain.proven_optimal) == (None, False)


def test_reduce_gives_the_programs_reduced_independent_set_run():
    path = os.path.join(INSTANCES, "g300_sparse.clq")
    out = subprocess.run([PROGRAMS["mavu1"], "-f", path, "-t", "1000", "-s", "3", "-i", "20000", "-c", "1",
                          "-r", "1"], capture_output=True, text=True, check=True).stdout
    lines = out[out.index("\nFinal") + 1:].splitlines()
    result = mavu.max_weight_independent_set(path, seed=3, max_iterations=20000, reduce=True)
    assert (result.vertices, result.best_iteration, result.kernel_vertices, result.proven_optimal) == (
        [int(v) for v in lines[1].split()], int(re.search(r"#bestiter=(\d+)", out).group(1)),
        int(re.search(r"#kernel=(\d+)", out).group(1)), re.search(r"#optimal=(\d)", out).group(1) == "1")
