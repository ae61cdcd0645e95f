// The body of engine::run, included by the one file per variant that
// instantiates it.
#pragma once

#include <algorithm>
#include <memory>
#include <new>
#include <type_traits>

#include "core/rng.h"
#include "mavu/engine.h"

namespace mavu::engine::detail {

template <class State>
void copy_best(const State& s, BestSet& best) {
  best.vertices.assign(s.best_vertex.begin(), s.best_vertex.begin() + s.best_size);
  best.weight = s.best_weight;
  best.iteration = s.best_iter;
  best.iterations = s.cur_iter;
  best.wall_deadline_passed = cpu_clock_detail::coarse_now_ns() >= s.time_limit.wall_deadline_ns;
  best.end_ticks = s.best_end_time;
  best.start_ticks = s.start_time;
}

template <class State>
class SessionOf final : public Session {
 public:
  bool start(const graph_of_t<typename State::Profile>& g, const SearchParams& params, const SearchEnv& env) {
    s_.reset(new (std::nothrow) State());
    return s_ && start_search(*s_, g, params, env);
  }
  void run_until(int max_iterations, const Deadline& deadline) override {
    State& s = *s_;
    // The slice's limit, keeping the state's own clock origin and ticks.
    CpuTimeLimit limit = make_cpu_limit(static_cast<float>(deadline.limit()), deadline.clock(), deadline.start_ticks());
    limit.wall_deadline_ns = std::min(deadline.wall_deadline_ns(), s.time_limit.wall_deadline_ns);
    limit.next_tick_ns = s.time_limit.next_tick_ns;
    limit.tick_interval_ns = s.time_limit.tick_interval_ns;
    s.time_limit = limit;
    if (deadline.stop_flag() != nullptr) s.env.stop = deadline.stop_flag();
    tabu_search(s, std::min(max_iterations, s.params.para_max_iter));
  }
  double best_weight() const override { return s_->best_weight; }
  int iterations() const override { return s_->cur_iter; }
  int best_iteration() const override { return s_->best_iter; }
  long best_ticks() const override { return s_->best_end_time; }
  void best(BestSet& out) const override { copy_best(*s_, out); }

 private:
  std::unique_ptr<State> s_;
};

template <template <class, class> class State>
RunStatus start_session_with(Generator generator, const LoadedGraph& loaded, const SearchParams& params,
                             const SearchEnv& env, std::unique_ptr<Session>& out) {
  return visit_layout(loaded, [&](const auto& g) {
    using G = std::remove_cvref_t<decltype(g)>;
    auto start = [&](auto* tag) {
      using S = std::remove_pointer_t<decltype(tag)>;
      std::unique_ptr<SessionOf<S>> session(new (std::nothrow) SessionOf<S>());
      if (!session || !session->start(g, params, env)) return RunStatus::out_of_memory;
      out = std::move(session);
      return RunStatus::ok;
    };
    if (generator == Generator::own) return start(static_cast<State<FeedbackRand, G>*>(nullptr));
    return start(static_cast<State<CRand, G>*>(nullptr));
  });
}

template <class State>
RunStatus run_state(const graph_of_t<typename State::Profile>& g, const SearchParams& params, const SearchEnv& env,
                    BestSet& best) {
  // The state is large (several arrays of n); it lives on the heap.
  std::unique_ptr<State> s(new (std::nothrow) State());
  if (!s || !solve(*s, g, params, env)) return RunStatus::out_of_memory;
  try {
    copy_best(*s, best);
  } catch (const std::bad_alloc&) {
    return RunStatus::out_of_memory;
  }
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
