"""A solve that runs out of memory raises MemoryError in the caller, whether
loading, the reduction or the search's state is what does not fit; the
interpreter lives on."""
import subprocess
import sys

CHILD = r"""
import resource, sys
import mavu
limit = int(sys.argv[2]) << 20
resource.setrlimit(resource.RLIMIT_AS, (limit, limit))
try:
    mavu.max_weight_independent_set(sys.argv[1], max_iterations=10, reduce=sys.argv[3] == "1")
    print("solved")
except MemoryError as e:
    print("search" if "for the search" in str(e) else "reduction" if "reduc" in str(e) else "load")
"""


def test_memory_error_at_every_limit(tmp_path):
    n = 400000  # each vertex adjacent to the next three: 1.2 M edges
    path = tmp_path / "circulant.clq"
    with open(path, "w") as f:
        f.write(f"p edge {n} {3 * n}\n")
        for d in (1, 2, 3):
            f.writelines(f"e {min(v, (v + d) % n) + 1} {max(v, (v + d) % n) + 1}\n" for v in range(n))
    base = int(subprocess.run([sys.executable, "-c", "import resource, mavu; "
                               "print(open('/proc/self/statm').read().split()[0])"],
                              capture_output=True, text=True, check=True).stdout) * 4096 >> 20
    for reduce in ("0", "1"):
        outcomes = set()
        for extra in range(0, 120, 6):
            r = subprocess.run([sys.executable, "-c", CHILD, str(path), str(base + extra), reduce],
                               capture_output=True, text=True)
            assert r.returncode == 0, (reduce, base + extra, r.returncode, r.stderr[-500:])
            outcomes.add(r.stdout.strip())
        assert {"load", "solved"} <= outcomes and outcomes & {"search", "reduction"}, (reduce, outcomes)
        if reduce == "0":
            assert outcomes == {"load", "search", "solved"}
