// The search run as one call, for the library's solve and for the programs'
// driver: the search state lives and dies inside, and everything it reads
// from outside comes in the arguments.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/deadline.h"
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

// A search run in slices (a part of a reduced run shares the time with
// others and with exact solvers): started once, then continued by
// run_until; its moves are those of one run() with the same parameters, cut
// where the slices end.
class Session {
 public:
  virtual ~Session() = default;
  // Runs until the search has made `max_iterations` iterations in all, or
  // reached the target, or `deadline` (its CPU limit, stop flag and wall
  // deadline) ends it.  The search's progress and tick callbacks are those
  // of the environment it started with.
  virtual void run_until(int max_iterations, const Deadline& deadline) = 0;
  virtual double best_weight() const = 0;
  virtual int iterations() const = 0;
  virtual int best_iteration() const = 0;
  // CPU-clock ticks when the best set was found.
  virtual long best_ticks() const = 0;
  // The best set so far, as run() gives it.
  virtual void best(BestSet& out) const = 0;
};

// Starts a search of variant V on g (its state and first construction, as
// run() does before its loop); false with out_of_memory when the state does
// not fit.
template <Variant V>
[[nodiscard]] RunStatus start_session(Generator generator, const LoadedGraph& g, const SearchParams& params,
                                      const SearchEnv& env, std::unique_ptr<Session>& out);

// Bytes a search of variant V allocates on g beside the graph.
unsigned long long search_bytes(Variant variant, const LoadedGraph& g);

// "cannot allocate memory for the search: <n> vertices need <x> MiB more",
// the message of a search whose state did not fit (run gave out_of_memory).
std::string search_memory_message(Variant variant, const LoadedGraph& g);

// The tolerance of the final check of the variant's best set for ordinary weights.
double base_tolerance(Variant variant);

}  // namespace mavu::engine
