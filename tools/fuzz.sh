#!/usr/bin/env bash
# Builds the libFuzzer targets (preset `fuzz`, clang with AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for a bounded time, one after the
# other.  Fails on any finding: a crash, a sanitizer report, a leak, an input
# that takes longer than the per-input time-out, or an out-of-memory.
#
#   tools/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]      (default 60; both targets)
#
# First every kept regression input (fuzz/regressions/<target>/) is replayed.
# The working corpus lives in the build folder (build/fuzz/corpus/<target>) and
# grows from run to run; it starts from fuzz/seeds/<target>/ and, for the
# loader, the small bundled instances.  A new finding is left as
# build/fuzz/artifacts/<target>/crash-* (or leak-*, timeout-*, oom-*): copy it
# into fuzz/regressions/<target>/ once the fault is fixed, so it is replayed
# by every later run and by the test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
((${#targets[@]})) || targets=(loader cmdline)
build=${MAVU_FUZZ_BUILD_DIR:-build/fuzz}

cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" -j "${MAVU_JOBS:-2}" --target "${targets[@]/#/fuzz_}"

status=0
for t in "${targets[@]}"; do
  bin="$build/fuzz/fuzz_$t"
  corpus="$build/corpus/$t"
  artifacts="$build/artifacts/$t"
  mkdir -p "$corpus" "$artifacts"
  seeds=(fuzz/seeds/"$t")
  if [[ $t == loader ]]; then
    # Small bundled instances; inputs are capped at 64 KiB, so larger ones are
    # not worth loading as seeds.
    mkdir -p "$build/corpus/bundled"
    for f in data/*.clq; do
      (($(stat -c %s "$f") <= 65536)) && cp -u "$f" "$build/corpus/bundled/"
    done
    seeds+=("$build/corpus/bundled")
  fi
  opts=(-max_len=65536 -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=1024 -close_fd_mask=3
        -print_final_stats=1 -artifact_prefix="$artifacts/")
  regressions=(fuzz/regressions/"$t"/*)
  if [[ -e ${regressions[0]} ]]; then
    echo "== fuzz_$t: replaying ${#regressions[@]} regression inputs" >&2
    "$bin" "${opts[@]}" "${regressions[@]}" 2>"$artifacts/replay.log" ||
      { echo "fuzz_$t: a regression input fails again" >&2
        grep -E 'ERROR|SUMMARY|runtime error|invariant|^ +#[0-9] |^Running' "$artifacts/replay.log" | tail -30 >&2
        status=1; continue; }
  fi
  echo "== fuzz_$t: $seconds s" >&2
  if ! "$bin" "${opts[@]}" -max_total_time="$seconds" "$corpus" "${seeds[@]}" 2>"$artifacts/run.log"; then
    echo "fuzz_$t: FINDING (see $artifacts/run.log)" >&2
    grep -E 'ERROR|SUMMARY|runtime error|invariant|^ +#[0-9] |Test unit written|^Base64' "$artifacts/run.log" |
      head -30 >&2 || true
    status=1
  else
    grep -E '^stat::number_of_executed_units|^Done ' "$artifacts/run.log" | sed "s/^/fuzz_$t: /" >&2 || true
  fi
done
exit $status
