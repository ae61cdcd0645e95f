#!/usr/bin/env bash
# The SLURM array script that `mavu_exp.py jobs` writes, submitted to a real
# cluster: a single-node SLURM (slurmctld and slurmd, authenticated by munge)
# started here as root on loopback, with its configuration, key, sockets,
# state and logs in a scratch folder, and every daemon stopped on exit.  A
# small grid goes through sbatch, and `collect` must give the table that
# `run` of the same grid gives on this machine (times aside).
# Exit 77 (skipped) where such a cluster cannot run: not root, a package
# missing, a daemon that does not come up.
#   tools/tests/slurm_cluster.sh PROGRAM... -- INSTANCE...
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
tool=$here/../mavu_exp.py
programs=() instances=()
while (($#)) && [[ $1 != -- ]]; do programs+=(--program "$1"); shift; done
shift
instances=("$@")
((${#programs[@]} && ${#instances[@]})) || { echo "usage: $0 PROGRAM... -- INSTANCE..." >&2; exit 2; }

skip() { echo "SKIPPED: $*" >&2; exit 77; }
fail() { echo "FAILED: $*" >&2; exit 1; }
[[ $(id -u) -eq 0 ]] || skip "the test cluster runs its daemons as root (CI runs as root)"
for cmd in munged slurmctld slurmd sbatch squeue sinfo scancel; do
  command -v "$cmd" >/dev/null || skip "$cmd not found (Debian: slurmctld slurmd slurm-client munge; tools/install-deps.sh)"
done
python=$(command -v /usr/bin/python3 || command -v python3)

tmp=$(mktemp -d /tmp/mavu-slurm.XXXXXX)
chmod 700 "$tmp"
pids=()
jobid=
cleanup() {
  [[ -n $jobid ]] && scancel "$jobid" 2>/dev/null
  # Daemons in the reverse order of their start, each given 10 s to stop.
  for ((k = ${#pids[@]} - 1; k >= 0; k--)); do
    kill -TERM "${pids[k]}" 2>/dev/null || continue
    for _ in $(seq 100); do kill -0 "${pids[k]}" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "${pids[k]}" 2>/dev/null
    wait "${pids[k]}" 2>/dev/null
  done
  rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 143' TERM INT
# The daemons' logs; their standard error holds the same lines, and before a
# log file is open (a bad configuration) only those.
show_logs() {
  for log in "$tmp"/*.log; do echo "--- $log" >&2; tail -n 15 "$log" >&2; done
  for err in "$tmp"/*.stderr; do
    echo "--- $err (errors)" >&2; grep -iE 'error|fatal' "$err" | tail -n 5 >&2
  done
}
# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
  local deadline=$((SECONDS + $1)); shift
  until "$@" >/dev/null 2>&1; do ((SECONDS < deadline)) || return 1; sleep 0.5; done
}

# munge, with a key of this run's own and its socket in the scratch folder.
mkdir -m 700 "$tmp/munge"
mungekey --create --keyfile="$tmp/munge/munge.key" 2>/dev/null ||
  { dd if=/dev/urandom of="$tmp/munge/munge.key" bs=1024 count=1 status=none && chmod 600 "$tmp/munge/munge.key"; }
socket=$tmp/munge/munge.socket
munged --foreground --force --key-file="$tmp/munge/munge.key" --socket="$socket" \
  --pid-file="$tmp/munge/munged.pid" --seed-file="$tmp/munge/munged.seed" \
  --log-file="$tmp/munged.log" </dev/null >"$tmp/munged.stderr" 2>&1 &
pids+=($!)
wait_for 10 bash -c "munge -S '$socket' -n | unmunge -S '$socket'" || { show_logs; skip "munged did not start"; }

# A cluster of one node, this machine, on two free loopback ports.
read -r ctld_port slurmd_port < <("$python" -c '
import socket
ss = [socket.socket() for _ in range(2)]
for s in ss: s.bind(("127.0.0.1", 0))
print(*(s.getsockname()[1] for s in ss))')
host=$(hostname -s)
cpus=$(nproc)
mkdir -p "$tmp/state" "$tmp/spool"
cat >"$tmp/slurm.conf" <<EOF
ClusterName=mavutest
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$ctld_port
SlurmdPort=$slurmd_port
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$socket
StateSaveLocation=$tmp/state
SlurmdSpoolDir=$tmp/spool
SlurmctldPidFile=$tmp/slurmctld.pid
SlurmdPidFile=$tmp/slurmd.pid
SlurmctldLogFile=$tmp/slurmctld.log
SlurmdLogFile=$tmp/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
SchedulerType=sched/builtin
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
MpiDefault=none
MailProg=/bin/true
ReturnToService=2
NodeName=$host NodeAddr=127.0.0.1 CPUs=$cpus State=UNKNOWN
PartitionName=mavutest Nodes=$host Default=YES MaxTime=INFINITE State=UP
EOF
# The clients read this configuration; nothing of a cluster this machine may belong to.
for v in $(compgen -e | grep '^SLURM_'); do unset "$v"; done
export SLURM_CONF=$tmp/slurm.conf
slurmctld -D -i -f "$tmp/slurm.conf" </dev/null >"$tmp/slurmctld.stderr" 2>&1 &
pids+=($!)
slurmd -D -N "$host" -f "$tmp/slurm.conf" </dev/null >"$tmp/slurmd.stderr" 2>&1 &
pids+=($!)
deadline=$((SECONDS + 60))
until sinfo -h -N -n "$host" -o %T 2>/dev/null | grep -qx idle; do
  for pid in "${pids[@]}"; do
    kill -0 "$pid" 2>/dev/null || { show_logs; skip "a daemon of the test cluster exited at its start (logs above)"; }
  done
  ((SECONDS < deadline)) || { show_logs; skip "the single-node cluster did not come up within 60 s (logs above)"; }
  sleep 0.5
done
echo "cluster up: node $host ($cpus CPUs), slurmctld on 127.0.0.1:$ctld_port"

# The same grid through SLURM and here.  Iteration limits (reached well within
# the time limit) make every run reproducible, so the tables can be compared.
grid=(--instances "${instances[@]}" "${programs[@]}" --seeds 2 --time 30 --iter 1000000)
"$python" "$tool" jobs --out "$tmp/cluster" "${grid[@]}" || fail "jobs"
start=$SECONDS
jobid=$(sbatch --parsable "$tmp/cluster/jobs.slurm") || { show_logs; fail "sbatch refused the script"; }
jobid=${jobid%%;*}
if ! wait_for 300 bash -c "[[ -z \$(squeue -h -j '$jobid' 2>/dev/null) ]]"; then
  squeue >&2; show_logs; fail "array job $jobid still queued or running after 300 s"
fi
echo "array job $jobid finished in $((SECONDS - start)) s"
jobid=
"$python" "$tool" run --out "$tmp/local" "${grid[@]}" --jobs "$cpus" 2>/dev/null || fail "run"
for out in cluster local; do
  "$python" "$tool" collect --out "$tmp/$out" --no-plots 2>/dev/null || fail "collect $out"
done
"$python" - "$tmp/cluster/results.csv" "$tmp/local/results.csv" <<'EOF' || { show_logs; exit 1; }
import csv, sys
def table(path):
    with open(path, newline="") as f:
        return [{k: v for k, v in row.items() if k != "best_time"} for row in csv.DictReader(f)]
cluster, local = table(sys.argv[1]), table(sys.argv[2])
bad = [r["output"] + ": " + r["outcome"] for r in cluster if r["outcome"] != "ok"]
if bad:
    sys.exit("runs through SLURM that did not finish normally:\n  " + "\n  ".join(bad))
if cluster != local:
    for a, b in zip(cluster, local):
        if a != b:
            print(f"cluster {a}\nlocal   {b}", file=sys.stderr)
    sys.exit(f"the tables differ ({len(cluster)} runs through SLURM, {len(local)} here)")
print(f"{len(cluster)} runs through SLURM, all ok, the same table as a local run")
EOF
