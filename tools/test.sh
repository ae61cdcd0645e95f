#!/usr/bin/env bash
# The whole test suite, as CI runs it: installs what is missing, then builds and
# tests the release build and the sanitizer build (AddressSanitizer +
# UndefinedBehaviorSanitizer).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
jobs=$(nproc)
for preset in release asan; do
  echo "== $preset" >&2
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
done
