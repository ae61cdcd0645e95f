#!/usr/bin/env bash
# Installs, from Debian's packages, whatever this machine lacks to build the
# programs and run the whole test suite.  Safe to run again; installs nothing
# that is already there.
set -euo pipefail
needed=(cmake ninja-build g++ zlib1g-dev libgtest-dev libgmock-dev libbenchmark-dev python3 clang libclang-rt-14-dev parallel
        python3-dev pybind11-dev python3-pybind11 python3-networkx python3-pytest  # the Python module and its tests
        python3-numpy python3-scipy python3-mypy)  # array and sparse-matrix input; the type check of the documented examples
optional=(python3-matplotlib)   # plots of the experiment tool; everything else works without
missing=()
for p in "${needed[@]}" "${optional[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  sudo_cmd=(); [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq </dev/null
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${needed[@]}" </dev/null
  # Plotting is optional: a failure here only costs the plots.
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${optional[@]}" </dev/null ||
    echo "python3-matplotlib could not be installed: experiment plots will be skipped" >&2
fi
