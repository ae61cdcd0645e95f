#!/usr/bin/env bash
# Compares the search speed of two builds of the programs (for example before
# and after a change to the loop test) on fixed-iteration runs: the runs of
# the two builds alternate, each is timed in user CPU seconds, and the medians
# and their ratio are printed.  Runs on demand; not part of the test suite.
#
#   bench/compare_loop_cost.sh BASE_BUILD_DIR NEW_BUILD_DIR [REPS] [ITERATIONS]
#
# Same instance, seed and iteration limit for both builds, so both make the
# same moves; the ratio new/base is the cost of the change per iteration.
set -euo pipefail
cd "$(dirname "$0")/.."
base=$1 new=$2 reps=${3:-7} iters=${4:-3000000}
TIMEFORMAT=%U
median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }
printf '%-6s %-18s %9s %9s %7s\n' prog instance base_s new_s ratio
for prog in mavu1 mavu2; do
  for inst in data/brock200_2.clq data/C125.9.clq; do
    : >/tmp/bench_base.$$ && : >/tmp/bench_new.$$
    for ((r = 0; r < reps; r++)); do
      for side in base new; do
        dir=$base; [[ $side == new ]] && dir=$new
        { time "$dir/$prog" -f "$inst" -t 1000000 -s 1 -i "$iters" >/dev/null; } 2>>/tmp/bench_$side.$$
      done
    done
    b=$(median </tmp/bench_base.$$) n=$(median </tmp/bench_new.$$)
    printf '%-6s %-18s %9s %9s %7.3f\n' "$prog" "$(basename "$inst")" "$b" "$n" "$(awk -v n="$n" -v b="$b" 'BEGIN {print n / b}')"
  done
done
rm -f /tmp/bench_base.$$ /tmp/bench_new.$$
