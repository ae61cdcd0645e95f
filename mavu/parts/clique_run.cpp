#include <algorithm>
#include <limits>
#include <memory>
#include <new>

#include "core/cpu_clock.h"
#include "mavu/exact/clique_bb.h"
#include "mavu/parts/part_search.h"
#include "mavu/parts/run.h"
#include "mavu/parts/schedule.h"
#include "mavu/reduce/clique.h"

namespace mavu::parts {

namespace {

// The alternation of the exact search and the tabu search on the kernel, in
// units that do not depend on the machine: turn t gives the exact search
// kExactFirstWork << min(t, kExactDoublings) work units (word operations,
// about a nanosecond each) and the tabu search kSearchFirstIterations <<
// min(t, kSearchDoublings) iterations (on kernels of a few thousand
// vertices, about a microsecond each).  Both start near a millisecond, so a
// kernel that the exact search settles at once (every real graph we hold:
// 0.003-0.09 s) is proven after a few turns; on a kernel it cannot settle,
// its turns stop growing at about a quarter of a second while the search's
// grow to about a second, so the search keeps most of the time.
constexpr long long kExactFirstWork = 1LL << 20;
constexpr int kExactDoublings = 8;
constexpr long kSearchFirstIterations = 1000;
constexpr int kSearchDoublings = 10;

}  // namespace

template <engine::Variant V>
RunResult run_clique_or_throw(const LoadedGraph& input, const SearchParams& params, const SearchEnv& env,
                              engine::Generator generator, LayoutRequest layout) {
  RunResult res;
  res.start_ticks = env.from_process_start ? 0 : cpu_ticks(env.cpu_clock);
  Deadline deadline = run_deadline(params, env, res.start_ticks);
  const long t_reduce = cpu_ticks(env.cpu_clock);

  reduce::CliqueOptions options;
  options.layout = layout;
  options.clock = env.cpu_clock;
  options.deadline = &deadline;
  reduce::Reduced reduced;
  const reduce::ReduceReport rep = reduce::reduce_clique(input, options, reduced);
  if (rep.status != reduce::ReduceStatus::ok) return failed_run(rep.message);
  res.stats.reduce_seconds = static_cast<double>(cpu_ticks(env.cpu_clock) - t_reduce) / 1e6;
  res.stats.reduction_cut = rep.cut;
  res.kernel = reduced.kernel_vertices();
  res.stats.parts = static_cast<int>(reduced.parts.size());
  res.vertices = reduced.incumbent;
  res.weight = reduced.incumbent_weight;
  res.best_ticks = reduced.incumbent_ticks;
  if (reduced.parts.empty()) {
    // Nothing is left: the first clique is optimal, unless the deadline cut
    // the peeling short (then what is left was not searched at all).
    res.optimal = reduced.exact && !rep.cut;
    res.ended_by_proof = res.optimal;
    return res;
  }
  // With the target reached by the reduction's clique, no search is needed.
  if (reduced.incumbent_weight >= params.para_opt) return res;

  const reduce::SubInstance& kernel = *reduced.parts[0];
  std::unique_ptr<PartSearch> search = start_tabu<V>(kernel.graph, generator, params, env);
  if (!search) return failed_run(engine::search_memory_message(V, kernel.graph));
  res.stats.searched_tabu = 1;
  res.stats.searched_vertices = kernel.vertex_count();
  auto in_input = [&](const std::vector<int>& set) {
    std::vector<int> out;
    out.reserve(set.size());
    for (int v : set) out.push_back(kernel.original[static_cast<size_t>(v)]);
    return out;
  };

  exact::CliqueBB bb;
  const bool exact = bb.init(input, kernel.original, reduced.incumbent_weight, reduced.incumbent);
  // Which of the three sets is best, and when it came: the reduction's, the
  // search's, or the exact search's own (ties: the one found first).
  double exact_weight = reduced.incumbent_weight;
  int exact_iteration = 0;
  long exact_ticks = reduced.incumbent_ticks;
  double exact_seconds = 0;
  bool proven = false;
  if (exact && search->best_weight() > bb.best_weight())
    bb.raise_lower(search->best_weight(), in_input(search->best_set()));
  for (int turn = 0;; turn++) {
    if (exact && bb.status() == exact::ExactStatus::interrupted) {
      const long t0 = cpu_ticks(env.cpu_clock);
      bb.run(deadline, kExactFirstWork << std::min(turn, kExactDoublings));
      const long t1 = cpu_ticks(env.cpu_clock);
      exact_seconds += static_cast<double>(t1 - t0) / 1e6;
      if (bb.best_weight() > exact_weight && bb.best_weight() > search->best_weight()) {
        exact_weight = bb.best_weight();
        exact_iteration = static_cast<int>(search->iterations());
        exact_ticks = t1;
      }
      if (bb.status() == exact::ExactStatus::proven) {
        proven = true;
        break;
      }
    }
    if (deadline.expired() || search->iterations() >= params.para_max_iter) break;
    const long until = std::min<long>(params.para_max_iter,
                                      search->iterations() + (kSearchFirstIterations << std::min(turn, kSearchDoublings)));
    const double before = search->best_weight();
    search->run(deadline, until);
    if (search->best_weight() >= params.para_opt) break;
    if (exact && search->best_weight() > before && search->best_weight() > bb.best_weight())
      bb.raise_lower(search->best_weight(), in_input(search->best_set()));
  }
  res.stats.exact_seconds = exact_seconds;
  res.stats.solved_branch = proven ? 1 : 0;
  res.iterations = static_cast<int>(search->iterations());
  res.wall_deadline_passed = cpu_clock_detail::coarse_now_ns() >= deadline.wall_deadline_ns();

  if (search->best_weight() > res.weight && search->best_weight() >= exact_weight) {
    res.vertices = in_input(search->best_set());
    res.weight = search->best_weight();
    res.best_iteration = static_cast<int>(search->best_iteration());
    res.best_ticks = search->best_ticks();
  } else if (exact_weight > res.weight) {
    res.vertices = bb.best_set();
    res.weight = exact_weight;
    res.best_iteration = exact_iteration;
    res.best_ticks = exact_ticks;
  }
  res.weight = visit_layout(input, [&](const auto& g) { return set_weight(g.v_weight.data(), res.vertices); });
  res.optimal = proven || (reduced.bound_check && reduced.bound_check(res.weight));
  res.ended_by_proof = proven;
  return res;
}

template <engine::Variant V>
RunResult run_clique(const LoadedGraph& input, const SearchParams& params, const SearchEnv& env,
                     engine::Generator generator, LayoutRequest layout) {
  return catching_bad_alloc([&] { return run_clique_or_throw<V>(input, params, env, generator, layout); });
}

template RunResult run_clique<engine::Variant::mavu1>(const LoadedGraph&, const SearchParams&, const SearchEnv&,
                                                      engine::Generator, LayoutRequest);
template RunResult run_clique<engine::Variant::mavu2>(const LoadedGraph&, const SearchParams&, const SearchEnv&,
                                                      engine::Generator, LayoutRequest);

}  // namespace mavu::parts
