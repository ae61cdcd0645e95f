#!/usr/bin/env bash
# Runs reference cases against built programs and compares standard output
# (the "#besttime=" line excepted), the exit status and, where a case fixes
# it, standard error.
#
#   tests/run_golden.sh BIN_DIR CASE_DIR WORK_DIR [case-name-filter]
#
# CASE_DIR holds NAME.cmd / NAME.out / NAME.status [/ NAME.err]; every command
# runs with WORK_DIR as the working directory (paths in .cmd are relative to it).
set -u
bin_dir=$(cd "$1" && pwd); case_dir=$(cd "$2" && pwd); work=$(cd "$3" && pwd); filter=${4:-}
pass=0; fail=0; failed=()
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
for cmd_file in "$case_dir"/*.cmd; do
  name=$(basename "$cmd_file" .cmd)
  [[ -n "$filter" && "$name" != *$filter* ]] && continue
  read -r -a argv < "$cmd_file"
  prog=${argv[0]}; args=("${argv[@]:1}")
  (cd "$work" && "$bin_dir/$prog" "${args[@]}" >"$tmp/out" 2>"$tmp/err" </dev/null); status=$?
  grep -v '^#besttime=' "$tmp/out" > "$tmp/out.cmp"
  ok=1
  cmp -s "$tmp/out.cmp" "$case_dir/$name.out" || { ok=0; echo "--- $name: stdout differs"; diff "$case_dir/$name.out" "$tmp/out.cmp" | head -20; }
  [[ "$status" == "$(cat "$case_dir/$name.status")" ]] || { ok=0; echo "--- $name: status $status, expected $(cat "$case_dir/$name.status")"; }
  if [[ -f "$case_dir/$name.err" ]]; then
    cmp -s "$tmp/err" "$case_dir/$name.err" || { ok=0; echo "--- $name: stderr differs"; diff "$case_dir/$name.err" "$tmp/err" | head -5; }
  fi
  if grep -q "^#bestiter=" "$tmp/out" && ! grep -q '^#besttime=[0-9]*\.[0-9][0-9][0-9]$' "$tmp/out"; then
    ok=0; echo "--- $name: no #besttime line"
  fi
  if ((ok)); then pass=$((pass+1)); else fail=$((fail+1)); failed+=("$name"); fi
done
echo "golden: $pass passed, $fail failed"
((fail == 0)) || { printf '  %s\n' "${failed[@]}"; exit 1; }
