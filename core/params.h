// The run parameters the search reads.  Their start values are the defaults
// of the option table (mavu/options.h), which sits above this folder; the
// library checks at compile time that the two agree (mavu/solve.cpp).  Only
// the command line (frontend/params.h) and the library's solve change them.
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
