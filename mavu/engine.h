// The search run as one call, for the library's solve and for the programs'
// driver: the search state lives and dies inside, and everything it reads
// from outside comes in the arguments.
#pragma once

#include <string>
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

enum class RunStatus {
  ok,
  out_of_memory,  // the search state did not fit (search_bytes says how much it needs)
};

// Runs the search of variant V on the conflict graph g, in the layout the
// loader built, and leaves its best set in `best`.  Each variant is
// compiled in a file of its own, so a program links only its own search (and
// the compiler optimises it as it did when it was the only one).
template <Variant V>
[[nodiscard]] RunStatus run(Generator generator, const LoadedGraph& g, const SearchParams& params, const SearchEnv& env,
                            BestSet& best);

// Bytes a search of variant V allocates on g beside the graph.
unsigned long long search_bytes(Variant variant, const LoadedGraph& g);

// "cannot allocate memory for the search: <n> vertices need <x> MiB more",
// the message of a search whose state did not fit (run gave out_of_memory).
std::string search_memory_message(Variant variant, const LoadedGraph& g);

// The tolerance of the final check of the variant's best set for ordinary weights.
double base_tolerance(Variant variant);

}  // namespace mavu::engine
