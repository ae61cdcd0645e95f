// Independent-set runs through the reduction pipeline (kernel.h): the
// reductions of mwis.h on the loaded conflict graph (the file's own graph),
// each kernel component left for the search becoming one part.
#pragma once

#include <ctime>
#include <limits>

#include "core/cpu_clock.h"
#include "mavu/engine.h"
#include "mavu/reduce/kernel.h"
#include "mavu/reduce/mwis.h"
#include "readers/loader.h"

namespace mavu::reduce {

struct IndependentOptions {
  LayoutRequest layout = LayoutRequest::automatic;  // of the parts' conflict graphs
  MwisOptions rules;
  clockid_t clock = CLOCK_PROCESS_CPUTIME_ID;  // for Reduced::incumbent_ticks
};

struct IndependentReport {
  bool ok = true;        // false: memory was short (the message says so)
  std::string message;
  long long kernel = 0;  // vertices left after the rules (before the components were solved)
  MwisStats stats;
};

// Reduces the independent-set instance `input` (as loaded with -c 1, any
// layout) into `out`: the incumbent is the set lifted with empty parts
// (proven optimal when no part is left), every part a component left for
// the search in ascending kernel order, lift undoes the reductions, and
// bound_check accepts a weight at least the sum of the parts' clique-cover
// bounds and the weight decided.  `out` keeps what lifting needs.
IndependentReport reduce_independent_set(const LoadedGraph& input, const IndependentOptions& options, Reduced& out);

// Searches the parts of `reduced` (as reduce_independent_set left them) in
// order, each with the run's seed and parameters, a share of the iteration
// limit (iteration_share) and a share of the CPU time left, by vertices
// among the parts not yet searched; the target weight passes to a part only
// when it is the only one.  `limit` is the run's CPU-time limit in seconds,
// counted on env.cpu_clock from `start_ticks` (0: process start).  Returns
// the lifted outcome (finish in kernel.h; failed_part names a part whose
// search state did not fit).
template <engine::Variant V>
Outcome search_parts(const Reduced& reduced, const SearchParams& params, const SearchEnv& env,
                     engine::Generator generator, double limit, long start_ticks);

// The share of a run's iteration limit for a part of `part` vertices among
// `total` searched vertices: proportional, at least 1, so that the sum stays
// within the limit plus the number of parts and every part is searched.
int iteration_share(int max_iter, long long part, long long total);

template <engine::Variant V>
Outcome search_parts(const Reduced& reduced, const SearchParams& params, const SearchEnv& env,
                     engine::Generator generator, double limit, long start_ticks) {
  const long long searched = reduced.kernel_vertices();
  long long left = searched;
  return finish(reduced, start_ticks, [&](const LoadedGraph& part, engine::BestSet& best) {
    const long long k = visit_layout(part, [](const auto& g) { return static_cast<long long>(g.n_vertex); });
    SearchParams p = params;
    p.para_max_iter = iteration_share(params.para_max_iter, k, searched);
    p.para_opt = reduced.parts.size() == 1 ? params.para_opt - reduced.decided_weight
                                           : std::numeric_limits<double>::infinity();
    // A search counts its time from process start, or from its own start.
    const double spent = static_cast<double>(cpu_ticks(env.cpu_clock) - start_ticks) / 1e6;
    const double share = (limit - spent) * static_cast<double>(k) / static_cast<double>(left);
    SearchEnv e = env;
    e.has_time_limit = true;
    e.time_limit = env.from_process_start ? spent + share : share;
    if (e.time_limit < 0) e.time_limit = 0;
    left -= k;
    return engine::run<V>(generator, part, p, e, best) == engine::RunStatus::ok;
  });
}

}  // namespace mavu::reduce
