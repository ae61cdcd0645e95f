#!/usr/bin/env bash
# Soak test, run on demand (not in CI): long runs of both programs with the
# invariant auditor on, and a comparison of the release and sanitizer builds.
#
#   tools/soak.sh [ITERATIONS]          (default 10000000 per run)
#
# Phase 1 builds an optimised build with assertions and the invariant auditor
# (MAVU_AUDIT, every MAVU_SOAK_AUDIT_EVERY-th iteration, default 7) and runs
# mavu1 and mavu2 on several bundled instances with a small tabu depth (-l 20)
# and -p 0, 50 and 100, so that random restarts, directed restarts and both
# mixed run hundreds of thousands of times.  Any audit failure or assertion
# ends that run abnormally and is reported.
#
# Phase 2 runs the same commands (fewer iterations, MAVU_SOAK_COMPARE_ITER,
# default 300000) with the release build and with the sanitizer build and
# compares their standard output (the time line excepted), standard error and
# exit status: undefined behaviour tends to show up as a difference.  The
# fuzzers' seed inputs are compared the same way.
#
# Build folders: build/soak, build/release, build/asan (MAVU_SOAK_BUILD_ROOT
# changes the parent folder).  Exit status 1 when anything failed.
set -uo pipefail
cd "$(dirname "$0")/.."
iters=${1:-10000000}
every=${MAVU_SOAK_AUDIT_EVERY:-7}
cmp_iters=${MAVU_SOAK_COMPARE_ITER:-300000}
root=${MAVU_SOAK_BUILD_ROOT:-build}
jobs=${MAVU_JOBS:-2}
instances=(data/C125.9.clq data/brock200_2.clq data/keller4.clq data/hamming8-4.clq)
failures=0

set -e
cmake -S . -B "$root/soak" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O2 -g" \
  -DMAVU_AUDIT=ON -DCMAKE_CXX_FLAGS="-DMAVU_AUDIT_EVERY=$every" -DMAVU_BUILD_TESTS=OFF >/dev/null
cmake --build "$root/soak" -j "$jobs" --target mavu1 mavu2 >/dev/null
cmake --preset release -B "$root/release" >/dev/null
cmake --build "$root/release" -j "$jobs" --target mavu1 mavu2 >/dev/null
cmake --preset asan -B "$root/asan" >/dev/null
cmake --build "$root/asan" -j "$jobs" --target mavu1 mavu2 >/dev/null
set +e
TIMEFORMAT=%U
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

echo "== soak: $iters iterations per run, audit every $every iterations, -l 20"
printf '%-6s %-22s %4s %10s %12s %8s  %s\n' prog instance -p iters best cpu_s result
for prog in mavu1 mavu2; do
  for inst in "${instances[@]}"; do
    for p in 0 50 100; do
      { time "$root/soak/$prog" -f "$inst" -t 1000000 -s 11 -i "$iters" -l 20 -p "$p" \
          >"$tmp/out" 2>"$tmp/err"; } 2>"$tmp/time"
      status=$?
      best=$(sed -n 's/^#objv=//p' "$tmp/out")
      last=$(grep '^ITER' "$tmp/out" | tail -1 | awk '{print $2}' | tr -d ,)
      if ((status == 0)) && [[ ! -s $tmp/err ]]; then
        result=ok
      else
        result="FAILED (status $status): $(head -c 300 "$tmp/err" | tr '\n' ' ')"
        failures=$((failures + 1))
      fi
      printf '%-6s %-22s %4s %10s %12s %8s  %s\n' "$prog" "$(basename "$inst")" "$p" "${last:-?}" "${best:-?}" \
        "$(tail -1 "$tmp/time")" "$result"
    done
  done
done

echo "== release vs sanitizer build: $cmp_iters iterations per run"
compare() {  # label, then the command line after the program name
  local label=$1 prog=$2
  shift 2
  local b
  for b in release asan; do
    "$root/$b/$prog" "$@" >"$tmp/$b.out" 2>"$tmp/$b.err" </dev/null
    echo $? >"$tmp/$b.status"
    grep -v '^#besttime=' "$tmp/$b.out" >"$tmp/$b.cmp"
  done
  if cmp -s "$tmp/release.cmp" "$tmp/asan.cmp" && cmp -s "$tmp/release.err" "$tmp/asan.err" &&
     cmp -s "$tmp/release.status" "$tmp/asan.status"; then
    compared=$((compared + 1))
  else
    echo "DIFFERENT: $label: $prog $*"
    diff "$tmp/release.cmp" "$tmp/asan.cmp" | head -5
    diff "$tmp/release.err" "$tmp/asan.err" | head -5
    failures=$((failures + 1))
  fi
}
compared=0
for prog in mavu1 mavu2; do
  for inst in "${instances[@]}" data/MANN_a27.clq; do
    for p in 0 50 100; do
      compare run "$prog" -f "$inst" -t 1000000 -s 5 -i "$cmp_iters" -l 20 -p "$p"
    done
  done
  for f in fuzz/seeds/loader/*; do
    compare seed "$prog" -f "$f" -t 1000000 -s 3 -i 20000 -l 5 -p 50
  done
done
echo "compared: $compared identical"
echo "soak: $failures failure(s)"
((failures == 0))
