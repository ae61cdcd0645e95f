#!/usr/bin/env bash
# The whole test suite, as CI runs it: installs what is missing, then builds and
# tests the release build and the sanitizer build (AddressSanitizer +
# UndefinedBehaviorSanitizer).  In CI (CI set), or when MAVU_FUZZ_SECONDS is
# given, the libFuzzer targets also run, each for MAVU_FUZZ_SECONDS (default
# 60), and any finding fails the suite.  They run between the two builds so
# that the test counts of the last one close the output.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
jobs=$(nproc)
for preset in release asan; do
  echo "== $preset" >&2
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
  if [[ $preset == release && ( -n ${CI:-} || -n ${MAVU_FUZZ_SECONDS:-} ) ]]; then
    echo "== fuzz" >&2
    MAVU_JOBS=$jobs tools/fuzz.sh "${MAVU_FUZZ_SECONDS:-60}"
  fi
done
