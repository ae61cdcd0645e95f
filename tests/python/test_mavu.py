"""The Python module against the programs: files, networkx graphs, edge lists
and the independent-set mode give the programs' runs; errors raise with the
programs' messages; Ctrl-C interrupts a solve; solves in threads."""
import os
import re
import signal
import subprocess
import threading
import time
from concurrent.futures import ThreadPoolExecutor

import networkx as nx
import pytest

import mavu

DATA = os.environ["MAVU_TEST_DATA_DIR"]
INSTANCES = os.path.join(os.environ["MAVU_TESTS_DIR"], "regression", "instances")
PROGRAMS = {"mavu1": os.environ["MAVU1_BIN"], "mavu2": os.environ["MAVU2_BIN"]}

RUNS = [  # file, program, seed, iterations, target
    (os.path.join(DATA, "C125.9.clq"), "mavu1", 5, 20000, None),
    (os.path.join(DATA, "keller4.clq"), "mavu2", 3, 30000, None),
    (os.path.join(INSTANCES, "g40_frac.clq"), "mavu2", 2, 50000, 20.0),
]


def program_run(path, program, seed, iterations, target, complement=0):
    args = [PROGRAMS[program], "-f", path, "-t", "1000", "-s", str(seed), "-i", str(iterations),
            "-c", str(complement)]
    if target is not None:
        args += ["-o", repr(target)]
    out = subprocess.run(args, capture_output=True, text=True, check=True).stdout
    lines = out[out.index("\nFinal") + 1:].splitlines()
    objv = float(re.search(r"#objv=(\S+)", out).group(1))
    return [int(v) for v in lines[1].split()], objv, int(re.search(r"#bestiter=(\d+)", out).group(1))


def read_networkx(path):
    """The file as a networkx graph whose node labels are strings."""
    g = nx.Graph()
    for line in open(path):
        f = line.split()
        if f and f[0] == "p":
            g.add_nodes_from(f"v{i}" for i in range(int(f[2])))
        elif f and f[0] == "e":
            g.add_edge(f"v{int(f[1]) - 1}", f"v{int(f[2]) - 1}")
        elif f and f[0] == "v":
            g.nodes[f"v{int(f[1]) - 1}"]["weight"] = float(f[2])
    return g


@pytest.mark.parametrize("path,program,seed,iterations,target", RUNS)
def test_every_input_gives_the_programs_run(path, program, seed, iterations, target):
    vertices, objv, best_iter = program_run(path, program, seed, iterations, target)
    opts = dict(program=program, seed=seed, max_iterations=iterations, target=target)
    g = read_networkx(path)
    weights = [g.nodes[v].get("weight", (i + 1) % 200 + 1) for i, v in enumerate(g.nodes)]
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


def test_errors_raise_with_the_programs_message(tmp_path):
    bad = tmp_path / "bad.clq"
    bad.write_text("p edge 3 1\ne 1 9\n")
    stderr = subprocess.run([PROGRAMS["mavu1"], "-f", str(bad), "-t", "5"], capture_output=True, text=True).stderr
    with pytest.raises(ValueError) as e:
        mavu.max_weight_clique(bad)
    assert str(e.value) + "\n" == stderr
    with pytest.raises(OSError, match="^Can not open file .*nowhere.clq$"):
        mavu.max_weight_clique(tmp_path / "nowhere.clq")
    for kwargs, message in [
        (dict(edges=[(0, 5)], weights=[1, 2]), "outside"),
        (dict(edges=[], weights=[1, 0]), "not a finite positive"),
        (dict(graph=nx.DiGraph([(0, 1)])), "undirected"),
        (dict(edges=[(0, 1)], weights=[1, 1], program="mavu3"), "mavu1"),
    ]:
        with pytest.raises(ValueError, match=message):
            mavu.max_weight_clique(**kwargs)


def test_ctrl_c_stops_the_solve_and_raises_keyboard_interrupt():
    threading.Timer(0.3, os.kill, (os.getpid(), signal.SIGINT)).start()
    start = time.monotonic()
    with pytest.raises(KeyboardInterrupt):
        mavu.max_weight_clique(os.path.join(DATA, "keller4.clq"))  # 10^8 iterations: about a minute
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
