#include "mavu/engine_run.h"
#include "mavu/search.h"

namespace mavu::engine {

template <>
RunStatus run<Variant::mavu1>(Generator generator, const LoadedGraph& g, const SearchParams& params,
                              const SearchEnv& env, BestSet& best) {
  return detail::run_with<Mavu1State>(generator, g, params, env, best);
}

template <>
RunStatus start_session<Variant::mavu1>(Generator generator, const LoadedGraph& g, const SearchParams& params,
                                        const SearchEnv& env, std::unique_ptr<Session>& out) {
  return detail::start_session_with<Mavu1State>(generator, g, params, env, out);
}

}  // namespace mavu::engine
