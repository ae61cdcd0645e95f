// The search of one part of a reduced run, behind one interface whatever
// the search: the program's tabu search (an engine session) or the kernel
// local search for large independent-set parts (mavu/ils).  A part search
// runs in slices (the scheduler shares the time among parts and exact
// solvers); its iterations are counted over all slices, and it never runs
// past the iteration share it was given.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/deadline.h"
#include "mavu/engine.h"
#include "readers/loader.h"

namespace mavu::parts {

class PartSearch {
 public:
  virtual ~PartSearch() = default;
  // Runs until `max_iterations` in all, or the deadline.
  virtual void run(Deadline& deadline, long max_iterations) = 0;
  virtual double best_weight() const = 0;
  virtual long iterations() const = 0;
  virtual long best_iteration() const = 0;
  // CPU ticks (the run's clock) when the best set was found.
  virtual long best_ticks() const = 0;
  // The best set in the part's numbering.
  virtual std::vector<int> best_set() const = 0;
};

// The tabu search of variant V on `graph` (which must outlive it), with the
// run's parameters (its seed and target; max_iterations bounds it too) and
// environment (clock, progress lines, ticks).  Null when its state does not
// fit.
template <engine::Variant V>
std::unique_ptr<PartSearch> start_tabu(const LoadedGraph& graph, engine::Generator generator, const SearchParams& params,
                                       const SearchEnv& env);

// The kernel local search on `lists` (which must outlive it), seeded from
// `seed`.  Null when its state does not fit.
std::unique_ptr<PartSearch> start_local(const SparseConflictGraph<uint32_t>& lists, unsigned seed, clockid_t clock);

}  // namespace mavu::parts
