"""Parsing and classifying the outputs of both programs: normal, interrupted, failed
verification, missing file and truncated outputs."""

import os
import signal
import subprocess
import time
import unittest

from common import (MAVU1, MAVU2, SMALL, TempDirTest, fixture_text, mavu_exp,
                    need_programs)

parse, classify = mavu_exp.parse_output, mavu_exp.classify


def sum_weights_from_file(path, vertices):
    """Weights of the 0-based vertices from the instance's `v` records."""
    w = {}
    with open(path) as f:
        for line in f:
            if line.startswith("v "):
                _n, v, x = line.split()
                w[int(v) - 1] = float(x)
    return sum(w[v] for v in vertices)


class RecordedOutputs(unittest.TestCase):
    """Outputs recorded from the programs (their #besttime line removed)."""

    def test_mavu1_normal(self):
        p = parse(fixture_text("mavu1_C125.9.out"))
        self.assertEqual(classify(p, 0, True), "ok")
        self.assertEqual((p["weight"], p["best_iter"], p["size"], p["vertices"]),
                         (2529.0, 52, 30, 30))
        self.assertEqual((p["time_limit"], p["iter_limit"], p["seed"], p["depth"], p["prob"]),
                         (1000, 100000, 1, 4000, 70))
        self.assertEqual(p["solver"], "mwcp")
        self.assertEqual(p["progress_lines"], 1)
        self.assertIsNone(p["best_time"])

    def test_mavu2_fractional_weight_and_progress_lines(self):
        p = parse(fixture_text("mavu2_MANN_a27.out"))
        self.assertEqual(classify(p, 0, True), "ok")
        self.assertEqual((p["weight"], p["best_iter"], p["solver"]), (12281.0, 105281, "mavu2"))
        self.assertEqual(p["progress_lines"], 3)
        # mavu2's heading carries no size: it is the number of listed vertices.
        self.assertEqual(p["size"], p["vertices"])
        p = parse(fixture_text("mavu2_g40_frac.out"))
        self.assertAlmostEqual(p["weight"], 476.094)

    def test_missing_file(self):
        p = parse(fixture_text("mavu1_missing_file.out"))
        self.assertTrue(p["not_found"])
        self.assertEqual(classify(p, 255, True), "file_not_found")
        self.assertIsNone(p["weight"])

    def test_check_error(self):
        # Verification failure: the echo, then "check ERROR " and nothing else; status 1.
        text = "\n".join(fixture_text("mavu1_C125.9.out").split("\n")[:4]) + "\ncheck ERROR \n"
        p = parse(text)
        self.assertEqual(classify(p, 1, True), "check_error")
        self.assertIsNone(p["weight"])

    def test_interrupted_run_keeps_its_best(self):
        # A run stopped by SIGTERM prints the normal report and exits 143.
        p = parse(fixture_text("mavu1_C125.9.out") + "#besttime=0.125\n")
        self.assertEqual(classify(p, 143, True), "interrupted")
        self.assertEqual(classify(p, 130, True), "interrupted")
        self.assertEqual(p["best_time"], 0.125)

    def test_every_truncation_is_tolerated(self):
        """A killed run leaves any prefix of its output: parsing never fails, and the run is
        only taken as finished when the whole result block is there."""
        full = fixture_text("mavu2_MANN_a27.out") + "#besttime=1.500\n"
        end_of_block = full.index("#bestiter=")
        for cut in range(len(full) + 1):
            p = parse(full[:cut])
            complete = cut > full.index("\n", end_of_block)
            self.assertEqual(classify(p, 0, True), "ok" if complete else "malformed", cut)
            self.assertEqual(classify(p, None, True), "incomplete")
            self.assertEqual(classify(p, 137, True), "interrupted" if complete else "killed")
            # A number cut short is never read as a smaller one.
            self.assertIn(p["weight"], (None, 12281.0), cut)
            self.assertIn(p["best_iter"], (None, 105281), cut)

    def test_no_output_at_all(self):
        p = parse("")
        self.assertEqual(classify(p, None, False), "not_run")
        self.assertEqual(classify(p, 1, True), "failed")
        self.assertEqual(classify(p, 130, True), "killed")


class LiveRuns(TempDirTest):
    """The same on outputs the built programs produce now."""

    def run_program(self, argv):
        proc = subprocess.run(argv, capture_output=True, text=True)
        return proc.stdout, proc.stderr, proc.returncode

    def test_normal_runs_of_both_programs(self):
        need_programs(self)
        for prog, solver in ((MAVU1, "mwcp"), (MAVU2, "mavu2")):
            out, _err, rc = self.run_program([prog, "-f", SMALL, "-t", "100", "-s", "3",
                                              "-i", "5000", "-l", "30", "-p", "60"])
            p = parse(out)
            self.assertEqual(classify(p, rc, True), "ok", prog)
            self.assertEqual(p["solver"], solver)
            self.assertEqual((p["time_limit"], p["iter_limit"], p["seed"], p["depth"],
                              p["prob"]), (100, 5000, 3, 30, 60))
            self.assertIsNotNone(p["best_time"])
            self.assertLessEqual(p["best_iter"], 5000)
            # The parsed weight is the weight of the parsed set.
            vertices = [int(v) for v in out.split("\n")[out.split("\n").index(
                next(l for l in out.split("\n") if l.startswith("Final"))) + 1].split()]
            self.assertEqual(len(vertices), p["vertices"])
            self.assertAlmostEqual(sum_weights_from_file(SMALL, vertices), p["weight"],
                                   places=4)

    def test_missing_file_live(self):
        need_programs(self)
        missing = os.path.join(self.tmp, "nope.clq")
        for prog in (MAVU1, MAVU2):
            out, err, rc = self.run_program([prog, "-f", missing, "-t", "5"])
            self.assertEqual(rc, 255)
            self.assertIn("Can not open file", err)
            self.assertEqual(classify(parse(out), rc, True), "file_not_found")

    def test_bad_instance_file_is_a_failure(self):
        need_programs(self)
        bad = os.path.join(self.tmp, "bad.clq")
        with open(bad, "w") as f:
            f.write("this is not a graph\n")
        for prog in (MAVU1, MAVU2):
            out, _err, rc = self.run_program([prog, "-f", bad, "-t", "5"])
            self.assertNotEqual(rc, 0)
            self.assertIn(classify(parse(out), rc, True), ("failed", "file_not_found"))

    def test_signal_during_a_run(self):
        """A signalled program either reports its best so far (status 128+signal) or, when
        it does not handle the signal, dies with nothing reported; both must be recognised."""
        need_programs(self)
        for prog in (MAVU1, MAVU2):
            outp = os.path.join(self.tmp, "out.txt")
            with open(outp, "w") as f:
                proc = subprocess.Popen([prog, "-f", SMALL, "-t", "60", "-s", "1"], stdout=f,
                                        stderr=subprocess.PIPE)
            time.sleep(0.5)
            proc.send_signal(signal.SIGTERM)
            _, err = proc.communicate(timeout=60)
            status = mavu_exp.shell_status(proc.returncode)
            self.assertEqual(status, 143)
            with open(outp) as f:
                p = parse(f.read())
            outcome = classify(p, status, True)
            if mavu_exp.complete_block(p):
                self.assertEqual(outcome, "interrupted")
                self.assertGreater(p["weight"], 0)
                self.assertTrue(err.strip(), "an interrupted run says so on stderr")
            else:
                self.assertEqual(outcome, "killed")


if __name__ == "__main__":
    unittest.main()
