"""Shared helpers of the experiment-tool tests: paths, the real programs and run fixtures."""

import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
FIXTURES = os.path.join(HERE, "fixtures")
TOOL = os.path.join(os.path.dirname(HERE), "mavu_exp.py")
sys.path.insert(0, os.path.dirname(HERE))

import mavu_exp  # noqa: E402

# CTest passes the built programs; without them the tests that need a real run are skipped.
MAVU1 = os.environ.get("MAVU1")
MAVU2 = os.environ.get("MAVU2")
SMALL = os.path.join(FIXTURES, "g40_frac.clq")


def need_programs(test):
    if not (MAVU1 and MAVU2 and os.access(MAVU1, os.X_OK) and os.access(MAVU2, os.X_OK)):
        test.skipTest("MAVU1/MAVU2 not set to the built programs (run through CTest)")


def fixture_text(name):
    with open(os.path.join(FIXTURES, name)) as f:
        return f.read()


def tool(*args, check=True):
    """Runs the experiment command as a user would: its own process, the system python3."""
    proc = subprocess.run([sys.executable, TOOL, *args], capture_output=True, text=True)
    if check and proc.returncode != 0:
        raise AssertionError(f"tool {' '.join(args)} exited {proc.returncode}:\n{proc.stderr}")
    return proc


class TempDirTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="mavu-exp-test-")

    def tearDown(self):
        shutil.rmtree(self.tmp, ignore_errors=True)


def mavu1_output(seed, weight, best_iter, best_time, vertices=(0, 1, 2)):
    """Standard output in the format mavu1 prints for a normal end."""
    return (f"stop condition: less than 10 seconds and 100000000 iterations\n"
            f"seed: {seed}\ntabu depth: 4000\ndirect start probability: 70/100\n"
            f"Final result(size {len(vertices)}):\n"
            + "".join(f"{v} " for v in vertices) + "\n\n"
            f"$seed={seed}\n@solver=mwcp\n@para_file=x.clq\n@para_depth=4000\n"
            f"@para_direct_prob=70\n#objv={weight:f}\n#bestiter={best_iter}\n"
            f"#besttime={best_time:.3f}\n")


def write_run(out, inst, prog, seed, stdout, status, stderr="", opts=None):
    """Lays one run's files out as `run` would leave them; status None leaves no .status."""
    run = mavu_exp.Run(out, inst, f"/nowhere/{inst}.clq", prog, f"/nowhere/{prog}", seed,
                       opts or {"time": "10"})
    run.write_meta()
    if stdout is not None:
        with open(run.base + ".out", "w") as f:
            f.write(stdout)
        with open(run.base + ".err", "w") as f:
            f.write(stderr)
    if status is not None:
        with open(run.base + ".status", "w") as f:
            f.write(f"{status}\n")
    return run


def read_json(path):
    with open(path) as f:
        return json.load(f)
