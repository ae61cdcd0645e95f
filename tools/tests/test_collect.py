"""Aggregation: results.csv, summary.md and the time-to-target data on a fixture whose
figures are worked out by hand."""

import csv
import importlib.util
import os
import subprocess
import sys

from common import FIXTURES, TOOL, TempDirTest, mavu1_output, mavu_exp, tool, write_run

BEST_KNOWN = os.path.join(FIXTURES, "best_known.tsv")  # C125.9: 2529


class Aggregation(TempDirTest):
    def setUp(self):
        super().setUp()
        o = self.out = os.path.join(self.tmp, "exp")
        # p1 on C125.9: three normal runs, a failed verification, an interrupted run.
        write_run(o, "C125.9", "p1", 1, mavu1_output(1, 2529, 100, 1.0), 0)
        write_run(o, "C125.9", "p1", 2, mavu1_output(2, 2500, 300, 3.0), 0)
        write_run(o, "C125.9", "p1", 3, mavu1_output(3, 2529, 200, 2.0), 0)
        echo = "\n".join(mavu1_output(4, 0, 0, 0).split("\n")[:4]) + "\n"
        write_run(o, "C125.9", "p1", 4, echo + "check ERROR \n", 1)
        write_run(o, "C125.9", "p1", 5, mavu1_output(5, 2529, 50, 0.2), 143,
                  stderr="interrupted by signal 15\n")
        # p2 on C125.9: four normal runs, all at the best-known weight.
        for seed, (t, it) in enumerate([(0.5, 10), (1.0, 20), (1.5, 30), (5.0, 100)], 1):
            write_run(o, "C125.9", "p2", seed, mavu1_output(seed, 2529, it, t), 0)
        # p1 on an instance without a best-known weight: one of each unfinished kind.
        write_run(o, "tiny", "p1", 1, mavu1_output(1, 12.5, 7, 0.01), 0)
        write_run(o, "tiny", "p1", 2, mavu1_output(2, 12.5, 7, 0.01)[:150], None)
        write_run(o, "tiny", "p1", 3, None, None)
        write_run(o, "tiny", "p1", 4, "File /nowhere/tiny.clq not found \n", 255,
                  stderr="Can not open file /nowhere/tiny.clq\n")

    def stats(self):
        rows = mavu_exp.collect_rows(self.out)
        best = mavu_exp.read_best_known(BEST_KNOWN)
        return rows, {(s["instance"], s["program"]): s for s in mavu_exp.aggregate(rows, best)}

    def test_figures(self):
        rows, st = self.stats()
        self.assertEqual(len(rows), 13)
        s = st["C125.9", "p1"]
        self.assertEqual((s["runs"], s["ok"], s["best"], s["worst"], s["hits"]),
                         (5, 3, 2529, 2500, 2))
        self.assertAlmostEqual(s["avg"], (2529 + 2500 + 2529) / 3)
        self.assertAlmostEqual(s["avg_time"], 2.0)
        self.assertAlmostEqual(s["median_time"], 2.0)
        self.assertEqual((s["avg_iter"], s["median_iter"]), (200, 200))
        s = st["C125.9", "p2"]
        self.assertEqual((s["runs"], s["hits"], s["avg_time"], s["median_time"]),
                         (4, 4, 2.0, 1.25))
        self.assertEqual((s["avg_iter"], s["median_iter"]), (40, 25))
        s = st["tiny", "p1"]
        self.assertEqual((s["runs"], s["ok"], s["best"], s["hits"], s["best_known"]),
                         (4, 1, 12.5, None, None))

    def test_whole_number_targets_are_reached_exactly(self):
        # Relative slack for small or fractional targets; none below one unit for large
        # integer weights, whose low digits may be secondary objectives.
        for weight, target, want in [(2528.998, 2529, True), (476.0937, 476.094, True),
                                     (481304813569, 481304813570, False),
                                     (481304813570, 481304813570, True),
                                     (1.2345678e21, 1.2345679e21, True)]:
            self.assertEqual(mavu_exp.reaches(weight, target), want, (weight, target))

    def test_time_to_target_counts_every_run(self):
        rows, _ = self.stats()
        curves = mavu_exp.ttt_curves([dict(r, tag="") for r in rows], "C125.9", 2529)
        self.assertEqual(curves["p1"], {"times": [1.0, 2.0], "runs": 5})
        self.assertEqual(curves["p2"], {"times": [0.5, 1.0, 1.5, 5.0], "runs": 4})
        # Without a best-known weight the target is the best weight of the experiment.
        self.assertEqual(mavu_exp.plot_target(rows, "tiny", {}), (12.5, "best found"))
        self.assertEqual(mavu_exp.plot_target(rows, "C125.9", {"C125.9": 2529}),
                         (2529, "best-known"))
        self.assertEqual(mavu_exp.plot_target(rows, "C125.9", {"C125.9": 2600}),
                         (2529, "best found; best-known 2600 not reached"))

    def test_files_written_by_collect(self):
        tool("collect", "--out", self.out, "--best-known", BEST_KNOWN)
        with open(os.path.join(self.out, "results.csv"), newline="") as f:
            rows = list(csv.DictReader(f))
        self.assertEqual([r["outcome"] for r in rows],
                         ["ok", "ok", "ok", "check_error", "interrupted"] + ["ok"] * 5 +
                         ["incomplete", "not_run", "file_not_found"])
        r = rows[1]
        self.assertEqual((r["instance"], r["program"], r["seed"], r["time_limit"],
                          r["iter_limit"], r["depth"], r["prob"], r["weight"], r["size"],
                          r["best_iter"], r["best_time"], r["exit_status"]),
                         ("C125.9", "p1", "2", "10", "100000000", "4000", "70", "2500", "3",
                          "300", "3.0", "0"))
        self.assertEqual(rows[3]["weight"], "")          # check ERROR: no result
        self.assertEqual(rows[4]["weight"], "2529")      # interrupted: its best so far
        self.assertEqual(rows[4]["message"], "interrupted by signal 15")
        self.assertEqual(rows[11]["exit_status"], "")    # never finished
        self.assertEqual(rows[12]["exit_status"], "255")
        with open(os.path.join(self.out, "summary.md")) as f:
            md = f.read()
        self.assertIn("| C125.9 | p1 | 2529 | 2529 | 2519.333 | 2500 | 2/5 | 2.000 | 2.000 |"
                      " 200 | 200 |", md)
        self.assertIn("| C125.9 | p2 | 2529 | 2529 | 2529 | 2529 | 4/4 | 2.000 | 1.250 |"
                      " 40 | 25 |", md)
        self.assertIn("| tiny | p1 | - | 12.5 | 12.500 | 12.5 | - |", md)
        self.assertNotIn("kernel", md)  # no run reduced: no columns for it
        self.assertIn("| p1 | 1/1 | 0/1 | 2/5 |", md)
        self.assertIn("| p2 | 1/1 | 1/1 | 4/4 |", md)
        for kind, n in (("ok", 8), ("check_error", 1), ("interrupted", 1),
                        ("file_not_found", 1), ("incomplete", 1), ("not_run", 1)):
            self.assertIn(f"(`{kind}`) | {n} |", md)

    def test_plots_with_and_without_matplotlib(self):
        have = importlib.util.find_spec("matplotlib") is not None
        tool("collect", "--out", self.out, "--best-known", BEST_KNOWN)
        png = os.path.join(self.out, "plots", "ttt_C125.9.png")
        if have:
            with open(png, "rb") as f:
                self.assertEqual(f.read(8), b"\x89PNG\r\n\x1a\n")
        # Hide matplotlib: collect still succeeds and says why there is no plot.
        fake = os.path.join(self.tmp, "nompl", "matplotlib")
        os.makedirs(fake)
        with open(os.path.join(fake, "__init__.py"), "w") as f:
            f.write("raise ImportError('hidden by the test')\n")
        out2 = os.path.join(self.tmp, "exp2")
        os.rename(self.out, out2)
        env = dict(os.environ, PYTHONPATH=os.path.dirname(fake))
        proc = subprocess.run([sys.executable, TOOL, "collect", "--out", out2], env=env,
                              capture_output=True, text=True)
        self.assertEqual(proc.returncode, 0, proc.stderr)
        self.assertIn("python3-matplotlib", proc.stderr)
        with open(os.path.join(out2, "summary.md")) as f:
            self.assertIn("matplotlib is not installed", f.read())

    def test_collect_refuses_a_folder_without_runs(self):
        proc = tool("collect", "--out", self.tmp + "/none", check=False)
        self.assertEqual(proc.returncode, 2)
        self.assertIn("no runs", proc.stderr)


class ReducedRuns(TempDirTest):
    """Runs that reduced their instance: -r, kernel and proof collected, shown in the table."""

    def test_reduction_keys_collected_and_shown(self):
        o = os.path.join(self.tmp, "exp")
        for seed, (kernel, optimal) in enumerate([(0, 1), (40, 0), (10, 0)], 1):
            out = mavu1_output(seed, 2529, 0, 0.5).replace("#objv", "@para_reduce=1\n#objv")
            write_run(o, "C125.9", "p1", seed, out + f"#kernel={kernel}\n#optimal={optimal}\n", 0)
        write_run(o, "C125.9", "p1", 4, mavu1_output(4, 2529, 5, 1.0), 0)  # not reduced
        tool("collect", "--out", o, "--best-known", BEST_KNOWN)
        with open(os.path.join(o, "results.csv"), newline="") as f:
            rows = list(csv.DictReader(f))
        self.assertEqual([(r["reduce"], r["kernel"], r["optimal"]) for r in rows],
                         [("1", "0", "1"), ("1", "40", "0"), ("1", "10", "0"), ("", "", "")])
        with open(os.path.join(o, "summary.md")) as f:
            md = f.read()
        self.assertIn("| reduced | median kernel | proven optimal |", md)
        self.assertIn(" | 3/4 | 10 | 1/4 |", md)
