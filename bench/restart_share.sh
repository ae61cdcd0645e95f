#!/bin/sh
# Share of a run's CPU time spent in restarts (directed restarts and
# constructions, each kept out of line for this), from a sampling profile:
#
#   bench/restart_share.sh BUILD_DIR SECONDS FILE [PROGRAM OPTIONS...]
#
# prints, for mavu1 and mavu2 run with -c 1 -s 1 -t SECONDS on FILE, the
# percentage of samples inside directed_restart and random_construction
# (with their callees).  Needs perf.
build=$1 secs=$2 file=$3
shift 3
for prog in mavu1 mavu2; do
  data=$(mktemp)
  perf record -q -F 500 --call-graph dwarf,16384 -o "$data" "$build/$prog" -f "$file" -s 1 -c 1 -t "$secs" "$@" >/dev/null 2>&1
  perf report -i "$data" --children --sort sym -g none 2>/dev/null |
    awk -v p="$prog" -v f="$(basename "$file")" '
      /^ *[0-9.]+%.*directed_restart</ { d = $1 } /^ *[0-9.]+%.*random_construction</ { c = $1 }
      END { printf "%s %s directed_restart %s random_construction %s\n", f, p, d ? d : "0%", c ? c : "0%" }'
  rm -f "$data"
done
