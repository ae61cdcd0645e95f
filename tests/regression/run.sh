#!/usr/bin/env bash
# End-to-end regression runs kept in the repository: every case in cases/ is
# a fixed-seed run whose expected output was taken from an independent model
# of the programs.  Any change of trajectory (a draw more or less, a different
# tie-break, a different weight) shows up here.
#
#   tests/regression/run.sh BIN_DIR [case-name-filter]
#
# The cases name their instances by the paths of the folder they were made in
# (instances/dimacs/X.clq, instances/bhoslib/X.clq, golden/instances/X.clq),
# and the result block prints the path as given, so the runs happen in a
# scratch folder with that layout, made of symlinks to data/ and to
# tests/regression/instances/.  Paths that no bundled file answers stay absent
# on purpose: the cases of an unopenable instance rely on it.
set -u
[[ $# -ge 1 ]] || { echo "usage: $0 BIN_DIR [case-name-filter]" >&2; exit 2; }
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
bin_dir=$1; filter=${2:-}

# Instances the cases expect to be unopenable.
absent=" nowhere.clq golden/instances/does-not-exist.clq "

work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
missing=0
for rel in $(grep -ho '[A-Za-z0-9_./-]*\.clq' "$here"/cases/*.cmd | sort -u); do
  [[ "$absent" == *" $rel "* ]] && continue
  src=""
  for dir in "$root/data" "$here/instances"; do
    [[ -f "$dir/$(basename "$rel")" ]] && { src="$dir/$(basename "$rel")"; break; }
  done
  # Say which file is missing rather than let its cases fail with an open error.
  [[ -n "$src" ]] || { echo "no bundled file for $rel"; missing=1; continue; }
  mkdir -p "$work/$(dirname "$rel")"
  ln -s "$src" "$work/$rel"
done

"$root/tests/run_golden.sh" "$bin_dir" "$here/cases" "$work" "$filter"
status=$?
((missing == 0)) || status=1
exit $status
