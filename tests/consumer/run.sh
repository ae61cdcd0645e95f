#!/usr/bin/env bash
# Installs the build tree into a scratch prefix, builds the consumer against
# it with find_package(mavu) and the compiler's default language standard,
# and compares its run with mavu1's; builds the C++ blocks of
# docs/library.md the same way and runs them from the source folder.
#   tests/consumer/run.sh BUILD_DIR INSTANCE SOURCE_DIR
set -euo pipefail
build=$1 instance=$2 source=$3
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
# The blocks in order, each in a scope of its own, after a graph `g` that the
# later blocks use; their #include lines go to the top.
{
  echo '#include <cstdio>'
  echo '#include <utility>'
  echo '#include <vector>'
  grep -h '^#include' <(sed -n '/^```cpp$/,/^```$/p' "$source/docs/library.md")
  echo 'int main() {'
  echo '  const mavu::Graph g = mavu::Graph::from_file("data/C125.9.clq");'
  sed -n '/^```cpp$/,/^```$/p' "$source/docs/library.md" | grep -v '^#include' | sed 's/^```cpp$/{/; s/^```$/}/'
  echo '}'
} >"$work/docs_examples.cpp"
grep -q '^{$' "$work/docs_examples.cpp" || { echo "no C++ block in docs/library.md"; exit 1; }
# A sanitized library needs a sanitized consumer (CONSUMER_CXX_FLAGS).
cmake -S "$here" -B "$work/build" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_FLAGS="${CONSUMER_CXX_FLAGS:-}" -DDOCS_EXAMPLES="$work/docs_examples.cpp" >/dev/null
cmake --build "$work/build" >"$work/build.log" 2>&1 || { cat "$work/build.log"; exit 1; }
(cd "$source" && LD_LIBRARY_PATH="$work/prefix/lib:${LD_LIBRARY_PATH:-}" "$work/build/docs_examples") >"$work/docs.out" ||
  { cat "$work/docs.out"; echo "the examples of docs/library.md failed"; exit 1; }
LD_LIBRARY_PATH="$work/prefix/lib:${LD_LIBRARY_PATH:-}" "$work/build/consumer" "$instance" >"$work/got"
"$work/prefix/bin/mavu1" -f "$instance" -t 1000 -s 5 -i 20000 | sed -n '/^Final/{n;p}; /^#objv/p' >"$work/want"
diff "$work/want" "$work/got"
# The installed header and CMake package carry one version.
read -r header package < <(LD_LIBRARY_PATH="$work/prefix/lib:${LD_LIBRARY_PATH:-}" "$work/build/consumer")
[[ -n "$header" && "$header" == "$package" ]] || { echo "versions: header $header, package $package"; exit 1; }
# The Python package, when built, is installed too.
if [[ -n "${MAVU_PYTHON:-}" ]]; then
  site=$(cd "$work/prefix" && echo lib/python3*/site-packages)
  got=$(PYTHONPATH="$work/prefix/$site" "$MAVU_PYTHON" -c \
    "import mavu; print(*mavu.max_weight_clique('$instance', seed=5, max_iterations=20000).vertices)")
  [[ "$got " == "$(head -1 "$work/want")" ]] || { echo "python: $got"; exit 1; }
  got=$(PYTHONPATH="$work/prefix/$site" "$MAVU_PYTHON" -c "import mavu; print(mavu.__version__)")
  [[ "$got" == "$header" ]] || { echo "python version $got, header $header"; exit 1; }
fi
echo "consumer run identical to mavu1's"
