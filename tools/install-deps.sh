#!/usr/bin/env bash
# Installs, from Debian's packages, whatever this machine lacks to build the
# programs and run the whole test suite.  Safe to run again; installs nothing
# that is already there.
set -euo pipefail
needed=(cmake ninja-build g++ zlib1g-dev libgtest-dev libgmock-dev libbenchmark-dev python3 clang libclang-rt-14-dev parallel
        python3-dev pybind11-dev python3-pybind11 python3-networkx python3-pytest  # the Python module and its tests
        python3-venv python3-pip python3-setuptools python3-wheel  # pip install of the module, offline
        slurmctld slurmd slurm-client munge)  # the experiment tool's cluster test (a one-node SLURM)
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
  # Installing munge and SLURM must not start their daemons on this machine:
  # the cluster test starts its own, on loopback, with a configuration of its
  # own.  A policy that refuses every service start does that, unless the
  # machine already has a policy of its own.
  if [[ ! -e /usr/sbin/policy-rc.d ]]; then
    printf '#!/bin/sh\n# installed by tools/install-deps.sh while it runs\nexit 101\n' |
      "${sudo_cmd[@]}" tee /usr/sbin/policy-rc.d >/dev/null
    "${sudo_cmd[@]}" chmod 755 /usr/sbin/policy-rc.d
    trap '"${sudo_cmd[@]}" rm -f /usr/sbin/policy-rc.d' EXIT
  fi
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${needed[@]}" </dev/null
  # Plotting is optional: a failure here only costs the plots.
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${optional[@]}" </dev/null ||
    echo "python3-matplotlib could not be installed: experiment plots will be skipped" >&2
fi
