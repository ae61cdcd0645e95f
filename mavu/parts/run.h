// Reduced runs: the reduction, then every part it leaves solved exactly or
// searched, all within the run's limits, and the sets lifted back to the
// input.  One call per mode serves the programs and the library.
//
// Independent sets (run_independent): the rules of mavu/reduce/mwis.h to a
// fixpoint, the kernel's components apart (the small ones solved by the
// mask branch and bound there); every part left gets an exact attempt
// (dynamic programming over a tree decomposition where its width allows,
// else branch and reduce) within a share of the time and a work budget; the
// parts not solved are searched: large ones by the kernel local search
// (mavu/ils), the others by the program's own tabu search, all in turns, so
// that each part gets time by its size and its progress.  The run ends at
// its limits, at the target, or as soon as its set is proven optimal.
//
// Cliques (run_clique): the peeling of mavu/reduce/clique.h; the kernel
// left is searched by the program's tabu search while the exact branch and
// bound of mavu/exact/clique_bb.h works on it, in alternating slices counted
// in iterations and in work units (so that a run makes the same moves on
// every machine); every better set the search finds raises the bound of the
// exact search, and the run ends once the exact search has proven it.
//
// Every stage polls the run's deadline (CPU-time limit, stop request, wall
// clock), so the run ends close to its limit whatever the graph's shape.
#pragma once

#include <new>
#include <string>
#include <utility>
#include <vector>

#include "core/deadline.h"
#include "mavu/engine.h"
#include "readers/loader.h"

namespace mavu::parts {

// What the stages did, for the benchmarks and the documentation.
struct RunStats {
  double reduce_seconds = 0;  // CPU seconds of the reduction (rules, components, the parts' graphs)
  double exact_seconds = 0;   // CPU seconds of the exact attempts (independent sets) or of the exact search (cliques)
  bool reduction_cut = false; // the deadline stopped the reduction before its fixpoint
  int parts = 0;              // parts the reduction left
  int solved_dp = 0;          // parts solved by dynamic programming over a tree decomposition
  int solved_branch = 0;      // parts solved by branch and reduce (or, for cliques, the kernel by branch and bound)
  int solved_clique = 0;      // dense parts solved as cliques of their complement
  int searched_local = 0;     // parts searched by the kernel local search
  int searched_tabu = 0;      // parts searched by the program's tabu search
  long long searched_vertices = 0;
};

struct RunResult {
  bool ok = true;
  std::string message;       // when !ok: one line (without the file name) saying what did not fit
  std::vector<int> vertices; // the set, in input numbering
  double weight = 0;
  int best_iteration = 0;    // search iterations of all parts run when the set was found (0: before any search)
  int iterations = 0;        // search iterations run, all parts
  long best_ticks = 0;       // CPU-clock ticks when the set was found
  long start_ticks = 0;      // CPU-clock ticks at the start of the measure
  bool optimal = false;      // proven optimal
  bool ended_by_proof = false;  // the run ended early because its set was proven optimal
  bool wall_deadline_passed = false;
  long long kernel = 0;      // vertices left by the reduction (#kernel)
  RunStats stats;
};

// What a run says when its containers did not fit.
inline constexpr const char* kNoMemoryMessage = "cannot allocate memory for the reduced instance";

// A run that could not go on: `message` says what did not fit.
inline RunResult failed_run(std::string message) {
  RunResult res;
  res.ok = false;
  res.message = std::move(message);
  return res;
}

// run(), with a lack of memory in the containers (std::bad_alloc) as the
// result it gives.
template <class Run>
RunResult catching_bad_alloc(Run&& run) {
  try {
    return run();
  } catch (const std::bad_alloc&) {
    return failed_run(kNoMemoryMessage);
  }
}

// The deadline of a run: its CPU-time limit (env's, or the parameters'
// whole seconds) on env's clock counted from `start_ticks`, env's stop flag
// and wall-clock limit.
Deadline run_deadline(const SearchParams& params, const SearchEnv& env, long start_ticks);

template <engine::Variant V>
RunResult run_independent(const LoadedGraph& input, const SearchParams& params, const SearchEnv& env,
                          engine::Generator generator, LayoutRequest layout);

template <engine::Variant V>
RunResult run_clique(const LoadedGraph& input, const SearchParams& params, const SearchEnv& env,
                     engine::Generator generator, LayoutRequest layout);

}  // namespace mavu::parts
