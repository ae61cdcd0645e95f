"""The module as a new user meets it: results that pickle and cross
processes, keywords of the wrong kind refused at the call, the target met by
the first construction, the signature and repr shown, numpy and the build
requirements named when missing, a SIGINT handler's stop token, and every
example of docs/python.md run as written."""
import copy
import os
import pickle
import pydoc
import re
import signal
import subprocess
import sys
import threading
from concurrent.futures import ProcessPoolExecutor

import networkx as nx
import pytest

import mavu

ROOT = os.path.dirname(os.path.abspath(os.environ["MAVU_TESTS_DIR"]))
C125 = os.path.join(ROOT, "data", "C125.9.clq")


def fields(r):
    return (r.vertices, r.weight, r.best_iteration, r.best_time, r.iterations, r.stopped, r.seed,
            [fields(x) for x in r.runs], r.kernel_vertices, r.proven_optimal)


@pytest.mark.parametrize("reduce", [False, True], ids=["search", "reduced"])
def test_results_pickle_and_copy_with_every_field(reduce):
    r = mavu.max_weight_clique(C125, seeds=[1, 2], threads=2, max_iterations=5000, reduce=reduce)
    for twin in (pickle.loads(pickle.dumps(r)), copy.copy(r), copy.deepcopy(r)):
        assert type(twin) is mavu.Result and fields(twin) == fields(r)
        assert type(twin.runs[0]) is mavu.Result


def test_results_cross_processes():
    def same(r):  # every field but the CPU time
        return fields(r)[:3] + fields(r)[4:]
    with ProcessPoolExecutor(2) as pool:
        jobs = [pool.submit(mavu.max_weight_clique, C125, seed=s, max_iterations=3000, reduce=reduce)
                for s, reduce in ((1, False), (2, True))]
        got = [job.result() for job in jobs]
    for (s, reduce), r in zip(((1, False), (2, True)), got):
        assert same(r) == same(mavu.max_weight_clique(C125, seed=s, max_iterations=3000, reduce=reduce))
    assert got[1].kernel_vertices is not None  # a field apart from the pair and the defaults


def test_repr_shows_every_field_and_the_runs():
    r = mavu.max_weight_independent_set(edges=[(0, 1), (1, 2)], weights=[2, 3, 2.5], seeds=[4, 5])
    text = repr(r)
    assert "kernel_vertices=" in text and "proven_optimal=True" in text and "stopped='proven'" in text
    assert text.count("Result(") == 3 and "runs=[]" in text  # the runs in full; theirs empty


def test_help_shows_the_defaults():
    for f in (mavu.max_weight_clique, mavu.max_weight_independent_set):
        text = pydoc.render_doc(f)
        assert "object at 0x" not in text and "max_iterations=100000000 (None with a time limit)" in text


TRIANGLE = [(0, 1), (1, 2), (0, 2)]


@pytest.mark.parametrize("kwargs, error, says", [
    (dict(edges=TRIANGLE, weight=[1, 2, 3]), TypeError, "weights="),
    (dict(graph=nx.Graph(TRIANGLE), weight=[1, 2, 3]), TypeError, "node attribute"),
    (dict(edges=TRIANGLE, stop=True), TypeError, "stop must be a mavu.StopToken or None, not bool"),
    (dict(edges=TRIANGLE, progress=42), TypeError, "progress must be callable"),
], ids=["weight-list-with-edges", "weight-list-with-networkx", "stop-true", "progress-42"])
def test_keywords_of_the_wrong_kind_are_refused_at_the_call(kwargs, error, says):
    for f in (mavu.max_weight_clique, mavu.max_weight_independent_set):
        with pytest.raises(error, match=re.escape(says)):
            f(**kwargs)


def test_edges_from_a_generator():
    pairs = [(0, 1), (1, 2), (0, 2), (2, 3)]
    want = mavu.max_weight_clique(edges=pairs, weights=[1, 2, 3, 7])
    assert mavu.max_weight_clique(edges=(e for e in pairs), weights=[1, 2, 3, 7]) == want == ([2, 3], 10)
    assert mavu.max_weight_independent_set(edges=iter(pairs), weights=[1, 2, 3, 7]) == ([1, 3], 9)


@pytest.mark.parametrize("program", ["mavu1", "mavu2"])
def test_a_target_met_by_the_first_construction_ends_the_run(program):
    r = mavu.max_weight_clique(edges=TRIANGLE, weights=[2, 3, 4], target=3, program=program, reduce=False)
    assert (r.weight, r.stopped, r.iterations, r.best_iteration) == (9, "target", 0, 0)


def test_a_sigint_handler_with_a_stop_token_gets_the_best_set():
    token = mavu.StopToken()
    previous = signal.signal(signal.SIGINT, lambda signum, frame: token.request_stop())
    try:
        timer = threading.Timer(0.3, os.kill, (os.getpid(), signal.SIGINT))
        timer.start()
        r = mavu.max_weight_clique(C125, reduce=False, wall_time_limit=30, stop=token)
        timer.join()
    finally:
        signal.signal(signal.SIGINT, previous)
    assert r.stopped == "stop_requested" and r.weight > 0


def test_without_numpy_the_import_says_what_is_missing():
    out = subprocess.run([sys.executable, "-c", "import sys; sys.modules['numpy'] = None; import mavu"],
                         capture_output=True, text=True)
    assert out.returncode != 0 and "mavu needs numpy" in out.stderr, out.stderr


def test_setup_names_a_missing_wheel_package():
    """An interpreter whose setuptools needs the wheel package and lacks it."""
    script = ("import runpy, sys; sys.modules['wheel'] = None; sys.argv = ['setup.py', 'bdist_wheel'];"
              f"runpy.run_path({os.path.join(ROOT, 'setup.py')!r}, run_name='__main__')")
    probe = "import importlib.util as u; print(u.find_spec('setuptools.command.bdist_wheel') is not None)"
    if subprocess.run([sys.executable, "-c", probe], capture_output=True, text=True).stdout.strip() != "False":
        pytest.skip("this setuptools builds wheels by itself")
    out = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, cwd=ROOT)
    assert out.returncode != 0 and "python3-wheel" in out.stderr and "invalid command" not in out.stderr, out.stderr


def test_every_example_of_the_python_page_runs(tmp_path):
    page = open(os.path.join(ROOT, "docs", "python.md")).read()
    examples = re.findall(r"```python\n(.*?)```", page, re.S)
    assert len(examples) >= 5
    for i, code in enumerate(examples):
        (tmp_path / f"example{i}.py").write_text(code)
        out = subprocess.run([sys.executable, str(tmp_path / f"example{i}.py")], capture_output=True, text=True,
                             cwd=ROOT, timeout=120)
        assert out.returncode == 0, f"example {i}:\n{code}\n{out.stderr}"
