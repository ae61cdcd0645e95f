// The run parameters the search reads.  Built-in start values; only the
// command line (frontend/params.h) changes them.
#pragma once

#include <limits>

struct SearchParams {
  int para_max_seond = 999999999;  // -t: limit of process CPU time, seconds
  int para_seed = 533875888;       // -s: seed of srand
  // -o: target weight; without one no set weight ends the search.
  double para_opt = std::numeric_limits<double>::infinity();
  int para_depth = 4000;           // -l: restart after more than this many iterations without a new best
  int para_directed_prob = 70;     // -p: percent of restarts that are directed
  int para_max_iter = 100000000;   // -i: iteration bound
  int para_gama = 100;             // directed-restart length in percent of |C|; no option
};
