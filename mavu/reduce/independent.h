// Independent-set runs through the reduction pipeline (kernel.h): the
// reductions of mwis.h on the loaded conflict graph (the file's own graph),
// each kernel component left for the search becoming one part.
#pragma once

#include <ctime>

#include "core/cpu_clock.h"
#include "core/deadline.h"
#include "mavu/reduce/kernel.h"
#include "mavu/reduce/mwis.h"
#include "readers/loader.h"

namespace mavu::reduce {

struct IndependentOptions {
  LayoutRequest layout = LayoutRequest::automatic;  // of the parts' conflict graphs
  MwisOptions rules;
  clockid_t clock = CLOCK_PROCESS_CPUTIME_ID;  // for Reduced::incumbent_ticks
  // When it expires, the rules stop where they are (what they decided
  // stands) and the components left become parts as they are.
  Deadline* deadline = nullptr;
};

struct IndependentReport {
  bool ok = true;        // false: memory was short (the message says so)
  std::string message;
  long long kernel = 0;  // vertices left after the rules (before the components were solved)
  bool cut = false;      // the deadline stopped the rules before their fixpoint
  MwisStats stats;
};

// Reduces the independent-set instance `input` (as loaded with -c 1, any
// layout) into `out`: the incumbent is the set lifted with empty parts
// (proven optimal when no part is left), every part a component left for
// the search in ascending kernel order, lift undoes the reductions, and
// bound_check accepts a weight at least the sum of the parts' clique-cover
// bounds and the weight decided.  `out` keeps what lifting needs.
IndependentReport reduce_independent_set(const LoadedGraph& input, const IndependentOptions& options, Reduced& out);

// The share of a run's iteration limit for a part of `part` vertices among
// `total` searched vertices: proportional, at least 1, so that the sum stays
// within the limit plus the number of parts and every part is searched.
int iteration_share(int max_iter, long long part, long long total);

}  // namespace mavu::reduce
