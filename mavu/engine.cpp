#include "mavu/engine.h"

#include <memory>

#include "core/rng.h"
#include "mavu1/search.h"
#include "mavu2/search.h"

namespace mavu::engine {

namespace {

template <class State>
BestSet run_state(const ConflictGraph& g, const SearchParams& params, const SearchEnv& env) {
  // The state is large (several arrays of n); it lives on the heap.
  auto s = std::make_unique<State>();
  solve(*s, g, params, env);
  BestSet best;
  best.vertices.assign(s->best_vertex.begin(), s->best_vertex.begin() + s->best_size);
  best.weight = s->best_weight;
  best.iteration = s->best_iter;
  best.end_ticks = s->best_end_time;
  best.start_ticks = s->start_time;
  return best;
}

}  // namespace

BestSet run(Variant variant, Generator generator, const ConflictGraph& g, const SearchParams& params,
            const SearchEnv& env) {
  // The search is compiled once per variant and generator; the choice is made
  // here, outside the loops.
  const bool own = generator == Generator::own;
  if (variant == Variant::mavu1)
    return own ? run_state<Mavu1State<FeedbackRand>>(g, params, env) : run_state<Mavu1State<CRand>>(g, params, env);
  return own ? run_state<Mavu2State<FeedbackRand>>(g, params, env) : run_state<Mavu2State<CRand>>(g, params, env);
}

double check_tolerance(Variant variant) {
  return variant == Variant::mavu1 ? Mavu1Profile::kText.check_tolerance : Mavu2Profile::kText.check_tolerance;
}

}  // namespace mavu::engine
