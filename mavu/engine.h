// The search run as one call, for the library's solve and for the programs'
// driver: the search state lives and dies inside, and everything it reads
// from outside comes in the arguments.
#pragma once

#include <vector>

#include "core/graph.h"
#include "core/params.h"
#include "core/state.h"

namespace mavu::engine {

enum class Variant { mavu1, mavu2 };

struct BestSet {
  std::vector<int> vertices;  // in the order the search recorded them
  double weight = 0;
  int iteration = 0;
  long end_ticks = 0;    // CPU-clock ticks when it was recorded
  long start_ticks = 0;  // CPU-clock ticks at the start of the measure
};

// Runs the search of `variant` on the conflict graph g.
BestSet run(Variant variant, const ConflictGraph& g, const SearchParams& params, const SearchEnv& env);

// The tolerance of the final check of the variant's best set.
double check_tolerance(Variant variant);

}  // namespace mavu::engine
