// The search run as one call, for the library's solve and for the programs'
// driver: the search state lives and dies inside, and everything it reads
// from outside comes in the arguments.
#pragma once

#include <vector>

#include "core/params.h"
#include "core/state.h"
#include "readers/loader.h"

namespace mavu::engine {

enum class Variant { mavu1, mavu2 };

// The generator of the draws: the state's own copy of the GNU C library's
// rand() sequence (searches in several threads stay independent), or rand()
// itself, for a C library whose sequence differs.
enum class Generator { own, c_library };

struct BestSet {
  std::vector<int> vertices;  // in the order the search recorded them
  double weight = 0;
  int iteration = 0;
  int iterations = 0;    // iterations the search ran
  bool wall_deadline_passed = false;  // the search's wall-clock deadline (SearchEnv) has come
  long end_ticks = 0;    // CPU-clock ticks when it was recorded
  long start_ticks = 0;  // CPU-clock ticks at the start of the measure
};

// Runs the search of variant V on the conflict graph g, in the layout the
// loader built.  Each variant is
// compiled in a file of its own, so a program links only its own search (and
// the compiler optimises it as it did when it was the only one).
template <Variant V>
BestSet run(Generator generator, const LoadedGraph& g, const SearchParams& params, const SearchEnv& env);

// The tolerance of the final check of the variant's best set for ordinary weights.
double base_tolerance(Variant variant);

}  // namespace mavu::engine
