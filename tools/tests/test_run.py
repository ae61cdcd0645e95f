"""`run`: the grid, resuming after a partial run, and stopping on a signal."""

import glob
import os
import signal
import subprocess
import sys
import time

from common import MAVU1, MAVU2, SMALL, TOOL, TempDirTest, mavu_exp, need_programs, tool

OLD = 1_000_000_000 * 10**9  # an mtime (ns) no run of the test can produce


def without_time(text):
    return "\n".join(l for l in text.split("\n") if not l.startswith("#besttime="))


class Resume(TempDirTest):
    def grid(self, *extra):
        return ["run", "--out", self.out, "--instances", SMALL, self.bad,
                "--program", MAVU1, "--program", MAVU2, "--seed-list", "1,2,7",
                "--time", "100", "--iter", "3000", "--jobs", "2", *extra]

    def setUp(self):
        super().setUp()
        need_programs(self)
        self.out = os.path.join(self.tmp, "exp")
        self.bad = os.path.join(self.tmp, "bad.clq")
        with open(self.bad, "w") as f:
            f.write("not a graph\n")

    def cell(self, inst, prog, seed):
        return os.path.join(self.out, "runs", inst, prog, "t100_i3000", f"s{seed}")

    def test_resume_runs_only_what_is_missing(self):
        proc = tool(*self.grid())
        self.assertIn("12 runs in the grid, 0 already done, 12 to run", proc.stderr)
        self.assertIn("12/12 runs", proc.stderr)
        self.assertIn("failures 6", proc.stderr)  # the bad instance fails in every cell
        outs = sorted(glob.glob(os.path.join(self.out, "runs", "*", "*", "*", "*.out")))
        self.assertEqual(len(outs), 12)
        full = {}
        for p in outs:
            with open(p) as f:
                full[p] = f.read()
            os.utime(p, ns=(OLD, OLD))
        # Three ways a run can be cut short: no status yet, stopped by a signal, killed while
        # writing (truncated output, no status).
        gone = self.cell("g40_frac", "mavu1", 1)
        os.unlink(gone + ".status")
        stopped = self.cell("g40_frac", "mavu1", 2)
        with open(stopped + ".status", "w") as f:
            f.write("130\n")
        cut = self.cell("g40_frac", "mavu2", 7)
        with open(cut + ".out", "r+") as f:
            f.truncate(40)
        os.unlink(cut + ".status")
        os.utime(cut + ".out", ns=(OLD, OLD))

        proc = tool(*self.grid())
        self.assertIn("12 runs in the grid, 9 already done, 3 to run", proc.stderr)
        rerun = {gone + ".out", stopped + ".out", cut + ".out"}
        for p in outs:
            if p in rerun:
                self.assertNotEqual(os.stat(p).st_mtime_ns, OLD, p)
                with open(p) as f:
                    # The same seed and iteration limit give the same run again.
                    self.assertEqual(without_time(f.read()), without_time(full[p]))
            else:
                self.assertEqual(os.stat(p).st_mtime_ns, OLD, f"{p} was run again")
        rows = mavu_exp.collect_rows(self.out)
        self.assertEqual(sorted(r["outcome"] for r in rows), ["failed"] * 6 + ["ok"] * 6)
        self.assertEqual(tool(*self.grid()).stderr.split("\n")[0],
                         f"12 runs in the grid, 12 already done, 0 to run with 2 parallel "
                         f"jobs; output in {self.out}")

    def test_more_seeds_adds_only_the_new_cells(self):
        tool(*self.grid())
        grid = self.grid()
        grid[grid.index("1,2,7")] = "1-3,7"
        self.assertIn("16 runs in the grid, 12 already done, 4 to run", tool(*grid).stderr)


class StopOnSignal(TempDirTest):
    def test_sigint_stops_and_leaves_the_cut_cell_to_do(self):
        need_programs(self)
        out = os.path.join(self.tmp, "exp")
        argv = [sys.executable, TOOL, "run", "--out", out, "--instances", SMALL,
                "--program", MAVU1, "--seeds", "2", "--time", "600", "--jobs", "1"]
        proc = subprocess.Popen(argv, stderr=subprocess.PIPE, text=True)
        first = os.path.join(out, "runs", "g40_frac", "mavu1", "t600", "s1")
        for _ in range(600):
            if os.path.exists(first + ".out"):
                break
            time.sleep(0.05)
        time.sleep(0.3)
        proc.send_signal(signal.SIGINT)
        _, err = proc.communicate(timeout=120)
        self.assertEqual(proc.returncode, 130, err)
        self.assertIn("Repeat the same command to resume", err)
        self.assertEqual(mavu_exp.read_status(first + ".status"), 130)
        rows = {r["seed"]: r for r in mavu_exp.collect_rows(out)}
        self.assertIn(rows[1]["outcome"], ("interrupted", "killed"))
        self.assertEqual(rows[2]["outcome"], "not_run")
        # Both cells are still to do: the stopped one and the one never started.
        args = mavu_exp.build_parser().parse_args(argv[2:])
        _, runs = mavu_exp.build_grid(args)
        self.assertEqual([r.done() for r in runs], [False, False])


if __name__ == "__main__":
    import unittest
    unittest.main()
