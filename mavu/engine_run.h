// The body of engine::run, included by the one file per variant that
// instantiates it.
#pragma once

#include <memory>
#include <new>
#include <type_traits>

#include "core/rng.h"
#include "mavu/engine.h"

namespace mavu::engine::detail {

template <class State>
RunStatus run_state(const graph_of_t<typename State::Profile>& g, const SearchParams& params, const SearchEnv& env,
                    BestSet& best) {
  // The state is large (several arrays of n); it lives on the heap.
  std::unique_ptr<State> s(new (std::nothrow) State());
  if (!s || !solve(*s, g, params, env)) return RunStatus::out_of_memory;
  try {
    best.vertices.assign(s->best_vertex.begin(), s->best_vertex.begin() + s->best_size);
  } catch (const std::bad_alloc&) {
    return RunStatus::out_of_memory;
  }
  best.weight = s->best_weight;
  best.iteration = s->best_iter;
  best.end_ticks = s->best_end_time;
  best.start_ticks = s->start_time;
  return RunStatus::ok;
}

// The search is compiled once per generator and graph layout; the choice is
// made here, outside the loops.
template <template <class, class> class State>
RunStatus run_with(Generator generator, const LoadedGraph& loaded, const SearchParams& params, const SearchEnv& env,
                   BestSet& best) {
  return visit_layout(loaded, [&](const auto& g) {
    using G = std::remove_cvref_t<decltype(g)>;
    if (generator == Generator::own) return run_state<State<FeedbackRand, G>>(g, params, env, best);
    return run_state<State<CRand, G>>(g, params, env, best);
  });
}

}  // namespace mavu::engine::detail
