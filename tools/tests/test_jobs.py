"""`jobs`: the GNU parallel job list and the SLURM array script, run for real here."""

import os
import shutil
import subprocess

from common import MAVU1, MAVU2, SMALL, TempDirTest, mavu_exp, need_programs, tool


class WeightedInstances(TempDirTest):
    def test_suffixes_gzip_and_independent_set_instances(self):
        d = os.path.join(self.tmp, "w")
        os.makedirs(os.path.join(d, "uai-pr"))
        files = ["a.wclq", "b.grf.gz", "c.mwvc", "d.mtx", "e.graph", "f.clq.gz", "notes.txt",
                 "uai-pr/g.mwvc.gz"]
        for name in files:
            open(os.path.join(d, name), "w").close()
        out = os.path.join(self.tmp, "exp")
        grid = ["--out", out, "--instances", d, os.path.join(d, "uai-pr"), "--program",
                "/bin/true", "--seeds", "1", "--time", "1"]
        tool("jobs", *grid, "--complement", "*/uai-*/*")
        with open(os.path.join(out, "jobs.txt")) as f:
            lines = {line.split("/runs/")[1].split("/")[0]: line for line in f}
        self.assertEqual(sorted(lines), ["a", "b", "c", "d", "e", "f", "g"])
        for name, line in lines.items():
            self.assertEqual(" -c 1 " in line, name == "g", line)
        # A finished run is made again when it changes kind, and only then.
        self.assertIn("0 already done, 7 to run", tool("run", *grid).stderr)
        self.assertIn("6 already done, 1 to run",
                      tool("run", *grid, "--complement", "g").stderr)
        self.assertIn("7 already done, 0 to run",
                      tool("run", *grid, "--complement", "g").stderr)


class JobLists(TempDirTest):
    def setUp(self):
        super().setUp()
        need_programs(self)
        # A space in the folder and instance names checks the quoting of every line.
        d = os.path.join(self.tmp, "my instances")
        os.makedirs(d)
        shutil.copy(SMALL, os.path.join(d, "g40 frac.clq"))
        self.out = os.path.join(self.tmp, "exp out")
        self.grid = ["jobs", "--out", self.out, "--instances", d, "--program", MAVU1,
                     "--program", MAVU2, "--seeds", "2", "--time", "100", "--iter", "2000"]

    def lines(self):
        with open(os.path.join(self.out, "jobs.txt")) as f:
            return f.read().splitlines()

    def test_formats(self):
        tool(*self.grid)
        lines = self.lines()
        self.assertEqual(len(lines), 4)
        for line in lines:
            self.assertEqual(subprocess.run(["bash", "-n", "-c", line]).returncode, 0, line)
        slurm = os.path.join(self.out, "jobs.slurm")
        with open(slurm) as f:
            script = f.read()
        self.assertIn("#SBATCH --array=1-4\n", script)
        # The largest time limit (100 s) plus the default margin of 120 s.
        self.assertIn("#SBATCH --time=00:03:40\n", script)
        self.assertEqual(subprocess.run(["bash", "-n", slurm]).returncode, 0)
        self.assertTrue(os.access(slurm, os.X_OK))

    def test_target_best_takes_each_instance_weight(self):
        table = os.path.join(self.tmp, "best.tsv")
        with open(table, "w") as f:
            f.write("instance\tn\tm\tbest_known_weight\toptimal_proved\tevidence\n"
                    "g40 frac\t40\t381\t476.094\tno\ttest\n")
        proc = tool(*self.grid, "--target", "best", check=False)
        self.assertEqual(proc.returncode, 2)
        self.assertIn("--target best needs --best-known", proc.stderr)
        tool(*self.grid, "--target", "best", "--best-known", table)
        for line in self.lines():
            self.assertIn(" -o 476.094 ", line)
            self.assertIn("/t100_i2000_obest", line)

    def test_slurm_task_runs_its_line_then_the_list_shrinks(self):
        tool(*self.grid)
        first = self.lines()[0]
        env = dict(os.environ, SLURM_ARRAY_TASK_ID="1")
        subprocess.run(["bash", os.path.join(self.out, "jobs.slurm")], env=env, check=True)
        rows = mavu_exp.collect_rows(self.out)
        self.assertEqual(sorted(r["outcome"] for r in rows), ["not_run"] * 3 + ["ok"])
        # Writing the list again leaves out the cell that is done.
        tool(*self.grid)
        self.assertEqual(len(self.lines()), 3)
        self.assertNotIn(first, self.lines())

    def test_gnu_parallel(self):
        if shutil.which("parallel") is None:
            self.skipTest("GNU parallel not installed (Debian package parallel)")
        tool(*self.grid)
        with open(os.path.join(self.out, "jobs.txt")) as f:
            subprocess.run(["parallel", "--will-cite", "--jobs", "2", "--joblog",
                            os.path.join(self.out, "parallel.log")], stdin=f, check=True,
                           stdout=subprocess.DEVNULL)
        tool("collect", "--out", self.out, "--no-plots")
        rows = mavu_exp.collect_rows(self.out)
        self.assertEqual([(r["instance"], r["program"], r["seed"], r["outcome"]) for r in rows],
                         [("g40 frac", p, s, "ok") for p in ("mavu1", "mavu2") for s in (1, 2)])
        # The same grid run by `run` here finds nothing left to do.
        grid = ["run"] + self.grid[1:]
        self.assertIn("4 already done, 0 to run", tool(*grid).stderr)
