#!/usr/bin/env bash
# `pip install` of a clean copy of the sources into a fresh virtual
# environment, offline (the build backend, pybind11, pytest and networkx are
# Debian's, seen through --system-site-packages), the Python tests against
# the installed package, then `pip uninstall mavu`, which must leave nothing.
# Exit 77 (skipped) where the interpreter has no venv or pip.
#   tests/pip_install.sh SOURCE_DIR PYTHON VERSION
# (the environment of the python_module test, without its PYTHONPATH).
set -euo pipefail
src=$1 python=$2 version=$3
skip() { echo "SKIPPED: $*" >&2; exit 77; }
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
cd "$work"
"$python" -m venv --system-site-packages venv >venv.log 2>&1 ||
  skip "$python -m venv failed (Debian: python3-venv): $(tail -n 1 venv.log)"
py=$work/venv/bin/python
"$py" -m pip --version >/dev/null 2>&1 || skip "no pip in the virtual environment (Debian: python3-pip)"
"$py" -c 'import setuptools, wheel' 2>/dev/null ||
  skip "no build backend for $python (Debian: python3-setuptools python3-wheel)"
unset PYTHONPATH
export PIP_NO_INDEX=1 PIP_DISABLE_PIP_VERSION_CHECK=1 PIP_NO_INPUT=1

# What a clean clone has: the sources without builds or earlier installs.
mkdir src
tar -C "$src" --exclude=./.git --exclude=./build --exclude='./build-*' --exclude='*.egg-info' \
  --exclude=__pycache__ -cf - . | tar -C src -xf -
start=$SECONDS
"$py" -m pip install --no-build-isolation ./src >pip.log 2>&1 || { cat pip.log; exit 1; }
echo "pip install: $((SECONDS - start)) s"

got=$("$py" -c 'import mavu; print(mavu.__version__, mavu.__file__)')
[[ $got == "$version $work/venv/"* ]] || { echo "want version $version from the venv, got: $got"; exit 1; }
# The distribution's version and files: the extension, and the type stubs
# with their marker.
"$py" -m pip show -f mavu >show.txt
grep -qx "Version: $version" show.txt || { cat show.txt; exit 1; }
# numpy, which `import mavu` needs, is declared.
grep -qx "Requires: numpy" show.txt || { echo "numpy is not a declared requirement"; cat show.txt; exit 1; }
for f in 'mavu/_mavu\..*\.so' 'mavu/__init__\.pyi' 'mavu/py\.typed'; do
  grep -qE "^ +$f\$" show.txt || { echo "not installed: $f"; cat show.txt; exit 1; }
done
"$py" -m pytest -q -p no:cacheprovider src/tests/python

"$py" -m pip uninstall -y mavu >/dev/null
if "$py" -c 'import mavu' 2>/dev/null; then echo "mavu still imports after pip uninstall"; exit 1; fi
left=$(find venv/lib -path '*site-packages/mavu*')
[[ -z $left ]] || { echo "left after pip uninstall:"; echo "$left"; exit 1; }
echo "installed, tested and removed: mavu $version"
