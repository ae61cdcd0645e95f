#!/usr/bin/python3
"""Experiment runner for mavu1 and mavu2: run a grid, export it as a job list, collect results.

Verbs:
  run      run every (instance, program, seed, option set) of a grid here, N at a time;
           a run that already finished is skipped, so an interrupted experiment resumes.
  jobs     write the same grid as a job list for GNU parallel and as a SLURM array script.
  collect  parse every run of an output folder into results.csv and summary.md, plus one
           time-to-target plot per instance when matplotlib is installed.

Standard library only; plotting uses matplotlib when it can be imported.

Layout of an output folder (the same for `run` and `jobs`, so `collect` reads both):
  OUT/runs/<instance>/<program>/<option tag>/s<seed>.json    what was asked (written first)
  OUT/runs/<instance>/<program>/<option tag>/s<seed>.out     the program's standard output
  OUT/runs/<instance>/<program>/<option tag>/s<seed>.err     its standard error
  OUT/runs/<instance>/<program>/<option tag>/s<seed>.status  its exit status (written last)
A run counts as done once its .status exists, unless that status says it was stopped by a
signal (128 + signal number): such a run is started again on resume.
"""

import argparse
import csv
import fnmatch
import json
import os
import shlex
import signal
import statistics
import subprocess
import sys
import time

# ----------------------------------------------------------------------------------------------
# The grid

# Program options a grid can vary, in the order they appear in tags, CSV columns and commands.
# (key, program flag, tag prefix, CSV column)
OPTIONS = [
    ("time", "-t", "t", "time_limit"),
    ("iter", "-i", "i", "iter_limit"),
    ("depth", "-l", "l", "depth"),
    ("prob", "-p", "p", "prob"),
    ("target", "-o", "o", "target"),
]

# Graph files the programs read, by suffix; each may also be gzip-compressed (.gz).
INSTANCE_SUFFIXES = [".clq", ".wclq", ".grf", ".mwvc", ".mtx", ".graph"]
DEFAULT_PATTERNS = [f"*{s}{z}" for s in INSTANCE_SUFFIXES for z in ("", ".gz")]

# Exit statuses of the programs (and of a shell reporting a child killed by a signal).
STATUS_OK = 0
SIGNAL_BASE = 128


class UsageError(Exception):
    """A mistake in the command line or its inputs, reported as one message."""


def instance_name(path):
    base = os.path.basename(path)
    if base.endswith(".gz"):
        base = base[: -len(".gz")]
    for ext in INSTANCE_SUFFIXES + [".col", ".txt"]:
        if base.endswith(ext):
            return base[: -len(ext)]
    return base


def is_complement(name, path, patterns):
    """Whether an instance is an independent-set instance, run with -c 1: its name or its
    absolute path matches one of the --complement patterns."""
    return any(fnmatch.fnmatch(name, pat) or fnmatch.fnmatch(path, pat) for pat in patterns)


def find_instances(paths, patterns):
    """Expands files and folders into a sorted list of (name, absolute path).

    Names must be unique: they name the output folders and the rows of the tables."""
    found = {}
    for p in paths:
        if os.path.isdir(p):
            entries = sorted(os.listdir(p))
            chosen = [e for e in entries
                      if any(fnmatch.fnmatch(e, pat) for pat in patterns)
                      and os.path.isfile(os.path.join(p, e))]
            if not chosen:
                raise UsageError(f"no instance matching {' '.join(patterns)} in folder {p}")
            files = [os.path.join(p, e) for e in chosen]
        elif os.path.isfile(p):
            files = [p]
        else:
            raise UsageError(f"instance {p} is neither a file nor a folder")
        for f in files:
            name = instance_name(f)
            full = os.path.abspath(f)
            if name in found and found[name] != full:
                raise UsageError(f"two instances are named {name}: {found[name]} and {full}")
            found[name] = full
    return sorted(found.items())


def parse_programs(args):
    """Each program is PATH or NAME=PATH; the name defaults to the file's base name."""
    progs = {}
    for arg in args:
        if "=" in arg and "/" not in arg.split("=", 1)[0]:
            name, path = arg.split("=", 1)
        else:
            name, path = os.path.basename(arg), arg
        if not (os.path.isfile(path) and os.access(path, os.X_OK)):
            raise UsageError(f"program {path} is not an executable file")
        if name in progs:
            raise UsageError(f"two programs are named {name}; name them with NAME=PATH")
        progs[name] = os.path.abspath(path)
    return sorted(progs.items())


def parse_int_list(text, what):
    """'1,2,5-8' -> [1, 2, 5, 6, 7, 8]."""
    out = []
    for part in text.split(","):
        part = part.strip()
        if not part:
            continue
        try:
            if "-" in part[1:]:
                lo, hi = part[0] + part[1:].split("-", 1)[0], part[1:].split("-", 1)[1]
                lo, hi = int(lo), int(hi)
                if hi < lo:
                    raise ValueError
                out.extend(range(lo, hi + 1))
            else:
                out.append(int(part))
        except ValueError:
            raise UsageError(f"bad {what} list: {text}") from None
    if not out:
        raise UsageError(f"empty {what} list")
    return out


def read_best_known(path):
    """Reads a best-known table (tab separated, header with `instance` and
    `best_known_weight`) into {instance: weight}."""
    table = {}
    with open(path, newline="") as f:
        rows = csv.DictReader((line for line in f if line.strip() and not line.startswith("#")),
                              delimiter="\t")
        if rows.fieldnames is None or "instance" not in rows.fieldnames \
                or "best_known_weight" not in rows.fieldnames:
            raise UsageError(f"{path}: needs the columns instance and best_known_weight")
        for row in rows:
            try:
                table[row["instance"].strip()] = float(row["best_known_weight"])
            except (TypeError, ValueError):
                continue
    return table


def option_sets(args):
    """Cartesian product of the option lists; each set is a dict over OPTIONS keys
    (missing key: the program's own default)."""
    sets = [{}]
    for key, _flag, _tag, _col in OPTIONS:
        raw = getattr(args, key)
        if raw is None:
            continue
        values = [v.strip() for v in raw.split(",") if v.strip()]
        if not values:
            raise UsageError(f"empty --{key} list")
        for v in values:
            if key == "target" and v == "best":
                continue
            try:
                float(v) if key == "target" else int(v)
            except ValueError:
                raise UsageError(f"bad --{key} value: {v}") from None
        sets = [dict(s, **{key: v}) for s in sets for v in values]
    if not all("time" in s for s in sets):
        raise UsageError("a time limit is needed (--time): the programs require one")
    return sets


def option_tag(opts):
    return "_".join(f"{tag}{opts[key]}" for key, _f, tag, _c in OPTIONS if key in opts)


class Run:
    """One cell of the grid: what to run and where its files go."""

    def __init__(self, out, inst, inst_path, prog, prog_path, seed, opts, option_set=None,
                 complement=False):
        self.instance, self.instance_path = inst, inst_path
        # An independent-set instance: the file's edges are the conflicts (-c 1).
        self.complement = complement
        self.program, self.program_path = prog, prog_path
        # opts: the values passed to the program; option_set: the set as the user wrote it
        # ("target": "best" before it became each instance's weight). Folders and table rows
        # follow the option set, so one set is one column of results across instances.
        self.seed, self.opts = seed, opts
        self.option_set = option_set if option_set is not None else opts
        self.base = os.path.join(out, "runs", inst, prog, option_tag(self.option_set),
                                 f"s{seed}")

    def argv(self):
        cmd = [self.program_path, "-f", self.instance_path]
        if self.complement:
            cmd += ["-c", "1"]
        for key, flag, _tag, _col in OPTIONS:
            if key in self.opts:
                cmd += [flag, str(self.opts[key])]
        cmd += ["-s", str(self.seed)]
        return cmd

    def meta(self):
        return {"instance": self.instance, "instance_path": self.instance_path,
                "program": self.program, "program_path": self.program_path,
                "seed": self.seed, "options": self.opts, "option_set": self.option_set,
                "complement": self.complement, "command": self.argv()}

    def write_meta(self):
        os.makedirs(os.path.dirname(self.base), exist_ok=True)
        write_atomic(self.base + ".json", json.dumps(self.meta(), indent=1) + "\n")

    def status(self):
        """The recorded exit status, or None when the run never finished."""
        return read_status(self.base + ".status")

    def done(self):
        """Finished, and as an independent-set instance exactly when it is one now: a run
        made before --complement was given (or after it was dropped) is made again."""
        st = self.status()
        if st is None or st >= SIGNAL_BASE:
            return False
        try:
            with open(self.base + ".json") as f:
                return json.load(f).get("complement", False) == self.complement
        except (OSError, ValueError):
            return False


def write_atomic(path, text):
    tmp = path + ".tmp"
    with open(tmp, "w") as f:
        f.write(text)
    os.replace(tmp, path)


def read_status(path):
    try:
        with open(path) as f:
            return int(f.read().split()[0])
    except (OSError, ValueError, IndexError):
        return None


def build_grid(args):
    instances = find_instances(args.instances, args.match or DEFAULT_PATTERNS)
    programs = parse_programs(args.program)
    if args.seed_list is not None:
        seeds = parse_int_list(args.seed_list, "seed")
    else:
        if args.seeds < 1:
            raise UsageError("--seeds must be at least 1")
        seeds = list(range(1, args.seeds + 1))
    sets = option_sets(args)
    best = read_best_known(args.best_known) if args.best_known else None
    out = os.path.abspath(args.out)
    runs = []
    for inst, ipath in instances:
        complement = is_complement(inst, ipath, args.complement or [])
        for option_set in sets:
            opts = option_set
            if opts.get("target") == "best":
                if best is None:
                    raise UsageError("--target best needs --best-known FILE")
                if inst not in best:
                    raise UsageError(f"--target best: {inst} is not in {args.best_known}")
                opts = dict(opts, target=format_weight(best[inst]))
            for prog, ppath in programs:
                for seed in seeds:
                    runs.append(Run(out, inst, ipath, prog, ppath, seed, opts, option_set,
                                    complement))
    return out, runs


# ----------------------------------------------------------------------------------------------
# run

def fmt_duration(sec):
    if sec is None:
        return "?"
    sec = int(round(sec))
    return f"{sec // 3600}:{sec % 3600 // 60:02d}:{sec % 60:02d}"


class Progress:
    """Progress bar on standard error: redrawn in place on a terminal, one line per finished
    run (at most every few seconds) otherwise."""

    def __init__(self, total, already, stream=sys.stderr):
        self.total, self.done, self.failed = total, already, 0
        self.already = already
        self.start = time.monotonic()
        self.stream = stream
        self.tty = stream.isatty()
        self.last_line = 0.0
        self.last_text = None

    def finished(self, ok):
        self.done += 1
        if not ok:
            self.failed += 1
        self.draw()

    def line(self):
        elapsed = time.monotonic() - self.start
        ran = self.done - self.already
        left = None
        if ran > 0:
            left = elapsed / ran * (self.total - self.done)
        width = 30
        filled = int(width * self.done / self.total) if self.total else width
        return (f"[{'#' * filled}{'.' * (width - filled)}] {self.done}/{self.total} runs"
                f"  elapsed {fmt_duration(elapsed)}  left {fmt_duration(left)}"
                f"  failures {self.failed}")

    def draw(self, final=False):
        if self.tty:
            self.stream.write("\r" + self.line() + ("\n" if final else ""))
            self.stream.flush()
        else:
            now = time.monotonic()
            text = self.line()
            due = final or now - self.last_line >= 5.0 or self.done == self.total
            # The elapsed time is part of the line, so compare without it.
            key = (self.done, self.failed)
            if due and key != self.last_text:
                self.stream.write(text + "\n")
                self.stream.flush()
                self.last_line = now
                self.last_text = key


def start_run(run):
    run.write_meta()
    try:
        os.unlink(run.base + ".status")
    except FileNotFoundError:
        pass
    out = open(run.base + ".out", "w")
    err = open(run.base + ".err", "w")
    # Own session: a Ctrl-C on the terminal reaches only this tool, which then sends every
    # program exactly one signal, so each run reports once and its status stays meaningful.
    proc = subprocess.Popen(run.argv(), stdout=out, stderr=err, stdin=subprocess.DEVNULL,
                            cwd=os.path.dirname(run.base), start_new_session=True)
    out.close()
    err.close()
    return proc


def shell_status(returncode):
    """The status as a shell would report it, so `run` and job lists record the same values."""
    return SIGNAL_BASE - returncode if returncode < 0 else returncode


def prepare_grid(args):
    """The grid, and its cells not yet done, each described on disk before any runs, so that
    `collect` can count the ones an interrupted experiment never reached."""
    out, runs = build_grid(args)
    os.makedirs(out, exist_ok=True)
    todo = [r for r in runs if not r.done()]
    for r in todo:
        r.write_meta()
    return out, runs, todo


def cmd_run(args):
    out, runs, todo = prepare_grid(args)
    jobs = args.jobs or os.cpu_count() or 1
    print(f"{len(runs)} runs in the grid, {len(runs) - len(todo)} already done, "
          f"{len(todo)} to run with {jobs} parallel jobs; output in {out}", file=sys.stderr)
    progress = Progress(len(runs), len(runs) - len(todo))
    running = {}
    stop_signal = []

    def on_signal(signum, _frame):
        stop_signal.append(signum)

    old_int = signal.signal(signal.SIGINT, on_signal)
    old_term = signal.signal(signal.SIGTERM, on_signal)
    queue = list(todo)
    queue.reverse()
    forwarded = False
    progress.draw()
    try:
        while (queue and not stop_signal) or running:
            while queue and not stop_signal and len(running) < jobs:
                run = queue.pop()
                running[start_run(run)] = run
            if stop_signal and not forwarded:
                for proc in running:
                    try:
                        proc.send_signal(stop_signal[0])
                    except ProcessLookupError:
                        pass
                forwarded = True
            finished = [p for p in running if p.poll() is not None]
            for proc in finished:
                run = running.pop(proc)
                status = shell_status(proc.returncode)
                write_atomic(run.base + ".status", f"{status}\n")
                progress.finished(status == STATUS_OK)
            if not finished:
                time.sleep(0.05)
    finally:
        signal.signal(signal.SIGINT, old_int)
        signal.signal(signal.SIGTERM, old_term)
    progress.draw(final=True)
    if stop_signal:
        print(f"stopped by signal {stop_signal[0]}: {len(queue)} runs not started; "
              "runs cut short will be run again. Repeat the same command to resume.",
              file=sys.stderr)
        return SIGNAL_BASE + stop_signal[0]
    print(f"done: {progress.failed} runs failed this time (see `collect`)", file=sys.stderr)
    return 0


# ----------------------------------------------------------------------------------------------
# jobs

def job_line(run):
    """One shell command that runs a cell and records its files like `run` does. A status left
    by an earlier attempt goes first and the new one is written last and atomically, so a cell
    killed half-way counts as not done."""
    d = os.path.dirname(run.base)
    b = os.path.basename(run.base)
    q = shlex.quote
    return (f"cd {q(d)} && rm -f {q(b + '.status')} && "
            f"{shlex.join(run.argv())} > {q(b + '.out')} 2> {q(b + '.err')}; "
            f"echo $? > {q(b + '.status.tmp')} && mv {q(b + '.status.tmp')} {q(b + '.status')}")


def slurm_time(runs, margin):
    """Wall-clock limit for one array task: the largest CPU-time limit of the grid plus margin."""
    worst = max(int(r.opts["time"]) for r in runs) if runs else 0
    sec = max(60, worst + margin)
    return f"{sec // 3600:02d}:{sec % 3600 // 60:02d}:{sec % 60:02d}"


def cmd_jobs(args):
    out, runs, todo = prepare_grid(args)
    jobs_txt = os.path.join(out, "jobs.txt")
    write_atomic(jobs_txt, "".join(job_line(r) + "\n" for r in todo))
    slurm = os.path.join(out, "jobs.slurm")
    n = len(todo)
    limit = f"%{args.slurm_max}" if args.slurm_max else ""
    script = f"""#!/bin/bash
# One array task per line of jobs.txt; each task runs one program on one instance with one seed.
# Submit with: sbatch {shlex.quote(slurm)}
#SBATCH --job-name=mavu-exp
#SBATCH --array=1-{max(n, 1)}{limit}
#SBATCH --ntasks=1
#SBATCH --cpus-per-task=1
#SBATCH --time={slurm_time(todo, args.slurm_margin)}
#SBATCH --output=/dev/null
set -u
line=$(sed -n "${{SLURM_ARRAY_TASK_ID}}p" {shlex.quote(jobs_txt)})
[ -n "$line" ] || exit 0
exec bash -c "$line"
"""
    write_atomic(slurm, script)
    os.chmod(slurm, 0o755)
    print(f"{len(runs)} runs in the grid, {len(runs) - n} already done; {n} written to\n"
          f"  {jobs_txt}   (GNU parallel: parallel --jobs N --joblog {out}/parallel.log"
          f" < {jobs_txt}\n"
          f"                add --sshloginfile HOSTS for several hosts sharing this folder)\n"
          f"  {slurm}  (SLURM: sbatch {slurm})\n"
          f"then: {os.path.basename(sys.argv[0])} collect --out {out}", file=sys.stderr)
    return 0


# ----------------------------------------------------------------------------------------------
# collect: parsing one output

# Outcomes of a run, in the order the summary lists them.
OUTCOMES = [
    ("ok", "finished normally"),
    ("interrupted", "interrupted by a signal, reported its best so far"),
    ("check_error", "failed verification (check ERROR)"),
    ("file_not_found", "instance file could not be opened"),
    ("failed", "other error exit (usage, bad instance file)"),
    ("killed", "killed or truncated (status 128+ without a result block)"),
    ("malformed", "exit status 0 but no complete result block"),
    ("incomplete", "started, no exit status recorded (still running or killed)"),
    ("not_run", "not started yet"),
]


def parse_output(text):
    """Extracts what a program printed on standard output. Tolerates any truncation:
    fields that are not there stay None."""
    p = {"time_limit": None, "iter_limit": None, "seed": None, "depth": None, "prob": None,
         "heading": False, "size": None, "vertices": None, "solver": None, "file": None,
         "weight": None, "best_iter": None, "best_time": None, "check_error": False,
         "not_found": False, "progress_lines": 0, "reduce": None, "kernel": None, "optimal": None}
    # A line without its newline was cut by a killed run: a number on it may be a prefix of
    # the real one, so it is not read at all.
    lines = text.split("\n")[:-1]
    after_heading = None
    for i, line in enumerate(lines):
        s = line.rstrip("\r")
        try:
            if s.startswith("stop condition: less than "):
                words = s.split()
                p["time_limit"], p["iter_limit"] = int(words[4]), int(words[7])
            elif s.startswith("seed: "):
                p["seed"] = int(s[6:])
            elif s.startswith("tabu depth: "):
                p["depth"] = int(s[12:])
            elif s.startswith("direct start probability: "):
                p["prob"] = int(s[26:].split("/")[0])
            elif s.startswith("ITER "):
                p["progress_lines"] += 1
            elif s.startswith("check ERROR"):
                p["check_error"] = True
            elif s.startswith("File ") and s.rstrip().endswith("not found"):
                p["not_found"] = True
            elif s.startswith("Final result(size "):
                p["heading"] = True
                p["size"] = int(s[len("Final result(size "):].split(")")[0])
                after_heading = i + 1
            elif s.startswith("Final solution:"):
                p["heading"] = True
                after_heading = i + 1
            elif s.startswith("@solver="):
                p["solver"] = s[8:]
            elif s.startswith("@para_file="):
                p["file"] = s[11:]
            elif s.startswith("#objv="):
                p["weight"] = float(s[6:])
            elif s.startswith("#bestiter="):
                p["best_iter"] = int(s[10:])
            elif s.startswith("#besttime="):
                p["best_time"] = float(s[10:])
            elif s.startswith("@para_reduce="):
                p["reduce"] = int(s[13:])
            elif s.startswith("#kernel="):
                p["kernel"] = int(s[8:])
            elif s.startswith("#optimal="):
                p["optimal"] = int(s[9:])
        except (ValueError, IndexError):
            continue  # not what a program prints: ignore the line
    if after_heading is not None and after_heading < len(lines):
        p["vertices"] = len(lines[after_heading].split())
        if p["size"] is None:
            p["size"] = p["vertices"]
    return p


def complete_block(p):
    return p["heading"] and p["weight"] is not None and p["best_iter"] is not None


def classify(p, status, has_out):
    """Outcome of a run from its parsed output and exit status (None: no status recorded)."""
    if status is None:
        return "incomplete" if has_out else "not_run"
    if p["not_found"] or status == 255:
        return "file_not_found"
    if p["check_error"]:
        return "check_error"
    if status >= SIGNAL_BASE:
        return "interrupted" if complete_block(p) else "killed"
    if status == STATUS_OK:
        return "ok" if complete_block(p) else "malformed"
    return "failed"


def read_text(path):
    try:
        with open(path, errors="replace") as f:
            return f.read()
    except OSError:
        return None


def load_run(meta_path, out_dir):
    """One row of results.csv from a run's files (paths shown relative to out_dir)."""
    base = meta_path[: -len(".json")]
    with open(meta_path) as f:
        meta = json.load(f)
    out = read_text(base + ".out")
    err = read_text(base + ".err") or ""
    status = read_status(base + ".status")
    p = parse_output(out or "")
    outcome = classify(p, status, out is not None)
    opts = meta.get("options", {})
    row = {"instance": meta["instance"], "program": meta["program"], "seed": meta["seed"]}
    for key, _flag, _tag, col in OPTIONS:
        row[col] = opts.get(key, "")
    # The echo says what the program really used (its defaults included).
    row["time_limit"] = p["time_limit"] if p["time_limit"] is not None else row["time_limit"]
    row["iter_limit"] = p["iter_limit"] if p["iter_limit"] is not None else row["iter_limit"]
    row["depth"] = p["depth"] if p["depth"] is not None else row["depth"]
    row["prob"] = p["prob"] if p["prob"] is not None else row["prob"]
    has_result = outcome in ("ok", "interrupted")
    row.update({
        "weight": p["weight"] if has_result else None,
        "size": p["size"] if has_result else None,
        "best_iter": p["best_iter"] if has_result else None,
        "best_time": p["best_time"] if has_result else None,
        # A reduced run: -r as printed, the kernel's vertex count, 1 when proven optimal.
        "reduce": p["reduce"] if has_result else None,
        "kernel": p["kernel"] if has_result else None,
        "optimal": p["optimal"] if has_result else None,
        "exit_status": "" if status is None else status,
        "outcome": outcome,
        "message": err.strip().splitlines()[-1] if err.strip() else "",
        "tag": option_tag(meta.get("option_set", opts)),
        "output": os.path.relpath(base + ".out", out_dir),
    })
    return row


CSV_COLUMNS = ["instance", "program", "seed", "time_limit", "iter_limit", "depth", "prob",
               "target", "weight", "size", "best_iter", "best_time", "reduce", "kernel", "optimal",
               "exit_status", "outcome",
               "message", "output"]


def collect_rows(out):
    rows = []
    runs_dir = os.path.join(out, "runs")
    for dirpath, _dirs, files in os.walk(runs_dir):
        for f in files:
            if f.endswith(".json"):
                rows.append(load_run(os.path.join(dirpath, f), out))
    rows.sort(key=lambda r: (r["instance"], r["program"], r["tag"], r["seed"]))
    return rows


# ----------------------------------------------------------------------------------------------
# collect: aggregation

def format_weight(w):
    if w is None:
        return "-"
    if float(w).is_integer():
        return str(int(w))
    return f"{w:.3f}".rstrip("0")


def reaches(weight, target):
    """Weight at least the target, up to the precision of a table: relative 1e-6, but below
    one unit for a whole-number target that doubles hold exactly (below 2^53), so large
    integer weights (whose low digits may encode secondary objectives) must be reached
    exactly."""
    if weight is None or target is None:
        return False
    slack = 1e-6 * max(1.0, abs(target))
    if float(target).is_integer() and abs(target) < 2.0 ** 53:
        slack = min(slack, 0.5)
    return weight >= target - slack


def aggregate(rows, best_known):
    """Groups runs by (instance, program, option tag) and computes the table figures.
    Weight and time figures use the runs that finished normally; the success count is out of
    every run of the group, failed ones included."""
    groups = {}
    for r in rows:
        groups.setdefault((r["instance"], r["program"], r["tag"]), []).append(r)
    stats = []
    for (inst, prog, tag), rs in sorted(groups.items()):
        ok = [r for r in rs if r["outcome"] == "ok"]
        weights = [r["weight"] for r in ok]
        times = [r["best_time"] for r in ok if r["best_time"] is not None]
        iters = [r["best_iter"] for r in ok]
        kernels = [r["kernel"] for r in ok if r["kernel"] is not None]
        bk = best_known.get(inst)
        stats.append({
            "instance": inst, "program": prog, "tag": tag, "runs": len(rs), "ok": len(ok),
            "best": max(weights) if weights else None,
            "avg": statistics.fmean(weights) if weights else None,
            "worst": min(weights) if weights else None,
            "best_known": bk,
            "hits": sum(1 for w in weights if reaches(w, bk)) if bk is not None else None,
            "avg_time": statistics.fmean(times) if times else None,
            "median_time": statistics.median(times) if times else None,
            "avg_iter": statistics.fmean(iters) if iters else None,
            "median_iter": statistics.median(iters) if iters else None,
            # Runs that reduced: the median kernel and how many proved their set optimal.
            "reduced": sum(1 for r in ok if r["reduce"] is not None),
            "median_kernel": statistics.median(kernels) if kernels else None,
            "proven": sum(1 for r in ok if r["optimal"] == 1),
        })
    return stats


def fmt_num(x, digits):
    return "-" if x is None else f"{x:.{digits}f}"


def fmt_weight_cell(x, digits=3):
    if x is None:
        return "-"
    return format_weight(x) if float(x).is_integer() else f"{x:.{digits}f}"


def summary_markdown(rows, stats, best_known_path, plots, plot_note):
    tags = sorted({s["tag"] for s in stats})
    lines = ["# Experiment summary", ""]
    lines.append(f"{len(rows)} runs. Best-known weights: "
                 f"{best_known_path if best_known_path else 'none given'}.")
    lines.append("Weights, times and iterations are over the runs that finished normally; "
                 "*hits* counts the runs that reached the best-known weight out of all runs. "
                 "Times are the CPU seconds at which a run found its final best (#besttime).")
    lines.append("")
    lines.append("## Runs by outcome")
    lines.append("")
    lines.append("| outcome | runs |")
    lines.append("|---|---:|")
    counts = {k: 0 for k, _ in OUTCOMES}
    for r in rows:
        counts[r["outcome"]] += 1
    for k, desc in OUTCOMES:
        if counts[k] or k == "ok":
            lines.append(f"| {desc} (`{k}`) | {counts[k]} |")
    lines.append("")
    bad = [r for r in rows if r["outcome"] != "ok"]
    if bad:
        lines.append("Runs that did not finish normally (first 20):")
        lines.append("")
        for r in bad[:20]:
            msg = f" — {r['message']}" if r["message"] else ""
            lines.append(f"- `{r['output']}`: {r['outcome']}, exit status "
                         f"{r['exit_status'] if r['exit_status'] != '' else 'none'}{msg}")
        lines.append("")
    lines.append("## Results")
    lines.append("")
    # Columns of reduced runs only when some run reduced its instance.
    reduced = any(s["reduced"] for s in stats)
    head = "| instance | program |" + (" options |" if len(tags) > 1 else "") + \
        " best-known | best | average | worst | hits | avg time (s) | median time (s) |" \
        " avg iter | median iter |" + (" reduced | median kernel | proven optimal |" if reduced else "")
    lines.append(head)
    lines.append("|" + "---|" * (head.count("|") - 1))
    for s in stats:
        hits = "-" if s["hits"] is None else f"{s['hits']}/{s['runs']}"
        cells = [s["instance"], s["program"]] + ([s["tag"]] if len(tags) > 1 else []) + [
            format_weight(s["best_known"]), format_weight(s["best"]),
            fmt_weight_cell(s["avg"]), format_weight(s["worst"]), hits,
            fmt_num(s["avg_time"], 3), fmt_num(s["median_time"], 3),
            fmt_num(s["avg_iter"], 0), fmt_num(s["median_iter"], 0)]
        if reduced:
            cells += [f"{s['reduced']}/{s['runs']}", fmt_num(s["median_kernel"], 0), f"{s['proven']}/{s['runs']}"]
        lines.append("| " + " | ".join(str(c) for c in cells) + " |")
    lines.append("")
    # Totals per program: how many instances it solved at least once, and its overall rate.
    progs = sorted({(s["program"], s["tag"]) for s in stats})
    if any(s["hits"] is not None for s in stats):
        lines.append("## Totals against the best-known weights")
        lines.append("")
        lines.append("| program |" + (" options |" if len(tags) > 1 else "") +
                     " instances reached at least once | instances reached by every run |"
                     " runs that reached it |")
        lines.append("|---|" + ("---|" if len(tags) > 1 else "") + "---:|---:|---:|")
        for prog, tag in progs:
            mine = [s for s in stats if s["program"] == prog and s["tag"] == tag
                    and s["hits"] is not None]
            once = sum(1 for s in mine if s["hits"] > 0)
            every = sum(1 for s in mine if s["hits"] == s["runs"])
            hits = sum(s["hits"] for s in mine)
            runs = sum(s["runs"] for s in mine)
            lines.append(f"| {prog} |" + (f" {tag} |" if len(tags) > 1 else "") +
                         f" {once}/{len(mine)} | {every}/{len(mine)} | {hits}/{runs} |")
        lines.append("")
    lines.append("## Time-to-target plots")
    lines.append("")
    if plot_note:
        lines.append(plot_note)
    for inst, png in plots:
        lines.append(f"- {inst}: [{png}]({png})")
    lines.append("")
    return "\n".join(lines)


def ttt_curves(rows, inst, target):
    """Per (program, tag): sorted times at which the runs reached `target`, and the run count.
    The share at time t is (runs that reached the target by t) / (all runs of the curve)."""
    curves = {}
    for r in rows:
        if r["instance"] != inst:
            continue
        key = r["program"] + (f" ({r['tag']})" if r["tag"] else "")
        c = curves.setdefault(key, {"times": [], "runs": 0})
        c["runs"] += 1
        if r["outcome"] == "ok" and reaches(r["weight"], target) and r["best_time"] is not None:
            c["times"].append(r["best_time"])
    for c in curves.values():
        c["times"].sort()
    return curves


def plot_target(rows, inst, best_known):
    """The target of an instance's plot: its best-known weight when some run reached it; else
    the best weight any run of the experiment found (a curve stuck at zero shows nothing)."""
    ws = [r["weight"] for r in rows if r["instance"] == inst and r["outcome"] == "ok"]
    bk = best_known.get(inst)
    if bk is not None and any(reaches(w, bk) for w in ws):
        return bk, "best-known"
    if not ws:
        return None, None
    if bk is None:
        return max(ws), "best found"
    return max(ws), f"best found; best-known {format_weight(bk)} not reached"


def make_plots(rows, best_known, plot_dir):
    try:
        import matplotlib
        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
    except ImportError:
        return [], ("matplotlib is not installed for this python3, so no plot was drawn "
                    "(Debian: apt-get install python3-matplotlib, then run collect again).")
    os.makedirs(plot_dir, exist_ok=True)
    made = []
    tags = sorted({r["tag"] for r in rows})
    for inst in sorted({r["instance"] for r in rows}):
        target, kind = plot_target(rows, inst, best_known)
        if target is None:
            continue
        curves = ttt_curves(rows if len(tags) > 1 else
                            [dict(r, tag="") for r in rows], inst, target)
        times = [t for c in curves.values() for t in c["times"]]
        # The axis runs to the time limit: a run that missed the target used all of it.
        limits = [int(r["time_limit"]) for r in rows if r["instance"] == inst
                  and str(r["time_limit"]).isdigit()]
        xmax = max(limits + [max(times + [0.001]) * 1.05])
        # Times are reported to the millisecond, so 0.001 s stands for "at once".
        xmin = max(min(times + [xmax]), 0.001)
        log = xmax / xmin > 100
        left = xmin / 2 if log else 0.0
        fig, ax = plt.subplots(figsize=(6, 4))
        for name, c in sorted(curves.items()):
            ts = [max(t, left) for t in c["times"]]
            xs = [left] + ts + [xmax]
            ys = [0.0] + [(k + 1) / c["runs"] for k in range(len(ts))] + \
                [len(ts) / c["runs"]]
            ax.step(xs, ys, where="post", label=f"{name}: {len(ts)}/{c['runs']}")
        if log:
            ax.set_xscale("log")
        ax.set_xlim(left, xmax)
        ax.set_ylim(-0.02, 1.02)
        ax.set_xlabel("CPU time to reach the target (s)" + (", log scale" if log else ""))
        ax.set_ylabel("share of runs")
        ax.set_title(f"{inst}: target {format_weight(target)}\n({kind})", fontsize=11)
        ax.grid(True, alpha=0.3)
        ax.legend(loc="best")
        fig.tight_layout()
        path = os.path.join(plot_dir, f"ttt_{inst}.png")
        fig.savefig(path, dpi=90)
        plt.close(fig)
        made.append((inst, path))
    return made, None


def cmd_collect(args):
    out = os.path.abspath(args.out)
    if not os.path.isdir(os.path.join(out, "runs")):
        raise UsageError(f"{out} holds no runs (no runs/ folder)")
    rows = collect_rows(out)
    best_known = read_best_known(args.best_known) if args.best_known else {}
    csv_path = os.path.join(out, "results.csv")
    with open(csv_path + ".tmp", "w", newline="") as f:
        w = csv.DictWriter(f, fieldnames=CSV_COLUMNS, extrasaction="ignore")
        w.writeheader()
        for r in rows:
            cells = {k: ("" if r.get(k) is None else r.get(k)) for k in CSV_COLUMNS}
            if r["weight"] is not None:
                cells["weight"] = format_weight(r["weight"])
            w.writerow(cells)
    os.replace(csv_path + ".tmp", csv_path)
    stats = aggregate(rows, best_known)
    plots, note = ([], "Plots were not asked for (--no-plots).") if args.no_plots else \
        make_plots(rows, best_known, os.path.join(out, "plots"))
    if note:
        print("note: " + note, file=sys.stderr)
    rel = [(inst, os.path.relpath(p, out)) for inst, p in plots]
    md = summary_markdown(rows, stats, args.best_known, rel, note)
    write_atomic(os.path.join(out, "summary.md"), md)
    counts = {}
    for r in rows:
        counts[r["outcome"]] = counts.get(r["outcome"], 0) + 1
    print(f"{len(rows)} runs: " + ", ".join(f"{counts[k]} {k}" for k, _ in OUTCOMES
                                             if k in counts), file=sys.stderr)
    print(f"wrote {csv_path}, {os.path.join(out, 'summary.md')} and {len(plots)} plots",
          file=sys.stderr)
    return 0


# ----------------------------------------------------------------------------------------------
# command line

def add_grid_arguments(p):
    p.add_argument("--out", "-O", required=True, help="output folder")
    p.add_argument("--instances", "-I", nargs="+", required=True, metavar="PATH",
                   help="instance files or folders")
    p.add_argument("--match", action="append", metavar="GLOB",
                   help="in folders, take the files matching GLOB (repeatable; default: the "
                        "suffixes .clq .wclq .grf .mwvc .mtx .graph, each also with .gz)")
    p.add_argument("--complement", action="append", metavar="GLOB",
                   help="run the instances whose name or absolute path matches GLOB as "
                        "independent-set instances, with -c 1 (repeatable; e.g. '*/uai-*/*')")
    p.add_argument("--program", "-P", action="append", required=True, metavar="[NAME=]PATH",
                   help="a program to run (repeatable)")
    g = p.add_mutually_exclusive_group()
    g.add_argument("--seeds", type=int, default=10, metavar="N", help="seeds 1..N (default 10)")
    g.add_argument("--seed-list", metavar="LIST", help="explicit seeds, e.g. 1,5,10-20")
    p.add_argument("--time", "-t", help="time limit(s) in CPU seconds, comma separated")
    p.add_argument("--iter", help="iteration limit(s)")
    p.add_argument("--depth", help="tabu depth(s)")
    p.add_argument("--prob", help="direct start probability(ies) in percent")
    p.add_argument("--target", help="target weight(s); 'best' takes each instance's "
                                    "best-known weight")
    p.add_argument("--best-known", metavar="TSV", help="best-known table (for --target best)")


CLUSTER_HELP = """\
On a SLURM cluster (the output folder, the programs and the instances at the same paths on
every node, e.g. a shared home):
  1. mavu_exp.py jobs --out OUT --instances ... --program ... --seeds N --time T
     writes OUT/jobs.txt (one command a line) and OUT/jobs.slurm (an array of one task a line:
     1 CPU each, wall-clock limit = the largest --time + --slurm-margin, at most --slurm-max
     tasks at once; the tasks write no SLURM log, everything goes to OUT/runs/).
  2. sbatch OUT/jobs.slurm            (options of the site before the script, e.g.
                                       sbatch --partition=P --account=A OUT/jobs.slurm)
  3. squeue --me                      until the array is gone
  4. mavu_exp.py collect --out OUT    the same results.csv and summary.md as after `run`.
A task cut short (time limit, node failure, scancel) counts as not done: once the array is
gone, the same `jobs` command writes a list of just the runs still missing (it renumbers the
tasks, so never while an array of OUT is queued); submit it again.
The tool's tests submit such an array to a one-node cluster they start on loopback
(tools/tests/slurm_cluster.sh; ctest -R tools_slurm)."""


def build_parser():
    ap = argparse.ArgumentParser(prog="mavu_exp.py", description=__doc__.split("\n\n")[0],
                                 epilog="`mavu_exp.py jobs --help` shows the workflow on a "
                                        "SLURM cluster or with GNU parallel.")
    sub = ap.add_subparsers(dest="verb", required=True)
    pr = sub.add_parser("run", help="run a grid on this machine")
    add_grid_arguments(pr)
    pr.add_argument("--jobs", "-j", type=int, default=0,
                    help="parallel runs (default: number of cores)")
    pj = sub.add_parser("jobs", help="write the grid as GNU parallel and SLURM job lists",
                        epilog=CLUSTER_HELP + "\n\nWith GNU parallel: parallel --jobs N "
                        "--joblog OUT/parallel.log < OUT/jobs.txt\n(--sshloginfile HOSTS "
                        "spreads it over hosts sharing the folder), then collect.",
                        formatter_class=argparse.RawDescriptionHelpFormatter)
    add_grid_arguments(pj)
    pj.add_argument("--slurm-margin", type=int, default=120, metavar="SEC",
                    help="wall-clock seconds added to the largest time limit per task")
    pj.add_argument("--slurm-max", type=int, default=0, metavar="N",
                    help="at most N array tasks at once")
    pc = sub.add_parser("collect", help="parse outputs into results.csv and summary.md")
    pc.add_argument("--out", "-O", required=True, help="output folder of run or jobs")
    pc.add_argument("--best-known", metavar="TSV", help="best-known weights table")
    pc.add_argument("--no-plots", action="store_true", help="skip the plots")
    return ap


def main(argv=None):
    args = build_parser().parse_args(argv)
    try:
        return {"run": cmd_run, "jobs": cmd_jobs, "collect": cmd_collect}[args.verb](args)
    except UsageError as e:
        print(f"mavu_exp.py: {e}", file=sys.stderr)
        return 2


if __name__ == "__main__":
    sys.exit(main())
